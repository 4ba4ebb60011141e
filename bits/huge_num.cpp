// AHugeNum's members that are not defined in its header.
#include "brindle/bits.h"

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
