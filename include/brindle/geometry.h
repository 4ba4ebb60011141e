/// @file
/// APoint, ASize, ARect: value types over the platform's geometry records.
///
/// Each class derives from its record (POINT, SIZE, RECT) and adds no data, so
/// an object goes wherever the platform expects the record and a record is
/// taken wherever an object is expected. Copies are plain field copies; the
/// default constructors leave the fields uninitialised.
///
/// Coordinates are signed 32-bit and all arithmetic wraps modulo 2^32: no
/// operation checks for overflow. Rectangles are half-open: (0, 0, 10, 10)
/// covers columns and rows 0 to 9.
///
/// @code
/// ARect pieces[4];
/// int n = ARect(0, 0, 10, 10).Subtract(ARect(3, 3, 6, 6), pieces);  // 4
/// @endcode
///
/// Thread safety: plain values with no shared state. Distinct objects may be
/// used on several threads at once; one object may be read on several threads
/// at once, but changed by one thread only while no other uses it.
#ifndef BRINDLE_GEOMETRY_H
#define BRINDLE_GEOMETRY_H

#include <type_traits>

#include "brindle/export.h"
#include "brindle/platform_types.h"

class ASize;

/// A point: the platform's POINT with arithmetic.
class BRINDLE_API APoint : public POINT {
 public:
  APoint();  ///< Fields uninitialised, as in the record.
  APoint(int x, int y);  ///< The point (x, y).
  /// A copy of the record.
  APoint(POINT const& p);  // NOLINT(google-explicit-constructor)
  explicit APoint(SIZE const& s);  ///< The point (s.cx, s.cy).
  /// x from bits 0-15, y from bits 16-31, each unsigned: 0xFFFF0001 is (1, 65535).
  explicit APoint(DWORD packed);
  /// A copy of `other`.
  // Copy construction is trivial (plain field copies, passed in registers)
  // and so has no code to export; assignment is exported like the rest.
  APoint(APoint const& other) = default;
  /// Takes `other`'s fields.
  APoint& operator=(APoint const& other);

  [[nodiscard]] int X() const;  ///< x.
  [[nodiscard]] int Y() const;  ///< y.

  /// The object as its record, for calls that take a pointer.
  operator POINT const*() const;  // NOLINT(google-explicit-constructor)
  /// The object as its record, for calls that take a pointer.
  operator POINT*();              // NOLINT(google-explicit-constructor)

  [[nodiscard]] APoint operator-() const;  ///< (-x, -y).
  [[nodiscard]] bool operator==(POINT const& p) const;  ///< Both fields equal.
  [[nodiscard]] bool operator!=(POINT const& p) const;  ///< Either field differs.
  [[nodiscard]] APoint operator+(SIZE const& s) const;  ///< The point moved by `s`.
  [[nodiscard]] APoint operator-(SIZE const& s) const;  ///< The point moved back by `s`.
  /// The difference of two points is a size.
  [[nodiscard]] ASize operator-(POINT const& p) const;

  APoint& Offset(int dx, int dy);  ///< Moves the point by (dx, dy).
  [[nodiscard]] APoint OffsetBy(int dx, int dy) const;  ///< A copy moved by (dx, dy).

  /// The floor of the Euclidean length, exact for every point, capped at
  /// INT_MAX (which only the longest diagonals exceed).
  [[nodiscard]] int Magnitude() const;
};

/// An extent: the platform's SIZE with arithmetic.
class BRINDLE_API ASize : public SIZE {
 public:
  ASize();  ///< Fields uninitialised, as in the record.
  ASize(int cx, int cy);  ///< The size (cx, cy).
  explicit ASize(POINT const& p);  ///< The size (p.x, p.y).
  /// A copy of the record.
  ASize(SIZE const& s);  // NOLINT(google-explicit-constructor)
  /// cx from bits 0-15, cy from bits 16-31, each unsigned.
  explicit ASize(DWORD packed);
  ASize(ASize const& other) = default;  ///< A copy of `other`.
  ASize& operator=(ASize const& other);  ///< Takes `other`'s fields.

  [[nodiscard]] int X() const;  ///< cx.
  [[nodiscard]] int Y() const;  ///< cy.

  /// The object as its record, for calls that take a pointer.
  operator SIZE const*() const;  // NOLINT(google-explicit-constructor)
  /// The object as its record, for calls that take a pointer.
  operator SIZE*();              // NOLINT(google-explicit-constructor)

  [[nodiscard]] ASize operator-() const;  ///< (-cx, -cy).
  [[nodiscard]] bool operator==(SIZE const& s) const;  ///< Both fields equal.
  [[nodiscard]] bool operator!=(SIZE const& s) const;  ///< Either field differs.
  [[nodiscard]] ASize operator+(SIZE const& s) const;  ///< The field-wise sum.
  [[nodiscard]] ASize operator-(SIZE const& s) const;  ///< The field-wise difference.
  ASize& operator+=(SIZE const& s);  ///< Adds `s` field by field.
  ASize& operator-=(SIZE const& s);  ///< Subtracts `s` field by field.

