#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/bits.h"

namespace {

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 U128;
#else
// Targets without a 128-bit type (32-bit x86) get a plain two-word model.
class U128 {
 public:
  constexpr U128(std::uint64_t low = 0) : hi_(0), lo_(low) {}
  explicit constexpr operator std::uint32_t() const { return static_cast<std::uint32_t>(lo_); }
  explicit constexpr operator int() const { return static_cast<int>(lo_); }

  friend constexpr U128 operator<<(U128 v, unsigned int n) {
    n &= 127u;
    if (n == 0) return v;
    if (n >= 64) return Of(v.lo_ << (n - 64), 0);
    return Of(v.hi_ << n | v.lo_ >> (64 - n), v.lo_ << n);
  }
  friend constexpr U128 operator>>(U128 v, unsigned int n) {
    n &= 127u;
    if (n == 0) return v;
    if (n >= 64) return Of(0, v.hi_ >> (n - 64));
    return Of(v.hi_ >> n, v.lo_ >> n | v.hi_ << (64 - n));
  }
  // Counts of any integer type, as the built-in shifts take them.
  template <typename N>
  friend constexpr U128 operator<<(U128 v, N n) { return v << static_cast<unsigned int>(n); }
  template <typename N>
  friend constexpr U128 operator>>(U128 v, N n) { return v >> static_cast<unsigned int>(n); }
  friend constexpr U128 operator|(U128 a, U128 b) { return Of(a.hi_ | b.hi_, a.lo_ | b.lo_); }
  friend constexpr U128 operator&(U128 a, U128 b) { return Of(a.hi_ & b.hi_, a.lo_ & b.lo_); }
  friend constexpr U128 operator^(U128 a, U128 b) { return Of(a.hi_ ^ b.hi_, a.lo_ ^ b.lo_); }
  friend constexpr U128 operator+(U128 a, U128 b) { return Of(a.hi_ + b.hi_ + (a.lo_ + b.lo_ < a.lo_), a.lo_ + b.lo_); }
  friend constexpr U128 operator-(U128 a, U128 b) { return Of(a.hi_ - b.hi_ - (a.lo_ < b.lo_), a.lo_ - b.lo_); }
  friend constexpr bool operator==(U128 a, U128 b) = default;
  friend constexpr bool operator<(U128 a, U128 b) { return a.hi_ != b.hi_ ? a.hi_ < b.hi_ : a.lo_ < b.lo_; }
  friend constexpr bool operator>(U128 a, U128 b) { return b < a; }
  friend constexpr bool operator<=(U128 a, U128 b) { return !(b < a); }
  friend constexpr bool operator>=(U128 a, U128 b) { return !(a < b); }

  U128& operator+=(U128 b) { return *this = *this + b; }
  U128& operator-=(U128 b) { return *this = *this - b; }
  U128& operator&=(U128 b) { return *this = *this & b; }
  U128& operator|=(U128 b) { return *this = *this | b; }
  U128& operator^=(U128 b) { return *this = *this ^ b; }
  U128& operator<<=(unsigned int n) { return *this = *this << n; }
  U128& operator>>=(unsigned int n) { return *this = *this >> n; }
  U128& operator++() { return *this += 1; }
  U128& operator--() { return *this -= 1; }
  U128 operator++(int) { U128 old = *this; ++*this; return old; }
  U128 operator--(int) { U128 old = *this; --*this; return old; }

