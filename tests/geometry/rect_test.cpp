#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/geometry.h"
#include "tests/geometry/print.h"

namespace {

TEST(Rect, Construction) {
  EXPECT_EQ(ARect(RECT{1, 2, 3, 4}), ARect(1, 2, 3, 4));
  // Two corners are taken as they come, not normalised.
  EXPECT_EQ(ARect(APoint(5, 6), APoint(1, 2)), ARect(5, 6, 1, 2));
  EXPECT_EQ(ARect(APoint(5, 6), ASize(10, 20)), ARect(5, 6, 15, 26));
  ARect r(0, 0, 0, 0);
  EXPECT_EQ(&r.SetWH(1, 2, 10, 20), &r);
  EXPECT_EQ(r, ARect(1, 2, 11, 22));
  EXPECT_EQ(r.Set(4, 3, 2, 1), ARect(4, 3, 2, 1));
  EXPECT_TRUE(r.SetNull().IsNull());
  EXPECT_TRUE(r.Set(1, 1, 1, 1).SetEmpty().IsNull());
}

TEST(Rect, Accessors) {
  ARect const r(10, 20, 40, 60);
  EXPECT_EQ(r.Left(), 10);
  EXPECT_EQ(r.X(), 10);
  EXPECT_EQ(r.Top(), 20);
  EXPECT_EQ(r.Y(), 20);
  EXPECT_EQ(r.Right(), 40);
  EXPECT_EQ(r.Bottom(), 60);
  EXPECT_EQ(r.Size(), ASize(30, 40));
  EXPECT_EQ(r.Area(), 1200);
  EXPECT_EQ(r.Magnitude(), 50);
  EXPECT_EQ(r.TopRight(), APoint(40, 20));
  EXPECT_EQ(r.BottomLeft(), APoint(10, 60));
  EXPECT_EQ(r.TopLeft(), APoint(10, 20));
  EXPECT_EQ(r.BottomRight(), APoint(40, 60));
  RECT const* record = r;
  EXPECT_EQ(record, static_cast<RECT const*>(&r));
  // Inverted sides are negative; the area is the wrapped 32-bit product.
  ARect const inverted(10, 0, 0, 5);
  EXPECT_EQ(inverted.Width(), -10);
  EXPECT_EQ(inverted.Area(), -50);
  EXPECT_EQ(ARect(0, 0, 65536, 65536).Area(), 0);
  EXPECT_EQ(ARect(INT_MIN, 0, INT_MAX, 1).Width(), -1);
}

TEST(Rect, CornerViewsMoveTheCorners) {
  ARect r(1, 2, 3, 4);
  EXPECT_EQ(static_cast<void*>(&r.TopLeft()), static_cast<void*>(&r.left));
  EXPECT_EQ(static_cast<void*>(&r.BottomRight()), static_cast<void*>(&r.right));
  r.TopLeft().Offset(-1, -2);
  r.BottomRight() = APoint(30, 40);
  EXPECT_EQ(r, ARect(0, 0, 30, 40));
  RECT* record = r;
  record->bottom = 5;
  EXPECT_EQ(r.Bottom(), 5);
}

TEST(Rect, ContainsPoint) {
  ARect const r(0, 0, 10, 10);
  struct Row {
    APoint p;
    bool inside;
  };
  for (Row const& row : std::vector<Row>{{{0, 0}, true},
                                         {{9, 9}, true},
                                         {{10, 0}, false},
                                         {{0, 10}, false},
                                         {{9, 10}, false},
                                         {{-1, 5}, false}}) {
    SCOPED_TRACE(::testing::PrintToString(row.p));
    EXPECT_EQ(r.Contains(row.p), row.inside);
    EXPECT_EQ(r.PtInRect(row.p), row.inside);
  }
  EXPECT_FALSE(ARect(5, 5, 5, 10).Contains(APoint(5, 5)));
  EXPECT_FALSE(ARect(10, 10, 0, 0).Contains(APoint(5, 5)));
}

TEST(Rect, ContainsRectAndTouches) {
  ARect const r(0, 0, 10, 10);
  EXPECT_TRUE(r.Contains(r));
  EXPECT_TRUE(r.Contains(ARect(8, 8, 2, 2)));  // inverted, within bounds
  EXPECT_FALSE(r.Contains(ARect(-1, 0, 5, 5)));
  EXPECT_FALSE(r.Touches(ARect(10, 0, 20, 10)));  // a shared edge
  EXPECT_FALSE(r.Touches(ARect(10, 10, 20, 20)));  // a shared corner
  EXPECT_TRUE(r.Touches(ARect(9, 9, 20, 20)));
  EXPECT_TRUE(ARect(5, 5, 5, 10).Touches(r));  // emptiness is not looked at
  EXPECT_TRUE(r == ARect(0, 0, 10, 10));
  EXPECT_TRUE(r.EqualRect(ARect(0, 0, 10, 10)));
  EXPECT_TRUE(r != ARect(0, 0, 10, 11));
}

TEST(Rect, EmptyAndNull) {
  EXPECT_TRUE(ARect(0, 0, 0, 0).IsNull());
  EXPECT_TRUE(ARect(0, 0, 0, 0).IsEmpty());
  EXPECT_FALSE(ARect(5, 5, 5, 6).IsNull());
  EXPECT_TRUE(ARect(5, 5, 5, 6).IsEmpty());
  EXPECT_TRUE(ARect(5, 5, 4, 6).IsEmpty());
  EXPECT_FALSE(ARect(5, 5, 6, 6).IsEmpty());
}

TEST(Rect, MovesAndResizes) {
  ARect const r(10, 10, 20, 20);
  struct Row {
    char const* what;
    ARect got;
    ARect expected;
  };
  std::vector<Row> const rows = {
      {"Offset(1, 2)", ARect(r).Offset(1, 2), {11, 12, 21, 22}},
      {"Offset(SIZE)", ARect(r).Offset(ASize(1, 2)), {11, 12, 21, 22}},
      {"+= SIZE", ARect(r) += ASize(1, 2), {11, 12, 21, 22}},
      {"-= SIZE", ARect(r) -= ASize(1, 2), {9, 8, 19, 18}},
      {"Locate(100, 200)", ARect(1, 2, 11, 22).Locate(100, 200), {100, 200, 110, 220}},
      {"Locate(POINT)", ARect(1, 2, 11, 22).Locate(APoint(0, 0)), {0, 0, 10, 20}},
      {"Inflate(1, 2)", ARect(r).Inflate(1, 2), {9, 8, 21, 22}},
      {"Inflate(SIZE)", ARect(r).Inflate(ASize(1, 2)), {9, 8, 21, 22}},
      {"Inflate(RECT)", ARect(r).Inflate(ARect(1, 2, 3, 4)), {9, 8, 23, 24}},
      {"Inflate(l, t, r, b)", ARect(r).Inflate(1, 2, 3, 4), {9, 8, 23, 24}},
      {"Deflate(1, 2)", ARect(r).Deflate(1, 2), {11, 12, 19, 18}},
      {"Deflate(SIZE)", ARect(r).Deflate(ASize(1, 2)), {11, 12, 19, 18}},
      {"Deflate(RECT)", ARect(r).Deflate(ARect(1, 2, 3, 4)), {11, 12, 17, 16}},
      {"Deflate(l, t, r, b)", ARect(r).Deflate(1, 2, 3, 4), {11, 12, 17, 16}},
      {"Normalize inverted", ARect(10, 20, 0, 5).Normalize(), {0, 5, 10, 20}},
      {"Normalize normalised", ARect(r).Normalize(), r},
      {"Offset wraps", ARect(INT_MAX, 0, INT_MAX, 0).Offset(1, 0), {INT_MIN, 0, INT_MIN, 0}},
      // the copying twins
      {"OffsetBy(1, 2)", r.OffsetBy(1, 2), {11, 12, 21, 22}},
      {"OffsetBy(SIZE)", r.OffsetBy(ASize(1, 2)), {11, 12, 21, 22}},
      {"+ SIZE", r + ASize(1, 2), {11, 12, 21, 22}},
      {"- SIZE", r - ASize(1, 2), {9, 8, 19, 18}},
      {"LocateBy(0, 0)", r.LocateBy(0, 0), {0, 0, 10, 10}},
      {"LocateBy(POINT)", r.LocateBy(APoint(1, 1)), {1, 1, 11, 11}},
      {"InflateBy(1, 2)", r.InflateBy(1, 2), {9, 8, 21, 22}},
      {"InflateBy(SIZE)", r.InflateBy(ASize(1, 2)), {9, 8, 21, 22}},
      {"InflateBy(RECT)", r.InflateBy(ARect(1, 2, 3, 4)), {9, 8, 23, 24}},
      {"InflateBy(l, t, r, b)", r.InflateBy(1, 2, 3, 4), {9, 8, 23, 24}},
      {"DeflateBy(1, 2)", r.DeflateBy(1, 2), {11, 12, 19, 18}},
      {"DeflateBy(SIZE)", r.DeflateBy(ASize(1, 2)), {11, 12, 19, 18}},
      {"DeflateBy(RECT)", r.DeflateBy(ARect(1, 2, 3, 4)), {11, 12, 17, 16}},
      {"DeflateBy(l, t, r, b)", r.DeflateBy(1, 2, 3, 4), {11, 12, 17, 16}},
      {"Normalized", ARect(10, 20, 0, 5).Normalized(), {0, 5, 10, 20}},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(row.got, row.expected);
  }
  EXPECT_EQ(r, ARect(10, 10, 20, 20));  // the copying forms left it alone
  ARect chained(0, 0, 1, 1);
  EXPECT_EQ(&chained.Offset(1, 1).Inflate(1, 1).Normalize(), &chained);
}

TEST(Rect, IntersectionAndUnion) {
  struct Row {
    ARect a, b, intersection, bounds;
  };
  std::vector<Row> const rows = {
      {{0, 0, 10, 10}, {5, 5, 15, 15}, {5, 5, 10, 10}, {0, 0, 15, 15}},
      {{0, 0, 10, 10}, {20, 20, 30, 30}, {20, 20, 10, 10}, {0, 0, 30, 30}},  // disjoint: inverted
      {{0, 0, 10, 10}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 10, 10}},
      {{0, 0, 0, 0}, {5, 5, 6, 6}, {0, 0, 0, 0}, {5, 5, 6, 6}},
      {{1, 1, 2, 2}, {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 1, 2, 2}},
      {{1, 1, 2, 2}, {5, 5, 5, 5}, {5, 5, 2, 2}, {1, 1, 5, 5}},  // empty but not null still counts
      {{-5, -5, 5, 5}, {-10, 0, 0, 10}, {-5, 0, 0, 5}, {-10, -5, 5, 10}},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.a) + " with " + ::testing::PrintToString(row.b));
    EXPECT_EQ(row.a & row.b, row.intersection);
    EXPECT_EQ(row.a | row.b, row.bounds);
    ARect in_place = row.a;
    EXPECT_EQ(&(in_place &= row.b), &in_place);
    EXPECT_EQ(in_place, row.intersection);
    in_place = row.a;
    EXPECT_EQ(&(in_place |= row.b), &in_place);
    EXPECT_EQ(in_place, row.bounds);
  }
  ARect disjoint = ARect(0, 0, 10, 10) & ARect(20, 20, 30, 30);
  EXPECT_TRUE(disjoint.IsEmpty());
  EXPECT_FALSE(disjoint.IsNull());
}

