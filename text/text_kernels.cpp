#include "text/text_kernels.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define BRINDLE_X86 1
#endif

namespace brindle::detail {

namespace {

// --- CRC tables -----------------------------------------------------------------

constexpr std::uint32_t kPoly = 0x1021;  // x^16 + x^12 + x^5 + 1, the x^16 term implied

using CrcTables = std::array<std::array<std::uint16_t, 256>, 8>;

// tables[k][b]: the register after feeding byte b, then k zero bytes, from 0.
constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t c = b << 8;
    for (int bit = 0; bit < 8; ++bit) c = (c & 0x8000) != 0 ? (c << 1) ^ kPoly : c << 1;
    t[0][b] = static_cast<std::uint16_t>(c);
  }
  for (int k = 1; k < 8; ++k) {
    for (std::uint32_t b = 0; b < 256; ++b) {
      std::uint16_t prev = t[k - 1][b];
      t[k][b] = static_cast<std::uint16_t>(t[0][prev >> 8] ^ (prev << 8));
    }
  }
  return t;
}

constexpr CrcTables kCrc = MakeCrcTables();
static_assert(kCrc[0][1] == 0x1021 && kCrc[0][255] == 0x1EF0, "the standard table for 0x1021");

inline std::uint16_t CrcStep(std::uint16_t c, unsigned char b) {
  return static_cast<std::uint16_t>(kCrc[0][((c >> 8) ^ b) & 0xFF] ^ (c << 8));
}

std::uint16_t Crc16SlicingFrom(std::uint16_t c, unsigned char const* p, std::size_t n) {
  // Eight bytes at once: the register is folded into the first two, and each
  // byte's contribution is its table entry for the zero bytes behind it.
  while (n >= 8) {
    c = static_cast<std::uint16_t>(kCrc[7][p[0] ^ (c >> 8)] ^ kCrc[6][p[1] ^ (c & 0xFF)] ^ kCrc[5][p[2]] ^
                                   kCrc[4][p[3]] ^ kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^ kCrc[0][p[7]]);
    p += 8;
    n -= 8;
  }
  while (n-- > 0) c = CrcStep(c, *p++);
  return c;
}

// x^k mod P, for the folding constants.
constexpr std::uint64_t XPowModP(unsigned int k) {
  std::uint32_t r = 1;
  for (unsigned int i = 0; i < k; ++i) {
    r <<= 1;
    if ((r & 0x10000) != 0) r ^= 0x10000 | kPoly;
  }
  return r;
}

}  // namespace

std::uint16_t Crc16Plain(unsigned char const* p, std::size_t n) {
  std::uint16_t c = 0;
  for (std::size_t i = 0; i < n; ++i) c = CrcStep(c, p[i]);
  return c;
}

std::uint16_t Crc16Slicing(unsigned char const* p, std::size_t n) { return Crc16SlicingFrom(0, p, n); }

#if defined(BRINDLE_X86)

bool HaveClmul() {
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ecx & bit_PCLMUL) != 0 && (ecx & bit_SSSE3) != 0;
}

