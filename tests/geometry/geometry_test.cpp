// APoint, ASize, ARect: subtraction tiles the object and the rectangle tests
// agree with one another on random pairs; lengths are exact; each move and
// resize has its copying twin; arithmetic wraps.

#include "brindle/geometry.h"
#include "tests/portable.h"

void PrintTo(ARect const& r, std::ostream* os) { *os << r.left << "," << r.top << "," << r.right << "," << r.bottom; }

namespace {

// Random normalised pairs on a small grid, where edges meet often. Each unit
// cell in and around the object is inside it exactly when its top-left point
// is, and lies in exactly one of the pieces of a subtraction and the
// intersection.
TEST(Rect, RandomPairsTileAndAgree) {
  std::mt19937 rng(6061);
  auto c = [&] { return static_cast<int>(rng() % 21) - 10; };
  for (int trial = 0; trial < 5000; ++trial) {
    ARect const a = ARect(c(), c(), c(), c()).Normalize(), b = ARect(c(), c(), c(), c()).Normalize();
    auto what = [&] { return testing::PrintToString(a) + " with " + testing::PrintToString(b); };
    ASSERT_TRUE(a.IsEmpty() != a.Contains(a.TopLeft()) && a.IsNull() == (a == ARect(0, 0, 0, 0))) << what();
    ASSERT_TRUE((a == b) == (a.Contains(b) && b.Contains(a)) && a.EqualRect(a)) << what();
    ASSERT_TRUE(a.IsEmpty() || b.IsEmpty() || a.Touches(b) != (a & b).IsEmpty()) << what();
    ASSERT_TRUE(b.IsNull() || a.Contains(b) == ((a & b) == b)) << what();
    ARect pieces[5];
    int const n = a.Subtract(b, pieces);
    ASSERT_TRUE(n >= 0 && n <= 4) << what();
    pieces[n] = a & b;  // empty when they do not touch
    for (int i = 0; i < n; ++i) ASSERT_TRUE(a.IsEmpty() || b.IsEmpty() || !pieces[i].IsEmpty()) << what();
    for (int k = 0, w = a.Width() + 2; k < w * (a.Height() + 2); ++k) {
      APoint const p(a.left - 1 + k % w, a.top - 1 + k / w);
      ARect const cell(p, ASize(1, 1));
      bool const inside = a.Contains(p);
      ASSERT_TRUE(a.PtInRect(p) == inside && a.Contains(cell) == inside && a.Touches(cell) == inside) << what();
      int covering = 0;
      for (int i = 0; i <= n; ++i) covering += pieces[i].Contains(p) ? 1 : 0;
      ASSERT_EQ(covering, inside ? 1 : 0) << what() << " at " << p.x << "," << p.y;
    }
  }
}

TEST(Rect, MovesResizesAndBounds) {
  ARect const r(10, 10, 20, 20), m(1, 2, 3, 4), null(0, 0, 0, 0);
  ASize const s(1, 2);
  std::vector<ARect> const rows[] = {  // the expected rectangle, then each form that gives it
      {{11, 12, 21, 22}, ARect(r).Offset(1, 2), ARect(r) += s, r.OffsetBy(1, 2), r.OffsetBy(s), r + s},
      {{9, 8, 19, 18}, ARect(r) -= s, r - s},  {{0, 0, 10, 10}, ARect(r).Locate(APoint(0, 0)), r.LocateBy(0, 0)},
      {{9, 8, 21, 22}, ARect(r).Inflate(1, 2), ARect(r).Inflate(s), r.InflateBy(1, 2), r.InflateBy(s)},
      {{11, 12, 19, 18}, ARect(r).Deflate(1, 2), ARect(r).Deflate(s), r.DeflateBy(1, 2), r.DeflateBy(s)},
      {{9, 8, 23, 24}, ARect(r).Inflate(m), r.InflateBy(1, 2, 3, 4)},  // a RECT's fields are four margins
      {{11, 12, 17, 16}, ARect(r).Deflate(m), r.DeflateBy(1, 2, 3, 4)},
      {{0, 5, 10, 20}, ARect(10, 20, 0, 5).Normalize(), ARect(0, 20, 10, 5).Normalized()},
      {{1, 2, 11, 22}, ARect().SetWH(1, 2, 10, 20), ARect(APoint(1, 2), ASize(10, 20))},
      // The null rectangle is no rectangle to & and |; an empty one is.
      {null, r & null, null & r, ARect(r).SetNull() |= ARect().SetEmpty()},  {r, r | null, null | r},
      {{30, 30, 20, 20}, ARect(r) &= ARect(30, 30, 40, 40)},  {{5, 5, 20, 20}, ARect(r) |= ARect(5, 5, 5, 5)},
  };
  for (auto const& row : rows) {
    for (std::size_t i = 1; i < row.size(); ++i) EXPECT_EQ(row[i], row[0]) << "form " << i;
  }
  EXPECT_TRUE(ARect(10, 0, 0, 5).Size() == ASize(-10, 5) && ARect(0, 0, 65536, 65537).Area() == 65536);  // wraps
  ARect out[4] = {ARect(0, 0, 10, 10), ARect(3, 3, 6, 6)};  // the output overlays both operands, as it may
  EXPECT_EQ(std::vector<ARect>(out, out + out[0].Subtract(out[1], out)),  // top, bottom, left, right
            (std::vector<ARect>{{0, 0, 10, 3}, {0, 6, 10, 10}, {0, 3, 3, 6}, {6, 3, 10, 6}}));
  ARect corners(1, 2, 3, 4);  // the corner views are the object's own fields
  corners.BottomRight() = corners.TopLeft().Offset(-1, -2) + ASize(30, 40);
  EXPECT_TRUE(corners == ARect(0, 0, 30, 40) && corners != ARect(0, 0, 30, 41) && corners.TopRight() == APoint(30, 0));
}

// Lengths are the floor of the Euclidean length at every scale, capped at
// INT_MAX, for points, sizes and rectangle diagonals alike (not the 15-bit
// root of a sum of wrapped squares).
TEST(PointAndSize, ExactLengthsAndWrappingArithmetic) {
  EXPECT_TRUE(APoint(0xFFFF0001u) == APoint(1, 65535) && ASize(0x8000FFFFu) == ASize(65535, 32768));  // unsigned
  EXPECT_TRUE(APoint(5, 7) - APoint(2, 3) == ASize(3, 4) && APoint(5, 7) - ASize(2, 3) + ASize(0, 1) != APoint(3, 4));
  EXPECT_TRUE(-APoint(INT_MIN, 3) == APoint(INT_MIN, -3) &&
              APoint(INT_MAX, 0).OffsetBy(1, -1).Offset(0, 2) == APoint(INT_MIN, 1));
  EXPECT_TRUE(-(ASize(INT_MAX, 2) + ASize(1, 3) - ASize(0, 1)) == ASize(INT_MIN, -4) &&
              ((ASize(1, 1) += ASize(2, 3)) -= ASize(1, 2)) != ASize(2, 3) && !(ASize(1, 2) != ASize(1, 2)));
  int const lengths[][3] = {{0, 0, 0}, {32768, 0, 32768}, {0, -65536, 65536}, {INT_MIN, INT_MIN, INT_MAX}};
  for (auto const& r : lengths) {
    EXPECT_TRUE(APoint(r[0], r[1]).Magnitude() == r[2] && ASize(r[0], r[1]).Magnitude() == r[2] &&
                ARect(0, 0, r[0], r[1]).Magnitude() == r[2]) << r[0] << ", " << r[1];
  }
  std::mt19937 rng(20240606);
  for (int i = 0; i < 20000; ++i) {
    int const a = static_cast<int>(rng()) >> (rng() % 32), b = static_cast<int>(rng()) >> (rng() % 32);
    std::uint64_t const sum = static_cast<std::uint64_t>(std::int64_t{a} * a) + std::int64_t{b} * b;  // below 2^64
    std::uint64_t const r = static_cast<std::uint64_t>(APoint(a, b).Magnitude());
    ASSERT_TRUE(r * r <= sum && (r == INT_MAX || (r + 1) * (r + 1) > sum)) << a << ", " << b;
  }
}

}  // namespace