TEST(Rect, SubtractPiecesInOrder) {
  ARect const object(0, 0, 10, 10);
  struct Row {
    ARect cut;
    std::vector<ARect> pieces;
  };
  std::vector<Row> const rows = {
      {{3, 3, 6, 6}, {{0, 0, 10, 3}, {0, 6, 10, 10}, {0, 3, 3, 6}, {6, 3, 10, 6}}},
      {{2, -3, 8, 4}, {{0, 4, 10, 10}, {0, 0, 2, 4}, {8, 0, 10, 4}}},
      {{-5, 2, 5, 20}, {{0, 0, 10, 2}, {5, 2, 10, 10}}},
      {{5, -5, 15, 15}, {{0, 0, 5, 10}}},
      {{10, 0, 20, 10}, {{0, 0, 10, 10}}},  // a shared edge only: a copy
      {{50, 50, 60, 60}, {{0, 0, 10, 10}}},
      {{0, 0, 10, 10}, {}},
      {{-1, -1, 11, 11}, {}},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.cut));
    ARect out[4];
    for (ARect& r : out) r.Set(-7, -7, -7, -7);
    int n = object.Subtract(row.cut, out);
    ASSERT_EQ(n, static_cast<int>(row.pieces.size()));
    for (int i = 0; i < n; ++i) EXPECT_EQ(out[i], row.pieces[static_cast<std::size_t>(i)]) << "piece " << i;
    for (int i = n; i < 4; ++i) EXPECT_EQ(out[i], ARect(-7, -7, -7, -7)) << "untouched " << i;
  }
  EXPECT_EQ(object, ARect(0, 0, 10, 10));
}