  /// As APoint::Magnitude().
  [[nodiscard]] int Magnitude() const;
};

/// A rectangle: the platform's RECT with arithmetic.
///
/// Three notions apply to a rectangle and are kept apart:
///   - normalised: left <= right and top <= bottom; only Normalize() makes it so;
///   - empty: left >= right or top >= bottom (IsEmpty());
///   - null: all four fields 0 (IsNull()): "no rectangle" to & and |.
///
/// Every operation other than Normalize() takes the fields as they are.
class BRINDLE_API ARect : public RECT {
 public:
  ARect();  ///< Fields uninitialised, as in the record.
  ARect(int left, int top, int right, int bottom);  ///< The rectangle with these edges.
  /// A copy of the record.
  ARect(RECT const& r);  // NOLINT(google-explicit-constructor)
  /// The rectangle from `top_left` to `bottom_right`.
  ARect(POINT const& top_left, POINT const& bottom_right);
  /// The rectangle at `top_left` of extent `size`.
  ARect(POINT const& top_left, SIZE const& size);
  ARect(ARect const& other) = default;  ///< A copy of `other`.
  ARect& operator=(ARect const& other);  ///< Takes `other`'s fields.

  /// Sets the four edges.
  ARect& Set(int left, int top, int right, int bottom);
  /// Sets the top-left corner to (x, y) and the extent to width by height.
  ARect& SetWH(int x, int y, int width, int height);
  /// @name Null rectangle
  /// Both make the null rectangle.
  /// @{
  ARect& SetNull();   ///< All four fields 0.
  ARect& SetEmpty();  ///< All four fields 0, as SetNull().
  /// @}

  /// @name Accessors
  /// @{
  [[nodiscard]] int Left() const;    ///< The left edge.
  [[nodiscard]] int X() const;       ///< The left edge.
  [[nodiscard]] int Top() const;     ///< The top edge.
  [[nodiscard]] int Y() const;       ///< The top edge.
  [[nodiscard]] int Right() const;   ///< The right edge (outside).
  [[nodiscard]] int Bottom() const;  ///< The bottom edge (outside).
  [[nodiscard]] int Width() const;   ///< right - left: negative when not normalised.
  [[nodiscard]] int Height() const;  ///< bottom - top: negative when not normalised.
  /// Height x Width as a 32-bit product: wraps, negative for one inverted side.
  [[nodiscard]] LONG Area() const;
  [[nodiscard]] ASize Size() const;  ///< (Width(), Height()).
  /// The length of the diagonal, as APoint::Magnitude() computes it.
  [[nodiscard]] int Magnitude() const;
  [[nodiscard]] APoint TopRight() const;    ///< (right, top).
  [[nodiscard]] APoint BottomLeft() const;  ///< (left, bottom).
  /// The top-left corner, a view inside the object: moving the returned
  /// point moves that corner.
  APoint const& TopLeft() const;
  APoint& TopLeft();  ///< As the const form: moving the point moves the corner.
  /// The bottom-right corner, a view inside the object: moving the returned
  /// point moves that corner.
  APoint const& BottomRight() const;
  APoint& BottomRight();  ///< As the const form: moving the point moves the corner.

  /// The object as its record, for calls that take a pointer.
  operator RECT const*() const;  // NOLINT(google-explicit-constructor)
  /// The object as its record, for calls that take a pointer.
  operator RECT*();              // NOLINT(google-explicit-constructor)
  /// @}

  /// @name Tests
  /// @{
  [[nodiscard]] bool IsEmpty() const;  ///< left >= right or top >= bottom.
  [[nodiscard]] bool IsNull() const;   ///< All four fields 0.
  [[nodiscard]] bool operator==(RECT const& r) const;  ///< All four fields equal.
  [[nodiscard]] bool operator!=(RECT const& r) const;  ///< Any field differs.
  [[nodiscard]] bool EqualRect(RECT const& r) const;   ///< As operator==.
  /// Whether `p` lies inside: left and top edges are inside, right and
  /// bottom edges outside.
  [[nodiscard]] bool Contains(POINT const& p) const;
  [[nodiscard]] bool PtInRect(POINT const& p) const;  ///< As Contains(POINT const&).
  /// Whether `r` lies inside, inclusive on all four sides; r's emptiness is
  /// not looked at.
  [[nodiscard]] bool Contains(RECT const& r) const;
  /// Whether the two share an area of positive size; a shared edge or corner
  /// is not enough. Emptiness is not looked at.
  [[nodiscard]] bool Touches(RECT const& r) const;
  /// @}

