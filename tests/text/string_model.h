// Reference models for the string tests and the fuzz targets: of AString
// storage (below) and of the stream readers (further down).
//
// The storage model is written straight from the rules of each operation
// (the temporary-string steps of insert included), with std::string for the
// text, beside the operations that drive a string and the model side by
// side, chosen by bytes: random ones in the property test, the fuzzer's input
// in the fuzz target.
#ifndef BRINDLE_TESTS_TEXT_STRING_MODEL_H
#define BRINDLE_TESTS_TEXT_STRING_MODEL_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <istream>
#include <locale>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>

#include "brindle/astring.h"

namespace brindle::testing {

struct StringModel {
  std::string text;
  unsigned int capacity = 0;

  static unsigned int Rule(unsigned int n) {
    if (n < AString::get_initial_capacity()) return n == 0 ? 0 : AString::get_initial_capacity();
    return (n / AString::get_resize_increment() + 1) * AString::get_resize_increment();
  }

  // What assign() takes from a text at a position and length.
  static std::string Take(char const* p, unsigned int pos, unsigned int len) {
    if (p == nullptr || len == 0 || pos >= std::strlen(p)) return {};
    return std::string(p).substr(pos, len);
  }

  void Clear() { *this = StringModel(); }

  // What a run of n copies of c adds: nothing for a NUL.
  static std::string Run(char c, unsigned int n) { return c == '\0' ? std::string() : std::string(n, c); }

  void Assign(std::string const& taken) {
    if (taken.empty()) return Clear();
    text = taken;
    capacity = Rule(static_cast<unsigned int>(taken.size()));
  }

  void Append(std::string const& taken) {
    if (text.empty()) return Assign(taken);
    if (taken.empty()) return;
    unsigned int const total = static_cast<unsigned int>(text.size() + taken.size());
    if (total >= capacity) capacity = Rule(total);
    text += taken;
  }

  void Prepend(std::string const& taken) {
    if (text.empty()) return Assign(taken);
    if (taken.empty()) return;
    text.insert(0, taken);
    capacity = Rule(static_cast<unsigned int>(text.size()));
  }

  // insert as its steps say: a temporary from the selected part of s, this
  // string's tail appended to it, this string cut to its head, the temporary
  // appended.
  void Insert(unsigned int pos, std::string const& s, unsigned int s_pos, unsigned int s_len) {
    StringModel temp;
    temp.Assign(Take(s.c_str(), s_pos, s_len));
    temp.Append(Take(text.c_str(), pos, AString::npos));
    std::string own = text;
    Assign(Take(own.c_str(), 0, pos));
    Append(temp.text);
  }