// Folding, with the data read most significant byte first as one long
// polynomial M: a 128-bit accumulator X stands for the bytes so far, and
// X * x^D + B == (X_hi * (x^(D+64) mod P)) ^ (X_lo * (x^D mod P)) ^ B (mod P).
// Each product has at most 64 + 15 bits, so nothing is lost. At the end X is
// congruent to the message prefix mod P, and the CRC of the prefix is the
// CRC of X's own 16 bytes.
namespace {

#define BRINDLE_CLMUL __attribute__((target("pclmul,ssse3"), always_inline)) inline

BRINDLE_CLMUL __m128i Reversed(__m128i x) {
  return _mm_shuffle_epi8(x, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

// Sixteen bytes as a polynomial, the first byte's top bit the highest term.
BRINDLE_CLMUL __m128i Load(unsigned char const* at) {
  return Reversed(_mm_loadu_si128(reinterpret_cast<__m128i const*>(at)));
}

BRINDLE_CLMUL __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

#undef BRINDLE_CLMUL

}  // namespace

__attribute__((target("pclmul,ssse3"))) std::uint16_t Crc16Clmul(unsigned char const* p, std::size_t n) {
  if (n < 16) return Crc16SlicingFrom(0, p, n);
  __m128i const k128 = _mm_set_epi64x(static_cast<long long>(XPowModP(128 + 64)), static_cast<long long>(XPowModP(128)));
  __m128i x;
  if (n >= 64) {
    // Four accumulators 64 bytes apart keep four multiplications in flight.
    __m128i const k512 =
        _mm_set_epi64x(static_cast<long long>(XPowModP(512 + 64)), static_cast<long long>(XPowModP(512)));
    __m128i x0 = Load(p), x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
    p += 64;
    n -= 64;
    while (n >= 64) {
      x0 = _mm_xor_si128(Fold(x0, k512), Load(p));
      x1 = _mm_xor_si128(Fold(x1, k512), Load(p + 16));
      x2 = _mm_xor_si128(Fold(x2, k512), Load(p + 32));
      x3 = _mm_xor_si128(Fold(x3, k512), Load(p + 48));
      p += 64;
      n -= 64;
    }
    x1 = _mm_xor_si128(x1, Fold(x0, k128));
    x2 = _mm_xor_si128(x2, Fold(x1, k128));
    x = _mm_xor_si128(x3, Fold(x2, k128));
  } else {
    x = Load(p);
    p += 16;
    n -= 16;
  }
  while (n >= 16) {
    x = _mm_xor_si128(Fold(x, k128), Load(p));
    p += 16;
    n -= 16;
  }
  alignas(16) unsigned char prefix[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(prefix), Reversed(x));
  return Crc16SlicingFrom(Crc16SlicingFrom(0, prefix, 16), p, n);
}

#else

bool HaveClmul() { return false; }
std::uint16_t Crc16Clmul(unsigned char const* p, std::size_t n) { return Crc16SlicingFrom(0, p, n); }

#endif

std::uint16_t Crc16(unsigned char const* p, std::size_t n) {
  static bool const clmul = HaveClmul();
  return clmul ? Crc16Clmul(p, n) : Crc16SlicingFrom(0, p, n);
}

// --- Hash -------------------------------------------------------------------------

namespace {
inline std::uint32_t Rotl(std::uint32_t v, unsigned int r) { return (v << r) | (v >> ((32 - r) & 31)); }
}  // namespace

std::uint32_t HashPlain(unsigned char const* p, std::size_t n) {
  std::uint32_t h = 0;
  for (std::size_t i = 0; i < n; ++i) h = Rotl(h, 1) ^ p[i];
  return h;
}

std::uint32_t HashFast(unsigned char const* p, std::size_t n) {
  if (n == 0) return 0;
  // Byte i ends rotated left by (n - 1 - i) mod 32, that is by n - 1 after a
  // rotation right by i: the bytes are summed (xor) into 32 lanes by i mod
  // 32, each lane turns right by its index, then the whole once.
#if defined(__SSE2__)
  auto const load = [](unsigned char const* at) { return _mm_loadu_si128(reinterpret_cast<__m128i const*>(at)); };
  __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();  // lanes 0-15, 16-31
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    low = _mm_xor_si128(low, load(p + i));
    high = _mm_xor_si128(high, load(p + i + 16));
  }
  if (i < n) {
    alignas(16) unsigned char tail[32] = {};
    std::memcpy(tail, p + i, n - i);
    low = _mm_xor_si128(low, load(tail));
    high = _mm_xor_si128(high, load(tail + 16));
  }
  // Lane 8a + c turns right by c after 8a, which puts its byte at byte
  // (4 - a) mod 4: the lanes of one c make one word, built for all eight c
  // by one byte transpose of rows a = 0, 3, 2, 1, and each word turns right
  // by its c.
  __m128i const rows03 = _mm_unpacklo_epi8(low, _mm_unpackhi_epi64(high, high));
  __m128i const rows21 = _mm_unpacklo_epi8(high, _mm_unpackhi_epi64(low, low));
  alignas(16) std::uint32_t words[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(words), _mm_unpacklo_epi16(rows03, rows21));
  _mm_store_si128(reinterpret_cast<__m128i*>(words + 4), _mm_unpackhi_epi16(rows03, rows21));
  std::uint32_t const g = (words[0] ^ Rotl(words[1], 31) ^ Rotl(words[2], 30) ^ Rotl(words[3], 29)) ^
                          (Rotl(words[4], 28) ^ Rotl(words[5], 27) ^ Rotl(words[6], 26) ^ Rotl(words[7], 25));
  return Rotl(g, static_cast<unsigned int>((n - 1) & 31));
#else
  std::uint64_t acc[4] = {0, 0, 0, 0};
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    for (int w = 0; w < 4; ++w) {
      std::uint64_t word;
      std::memcpy(&word, p + i + 8 * w, sizeof word);
      acc[w] ^= word;
    }
  }
  unsigned char lanes[32];
  std::memcpy(lanes, acc, sizeof lanes);
  for (; i < n; ++i) lanes[i & 31] ^= p[i];
  std::uint32_t g[4] = {0, 0, 0, 0};
#pragma GCC unroll 32
  for (unsigned int j = 0; j < 32; ++j) g[j & 3] ^= Rotl(lanes[j], (32 - j) & 31);
  return Rotl(g[0] ^ g[1] ^ g[2] ^ g[3], static_cast<unsigned int>((n - 1) & 31));
#endif
}

