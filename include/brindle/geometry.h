// APoint, ASize, ARect: value types over the platform's geometry records.
//
// Each class derives from its record (POINT, SIZE, RECT) and adds no data, so
// an object goes wherever the platform expects the record and a record is
// taken wherever an object is expected. Copies are plain field copies; the
// default constructors leave the fields uninitialised.
//
// Coordinates are signed 32-bit and all arithmetic wraps modulo 2^32: no
// operation checks for overflow. Rectangles are half-open: (0, 0, 10, 10)
// covers columns and rows 0 to 9.
//
//   ARect pieces[4];
//   int n = ARect(0, 0, 10, 10).Subtract(ARect(3, 3, 6, 6), pieces);  // 4
#ifndef BRINDLE_GEOMETRY_H
#define BRINDLE_GEOMETRY_H

#include <type_traits>

#include "brindle/export.h"
#include "brindle/platform_types.h"

class ASize;

class BRINDLE_API APoint : public POINT {
 public:
  APoint();  // fields uninitialised
  APoint(int x, int y);
  APoint(POINT const& p);  // NOLINT(google-explicit-constructor)
  explicit APoint(SIZE const& s);
  // x from bits 0-15, y from bits 16-31, each unsigned: 0xFFFF0001 is (1, 65535).
  explicit APoint(DWORD packed);
  // Copy construction is trivial (plain field copies, passed in registers)
  // and so has no code to export; assignment is exported like the rest.
  APoint(APoint const& other) = default;
  APoint& operator=(APoint const& other);

  int X() const;
  int Y() const;

  operator POINT const*() const;  // NOLINT(google-explicit-constructor)
  operator POINT*();              // NOLINT(google-explicit-constructor)

  APoint operator-() const;
  bool operator==(POINT const& p) const;
  bool operator!=(POINT const& p) const;
  APoint operator+(SIZE const& s) const;
  APoint operator-(SIZE const& s) const;
  // The difference of two points is a size.
  ASize operator-(POINT const& p) const;

  APoint& Offset(int dx, int dy);
  APoint OffsetBy(int dx, int dy) const;

  // The floor of the Euclidean length, exact for every point, capped at
  // INT_MAX (which only the longest diagonals exceed).
  int Magnitude() const;
};

class BRINDLE_API ASize : public SIZE {
 public:
  ASize();  // fields uninitialised
  ASize(int cx, int cy);
  explicit ASize(POINT const& p);
  ASize(SIZE const& s);  // NOLINT(google-explicit-constructor)
  // cx from bits 0-15, cy from bits 16-31, each unsigned.
  explicit ASize(DWORD packed);
  ASize(ASize const& other) = default;
  ASize& operator=(ASize const& other);

  int X() const;
  int Y() const;

  operator SIZE const*() const;  // NOLINT(google-explicit-constructor)
  operator SIZE*();              // NOLINT(google-explicit-constructor)

  ASize operator-() const;
  bool operator==(SIZE const& s) const;
  bool operator!=(SIZE const& s) const;
  ASize operator+(SIZE const& s) const;
  ASize operator-(SIZE const& s) const;
  ASize& operator+=(SIZE const& s);
  ASize& operator-=(SIZE const& s);

  // As APoint::Magnitude().
  int Magnitude() const;
};

// Three notions apply to a rectangle and are kept apart:
//   normalised  left <= right and top <= bottom; only Normalize() makes it so;
//   empty       left >= right or top >= bottom (IsEmpty());
//   null        all four fields 0 (IsNull()): "no rectangle" to & and |.
// Every operation other than Normalize() takes the fields as they are.
class BRINDLE_API ARect : public RECT {
 public:
  ARect();  // fields uninitialised
  ARect(int left, int top, int right, int bottom);
  ARect(RECT const& r);  // NOLINT(google-explicit-constructor)
  ARect(POINT const& top_left, POINT const& bottom_right);
  ARect(POINT const& top_left, SIZE const& size);
  ARect(ARect const& other) = default;
  ARect& operator=(ARect const& other);

  ARect& Set(int left, int top, int right, int bottom);
  ARect& SetWH(int x, int y, int width, int height);
  // Both make the null rectangle.
  ARect& SetNull();
  ARect& SetEmpty();

  // --- Accessors ------------------------------------------------------------
  int Left() const;
  int X() const;
  int Top() const;
  int Y() const;
  int Right() const;
  int Bottom() const;
  int Width() const;   // negative when not normalised
  int Height() const;  // negative when not normalised
  // Height x Width as a 32-bit product: wraps, negative for one inverted side.
  LONG Area() const;
  ASize Size() const;
  // The length of the diagonal, as APoint::Magnitude() computes it.
  int Magnitude() const;
  APoint TopRight() const;
  APoint BottomLeft() const;
  // Views of the corner pairs inside the object: moving the returned point
  // moves that corner.
  APoint const& TopLeft() const;
  APoint& TopLeft();
  APoint const& BottomRight() const;
  APoint& BottomRight();

  operator RECT const*() const;  // NOLINT(google-explicit-constructor)
  operator RECT*();              // NOLINT(google-explicit-constructor)

