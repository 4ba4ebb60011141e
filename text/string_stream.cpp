// AString stream input: read_to_delim (with read_line, read_file and
// read_string) and read_token over std::istream.
//
// The readers are defined by a piecewise reading through the scratch buffer
// with std::istream's own calls: get(char&), putback() and get(buffer, 1024,
// delim) for a delimited read; operator>> into the buffer with the field width
// at 1,024 and peek() for a token. Here the stream buffer's get area is
// scanned directly instead, a buffered run at a time, in one pass that stops
// at the delimiter (or whitespace) or a NUL byte, and each run is copied
// whole. The text, the stream's position and the state bits left behind are
// those of the piecewise reading, which tests/text/string_model.h spells
// out and the tests compare against; where they differ on purpose:
//   - a NUL byte inside a line or token is dropped; the piecewise reading
//     kept only the part of each 1,023-character piece before its first NUL.
//   - a token that ends the input ends with eof alone; the piecewise reading
//     also set fail when the token's length was a multiple of 1,023.
//   - the field width is left at 0 after every token read.
// The pieces of 1,023 characters still show in one place: when an exception
// leaves the reader (from the stream buffer with bad in the stream's
// exception mask, or an end of input the mask turns into one), the piece
// being read is lost, so the string keeps the whole pieces before it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ios>
#include <istream>
#include <locale>
#include <streambuf>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "brindle/astring.h"
#include "text/text_internal.h"

using brindle::detail::BlockRoom;
using brindle::detail::FreeBlock;
using brindle::detail::kScratchSize;

namespace {

using std::ios_base;
using Traits = std::char_traits<char>;

// One piece of the piecewise reading: the scratch buffer less its terminator.
constexpr std::size_t kPiece = kScratchSize - 1;

// The get area of any stream buffer. A pointer to a protected member, formed
// in a derived class, may be applied to any object of the base.
struct GetArea : std::streambuf {
  static char* Next(std::streambuf& buffer) { return (buffer.*&GetArea::gptr)(); }
  static char* End(std::streambuf& buffer) { return (buffer.*&GetArea::egptr)(); }
  static void Skip(std::streambuf& buffer, int n) { (buffer.*&GetArea::gbump)(n); }
};

// The first byte in [p, end) that is `c` or NUL; `end` when there is none.
// Sixteen bytes at a time where the processor has SSE2, 32 where it also has
// AVX2 (chosen once, at the first call).
char const* FindByteOrNulPlain(char const* p, char const* end, char c) {
  for (; p != end; ++p) {
    if (*p == c || *p == '\0') return p;
  }
  return end;
}

#if defined(__SSE2__)

char const* FindByteOrNulSse2(char const* p, char const* end, char c) {
  if (end - p < 16) return FindByteOrNulPlain(p, end, c);
  __m128i const wanted = _mm_set1_epi8(c);
  __m128i const zero = _mm_setzero_si128();
  auto hits_at = [&](char const* at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<__m128i const*>(at));
    return static_cast<unsigned int>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, wanted), _mm_cmpeq_epi8(v, zero))));
  };
  for (; end - p >= 16; p += 16) {
    if (unsigned int hits = hits_at(p); hits != 0) return p + __builtin_ctz(hits);
  }
  // The last 16 bytes, overlapping ones already seen (which hold no hit).
  unsigned int hits = hits_at(end - 16);
  return hits != 0 ? end - 16 + __builtin_ctz(hits) : end;
}

__attribute__((target("avx2"))) char const* FindByteOrNulAvx2(char const* p, char const* end, char c) {
  if (end - p < 32) return FindByteOrNulSse2(p, end, c);
  __m256i const wanted = _mm256_set1_epi8(c);
  __m256i const zero = _mm256_setzero_si256();
  for (; end - p >= 32; p += 32) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(p));
    auto hits = static_cast<unsigned int>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, wanted), _mm256_cmpeq_epi8(v, zero))));
    if (hits != 0) return p + __builtin_ctz(hits);
  }
  __m256i v = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(end - 32));
  auto hits = static_cast<unsigned int>(
      _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, wanted), _mm256_cmpeq_epi8(v, zero))));
  return hits != 0 ? end - 32 + __builtin_ctz(hits) : end;
}

char const* FindByteOrNul(char const* p, char const* end, char c) {
  static bool const avx2 = __builtin_cpu_supports("avx2") != 0;
  return avx2 ? FindByteOrNulAvx2(p, end, c) : FindByteOrNulSse2(p, end, c);
}

#else

char const* FindByteOrNul(char const* p, char const* end, char c) { return FindByteOrNulPlain(p, end, c); }

