/// @file
/// ABitField, a fixed-length bit set, and AHugeNum, a 96-bit unsigned integer.
///
/// Bits of an ABitField are numbered from 0, most significant first within
/// each byte: bit 0 is 0x80 of byte 0, bit 7 is 0x01 of byte 0, bit 8 is 0x80
/// of byte 1. The spare bits past the count in the last byte are always clear.
///
/// @code
/// ABitField f(20);
/// f.BSET(0).BSET(19);  // bytes 80 00 10
/// @endcode
///
/// AHugeNum arithmetic is modulo 2^96; values wider than 32 bits are built with
/// shifts, OR and addition:
///
/// @code
/// AHugeNum n(1);
/// n <<= 95;            // HSW() 0x80000000
/// @endcode
///
/// Thread safety: both are plain values with no shared state. Distinct
/// objects may be used on several threads at once; one object may be read
/// (const members) on several threads at once, but changed by one thread
/// only while no other uses it.
#ifndef BRINDLE_BITS_H
#define BRINDLE_BITS_H

#include <cstdint>
#include <type_traits>

#include "brindle/export.h"
#include "brindle/framework.h"

/// A set of 16 to 65535 bits, numbered from 0.
class BRINDLE_API ABitField {
 public:
  /// A field of `count` bits, clamped to 16..65535; every bit starts clear.
  explicit ABitField(unsigned int count = 32);
  /// A copy of `other`: its count and its bits.
  ABitField(ABitField const& other);
  /// Becomes a copy of `other`, its count included.
  ABitField& operator=(ABitField const& other);
  ~ABitField();

  /// The number of bits.
  [[nodiscard]] unsigned int BLENGTH() const;

  /// @name Single bits
  /// An index at or past the count reads as 0 and is ignored by BSET and
  /// BRESET. operator[] takes its index as unsigned: a negative index is 0.
  /// @{

  /// 1 when bit `i` is set, else 0.
  [[nodiscard]] int BTEST(unsigned int i) const;
  /// As BTEST().
  [[nodiscard]] int operator[](int i) const;
  /// Sets bit `i`; returns this field, for chaining.
  ABitField& BSET(unsigned int i);
  /// Clears bit `i`; returns this field, for chaining.
  ABitField& BRESET(unsigned int i);
  /// @}

  /// @name Bytewise combination
  /// The count becomes the smaller of the two; the block keeps its size, and
  /// bytes past the new count are left as they were.
  /// @{
  ABitField& operator&=(ABitField const& other);  ///< Keeps the bits set in both.
  ABitField& operator|=(ABitField const& other);  ///< Adds the bits set in `other`.
  ABitField& operator^=(ABitField const& other);  ///< Flips the bits set in `other`.
  /// @}

  /// 1 when both have the same count and the same bits.
  [[nodiscard]] int operator==(ABitField const& other) const;

  /// The object's address when any bit is set, else null.
  operator void const*() const;  // NOLINT(google-explicit-constructor)

  /// @name Visiting bits
  /// Calls fn(i, context) for each set (clear) bit i, highest index first. A
  /// callback may set and clear bits but must not change the count; a bit it
  /// changes below the one being reported is seen as it is when reached. A
  /// null fn calls nothing.
  /// @{

  /// Calls `fn(i, context)` for each set bit `i`, highest first.
  ABitField const& ForEachSet(void (*fn)(unsigned int, void*), void* context) const;
  /// Calls `fn(i, context)` for each clear bit `i`, highest first.
  ABitField const& ForEachReset(void (*fn)(unsigned int, void*), void* context) const;
  /// @}

 protected:
  /// @name Archive form
  /// The archive form: the count as a 16-bit little-endian word, then the
  /// ceil(count / 8) bytes as held. Reading a stored count of 0 consumes the
  /// word and leaves the field as it was; a short read leaves a field of the
  /// stored count with every bit clear. Spare bits read are cleared.
  /// @{

  /// Writes the field to a storing archive.
  CArchive& archive_write(CArchive& archive) const;
  /// Reads the field from a loading archive; an archive that throws leaves
  /// the field as it was.
  CArchive& archive_read(CArchive& archive);
  /// @}

 private:
  [[nodiscard]] unsigned int byte_count() const;  // ceil(count / 8)
  void clear_spare_bits();

  unsigned short count_;
  unsigned char* bits_;  // from the global operator new; owned
};

/// An unsigned 96-bit integer, held as three 32-bit words.
class BRINDLE_API AHugeNum {
 public:
  /// The value `value`.
  AHugeNum(unsigned int value = 0);  // NOLINT(google-explicit-constructor)
  /// A copy of `other`.
  AHugeNum(AHugeNum const& other) = default;  // trivial: plain word copies
  /// Takes `other`'s value.
  AHugeNum& operator=(AHugeNum const& other);