// --- Searches -----------------------------------------------------------------------

ByteSet::ByteSet(char const* members, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    unsigned char b = static_cast<unsigned char>(members[i]);
    bits[b >> 6] |= std::uint64_t{1} << (b & 63);
  }
}

namespace {

bool SameTail(char const* at, char const* needle, std::size_t m) {
  return m <= 2 || std::memcmp(at + 1, needle + 1, m - 2) == 0;
}

}  // namespace

char const* FindBytes(char const* p, std::size_t n, char const* needle, std::size_t m) {
  if (m == 0 || n < m) return nullptr;
  if (m == 1) return static_cast<char const*>(std::memchr(p, needle[0], n));
  std::size_t i = 0;
  std::size_t const last_start = n - m;  // the last position an occurrence may begin
  // While the first byte is rare, memchr skips fastest; once it stops often
  // at false starts (more than once per 32 bytes on average), filter sixteen
  // positions at a time on the first and last bytes together.
  std::size_t false_starts = 0;
  while (i <= last_start) {
    char const* hit = static_cast<char const*>(std::memchr(p + i, needle[0], last_start - i + 1));
    if (hit == nullptr) return nullptr;
    if (hit[m - 1] == needle[m - 1] && SameTail(hit, needle, m)) return hit;
    i = static_cast<std::size_t>(hit - p) + 1;
    if (++false_starts >= 8 && false_starts * 32 > i) break;
  }
#if defined(__SSE2__)
  __m128i const first = _mm_set1_epi8(needle[0]);
  __m128i const final = _mm_set1_epi8(needle[m - 1]);
  for (; i + 15 <= last_start; i += 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p + i + m - 1));
    unsigned int mask = static_cast<unsigned int>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
    while (mask != 0) {
      unsigned int bit = static_cast<unsigned int>(__builtin_ctz(mask));
      if (SameTail(p + i + bit, needle, m)) return p + i + bit;
      mask &= mask - 1;
    }
  }
#endif
  for (; i <= last_start; ++i) {
    if (p[i] == needle[0] && p[i + m - 1] == needle[m - 1] && SameTail(p + i, needle, m)) return p + i;
  }
  return nullptr;
}

char const* FindLastBytes(char const* p, std::size_t n, char const* needle, std::size_t m) {
  if (m == 0 || n < m) return nullptr;
  std::size_t end = n - m + 1;  // candidate positions are [0, end)
#if defined(__SSE2__)
  __m128i const first = _mm_set1_epi8(needle[0]);
  __m128i const final = _mm_set1_epi8(needle[m - 1]);
  for (; end >= 16; end -= 16) {
    std::size_t base = end - 16;
    __m128i a = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p + base));
    __m128i b = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p + base + m - 1));
    unsigned int mask = static_cast<unsigned int>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
    while (mask != 0) {
      unsigned int bit = 31u - static_cast<unsigned int>(__builtin_clz(mask));
      if (SameTail(p + base + bit, needle, m)) return p + base + bit;
      mask &= ~(1u << bit);
    }
  }
#endif
  while (end-- > 0) {
    if (p[end] == needle[0] && p[end + m - 1] == needle[m - 1] && SameTail(p + end, needle, m)) return p + end;
  }
  return nullptr;
}

char const* FindLastByte(char const* p, std::size_t n, char c) {
#if defined(__SSE2__)
  __m128i const want = _mm_set1_epi8(c);
  for (; n >= 16; n -= 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p + n - 16));
    unsigned int mask = static_cast<unsigned int>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, want)));
    if (mask != 0) return p + n - 16 + (31u - static_cast<unsigned int>(__builtin_clz(mask)));
  }
#endif
  while (n-- > 0) {
    if (p[n] == c) return p + n;
  }
  return nullptr;
}

}  // namespace brindle::detail