TEST(Rect, SubtractIntoItsOwnOperands) {
  ARect out[4] = {ARect(0, 0, 10, 10), ARect(3, 3, 6, 6), ARect(), ARect()};
  EXPECT_EQ(out[0].Subtract(out[1], out), 4);
  EXPECT_EQ(out[0], ARect(0, 0, 10, 3));
  EXPECT_EQ(out[3], ARect(6, 3, 10, 6));
}

// For random normalised pairs, the pieces lie inside the object, overlap
// neither each other nor the intersection, and with it cover the object:
// the areas add up.
TEST(Rect, SubtractTilesTheObject) {
  std::mt19937 rng(6061);
  auto coordinate = [&] { return static_cast<int>(rng() % 41) - 20; };
  auto random_rect = [&] { return ARect(coordinate(), coordinate(), coordinate(), coordinate()).Normalize(); };
  auto area = [](ARect const& r) { return r.IsEmpty() ? std::int64_t{0} : std::int64_t{r.Width()} * r.Height(); };
  for (int trial = 0; trial < 20000; ++trial) {
    ARect const a = random_rect();
    ARect const b = random_rect();
    ARect out[4];
    int const n = a.Subtract(b, out);
    ASSERT_GE(n, 0);
    ASSERT_LE(n, 4);
    SCOPED_TRACE(::testing::PrintToString(a) + " - " + ::testing::PrintToString(b));
    bool const overlap = a.Touches(b);
    ARect const common = a & b;
    std::int64_t covered = overlap ? area(common) : 0;
    for (int i = 0; i < n; ++i) {
      ASSERT_TRUE(a.Contains(out[i])) << i;
      covered += area(out[i]);
      // An empty piece (from an empty object or cut) covers nothing, and
      // Touches does not look at emptiness.
      if (out[i].IsEmpty()) continue;
      if (overlap && !common.IsEmpty()) {
        ASSERT_FALSE(out[i].Touches(common)) << i;
      }
      for (int j = 0; j < i; ++j) {
        if (out[j].IsEmpty()) continue;
        ASSERT_FALSE(out[i].Touches(out[j])) << i << " " << j;
      }
    }
    ASSERT_EQ(covered, area(a));
  }
}

}  // namespace