#endif

}  // namespace

namespace brindle::detail {

// Builds the text read, counting input characters and pieces. The string is
// emptied at the start, as every reader begins, but a block of its own is kept
// aside, when it is small, for the first characters read: when they fit its
// room they are copied straight into it, which saves an allocation and a
// release per line or token. The capacity reported is the rule's for the
// length either way.
class StringReader {
 public:
  explicit StringReader(AString& text) : text_(text), spare_(nullptr), spare_room_(0) {
    if (text.buffer_ != nullptr) {
      unsigned int room = BlockRoom(text.buffer_);
      if (room <= kReuseLimit) {
        spare_ = text.buffer_;
        spare_room_ = room;
      } else {
        FreeBlock(text.buffer_);
      }
    }
    text.buffer_ = nullptr;
    text.length_ = text.capacity_ = 0;
  }
  StringReader(StringReader const&) = delete;
  StringReader& operator=(StringReader const&) = delete;
  ~StringReader() {
    if (spare_ != nullptr) FreeBlock(spare_);
  }

  // How many characters the current piece still takes. A full piece is
  // complete once a character behind it is there to be read.
  std::size_t Room() {
    if (used_ == kPiece) {
      kept_ = text_.length_;
      used_ = 0;
    }
    return kPiece - used_;
  }

  // Stores n input characters (at most Room()), none of them NUL.
  void Take(char const* p, std::size_t n) {
    if (n == 0) return;
    Count(n);
    auto k = static_cast<unsigned int>(n);  // n <= kPiece
    if (text_.buffer_ == nullptr && spare_ != nullptr) {
      unsigned int capacity = CapacityFor(k);
      if (capacity <= spare_room_) {
        std::memcpy(spare_, p, k);
        spare_[k] = '\0';
        text_.buffer_ = spare_;
        text_.length_ = k;
        text_.capacity_ = capacity;
        spare_ = nullptr;
        return;
      }
    }
    if (text_.buffer_ != nullptr && std::uint64_t{text_.length_} + k < text_.capacity_) {
      // What append() does within the present block.
      std::memcpy(text_.buffer_ + text_.length_, p, k);
      text_.length_ += k;
      text_.buffer_[text_.length_] = '\0';
      return;
    }
    text_.append(p, 0, k);
  }

  // A NUL byte read: counted as input, not stored.
  void Count(std::size_t n) {
    used_ += n;
    count_ += n;
  }

  std::size_t count() const { return count_; }
  bool piece_full() const { return used_ == kPiece; }

  // Back to the whole pieces before the one being read.
  void LosePiece() { text_.remove(static_cast<unsigned int>(kept_), AString::npos); }

 private:
  // Blocks of up to this many bytes are kept for the next text.
  static constexpr unsigned int kReuseLimit = 2 * kScratchSize;

  // The capacity rule (AString::reserve) for 1 to kPiece characters, where it
  // cannot overflow.
  static unsigned int CapacityFor(unsigned int n) {
    unsigned int initial = AString::get_initial_capacity();
    if (n < initial) return initial;
    unsigned int increment = AString::get_resize_increment();
    // The smallest multiple above n; a power of two (the usual case) needs no division.
    unsigned int below = (increment & (increment - 1)) == 0 ? n & ~(increment - 1) : n / increment * increment;
    return below + increment;
  }

  AString& text_;
  char* spare_;             // the string's old block, until used or released
  unsigned int spare_room_;  // its room
  std::size_t count_ = 0;   // input characters stored, NUL bytes included
  std::size_t used_ = 0;    // of them, in the current piece
  std::size_t kept_ = 0;    // length of the text before the current piece
};

}  // namespace brindle::detail