  // --- Tests ----------------------------------------------------------------
  bool IsEmpty() const;
  bool IsNull() const;
  bool operator==(RECT const& r) const;
  bool operator!=(RECT const& r) const;
  bool EqualRect(RECT const& r) const;
  // Left and top edges are inside, right and bottom edges outside.
  bool Contains(POINT const& p) const;
  bool PtInRect(POINT const& p) const;
  // Inclusive on all four sides; r's emptiness is not looked at.
  bool Contains(RECT const& r) const;
  // Whether the two share an area of positive size; a shared edge or corner
  // is not enough. Emptiness is not looked at.
  bool Touches(RECT const& r) const;

  // --- In-place moves and resizes -------------------------------------------
  ARect& Offset(int dx, int dy);
  ARect& Offset(SIZE const& s);
  ARect& operator+=(SIZE const& s);
  ARect& operator-=(SIZE const& s);
  // Moves the top-left corner to (x, y), keeping width and height.
  ARect& Locate(int x, int y);
  ARect& Locate(POINT const& p);
  // Moves each edge outwards by its margin; Deflate moves them inwards. The
  // RECT form's four fields are the four margins.
  ARect& Inflate(int l, int t, int r, int b);
  ARect& Inflate(int dx, int dy);
  ARect& Inflate(SIZE const& s);
  ARect& Inflate(RECT const& margins);
  ARect& Deflate(int l, int t, int r, int b);
  ARect& Deflate(int dx, int dy);
  ARect& Deflate(SIZE const& s);
  ARect& Deflate(RECT const& margins);
  ARect& Normalize();
  // Intersection. A null operand gives null; rectangles that do not overlap
  // give an empty (often inverted) result that is not made null.
  ARect& operator&=(RECT const& r);
  // Bounding rectangle. A null operand is passed over; an empty one is not.
  ARect& operator|=(RECT const& r);

  // --- Copying forms ----------------------------------------------------------
  ARect OffsetBy(int dx, int dy) const;
  ARect OffsetBy(SIZE const& s) const;
  ARect operator+(SIZE const& s) const;
  ARect operator-(SIZE const& s) const;
  ARect LocateBy(int x, int y) const;
  ARect LocateBy(POINT const& p) const;
  ARect InflateBy(int l, int t, int r, int b) const;
  ARect InflateBy(int dx, int dy) const;
  ARect InflateBy(SIZE const& s) const;
  ARect InflateBy(RECT const& margins) const;
  ARect DeflateBy(int l, int t, int r, int b) const;
  ARect DeflateBy(int dx, int dy) const;
  ARect DeflateBy(SIZE const& s) const;
  ARect DeflateBy(RECT const& margins) const;
  ARect Normalized() const;
  ARect operator&(RECT const& r) const;
  ARect operator|(RECT const& r) const;

  // Writes the parts of this rectangle outside `cut` into out[0..3] and
  // returns how many (0 to 4); `out` must hold four. The pieces come in a
  // fixed order, each only when present: the top band and the bottom band
  // (full width), then the left and right bands (the rows shared with
  // `cut`). A cut that does not overlap gives one piece, a copy of this
  // rectangle. For normalised rectangles the pieces and the intersection
  // tile this rectangle exactly.
  int Subtract(RECT const& cut, ARect* const out) const;
};

// Two objects of one class. With the record-taking members alone, C++20 finds
// a == b and its reversed form b == a equally good (each converts one side to
// the record), which makes the comparison ambiguous.
inline bool operator==(APoint const& a, APoint const& b) { return a.operator==(b); }
inline bool operator!=(APoint const& a, APoint const& b) { return a.operator!=(b); }
inline bool operator==(ASize const& a, ASize const& b) { return a.operator==(b); }
inline bool operator!=(ASize const& a, ASize const& b) { return a.operator!=(b); }
inline bool operator==(ARect const& a, ARect const& b) { return a.operator==(b); }
inline bool operator!=(ARect const& a, ARect const& b) { return a.operator!=(b); }

// The classes are their records: no added data, same layout, and copies
// that the compiler may make with plain moves of the fields.
static_assert(sizeof(APoint) == sizeof(POINT) && alignof(APoint) == alignof(POINT));
static_assert(sizeof(ASize) == sizeof(SIZE) && alignof(ASize) == alignof(SIZE));
static_assert(sizeof(ARect) == sizeof(RECT) && alignof(ARect) == alignof(RECT));
static_assert(sizeof(ARect) == 2 * sizeof(APoint), "TopLeft and BottomRight view the two halves");
static_assert(std::is_standard_layout_v<APoint> && std::is_standard_layout_v<ASize> &&
              std::is_standard_layout_v<ARect>);
static_assert(std::is_trivially_copy_constructible_v<APoint> && std::is_trivially_copy_constructible_v<ASize> &&
              std::is_trivially_copy_constructible_v<ARect>);
static_assert(std::is_trivially_destructible_v<APoint> && std::is_trivially_destructible_v<ASize> &&
              std::is_trivially_destructible_v<ARect>);

#endif  // BRINDLE_GEOMETRY_H
