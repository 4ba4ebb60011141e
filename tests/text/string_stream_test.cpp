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
  std::size_t position() const { return pos_; }

 protected:
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

Outcome ReadWithLibrary(std::istream& in, Reader reader, char delim) {
  AString s("left over");
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

TEST(StringStream, ReadLineSequence) {
  std::istringstream in("ab\ncd");
  AString s;
  s.read_line(in);
  EXPECT_STREQ(s.c_str(), "ab");
  EXPECT_EQ(in.rdstate(), kGood);
  s.read_line(in);
  EXPECT_STREQ(s.c_str(), "cd");
  EXPECT_EQ(in.rdstate(), kEof);  // text before the end: eof, not fail
  s.read_line(in);
  EXPECT_EQ(s.is_null(), 1);
  EXPECT_EQ(in.rdstate(), kEof);  // returned at once, unchanged
}

TEST(StringStream, DelimitedReadEdgeCases) {
  struct Row {
    std::string input;
    char delim;
    char const* text;
    State state;
    char const* rest;
  } const rows[] = {
      {"\nx", '\n', "", kGood, "x"},  // a lone line end
      {"", '\n', "", kEof | kFail, ""},
      {"a;b", ';', "a", kGood, "b"},
      {"b", ';', "b", kEof, ""},
      {"a b", ' ', "a", kGood, "b"},
      {std::string("one\ntwo\n\0tail", 13), '\0', "one\ntwo\n", kGood, "tail"},  // read_file, read_string
      {"one\ntwo", '\0', "one\ntwo", kEof, ""},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.input);
    std::istringstream in(row.input);
    AString s;
    s.read_to_delim(in, row.delim);
    EXPECT_STREQ(s.c_str(), row.text);
    EXPECT_EQ(in.rdstate(), row.state);
    EXPECT_EQ(Rest(in, row.input), row.rest);
  }
  std::istringstream file("one\ntwo\n");
  AString whole;
  whole.read_file(file);
  EXPECT_STREQ(whole.c_str(), "one\ntwo\n");
  std::istringstream string_input("one\ntwo");
  whole.read_string(string_input);
  EXPECT_STREQ(whole.c_str(), "one\ntwo");
  EXPECT_EQ(string_input.rdstate(), kEof);
}

TEST(StringStream, LongLinesAreReadWhole) {
  for (std::size_t n : {1022u, 1023u, 1024u, 2046u, 3000u, 100000u}) {
    SCOPED_TRACE(n);
    std::string line(n, 'x');
    for (std::size_t i = 0; i < n; i += 7) line[i] = static_cast<char>('a' + i % 26);
    std::istringstream in(line + "\nnext");
    AString s;
    s.read_line(in);
    EXPECT_EQ(s.length(), n);
    EXPECT_EQ(std::string(s.c_str()), line);
    EXPECT_EQ(in.rdstate(), kGood);
    // The capacity is the rule's for the length, as if assigned at once.
    EXPECT_EQ(s.reserve(), AString('x', static_cast<unsigned int>(n)).reserve());
    s.read_line(in);
    EXPECT_STREQ(s.c_str(), "next");
  }
}

// One string reads lines of every size in turn (its block is reused where it
// can be): the capacity after each read is the rule's for the length, under
// the load-time growth settings and under others.
TEST(StringStream, CapacityFollowsTheRule) {
  struct RestoreGrowth {
    ~RestoreGrowth() {
      AString::initial_capacity(16);
      AString::resize_increment(32);
    }
  } restore;
  std::mt19937 rng(3);
  std::string input;
  for (int i = 0; i < 300; ++i) input += std::string(rng() % 5 == 0 ? rng() % 3000 : rng() % 200, 'c') + "\n";
  for (auto [initial, increment] : {std::pair{16u, 32u}, std::pair{8u, 16u}, std::pair{64u, 128u}, std::pair{40u, 48u}}) {
    SCOPED_TRACE(testing::Message() << initial << ", " << increment);
    AString::initial_capacity(initial);
    AString::resize_increment(increment);
    std::istringstream in(input);
    AString line;
    while (line.read_line(in), in.good()) {
      ASSERT_EQ(line.reserve(), AString(line.c_str()).reserve()) << line.length();
      ASSERT_EQ(line.is_null(), line.length() == 0 ? 1 : 0);
    }
  }
}

