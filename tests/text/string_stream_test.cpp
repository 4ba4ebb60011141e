#include <cstring>
#include <functional>
#include <ios>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "tests/text/stream_reference.h"

namespace {

using brindle::testing::ChunkedBuffer;
using brindle::testing::ReadPosition;
using State = std::ios_base::iostate;
constexpr State kGood = std::ios_base::goodbit;
constexpr State kEof = std::ios_base::eofbit;
constexpr State kFail = std::ios_base::failbit;
constexpr State kBad = std::ios_base::badbit;

std::string Rest(std::istream& in, std::string const& input) { return input.substr(ReadPosition(in)); }

// A stream buffer without a get area: one character per underflow/uflow.
class UnbufferedBuffer : public std::streambuf {
 public:
  explicit UnbufferedBuffer(std::string text) : text_(std::move(text)) {}

 protected:
  pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override {
    return pos_type(static_cast<off_type>(pos_));
  }
  int_type underflow() override {
    return pos_ < text_.size() ? traits_type::to_int_type(text_[pos_]) : traits_type::eof();
  }
  int_type uflow() override {
    return pos_ < text_.size() ? traits_type::to_int_type(text_[pos_++]) : traits_type::eof();
  }

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

enum class Reader { kToDelim, kToken };

struct Outcome {
  std::string text;
  State state;
  std::size_t position;
  bool threw;
  bool operator==(Outcome const&) const = default;
};

std::ostream& operator<<(std::ostream& out, Outcome const& o) {
  return out << "text of " << o.text.size() << " \"" << o.text.substr(0, 40) << "\" state " << o.state
             << " position " << o.position << (o.threw ? " threw" : "");
}

// Reads into `into` (a string that held text before, when null).
Outcome ReadWithLibrary(std::istream& in, Reader reader, char delim, AString* into = nullptr) {
  AString fresh("left over");
  AString& s = into != nullptr ? *into : fresh;
  bool threw = false;
  try {
    if (reader == Reader::kToDelim) {
      s.read_to_delim(in, delim);
    } else {
      s.read_token(in);
    }
  } catch (...) {
    threw = true;
  }
  // The capacity is the rule's for the length read, as if assigned at once.
  if (!threw) {
    EXPECT_EQ(s.reserve(), AString(s.c_str()).reserve()) << s.length();
  }
  return {s.c_str(), in.rdstate(), ReadPosition(in), threw};
}

Outcome ReadWithReference(std::istream& in, std::string const& input, Reader reader, char delim) {
  std::string text;
  bool threw = false;
  try {
    if (reader == Reader::kToDelim) {
      brindle::testing::ReferenceReadToDelim(in, delim, text);
    } else {
      brindle::testing::ReferenceReadToken(in, input, text);
    }
  } catch (...) {
    threw = true;
  }
  return {text, in.rdstate(), ReadPosition(in), threw};
}

// The wrappers, a stream that is not good, and a token's width and skipws.
TEST(StringStream, WrappersAndStreamStates) {
  std::istringstream in(std::string("ab\ncd\0rest", 10));
  AString s;
  s.read_line(in);
  EXPECT_STREQ(s.c_str(), "ab");
  s.read_file(in);  // up to a NUL
  EXPECT_STREQ(s.c_str(), "cd");
  s.read_string(in);
  EXPECT_STREQ(s.c_str(), "rest");
  EXPECT_EQ(in.rdstate(), kEof);
  for (State state : {kEof, kFail, kBad, kEof | kFail}) {
    for (Reader reader : {Reader::kToDelim, Reader::kToken}) {
      std::istringstream bad("text\nmore");
      bad.setstate(state);
      EXPECT_EQ(ReadWithLibrary(bad, reader, '\n'), (Outcome{"", state, 0, false})) << state;
    }
  }
  std::istringstream spaced(" word");
  spaced.width(7);
  spaced >> std::noskipws;
  s.read_token(spaced);
  EXPECT_EQ(spaced.width(), 0);
  EXPECT_EQ(s.is_null(), 1);
  EXPECT_EQ(spaced.rdstate(), kFail);  // nothing stored, the blank not taken
  EXPECT_EQ(Rest(spaced, " word"), " word");
}

// Random texts of short and piece-sized runs, read to the end by the library
// and by the reference side by side: every read gives the same text, state
// and position, through a string buffer and through small get areas.
TEST(StringStream, MatchesPiecewiseReading) {
  std::mt19937 rng(20240605);
  char const alphabet[] = {'a', 'b', ' ', '\n', ';', '\t', '\0', '\xE9', '\r'};
  for (int trial = 0; trial < 400; ++trial) {
    std::string input;
    int runs = static_cast<int>(rng() % 8);
    for (int r = 0; r < runs; ++r) {
      std::size_t n = rng() % 4 == 0 ? 1020 + rng() % 1030 : rng() % 12;
      char c = alphabet[rng() % sizeof alphabet];
      bool solid = rng() % 2 == 0;
      for (std::size_t i = 0; i < n; ++i) input += solid ? c : alphabet[rng() % sizeof alphabet];
    }
    Reader reader = rng() % 2 == 0 ? Reader::kToDelim : Reader::kToken;
    char delim = alphabet[rng() % sizeof alphabet];
    std::size_t chunk = 1 + rng() % 50;
    bool skipws = rng() % 4 != 0;
    // Lines are read into one string, whose block is reused where it can be,
    // under the load-time growth settings and others.
    AString::initial_capacity(trial % 3 == 0 ? 16 : 8 + rng() % 60);
    AString::resize_increment(trial % 3 == 0 ? 32 : 16 + rng() % 120);
    SCOPED_TRACE(testing::Message() << "trial " << trial << " delim " << int(delim) << " chunk " << chunk);

    std::istringstream ours(input), theirs(input);
    ChunkedBuffer chunked_buffer(input, chunk);
    UnbufferedBuffer unbuffered_buffer(input);
    std::istream chunked(&chunked_buffer), unbuffered(&unbuffered_buffer);
    std::istream* const streams[] = {&ours, &theirs, &chunked, &unbuffered};
    for (std::istream* in : streams) {
      if (!skipws) *in >> std::noskipws;
    }
    AString kept[3];
    for (int read = 0; read < 64; ++read) {
      Outcome expected = ReadWithReference(theirs, input, reader, delim);
      ASSERT_EQ(ReadWithLibrary(ours, reader, delim, &kept[0]), expected) << "read " << read;
      ASSERT_EQ(ReadWithLibrary(chunked, reader, delim, &kept[1]), expected) << "read " << read << " (chunked)";
      ASSERT_EQ(ReadWithLibrary(unbuffered, reader, delim), expected) << "read " << read << " (unbuffered)";
      if (expected.state != kGood) break;
    }
  }
  AString::initial_capacity(16);
  AString::resize_increment(32);
}

// A stream buffer that throws, and exception masks that turn states into
// exceptions: the same text, state, position and exception as the reference.
TEST(StringStream, ExceptionsMatchPiecewiseReading) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 400; ++trial) {
    std::string input;
    std::size_t n = rng() % 3 == 0 ? rng() % 3100 : rng() % 40;
    for (std::size_t i = 0; i < n; ++i) input += rng() % 9 == 0 ? '\n' : rng() % 11 == 0 ? ' ' : 'k';
    if (trial % 10 == 0) input = std::string(1023 * (1 + rng() % 2), 'k');  // whole pieces to the end
    if (rng() % 3 == 0) input.insert(0, "  ");
    Reader reader = rng() % 2 == 0 ? Reader::kToDelim : Reader::kToken;
    std::size_t chunk = 1 + rng() % 700;
    std::size_t throw_at = rng() % 2 == 0 ? std::string::npos : rng() % (input.size() + 2);
    State masks[] = {kGood, kBad, kEof, kFail, kBad | kEof | kFail};
    State mask = masks[rng() % 5];
    SCOPED_TRACE(testing::Message() << "trial " << trial << " mask " << mask << " throw at " << throw_at);
    ChunkedBuffer ours_buffer(input, chunk, throw_at);
    ChunkedBuffer theirs_buffer(input, chunk, throw_at);
    std::istream ours(&ours_buffer);
    std::istream theirs(&theirs_buffer);
    ours.exceptions(mask);
    theirs.exceptions(mask);
    for (int read = 0; read < 16; ++read) {
      Outcome expected = ReadWithReference(theirs, input, reader, '\n');
      ASSERT_EQ(ReadWithLibrary(ours, reader, '\n'), expected) << "read " << read;
      if (expected.state != kGood || expected.threw) break;
    }
  }
}

}  // namespace
