// The stream readers written out as the plain piecewise reading they are
// defined by: a 1,024-character buffer filled with std::istream's own calls
// (get(char&), putback(), get(buffer, 1024, delim); operator>> with the field
// width at 1,024, and peek()). Used by the tests and the fuzz target as the
// reference the library's readers must match in text, position and state;
// with a stream buffer that hands its text out in small pieces (and can be
// made to throw), to exercise the readers at the ends of its get area.
//
// The library's two deliberate departures are folded in, each marked below:
// a piece is appended whole with its NUL bytes dropped (not up to its first
// NUL), and end of input ends a token (instead of one more extraction that
// fails).
#ifndef BRINDLE_TESTS_TEXT_STREAM_REFERENCE_H
#define BRINDLE_TESTS_TEXT_STREAM_REFERENCE_H

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <istream>
#include <locale>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>

#include "brindle/astring.h"

namespace brindle::testing {

// The stream buffer's read position (stream state aside).
inline std::size_t ReadPosition(std::istream& in) {
  return static_cast<std::size_t>(in.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in));
}

// A stream buffer over a text that hands it out `chunk` characters at a time
// (so scans meet the end of the get area often), or with no get area at all
// when `chunk` is 0 (one character per underflow and uflow), and throws from
// underflow once the read position reaches `throw_at`.
class ChunkedBuffer : public std::streambuf {
 public:
  explicit ChunkedBuffer(std::string text, std::size_t chunk, std::size_t throw_at = std::string::npos)
      : text_(std::move(text)), chunk_(chunk), throw_at_(throw_at) {
    char* base = text_.data();
    setg(base, base, base);
  }

 protected:
  int_type underflow() override { return Next(false); }
  int_type uflow() override { return chunk_ == 0 ? Next(true) : std::streambuf::uflow(); }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (off != 0 || dir != std::ios_base::cur) return pos_type(off_type(-1));
    return pos_type(static_cast<off_type>(Position()));
  }

 private:
  std::size_t Position() const { return chunk_ == 0 ? pos_ : static_cast<std::size_t>(gptr() - eback()); }
  int_type Next(bool take) {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    std::size_t const pos = Position();
    if (pos >= throw_at_) throw std::runtime_error("stream buffer failure");
    if (pos >= text_.size()) return traits_type::eof();
    if (chunk_ == 0) return traits_type::to_int_type(text_[take ? pos_++ : pos_]);
    char* base = text_.data();
    setg(base, base + pos, base + std::min(text_.size(), pos + chunk_));
    return traits_type::to_int_type(*gptr());
  }

  std::string text_;
  std::size_t chunk_;
  std::size_t throw_at_;
  std::size_t pos_ = 0;
};

// Departure: the whole piece, NUL bytes dropped.
inline void AppendPiece(std::string& text, char const* piece, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (piece[i] != '\0') text += piece[i];
  }
}

inline std::istream& ReferenceReadToDelim(std::istream& in, char delim, std::string& text) {
  text.clear();
  if (!in.good()) return in;
  char piece[1024];
  for (;;) {
    char ch = 0;
    in.get(ch);
    if (!in.good() || ch == delim) break;
    in.putback(ch);
    in.get(piece, 1024, delim);
    AppendPiece(text, piece, static_cast<std::size_t>(in.gcount()));
    if (!in.good()) break;
  }
  return in;
}

// `input` is the whole text the stream reads, from which the characters an
// extraction stored are recovered by position (they may include NUL bytes,
// which the buffer's terminator would hide).
inline std::istream& ReferenceReadToken(std::istream& in, std::string const& input, std::string& text) {
  text.clear();
  if (!in.good()) return in;
  char piece[1024];
  std::ctype<char> const& ctype = std::use_facet<std::ctype<char>>(in.getloc());
  for (;;) {
    std::size_t before = ReadPosition(in);
    in.width(1024);
    in >> piece;
    std::size_t after = ReadPosition(in);
    std::size_t first = before;
    if ((in.flags() & std::ios_base::skipws) != 0) {
      while (first < after && ctype.is(std::ctype_base::space, input[first])) ++first;
    }
    AppendPiece(text, input.data() + first, after - first);
    if (!in.good()) break;
    int next = in.peek();
    if (next == EOF || std::isspace(next)) break;  // departure: the end of input ends the token
  }
  in.width(0);  // the library leaves the width at 0 whatever happened
  return in;
}