  // A removal that leaves nothing frees the block.
  void Remove(unsigned int pos, unsigned int len) {
    if (pos >= text.size()) return;
    text.erase(pos, len);
    if (text.empty()) Clear();
  }
};

// Empty string when the AString and the model agree, else both sides.
inline std::string Mismatch(AString const& s, StringModel const& m) {
  // Positions reach up to the terminator; past it, the empty text, and reads
  // give NUL (even after a write out of range).
  unsigned int const n = s.length();
  bool const held = !m.text.empty();
  bool const agree = n == m.text.size() && s.reserve() == m.capacity && s.freeboard() == m.capacity - n &&
                     std::strcmp(s.c_str(), m.text.c_str()) == 0 && s.is_null() != held && s.c_str()[n] == '\0' &&
                     (held || s.c_str() == &AString::empty_text) && s.p_str() == s.c_str() && s() == s.c_str() &&
                     s.p_str(n) == s.c_str() + n && s.c_str(n) == s.c_str() + n &&
                     s.c_str(n + 1) == &AString::empty_text && s(AString::npos) == &AString::empty_text &&
                     s.valid_index(n) == held && s.valid_index(n + 1) == 0 && s.valid_element(n) == 0 &&
                     s.valid_element(n - held) == held && s[n] == '\0' && s[-1] == '\0';
  if (agree) return "";
  return "'" + std::string(s.c_str()) + "' capacity " + std::to_string(s.reserve()) + ", not '" + m.text +
         "' capacity " + std::to_string(m.capacity);
}

// The bytes that choose operations and their arguments; zeros past the end.
struct OpSource {
  std::uint8_t const* data;
  std::size_t size;
  std::size_t pos = 0;
  bool empty() const { return pos >= size; }
  std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
  // A position about a length: within it, just past it, or near npos.
  unsigned int Position(unsigned int length) {
    std::uint8_t b = Byte();
    return b >= 0xF0 ? AString::npos - (b & 0x0F) : b % (length + 3);
  }
  std::string Text() {
    std::string t(Byte() % 4 == 0 ? Byte() % 90 : Byte() % 12, ' ');
    for (char& c : t) c = static_cast<char>(Byte() | 1);  // no NUL inside
    return t;
  }
};

// Up to 64 operations chosen by the bytes, applied to a string and to the
// model and checked after each; "" when all agree. Self-reference and changes
// of the growth settings included; the settings are restored afterwards.
inline std::string RunOps(std::uint8_t const* data, std::size_t size) {
  OpSource in{data, size};
  AString s;
  StringModel m;
  std::string why;
  for (int step = 0; step < 64 && !in.empty() && why.empty(); ++step) {
    if (m.text.size() > 1 << 16) {  // a string appended to itself doubles: keep memory bounded
      s.clear();
      m.Clear();
    }
    std::uint8_t const op = in.Byte();
    bool const self = (op & 0x80) != 0 && !m.text.empty();
    std::string const text = self ? m.text : in.Text();
    char const* p = self ? s.c_str() : ((op & 0x70) == 0x70 ? nullptr : text.c_str());
    char const* p_model = p == nullptr ? nullptr : text.c_str();
    unsigned int const pos = in.Position(static_cast<unsigned int>(text.size()));
    unsigned int const len = in.Position(40);
    unsigned int const at = in.Position(s.length());
    char const c = static_cast<char>(in.Byte() % 8 == 0 ? 0 : 'A' + in.Byte() % 26);
    switch (op & 0x0F) {
      case 0: s.assign(c, len % 300); m.Assign(StringModel::Run(c, len % 300)); break;
      case 1: s.assign(p, pos, len); m.Assign(StringModel::Take(p_model, pos, len)); break;
      case 2: s.append(c, len % 300); m.Append(StringModel::Run(c, len % 300)); break;
      case 3: s.append(p, pos, len); m.Append(StringModel::Take(p_model, pos, len)); break;
      case 4: s.prepend(c, len % 300); m.Prepend(StringModel::Run(c, len % 300)); break;
      case 5: s.prepend(p, pos, len); m.Prepend(StringModel::Take(p_model, pos, len)); break;
      case 6: {
        AString const other(text.c_str());
        s.insert(at, self ? s : other, pos, len);
        m.Insert(at, text, pos, len);
        break;
      }
      case 7: s.remove(at, len); m.Remove(at, len); break;
      case 8: {  // copies are sized by their own length
        AString copy(s);
        s = (op & 0x10) != 0 ? copy : AString(std::move(copy));
        m.Assign(std::string(m.text));
        break;
      }
      case 9: s.clear(); m.Clear(); break;
      case 10: s += p; m.Append(StringModel::Take(p_model, 0, AString::npos)); break;
      case 11: AString::initial_capacity(pos); AString::resize_increment(len * 4); break;
      case 12: {  // a number is appended as its default text
        int const number = static_cast<int>(in.Byte() << 8 | in.Byte()) - 30000;
        s << number;
        m.Append(std::to_string(number));
        break;
      }
      default:  // writes reach only the characters there are
        if (c == '\0') break;
        s[at] = c;
        s.put_at(len, c);
        if (at < m.text.size()) m.text[at] = c;
        if (len < m.text.size()) m.text[len] = c;
        break;
    }
    why = Mismatch(s, m);
    if (!why.empty()) why = "step " + std::to_string(step) + " op " + std::to_string(op & 0x0F) + ":" + why;
  }
  AString::initial_capacity(16);
  AString::resize_increment(32);
  return why;
}

// The stream readers written out as the plain piecewise reading they are
// defined by: a 1,024-character buffer filled with std::istream's own calls
// (get(char&), putback(), get(buffer, 1024, delim); operator>> with the field
// width at 1,024, and peek()). Used by the tests and the fuzz target as the
// reference the library's readers must match in text, position and state;
// with a stream buffer that hands its text out in small pieces (and can be
// made to throw), to exercise the readers at the ends of its get area.
//
// The library's deliberate departures are folded in, each marked below: a
// piece is appended whole with its NUL bytes dropped (not up to its first
// NUL), end of input ends a token (instead of one more extraction that
// fails), and a token read leaves the field width at 0 even when it throws.

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
    setg(text_.data(), text_.data(), text_.data());
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
  text.append(piece, n);
  text.erase(std::remove(text.end() - static_cast<std::ptrdiff_t>(n), text.end(), '\0'), text.end());
}

inline void ReferenceReadToDelim(std::istream& in, char delim, std::string& text) {
  text.clear();
  char piece[1024];
  for (char ch = 0; in.good() && in.get(ch) && ch != delim;) {
    in.putback(ch);
    in.get(piece, 1024, delim);
    AppendPiece(text, piece, static_cast<std::size_t>(in.gcount()));
  }
}

// `input` is the whole text the stream reads, from which the characters an
// extraction stored are recovered by position (they may include NUL bytes,
// which the buffer's terminator would hide).
inline void ReferenceReadToken(std::istream& in, std::string const& input, std::string& text) {
  text.clear();
  if (!in.good()) return;
  char piece[1024];
  std::ctype<char> const& ctype = std::use_facet<std::ctype<char>>(in.getloc());
  bool const skip = (in.flags() & std::ios_base::skipws) != 0;
  for (;;) {
    std::size_t first = ReadPosition(in);
    in.width(1024);
    in >> piece;
    std::size_t const after = ReadPosition(in);
    while (skip && first < after && ctype.is(std::ctype_base::space, input[first])) ++first;
    AppendPiece(text, input.data() + first, after - first);
    if (!in.good()) break;
    if (in.peek() == EOF || std::isspace(in.peek())) break;  // departure: the end of input ends the token
  }
  in.width(0);  // the library leaves the width at 0 whatever happened
}

