#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/geometry.h"
#include "tests/geometry/print.h"

namespace {

TEST(Point, Construction) {
  EXPECT_EQ(APoint(3, -4), APoint(POINT{3, -4}));
  EXPECT_EQ(APoint(ASize(5, 6)), APoint(5, 6));
  // Packed halves are unsigned 16-bit: no sign extension.
  APoint packed(0xFFFF0001u);
  EXPECT_EQ(packed.X(), 1);
  EXPECT_EQ(packed.Y(), 65535);
  EXPECT_EQ(APoint(0x8000FFFFu), APoint(65535, 32768));
  APoint a(1, 2);
  APoint b(7, 8);
  EXPECT_EQ(&(a = b), &a);
  EXPECT_EQ(a, b);
}

TEST(Point, RecordViews) {
  APoint p(1, 2);
  POINT const* read = p;
  POINT* write = p;
  EXPECT_EQ(read, static_cast<POINT const*>(&p));
  write->y = 9;
  EXPECT_EQ(p.Y(), 9);
}

TEST(Point, Arithmetic) {
  EXPECT_EQ(-APoint(3, -4), APoint(-3, 4));
  EXPECT_EQ(APoint(5, 7) + ASize(2, 3), APoint(7, 10));
  // point - size is a point, point - point a size
  APoint moved = APoint(5, 7) - ASize(2, 3);
  ASize apart = APoint(5, 7) - APoint(2, 3);
  EXPECT_EQ(moved, APoint(3, 4));
  EXPECT_EQ(apart, ASize(3, 4));
  EXPECT_TRUE(APoint(1, 2) != APoint(1, 3));
  EXPECT_FALSE(APoint(1, 2) != APoint(1, 2));
}

TEST(Point, OffsetAndOffsetBy) {
  APoint p(1, 1);
  APoint q = p.OffsetBy(2, 3);
  EXPECT_EQ(p, APoint(1, 1));
  EXPECT_EQ(q, APoint(3, 4));
  EXPECT_EQ(&p.Offset(1, 0).Offset(0, 1), &p);
  EXPECT_EQ(p, APoint(2, 2));
}

TEST(Point, ArithmeticWrapsAtTheLimits) {
  EXPECT_EQ(APoint(INT_MAX, 0).OffsetBy(1, 0).X(), INT_MIN);
  EXPECT_EQ((-APoint(INT_MIN, 0)).X(), INT_MIN);
  EXPECT_EQ((APoint(INT_MIN, 0) - APoint(1, 0)).X(), INT_MAX);
  EXPECT_EQ((APoint(INT_MIN, 0) + ASize(-1, 0)).X(), INT_MAX);
}

// Magnitude is the exact floor of the length at every scale, capped at
// INT_MAX, for points, sizes and rectangle diagonals alike.
TEST(Magnitude, Table) {
  std::vector<std::tuple<int, int, int>> const rows = {
      {0, 0, 0},           {3, 4, 5},           {-3, -4, 5},          {1, 1, 1},
      {100, 100, 141},     {32767, 0, 32767},   {32768, 0, 32768},    {46340, 0, 46340},
      {46341, 0, 46341},   {65536, 0, 65536},   {0, -65536, 65536},   {INT_MAX, 0, INT_MAX},
      {INT_MIN, 0, INT_MAX},  // 2^31, capped
      {1518500249, 1518500249, 2147483646},  // floor(sqrt(2) * 1518500249)
      {1518500250, 1518500250, INT_MAX},     // first past INT_MAX on the diagonal
      {INT_MIN, INT_MIN, INT_MAX},
  };
  for (auto const& [a, b, expected] : rows) {
    SCOPED_TRACE(::testing::Message() << "(" << a << ", " << b << ")");
    EXPECT_EQ(APoint(a, b).Magnitude(), expected);
    EXPECT_EQ(ASize(a, b).Magnitude(), expected);
    // The diagonal of (0, 0, a, b); a - 0 keeps INT_MIN as it is.
    EXPECT_EQ(ARect(0, 0, a, b).Magnitude(), expected);
  }
}

// Checked against long double, whose 64-bit mantissa holds every sum of
// two squares of 32-bit numbers exactly (each below 2^63).
TEST(Magnitude, MatchesExactRootOnRandomPoints) {
  std::mt19937 rng(20240606);
  for (int i = 0; i < 20000; ++i) {
    int shift = static_cast<int>(rng() % 32);
    int a = static_cast<int>(rng()) >> shift;
    int b = static_cast<int>(rng()) >> static_cast<int>(rng() % 32);
    std::uint64_t ua = a < 0 ? 0u - static_cast<std::uint32_t>(a) : static_cast<std::uint32_t>(a);
    std::uint64_t ub = b < 0 ? 0u - static_cast<std::uint32_t>(b) : static_cast<std::uint32_t>(b);
    std::uint64_t sum = ua * ua + ub * ub;
    int got = APoint(a, b).Magnitude();
    ASSERT_GE(got, 0);
    std::uint64_t r = static_cast<std::uint64_t>(got);
    if (got < INT_MAX) {
      ASSERT_LE(r * r, sum) << a << ", " << b;
      ASSERT_GT((r + 1) * (r + 1), sum) << a << ", " << b;
    } else {
      ASSERT_GE(std::sqrt(static_cast<long double>(sum)), static_cast<long double>(INT_MAX)) << a << ", " << b;
    }
  }
}

}  // namespace
