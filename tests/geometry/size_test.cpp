#include <climits>

#include <gtest/gtest.h>

#include "brindle/geometry.h"
#include "tests/geometry/print.h"

namespace {

TEST(Size, Construction) {
  EXPECT_EQ(ASize(SIZE{3, -4}), ASize(3, -4));
  EXPECT_EQ(ASize(APoint(5, 6)), ASize(5, 6));
  ASize packed(0xFFFF0001u);
  EXPECT_EQ(packed.X(), 1);
  EXPECT_EQ(packed.Y(), 65535);
  SIZE const* read = packed;
  SIZE* write = packed;
  EXPECT_EQ(read, static_cast<SIZE const*>(&packed));
  write->cx = 7;
  EXPECT_EQ(packed.X(), 7);
}

TEST(Size, Arithmetic) {
  EXPECT_EQ(-ASize(1, -2), ASize(-1, 2));
  EXPECT_EQ(ASize(1, 2) + ASize(10, 20), ASize(11, 22));
  EXPECT_EQ(ASize(1, 2) - ASize(10, 20), ASize(-9, -18));
  EXPECT_TRUE(ASize(1, 2) != ASize(2, 1));
  ASize s(1, 1);
  EXPECT_EQ(&(s += ASize(2, 3)), &s);
  EXPECT_EQ(s, ASize(3, 4));
  EXPECT_EQ(&(s -= ASize(3, 4)), &s);
  EXPECT_EQ(s, ASize(0, 0));
  EXPECT_EQ((ASize(INT_MAX, INT_MIN) + ASize(1, -1)), ASize(INT_MIN, INT_MAX));
  EXPECT_EQ(ASize(3, 4).Magnitude(), 5);
}

}  // namespace