  [[nodiscard]] unsigned int HSW() const;  ///< Bits 64-95.
  [[nodiscard]] unsigned int MSW() const;  ///< Bits 32-63.
  [[nodiscard]] unsigned int LSW() const;  ///< Bits 0-31.
  /// The three words XORed together.
  [[nodiscard]] unsigned int Hash() const;

  /// The object's address when the value is not zero, else null.
  operator void const*() const;  // NOLINT(google-explicit-constructor)

  /// @name Comparisons
  /// 1 or 0, by the unsigned 96-bit values.
  /// @{
  [[nodiscard]] int operator==(AHugeNum const& other) const;  ///< Equal.
  [[nodiscard]] int operator!=(AHugeNum const& other) const;  ///< Not equal.
  [[nodiscard]] int operator<(AHugeNum const& other) const;   ///< Less.
  [[nodiscard]] int operator>(AHugeNum const& other) const;   ///< Greater.
  [[nodiscard]] int operator<=(AHugeNum const& other) const;  ///< Not greater.
  [[nodiscard]] int operator>=(AHugeNum const& other) const;  ///< Not less.
  /// @}

  /// @name Arithmetic
  /// Modulo 2^96: a carry or borrow out of bit 95 is dropped.
  /// @{
  AHugeNum& operator&=(AHugeNum const& other);  ///< Bitwise AND.
  AHugeNum& operator|=(AHugeNum const& other);  ///< Bitwise OR.
  AHugeNum& operator^=(AHugeNum const& other);  ///< Bitwise exclusive OR.
  AHugeNum& operator+=(AHugeNum const& other);  ///< Adds `other` (which may be this object).
  AHugeNum& operator-=(AHugeNum const& other);  ///< Subtracts `other`.
  AHugeNum& operator++();                       ///< Adds 1.
  AHugeNum& operator--();                       ///< Subtracts 1.
  AHugeNum const operator++(int);               ///< Adds 1; returns the value before.
  AHugeNum const operator--(int);               ///< Subtracts 1; returns the value before.
  /// @}

  /// @name Shifts
  /// The count, taken as unsigned, is reduced modulo 96: a shift by 96 leaves
  /// the value as it is, by -1 shifts by 63 (2^32 - 1 mod 96).
  /// @{
  AHugeNum& operator<<=(int count);  ///< Shifts towards bit 95; bits past it are lost.
  AHugeNum& operator>>=(int count);  ///< Shifts towards bit 0; zeros come in at the top.
  /// @}

  /// Bit i of the value; 0 for any i outside 0..95.
  [[nodiscard]] int operator[](int i) const;

 private:
  // Most significant first, as the words lie in memory.
  unsigned int hsw_;
  unsigned int msw_;
  unsigned int lsw_;
};

// The construction, copy, comparisons, additions and shifts are defined here
// so that callers can inline them; the library exports them all the same.
// Every carry, borrow and shift stays in a defined unsigned width: a word is
// widened to 64 bits to add or subtract, the low 64 bits are one 64-bit word
// to compare or shift.

BRINDLE_INLINE AHugeNum::AHugeNum(unsigned int value) : hsw_(0), msw_(0), lsw_(value) {}

// Defaulted here, not in the class, so that the library still emits it.
BRINDLE_INLINE AHugeNum& AHugeNum::operator=(AHugeNum const& other) = default;

BRINDLE_INLINE int AHugeNum::operator==(AHugeNum const& other) const {
  return hsw_ == other.hsw_ && msw_ == other.msw_ && lsw_ == other.lsw_ ? 1 : 0;
}

BRINDLE_INLINE int AHugeNum::operator!=(AHugeNum const& other) const { return *this == other ? 0 : 1; }

BRINDLE_INLINE int AHugeNum::operator<(AHugeNum const& other) const {
  if (hsw_ != other.hsw_) return hsw_ < other.hsw_ ? 1 : 0;
  std::uint64_t const low = (std::uint64_t{msw_} << 32) | lsw_;
  std::uint64_t const other_low = (std::uint64_t{other.msw_} << 32) | other.lsw_;
  return low < other_low ? 1 : 0;
}

BRINDLE_INLINE int AHugeNum::operator>(AHugeNum const& other) const { return other < *this; }
BRINDLE_INLINE int AHugeNum::operator<=(AHugeNum const& other) const { return other < *this ? 0 : 1; }
BRINDLE_INLINE int AHugeNum::operator>=(AHugeNum const& other) const { return *this < other ? 0 : 1; }

