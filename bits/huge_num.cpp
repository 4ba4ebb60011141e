#include <cstdint>

#include "brindle/bits.h"

namespace {

// The value is HSW * 2^64 + (MSW * 2^32 + LSW). Arithmetic runs on the low
// 64 bits as one unsigned 64-bit word and on HSW apart, so every carry and
// shift stays within a defined unsigned width.
static_assert(sizeof(std::uint64_t) == 2 * sizeof(unsigned int));

constexpr unsigned int kBits = 96;

std::uint64_t Low64(unsigned int msw, unsigned int lsw) { return (std::uint64_t{msw} << 32) | lsw; }

}  // namespace

AHugeNum::AHugeNum(unsigned int value) : hsw_(0), msw_(0), lsw_(value) {}
AHugeNum& AHugeNum::operator=(AHugeNum const& other) = default;

unsigned int AHugeNum::HSW() const { return hsw_; }
unsigned int AHugeNum::MSW() const { return msw_; }
unsigned int AHugeNum::LSW() const { return lsw_; }
unsigned int AHugeNum::Hash() const { return msw_ ^ lsw_ ^ hsw_; }

AHugeNum::operator void const*() const { return (hsw_ | msw_ | lsw_) != 0 ? this : nullptr; }

AHugeNum& AHugeNum::operator&=(AHugeNum const& other) {
  hsw_ &= other.hsw_;
  msw_ &= other.msw_;
  lsw_ &= other.lsw_;
  return *this;
}

AHugeNum& AHugeNum::operator|=(AHugeNum const& other) {
  hsw_ |= other.hsw_;
  msw_ |= other.msw_;
  lsw_ |= other.lsw_;
  return *this;
}

AHugeNum& AHugeNum::operator^=(AHugeNum const& other) {
  hsw_ ^= other.hsw_;
  msw_ ^= other.msw_;
  lsw_ ^= other.lsw_;
  return *this;
}


AHugeNum const AHugeNum::operator++(int) {
  AHugeNum const old(*this);
  ++*this;
  return old;
}

AHugeNum const AHugeNum::operator--(int) {
  AHugeNum const old(*this);
  --*this;
  return old;
}

// The shifts move whole words at once; only the result of shifting one bit
// at a time, n times, is promised. Both parts of the value (the low 64 bits,
// and HSW held in 64 bits) are shifted by s = n mod 64, and the n >= 64 case
// is chosen by a mask, not a branch: counts are often random. Every shift
// distance stays within 0..63; a shift by 64 - s is split in two so that
// s = 0 gives 0 rather than undefined behaviour.
AHugeNum& AHugeNum::operator<<=(int count) {
  unsigned int const n = static_cast<unsigned int>(count) % kBits;  // 0..95
  unsigned int const s = n % 64;
  std::uint64_t const low = Low64(msw_, lsw_);
  std::uint64_t const high = hsw_;
  std::uint64_t const moved = low << s;
  std::uint64_t const carry = (low >> 1) >> (63 - s);  // low >> (64 - s)
  std::uint64_t const past_low = 0 - std::uint64_t{n >= 64};  // all ones or 0
  std::uint64_t const new_low = moved & ~past_low;
  std::uint64_t const new_high = (moved & past_low) | (((high << s) | carry) & ~past_low);
  hsw_ = static_cast<unsigned int>(new_high);  // bits past 95 are lost
  msw_ = static_cast<unsigned int>(new_low >> 32);
  lsw_ = static_cast<unsigned int>(new_low);
  return *this;
}

AHugeNum& AHugeNum::operator>>=(int count) {
  unsigned int const n = static_cast<unsigned int>(count) % kBits;  // 0..95
  unsigned int const s = n % 64;
  std::uint64_t const low = Low64(msw_, lsw_);
  std::uint64_t const high = hsw_;
  std::uint64_t const moved = high >> s;
  std::uint64_t const carry = (high << 1) << (63 - s);  // high << (64 - s)
  std::uint64_t const past_low = 0 - std::uint64_t{n >= 64};  // all ones or 0
  std::uint64_t const new_low = (moved & past_low) | (((low >> s) | carry) & ~past_low);
  std::uint64_t const new_high = moved & ~past_low;
  hsw_ = static_cast<unsigned int>(new_high);
  msw_ = static_cast<unsigned int>(new_low >> 32);
  lsw_ = static_cast<unsigned int>(new_low);
  return *this;
}

int AHugeNum::operator[](int i) const {
  unsigned int const bit = static_cast<unsigned int>(i);
  unsigned int word;
  switch (bit / 32) {
    case 0: word = lsw_; break;
    case 1: word = msw_; break;
    case 2: word = hsw_; break;
    default: return 0;
  }
  return (word >> (bit % 32)) & 1u;
}