// A whole input read by the library and by the reference side by side.
struct ReadPlan {
  std::string input;
  // 0: read_to_delim(delim), 1: read_line, 2: read_token, 3: read_file, 4: read_string, 5: each in turn
  unsigned int reader = 0;
  char delim = '\n';
  std::size_t chunk = 1;  // characters per get area on the library's side; 0: none
  bool skipws = true;
  std::size_t throw_at = std::string::npos;
  std::ios_base::iostate exceptions = std::ios_base::goodbit;
};

// "" when every read of the plan gives the same text, state, position and
// exception on both sides, and a read that ends normally leaves the capacity
// the rule's for its length; else the first difference.
inline std::string CompareReads(ReadPlan const& plan) {
  ChunkedBuffer ours_buffer(plan.input, plan.chunk, plan.throw_at);
  // The reference puts characters back, which a buffer without a get area
  // cannot take; its reading is the same whatever the get area.
  ChunkedBuffer theirs_buffer(plan.input, plan.chunk == 0 ? 1 : plan.chunk, plan.throw_at);
  std::istream ours(&ours_buffer), theirs(&theirs_buffer);
  for (std::istream* in : {&ours, &theirs}) {
    if (!plan.skipws) *in >> std::noskipws;
    in->exceptions(plan.exceptions);
    in->width(7);  // a token read leaves 0 whatever it was
  }
  AString text;  // kept from read to read, so that its block is reused
  std::string expected;
  // Once the stream is no longer good, a few more reads: each must empty the
  // string and leave the stream as it is.
  for (unsigned int step = 0, idle = 0; step < 512 && idle < 6; ++step) {
    unsigned int const reader = plan.reader == 5 ? step % 5 : plan.reader;
    char const delim = reader == 0 ? plan.delim : reader == 1 ? '\n' : '\0';
    bool ours_threw = false, theirs_threw = false;
    try {
      switch (reader) {
        case 1: text.read_line(ours); break;
        case 2: text.read_token(ours); break;
        case 3: text.read_file(ours); break;
        case 4: text.read_string(ours); break;
        default: text.read_to_delim(ours, delim);
      }
    } catch (...) {
      ours_threw = true;
    }
    try {
      reader == 2 ? ReferenceReadToken(theirs, plan.input, expected) : ReferenceReadToDelim(theirs, delim, expected);
    } catch (...) {
      theirs_threw = true;
      if (reader == 2) theirs.width(0);  // departure: a token read leaves 0 even when it throws
    }
    // Length, position, state and whether it threw, on each side.
    auto const outcome = [](std::istream& in, std::size_t length, bool threw) {
      return std::to_string(length) + " to " + std::to_string(ReadPosition(in)) + " state " +
             std::to_string(in.rdstate()) + (threw ? " threw" : " width " + std::to_string(in.width()));
    };
    std::string const got = outcome(ours, text.length(), ours_threw);
    std::string const want = outcome(theirs, expected.size(), theirs_threw);
    if (expected != text.c_str() || got != want) return "read " + std::to_string(step) + ": " + got + ", not " + want;
    if (!ours_threw && (text.reserve() != AString(text.c_str()).reserve() || (text.length() == 0) != text.is_null())) {
      return "read " + std::to_string(step) + ": capacity " + std::to_string(text.reserve());
    }
    idle += !ours.good() || ours_threw;
  }
  return "";
}

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_TEXT_STREAM_REFERENCE_H