// A whole input read by the library and by the reference side by side, as
// the bytes choose: a text of runs of a few characters or of about a piece's
// length; the reader; the characters per get area on the library's side (0:
// none); flags; a buffer that throws; and the growth settings (restored
// afterwards). "" when every read gives the same text, state, position, width
// and exception on both sides; else the first difference.
inline std::string CompareReads(std::uint8_t const* data, std::size_t size) {
  OpSource in{data, size};
  char const alphabet[] = {'a', 'b', ' ', '\n', ';', '\t', '\0', '\xE9', '\r', '\v'};
  auto pick = [&in, &alphabet] { return alphabet[in.Byte() % sizeof alphabet]; };
  // 0: read_to_delim(delim), 1: read_line, 2: read_token, 3: read_file, 4: read_string, 5: each in turn
  unsigned int const readers = in.Byte() % 6u;
  char const plan_delim = pick();
  std::uint8_t const mode = in.Byte(), growth = in.Byte();
  std::size_t const chunk = mode % 8 == 0 ? 0 : mode % 8 == 1 ? 4096 : 1 + in.Byte() % 50;
  std::string input;
  for (int runs = in.Byte() % 8; runs > 0; --runs) {
    std::size_t const n = in.Byte() % 4 == 0 ? 1020 + in.Byte() * 4u : in.Byte() % 12u;
    bool const solid = in.Byte() % 2 == 0;
    char const c = pick();
    for (std::size_t i = 0; i < n; ++i) input += solid ? c : pick();
  }
  if ((mode & 0x30) == 0x30) input = std::string(1023u * (1 + mode / 128), 'k');  // whole pieces to the end
  std::size_t throw_at = std::string::npos;
  std::ios_base::iostate const bad = std::ios_base::badbit, eof = std::ios_base::eofbit, fail = std::ios_base::failbit;
  std::ios_base::iostate exceptions = std::ios_base::goodbit;
  if ((mode & 0xC0) == 0x40) throw_at = in.Byte() * (input.size() + 2) / 256;
  if ((mode & 0x40) != 0) exceptions = std::array{bad, eof, fail, bad | eof | fail}[in.Byte() % 4];
  AString::initial_capacity(in.Byte() % 70);
  // Increments of 2^k and 2^k - 1 as well as any: a power of two takes a shortcut.
  AString::resize_increment(growth < 64 ? growth * 2 : (16u << growth / 64) - growth % 2);

  ChunkedBuffer ours_buffer(input, chunk, throw_at);
  // The reference puts characters back, which a buffer without a get area
  // cannot take; its reading is the same whatever the get area.
  ChunkedBuffer theirs_buffer(input, chunk == 0 ? 1 : chunk, throw_at);
  std::istream ours(&ours_buffer), theirs(&theirs_buffer);
  for (std::istream* stream : {&ours, &theirs}) {
    if ((mode & 0x08) != 0) *stream >> std::noskipws;
    stream->exceptions(exceptions);
    stream->width(7);  // a token read leaves 0 whatever it was
  }
  AString text;  // kept from read to read, so that its block is reused
  std::string expected, why;
  // Once the stream is no longer good, a few more reads: each must empty the
  // string and leave the stream as it is.
  for (unsigned int step = 0, idle = 0; step < 512 && idle < 6 && why.empty(); ++step) {
    unsigned int const reader = readers == 5 ? step % 5 : readers;
    char const delim = reader == 0 ? plan_delim : reader == 1 ? '\n' : '\0';
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
      reader == 2 ? ReferenceReadToken(theirs, input, expected) : ReferenceReadToDelim(theirs, delim, expected);
    } catch (...) {
      theirs_threw = true;
      if (reader == 2) theirs.width(0);  // departure: a token read leaves 0 even when it throws
    }
    // Length, position, state, and the width or whether it threw, on each side.
    auto const outcome = [](std::istream& stream, std::size_t length, bool threw) {
      return std::to_string(length) + " to " + std::to_string(ReadPosition(stream)) + " state " +
             std::to_string(stream.rdstate()) + (threw ? " threw" : " width " + std::to_string(stream.width()));
    };
    // A read that ends normally leaves the capacity the rule's for its length.
    std::string const got = outcome(ours, text.length(), ours_threw) +
                            (ours_threw || text.reserve() == StringModel::Rule(text.length()) ? "" : " capacity");
    std::string const want = outcome(theirs, expected.size(), theirs_threw);
    if (expected != text.c_str() || got != want) why = "read " + std::to_string(step) + ": " + got + ", not " + want;
    idle += !ours.good() || ours_threw;
  }
  AString::initial_capacity(16);
  AString::resize_increment(32);
  return why;
}

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_TEXT_STRING_MODEL_H