 private:
  static constexpr U128 Of(std::uint64_t hi, std::uint64_t lo) {
    U128 v(lo);
    v.hi_ = hi;
    return v;
  }
  std::uint64_t hi_;
  std::uint64_t lo_;
};
#endif
U128 const kMask96 = (U128{1} << 96) - 1;

U128 Value(AHugeNum const& n) {
  return (U128{n.HSW()} << 64) | (U128{n.MSW()} << 32) | n.LSW();
}

// Built as a client must: from 32-bit values with shifts and OR.
AHugeNum Make(std::uint32_t hsw, std::uint32_t msw, std::uint32_t lsw) {
  AHugeNum n(hsw);
  n <<= 32;
  n |= AHugeNum(msw);
  n <<= 32;
  n |= AHugeNum(lsw);
  return n;
}

AHugeNum Make(U128 v) {
  return Make(static_cast<std::uint32_t>(v >> 64), static_cast<std::uint32_t>(v >> 32),
              static_cast<std::uint32_t>(v));
}

void ExpectWords(AHugeNum const& n, std::uint32_t hsw, std::uint32_t msw, std::uint32_t lsw) {
  EXPECT_EQ(n.HSW(), hsw);
  EXPECT_EQ(n.MSW(), msw);
  EXPECT_EQ(n.LSW(), lsw);
}

TEST(HugeNum, ConstructionAndTruth) {
  ExpectWords(AHugeNum(), 0, 0, 0);
  EXPECT_EQ(static_cast<void const*>(AHugeNum()), nullptr);
  AHugeNum one(1);
  EXPECT_EQ(static_cast<void const*>(one), &one);
  ExpectWords(AHugeNum(0xDEADBEEF), 0, 0, 0xDEADBEEF);
  AHugeNum n;
  EXPECT_EQ(&(n = one), &n);
  EXPECT_EQ(n == one, 1);
  EXPECT_EQ(AHugeNum(5).Hash(), 5u);
  EXPECT_EQ(Make(0, 7, 7).Hash(), 0u);
  EXPECT_EQ(Make(1, 2, 4).Hash(), 7u);
}

TEST(HugeNum, CarriesAndBorrows) {
  AHugeNum n(0xFFFFFFFF);
  n += AHugeNum(1);
  ExpectWords(n, 0, 1, 0);
  AHugeNum zero;
  zero -= AHugeNum(1);
  ExpectWords(zero, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
  ++zero;
  ExpectWords(zero, 0, 0, 0);
  AHugeNum self = Make(0x40000000, 0x80000000, 0x80000001);
  self += self;  // doubles
  ExpectWords(self, 0x80000001, 0x00000001, 0x00000002);
  self -= self;
  ExpectWords(self, 0, 0, 0);
  AHugeNum borrow = Make(1, 0, 0);
  --borrow;
  ExpectWords(borrow, 0, 0xFFFFFFFF, 0xFFFFFFFF);
}

TEST(HugeNum, PrefixAndPostfix) {
  AHugeNum n(7);
  AHugeNum const before = n++;
  EXPECT_EQ(before.LSW(), 7u);
  EXPECT_EQ(n.LSW(), 8u);
  EXPECT_EQ(&++n, &n);
  EXPECT_EQ(n.LSW(), 9u);
  AHugeNum const after_dec = n--;
  EXPECT_EQ(after_dec.LSW(), 9u);
  EXPECT_EQ(n.LSW(), 8u);
  EXPECT_EQ(&--n, &n);
  EXPECT_EQ(n.LSW(), 7u);
}

TEST(HugeNum, Shifts) {
  struct Row {
    char const* what;
    AHugeNum start;
    int count;
    bool left;
    std::uint32_t hsw, msw, lsw;
  };
  std::vector<Row> const rows = {
      {"1 << 95", AHugeNum(1), 95, true, 0x80000000, 0, 0},
      {"1 << 96 (count mod 96)", AHugeNum(1), 96, true, 0, 0, 1},
      {"1 << 97", AHugeNum(1), 97, true, 0, 0, 2},
      {"1 << -1 (shifts by 63)", AHugeNum(1), -1, true, 0, 0x80000000, 0},
      {"1 << -2 (shifts by 62)", AHugeNum(1), -2, true, 0, 0x40000000, 0},
      {"1 << 32", AHugeNum(1), 32, true, 0, 1, 0},
      {"1 << 64", AHugeNum(1), 64, true, 1, 0, 0},
      {"top bit << 1 is lost", Make(0x80000000, 0, 0), 1, true, 0, 0, 0},
      {"1 >> 1", AHugeNum(1), 1, false, 0, 0, 0},
      {"top bit >> 95", Make(0x80000000, 0, 0), 95, false, 0, 0, 1},
      {"across words >> 1", Make(1, 1, 0), 1, false, 0, 0x80000000, 0x80000000},
      {"across words >> 33", Make(1, 1, 0), 33, false, 0, 0, 0x80000000},
      {">> 0", Make(1, 2, 3), 0, false, 1, 2, 3},
      {">> INT_MIN (shifts by 32)", Make(1, 2, 3), INT32_MIN, false, 0, 1, 2},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.what);
    AHugeNum n = row.start;
    AHugeNum& result = row.left ? (n <<= row.count) : (n >>= row.count);
    EXPECT_EQ(&result, &n);
    ExpectWords(n, row.hsw, row.msw, row.lsw);
  }
}

TEST(HugeNum, BitTest) {
  AHugeNum const one(1);
  EXPECT_EQ(one[0], 1);
  EXPECT_EQ(one[1], 0);
  AHugeNum const top = Make(0x80000000, 0, 0);
  EXPECT_EQ(top[95], 1);
  EXPECT_EQ(top[94], 0);
  EXPECT_EQ(top[96], 0);
  EXPECT_EQ(top[-1], 0);
  EXPECT_EQ(Make(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF)[-1], 0);
  EXPECT_EQ(Make(0, 1, 0)[32], 1);
}

TEST(HugeNum, Comparison) {
  AHugeNum const high = Make(1, 0, 0);
  AHugeNum const below = Make(0, 0xFFFFFFFF, 0xFFFFFFFF);
  EXPECT_EQ(high > below, 1);
  EXPECT_EQ(high < below, 0);
  EXPECT_EQ(high >= below, 1);
  EXPECT_EQ(below <= high, 1);
  EXPECT_EQ(high <= high, 1);
  EXPECT_EQ(high >= high, 1);
  EXPECT_EQ(high < high, 0);
  EXPECT_EQ(high != below, 1);
  EXPECT_EQ(high != high, 0);
}

// Random operation sequences against a 128-bit model masked to 96 bits,
// shifts by negative and large counts included.
TEST(HugeNum, AgreesWith128BitModel) {
  std::mt19937_64 rng(96);
  auto random_value = [&]() -> U128 {
    U128 v = (U128{rng()} << 64 | rng()) & kMask96;
    switch (rng() % 4) {  // favour values near the word edges
      case 0: return v >> (rng() % 96);
      case 1: return kMask96 - (v >> (rng() % 96));
      default: return v;
    }
  };
  auto random_count = [&]() -> int {
    switch (rng() % 3) {
      case 0: return static_cast<int>(rng() % 200) - 100;
      case 1: return static_cast<int>(static_cast<std::uint32_t>(rng()));
      default: return static_cast<int>(rng() % 96);
    }
  };
  for (int sequence = 0; sequence < 2000; ++sequence) {
    U128 model = random_value();
    AHugeNum n = Make(model);
    for (int step = 0; step < 20; ++step) {
      U128 const operand = random_value();
      AHugeNum const other = Make(operand);
      unsigned int const op = static_cast<unsigned int>(rng() % 11);
      int const count = random_count();
      unsigned int const reduced = static_cast<unsigned int>(count) % 96;
      switch (op) {
        case 0: n += other; model += operand; break;
        case 1: n -= other; model -= operand; break;
        case 2: n &= other; model &= operand; break;
        case 3: n |= other; model |= operand; break;
        case 4: n ^= other; model ^= operand; break;
        case 5: n <<= count; model <<= reduced; break;
        case 6: n >>= count; model >>= reduced; break;
        case 7: ++n; ++model; break;
        case 8: --n; --model; break;
        case 9: n++; model++; break;
        default: n--; model--; break;
      }
      model &= kMask96;
      ASSERT_TRUE(Value(n) == model) << "sequence " << sequence << " step " << step << " op " << op;
      ASSERT_EQ(n < other, model < operand ? 1 : 0);
      ASSERT_EQ(n > other, model > operand ? 1 : 0);
      ASSERT_EQ(n <= other, model <= operand ? 1 : 0);
      ASSERT_EQ(n >= other, model >= operand ? 1 : 0);
      ASSERT_EQ(n == other, model == operand ? 1 : 0);
      int const bit = random_count();
      ASSERT_EQ(n[bit], bit >= 0 && bit < 96 ? static_cast<int>((model >> bit) & 1) : 0) << bit;
    }
  }
}

}  // namespace