// A word's carry is bit 32 of its widened sum: plain arithmetic, where a
// carry found by comparing 32-bit words compiled to a branch taken at
// random. Both read all of `other` first: it may be this object.
BRINDLE_INLINE AHugeNum& AHugeNum::operator+=(AHugeNum const& other) {
  unsigned int const add_hsw = other.hsw_, add_msw = other.msw_, add_lsw = other.lsw_;
  std::uint64_t const lsw = std::uint64_t{lsw_} + add_lsw;
  std::uint64_t const msw = std::uint64_t{msw_} + add_msw + (lsw >> 32);
  hsw_ = hsw_ + add_hsw + static_cast<unsigned int>(msw >> 32);  // a carry out of bit 95 is dropped
  msw_ = static_cast<unsigned int>(msw);
  lsw_ = static_cast<unsigned int>(lsw);
  return *this;
}

// A word's borrow is bit 63 of its widened difference.
BRINDLE_INLINE AHugeNum& AHugeNum::operator-=(AHugeNum const& other) {
  unsigned int const sub_hsw = other.hsw_, sub_msw = other.msw_, sub_lsw = other.lsw_;
  std::uint64_t const lsw = std::uint64_t{lsw_} - sub_lsw;
  std::uint64_t const msw = std::uint64_t{msw_} - sub_msw - (lsw >> 63);
  hsw_ = hsw_ - sub_hsw - static_cast<unsigned int>(msw >> 63);  // a borrow out of bit 95 is dropped
  msw_ = static_cast<unsigned int>(msw);
  lsw_ = static_cast<unsigned int>(lsw);
  return *this;
}

BRINDLE_INLINE AHugeNum& AHugeNum::operator++() { return *this += AHugeNum(1); }
BRINDLE_INLINE AHugeNum& AHugeNum::operator--() { return *this -= AHugeNum(1); }

// The shifts move whole words at once; only the result of shifting one bit
// at a time, n times, is promised. Both parts of the value (the low 64 bits,
// and HSW held in 64 bits) are shifted by s = n mod 64, and the n >= 64 case
// is chosen by a mask, not a branch: counts are often random. Every shift
// distance stays within 0..63; a shift by 64 - s is split in two so that
// s = 0 gives 0 rather than undefined behaviour.
BRINDLE_INLINE AHugeNum& AHugeNum::operator<<=(int count) {
  unsigned int const n = static_cast<unsigned int>(count) % 96;  // 0..95
  unsigned int const s = n % 64;
  std::uint64_t const low = (std::uint64_t{msw_} << 32) | lsw_;
  std::uint64_t const high = hsw_;
  std::uint64_t const moved = low << s;
  std::uint64_t const carry = (low >> 1) >> (63 - s);          // low >> (64 - s)
  std::uint64_t const past_low = 0 - std::uint64_t{n >= 64};  // all ones or 0
  std::uint64_t const new_low = moved & ~past_low;
  std::uint64_t const new_high = (moved & past_low) | (((high << s) | carry) & ~past_low);
  hsw_ = static_cast<unsigned int>(new_high);  // bits past 95 are lost
  msw_ = static_cast<unsigned int>(new_low >> 32);
  lsw_ = static_cast<unsigned int>(new_low);
  return *this;
}

BRINDLE_INLINE AHugeNum& AHugeNum::operator>>=(int count) {
  unsigned int const n = static_cast<unsigned int>(count) % 96;  // 0..95
  unsigned int const s = n % 64;
  std::uint64_t const low = (std::uint64_t{msw_} << 32) | lsw_;
  std::uint64_t const high = hsw_;
  std::uint64_t const moved = high >> s;
  std::uint64_t const carry = (high << 1) << (63 - s);         // high << (64 - s)
  std::uint64_t const past_low = 0 - std::uint64_t{n >= 64};  // all ones or 0
  std::uint64_t const new_low = (moved & past_low) | (((low >> s) | carry) & ~past_low);
  std::uint64_t const new_high = moved & ~past_low;
  hsw_ = static_cast<unsigned int>(new_high);
  msw_ = static_cast<unsigned int>(new_low >> 32);
  lsw_ = static_cast<unsigned int>(new_low);
  return *this;
}

static_assert(sizeof(unsigned int) == 4, "AHugeNum words are 32-bit");
static_assert(sizeof(AHugeNum) == 12);
static_assert(std::is_standard_layout_v<AHugeNum> && std::is_trivially_copy_constructible_v<AHugeNum> &&
              std::is_trivially_destructible_v<AHugeNum>);

#endif  // BRINDLE_BITS_H