namespace {

using brindle::detail::StringReader;

// Sets `bits` as istream does once a read has ended. When the exception mask
// makes that throw, the piece being read is lost first, unless it was full
// and `full_piece_kept` (a token's full piece was appended before the peek
// that met the end).
void Finish(std::istream& in, StringReader& text, ios_base::iostate bits, bool full_piece_kept) {
  if (bits == ios_base::goodbit) return;
  if ((in.exceptions() & bits) != 0 && !(full_piece_kept && text.piece_full())) text.LosePiece();
  in.setstate(bits);
}

// For an exception from the stream buffer, as istream handles one: bad is
// set, and fail too when nothing was read; the exception passes on only when
// the mask has bad, and then the piece being read is lost. Call in a handler.
void StreamBufferThrew(std::istream& in, StringReader& text) {
  if ((in.exceptions() & ios_base::badbit) != 0) {
    text.LosePiece();
    try {
      in.setstate(ios_base::badbit);
    } catch (ios_base::failure const&) {
    }
    throw;
  }
  in.setstate(text.count() == 0 ? ios_base::badbit | ios_base::failbit : ios_base::badbit);
}

// Reads into `text` until a stop character, or the end of input. `find`
// gives the first byte of a run that is a stop character or NUL (or the run's
// end); `is_stop` tells a stop character from a NUL. The stop character is
// taken from the stream when `take_stop`. Returns eofbit when the input ended
// first, goodbit otherwise (also after a stream buffer's exception, whose
// state is set already).
template <class Find, class IsStop>
ios_base::iostate Scan(std::istream& in, StringReader& text, Find find, IsStop is_stop, bool take_stop) {
  std::streambuf& buffer = *in.rdbuf();
  for (;;) {
    char* next = GetArea::Next(buffer);
    char* end = GetArea::End(buffer);
    if (next == end) {
      Traits::int_type c;
      try {
        c = buffer.sgetc();
      } catch (...) {
        StreamBufferThrew(in, text);
        return ios_base::goodbit;
      }
      if (Traits::eq_int_type(c, Traits::eof())) return ios_base::eofbit;
      next = GetArea::Next(buffer);
      end = GetArea::End(buffer);
      if (next == end) {
        // A stream buffer without a get area: one character at a time.
        char ch = Traits::to_char_type(c);
        bool stop = is_stop(ch);
        if (!stop || take_stop) {
          try {
            buffer.sbumpc();
          } catch (...) {
            StreamBufferThrew(in, text);
            return ios_base::goodbit;
          }
        }
        if (stop) return ios_base::goodbit;
        text.Room();
        if (ch == '\0') {
          text.Count(1);
        } else {
          text.Take(&ch, 1);
        }
        continue;
      }
    }
    char const* last = next + std::min(static_cast<std::size_t>(end - next), text.Room());
    char const* hit = find(next, last);
    auto taken = static_cast<std::size_t>(hit - next);
    if (hit == last) {
      GetArea::Skip(buffer, static_cast<int>(taken));
      text.Take(next, taken);
    } else if (is_stop(*hit)) {
      GetArea::Skip(buffer, static_cast<int>(taken + (take_stop ? 1 : 0)));
      text.Take(next, taken);
      return ios_base::goodbit;
    } else {  // a NUL byte: read and dropped
      GetArea::Skip(buffer, static_cast<int>(taken + 1));
      text.Take(next, taken);
      text.Count(1);
    }
  }
}

}  // namespace

std::istream& AString::read_to_delim(std::istream& in, char delim) {
  StringReader text(*this);  // empties the string
  if (!in.good()) return in;
  std::istream::sentry ready(in, true);  // flushes a tied stream, skips nothing
  if (!ready) return in;
  ios_base::iostate end = Scan(
      in, text, [delim](char const* first, char const* last) { return FindByteOrNul(first, last, delim); },
      [delim](char c) { return c == delim; }, true);
  if (end == ios_base::eofbit && text.count() == 0) end |= ios_base::failbit;
  Finish(in, text, end, false);
  return in;
}

std::istream& AString::read_line(std::istream& in) { return read_to_delim(in, '\n'); }

std::istream& AString::read_file(std::istream& in) { return read_to_delim(in, '\0'); }

std::istream& AString::read_string(std::istream& in) { return read_to_delim(in, '\0'); }

std::istream& AString::read_token(std::istream& in) {
  StringReader text(*this);  // empties the string
  if (!in.good()) return in;
  in.width(0);
  std::istream::sentry ready(in, false);  // skips leading whitespace when skipws is set
  if (!ready) {
    // What the failed extraction does: nothing stored, fail (set already).
    in.setstate(ios_base::failbit);
    return in;
  }
  std::ctype<char> const& ctype = std::use_facet<std::ctype<char>>(in.getloc());
  std::ctype_base::mask const* classes = ctype.table();
  auto is_space = [classes](char c) { return (classes[static_cast<unsigned char>(c)] & std::ctype_base::space) != 0; };
  ios_base::iostate end = Scan(
      in, text,
      [is_space](char const* first, char const* last) {
        while (first != last && *first != '\0' && !is_space(*first)) ++first;
        return first;
      },
      is_space, false);
  // Nothing stored: only when skipws is off and the input starts with
  // whitespace (fail) or ends at once (eof and fail).
  if (text.count() == 0 && in.good()) end |= ios_base::failbit;
  Finish(in, text, end, true);
  return in;
}