  /// @name In-place moves and resizes
  /// Inflate moves each edge outwards by its margin; Deflate moves them
  /// inwards. The RECT form's four fields are the four margins.
  /// @{
  ARect& Offset(int dx, int dy);        ///< Moves the rectangle by (dx, dy).
  ARect& Offset(SIZE const& s);         ///< Moves the rectangle by `s`.
  ARect& operator+=(SIZE const& s);     ///< Moves the rectangle by `s`.
  ARect& operator-=(SIZE const& s);     ///< Moves the rectangle back by `s`.
  /// Moves the top-left corner to (x, y), keeping width and height.
  ARect& Locate(int x, int y);
  ARect& Locate(POINT const& p);        ///< Moves the top-left corner to `p`.
  ARect& Inflate(int l, int t, int r, int b);  ///< Outwards by l, t, r and b.
  ARect& Inflate(int dx, int dy);       ///< Outwards by dx at the sides, dy at top and bottom.
  ARect& Inflate(SIZE const& s);        ///< Outwards by s.cx at the sides, s.cy at top and bottom.
  ARect& Inflate(RECT const& margins);  ///< Outwards by the four margins.
  ARect& Deflate(int l, int t, int r, int b);  ///< Inwards by l, t, r and b.
  ARect& Deflate(int dx, int dy);       ///< Inwards by dx at the sides, dy at top and bottom.
  ARect& Deflate(SIZE const& s);        ///< Inwards by s.cx at the sides, s.cy at top and bottom.
  ARect& Deflate(RECT const& margins);  ///< Inwards by the four margins.
  /// Swaps left with right and top with bottom where they are inverted.
  ARect& Normalize();
  /// Intersection. A null operand gives null; rectangles that do not overlap
  /// give an empty (often inverted) result that is not made null.
  ARect& operator&=(RECT const& r);
  /// Bounding rectangle. A null operand is passed over; an empty one is not.
  ARect& operator|=(RECT const& r);
  /// @}

  /// @name Copying forms
  /// Each returns a moved, resized or combined copy, as its in-place form
  /// would leave this rectangle; this one is unchanged.
  /// @{
  [[nodiscard]] ARect OffsetBy(int dx, int dy) const;        ///< As Offset(int, int).
  [[nodiscard]] ARect OffsetBy(SIZE const& s) const;         ///< As Offset(SIZE const&).
  [[nodiscard]] ARect operator+(SIZE const& s) const;        ///< As operator+=.
  [[nodiscard]] ARect operator-(SIZE const& s) const;        ///< As operator-=.
  [[nodiscard]] ARect LocateBy(int x, int y) const;          ///< As Locate(int, int).
  [[nodiscard]] ARect LocateBy(POINT const& p) const;        ///< As Locate(POINT const&).
  [[nodiscard]] ARect InflateBy(int l, int t, int r, int b) const;  ///< As Inflate(int, int, int, int).
  [[nodiscard]] ARect InflateBy(int dx, int dy) const;       ///< As Inflate(int, int).
  [[nodiscard]] ARect InflateBy(SIZE const& s) const;        ///< As Inflate(SIZE const&).
  [[nodiscard]] ARect InflateBy(RECT const& margins) const;  ///< As Inflate(RECT const&).
  [[nodiscard]] ARect DeflateBy(int l, int t, int r, int b) const;  ///< As Deflate(int, int, int, int).
  [[nodiscard]] ARect DeflateBy(int dx, int dy) const;       ///< As Deflate(int, int).
  [[nodiscard]] ARect DeflateBy(SIZE const& s) const;        ///< As Deflate(SIZE const&).
  [[nodiscard]] ARect DeflateBy(RECT const& margins) const;  ///< As Deflate(RECT const&).
  [[nodiscard]] ARect Normalized() const;                    ///< As Normalize().
  [[nodiscard]] ARect operator&(RECT const& r) const;        ///< As operator&=.
  [[nodiscard]] ARect operator|(RECT const& r) const;        ///< As operator|=.
  /// @}

  /// Writes the parts of this rectangle outside `cut` into out[0..3] and
  /// returns how many (0 to 4); `out` must hold four. The pieces come in a
  /// fixed order, each only when present: the top band and the bottom band
  /// (full width), then the left and right bands (the rows shared with
  /// `cut`). A cut that does not overlap gives one piece, a copy of this
  /// rectangle. For normalised rectangles the pieces and the intersection
  /// tile this rectangle exactly.
  int Subtract(RECT const& cut, ARect* const out) const;
};

/// @name Comparisons of two objects of one class
/// @{

// With the record-taking members alone, C++20 finds a == b and its reversed
// form b == a equally good (each converts one side to the record), which
// makes the comparison ambiguous.
inline bool operator==(APoint const& a, APoint const& b) { return a.operator==(b); }  ///< Both fields equal.
inline bool operator!=(APoint const& a, APoint const& b) { return a.operator!=(b); }  ///< Either field differs.
inline bool operator==(ASize const& a, ASize const& b) { return a.operator==(b); }    ///< Both fields equal.
inline bool operator!=(ASize const& a, ASize const& b) { return a.operator!=(b); }    ///< Either field differs.
inline bool operator==(ARect const& a, ARect const& b) { return a.operator==(b); }    ///< All four fields equal.
inline bool operator!=(ARect const& a, ARect const& b) { return a.operator!=(b); }    ///< Any field differs.
/// @}

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