TEST(StringStream, ReadTokenSequence) {
  std::istringstream in("  foo bar");
  AString s;
  s.read_token(in);
  EXPECT_STREQ(s.c_str(), "foo");
  EXPECT_EQ(in.rdstate(), kGood);
  EXPECT_EQ(in.peek(), ' ');  // the whitespace that ended the token stays
  s.read_token(in);
  EXPECT_STREQ(s.c_str(), "bar");
  EXPECT_EQ(in.rdstate(), kEof);
  s.read_token(in);
  EXPECT_EQ(s.is_null(), 1);

  std::istringstream blanks(" \t\n ");
  s.read_token(blanks);
  EXPECT_EQ(s.is_null(), 1);
  EXPECT_EQ(blanks.rdstate(), kEof | kFail);
}

TEST(StringStream, TokenEndingTheInputEndsWithEofAlone) {
  for (std::size_t n : {1u, 1022u, 1023u, 1024u, 2045u, 2046u, 2047u, 3069u}) {
    SCOPED_TRACE(n);
    std::string token(n, 't');
    std::istringstream in(" " + token);
    AString s;
    s.read_token(in);
    EXPECT_EQ(s.length(), n);
    EXPECT_EQ(in.rdstate(), kEof);
    std::istringstream followed(token + "\tx");
    s.read_token(followed);
    EXPECT_EQ(s.length(), n);
    EXPECT_EQ(followed.rdstate(), kGood);
    EXPECT_EQ(followed.peek(), '\t');
  }
}

TEST(StringStream, StreamNotGoodIsReturnedUnchanged) {
  for (State state : {kEof, kFail, kBad, kEof | kFail}) {
    SCOPED_TRACE(state);
    for (Reader reader : {Reader::kToDelim, Reader::kToken}) {
      std::istringstream in("text\nmore");
      in.setstate(state);
      Outcome o = ReadWithLibrary(in, reader, '\n');
      EXPECT_EQ(o, (Outcome{"", state, 0, false}));
    }
  }
}

TEST(StringStream, NulBytesAreDropped) {
  std::string input("a\0b\nc\0\0 d", 9);
  std::istringstream in(input);
  AString s;
  s.read_line(in);
  EXPECT_STREQ(s.c_str(), "ab");
  s.read_token(in);
  EXPECT_STREQ(s.c_str(), "c");
  EXPECT_EQ(Rest(in, input), " d");
}

TEST(StringStream, TokenLeavesWidthAtZeroAndHonoursSkipws) {
  std::istringstream in(" word");
  in.width(7);
  AString s;
  s.read_token(in);
  EXPECT_EQ(in.width(), 0);
  std::istringstream spaced(" word");
  spaced >> std::noskipws;
  s.read_token(spaced);
  EXPECT_EQ(s.is_null(), 1);
  EXPECT_EQ(spaced.rdstate(), kFail);  // nothing stored, the blank not taken
  EXPECT_EQ(Rest(spaced, " word"), " word");
}

TEST(StringStream, UnbufferedStreamBufferReadsTheSame) {
  std::string const input = "alpha beta\n\n  gamma;delta\nend";
  for (Reader reader : {Reader::kToDelim, Reader::kToken}) {
    for (char delim : {'\n', ';', ' '}) {
      UnbufferedBuffer buffer(input);
      std::istream unbuffered(&buffer);
      std::istringstream buffered(input);
      for (int i = 0; i < 8; ++i) {
        Outcome a = ReadWithLibrary(unbuffered, reader, delim);
        Outcome b = ReadWithLibrary(buffered, reader, delim);
        EXPECT_EQ(a.text, b.text);
        EXPECT_EQ(a.state, b.state);
        EXPECT_EQ(buffer.position(), ReadPosition(buffered));
      }
    }
  }
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
    SCOPED_TRACE(testing::Message() << "trial " << trial << " delim " << int(delim) << " chunk " << chunk);

    std::istringstream ours(input);
    std::istringstream theirs(input);
    ChunkedBuffer chunked_buffer(input, chunk);
    std::istream chunked(&chunked_buffer);
    for (int read = 0; read < 64; ++read) {
      Outcome expected = ReadWithReference(theirs, input, reader, delim);
      ASSERT_EQ(ReadWithLibrary(ours, reader, delim), expected) << "read " << read;
      ASSERT_EQ(ReadWithLibrary(chunked, reader, delim), expected) << "read " << read << " (chunked)";
      if (expected.state != kGood) break;
    }
  }
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
