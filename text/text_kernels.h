// Byte kernels behind AString's searches and checksums. Internal.
//
// Each kernel works on a counted run of bytes and gives exactly the result of
// the plain definition beside it; the fast forms differ only in speed. The
// CRC has a carry-less-multiplication form chosen at run time where the
// processor has it and a table-slicing form everywhere; both are callable
// directly so that tests can check each against the definition.
#ifndef BRINDLE_TEXT_TEXT_KERNELS_H
#define BRINDLE_TEXT_TEXT_KERNELS_H

#include <cstddef>
#include <cstdint>

namespace brindle::detail {

// --- Rotate-and-xor hash ------------------------------------------------------
// h = 0; for each byte b: h = rotl(h, 1) ^ b.
std::uint32_t HashPlain(unsigned char const* p, std::size_t n);
// The same value, many bytes at a time: the hash is linear over xor, and byte
// i of n ends rotated left by (n - 1 - i) mod 32, so the bytes can be folded
// into 32 lanes by xor first and rotated once per lane.
std::uint32_t HashFast(unsigned char const* p, std::size_t n);

// --- CRC-16 (polynomial 0x1021, initial 0, MSB first, no final xor) ----------
// The byte-at-a-time table definition.
std::uint16_t Crc16Plain(unsigned char const* p, std::size_t n);
// Eight bytes per step through eight tables.
std::uint16_t Crc16Slicing(unsigned char const* p, std::size_t n);
// 64 bytes per step by carry-less multiplication; only where HaveClmul().
std::uint16_t Crc16Clmul(unsigned char const* p, std::size_t n);
bool HaveClmul();
// The fastest form this processor has.
std::uint16_t Crc16(unsigned char const* p, std::size_t n);

// --- Searches over [p, p + n) -------------------------------------------------
// First occurrence of the `m` bytes of `needle` (m >= 1); null when none.
char const* FindBytes(char const* p, std::size_t n, char const* needle, std::size_t m);
// Last occurrence beginning at or before p + n - m; null when none (m >= 1).
char const* FindLastBytes(char const* p, std::size_t n, char const* needle, std::size_t m);
// Last byte equal to c; null when none.
char const* FindLastByte(char const* p, std::size_t n, char c);

// A set of bytes as a 256-bit map.
struct ByteSet {
  std::uint64_t bits[4] = {0, 0, 0, 0};
  ByteSet(char const* members, std::size_t count);
  bool Has(unsigned char b) const { return (bits[b >> 6] >> (b & 63)) & 1u; }
};

}  // namespace brindle::detail

#endif  // BRINDLE_TEXT_TEXT_KERNELS_H
