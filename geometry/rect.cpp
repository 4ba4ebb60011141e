#include <algorithm>
#include <utility>

#include "brindle/geometry.h"
#include "geometry/int_sqrt.h"

using brindle::detail::WrapAdd;
using brindle::detail::WrapMul;
using brindle::detail::WrapNeg;
using brindle::detail::WrapSub;

ARect::ARect() = default;  // fields uninitialised, as in the record
ARect::ARect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
ARect::ARect(RECT const& r) : RECT(r) {}
ARect::ARect(POINT const& p, POINT const& q) : RECT{p.x, p.y, q.x, q.y} {}
ARect::ARect(POINT const& p, SIZE const& s) : RECT{p.x, p.y, WrapAdd(p.x, s.cx), WrapAdd(p.y, s.cy)} {}
ARect& ARect::operator=(ARect const& other) = default;

ARect& ARect::Set(int l, int t, int r, int b) {
  left = l;
  top = t;
  right = r;
  bottom = b;
  return *this;
}

ARect& ARect::SetWH(int x, int y, int width, int height) {
  return Set(x, y, WrapAdd(x, width), WrapAdd(y, height));
}

ARect& ARect::SetNull() { return Set(0, 0, 0, 0); }
ARect& ARect::SetEmpty() { return Set(0, 0, 0, 0); }

// --- Accessors -----------------------------------------------------------------

int ARect::Left() const { return left; }
int ARect::X() const { return left; }
int ARect::Top() const { return top; }
int ARect::Y() const { return top; }
int ARect::Right() const { return right; }
int ARect::Bottom() const { return bottom; }
int ARect::Width() const { return WrapSub(right, left); }
int ARect::Height() const { return WrapSub(bottom, top); }
LONG ARect::Area() const { return WrapMul(Height(), Width()); }
ASize ARect::Size() const { return ASize(Width(), Height()); }
int ARect::Magnitude() const { return brindle::detail::VectorLength(Width(), Height()); }
APoint ARect::TopRight() const { return APoint(right, top); }
APoint ARect::BottomLeft() const { return APoint(left, bottom); }

// The record's two halves are laid out exactly as two POINTs (the header
// asserts the sizes), and APoint adds nothing to POINT, so each half can be
// handed out as an APoint in place.
APoint const& ARect::TopLeft() const { return *reinterpret_cast<APoint const*>(&left); }
APoint& ARect::TopLeft() { return *reinterpret_cast<APoint*>(&left); }
APoint const& ARect::BottomRight() const { return *reinterpret_cast<APoint const*>(&right); }
APoint& ARect::BottomRight() { return *reinterpret_cast<APoint*>(&right); }

ARect::operator RECT const*() const { return this; }
ARect::operator RECT*() { return this; }

// --- Tests -----------------------------------------------------------------------

bool ARect::IsEmpty() const { return left >= right || top >= bottom; }
bool ARect::IsNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }

bool ARect::operator==(RECT const& r) const {
  return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
}

bool ARect::operator!=(RECT const& r) const { return !(*this == r); }
bool ARect::EqualRect(RECT const& r) const { return *this == r; }

bool ARect::Contains(POINT const& p) const { return left <= p.x && p.x < right && top <= p.y && p.y < bottom; }
bool ARect::PtInRect(POINT const& p) const { return Contains(p); }

bool ARect::Contains(RECT const& r) const {
  return r.left >= left && r.right <= right && r.top >= top && r.bottom <= bottom;
}

bool ARect::Touches(RECT const& r) const {
  return r.right > left && r.left < right && r.bottom > top && r.top < bottom;
}

// --- In-place moves and resizes ----------------------------------------------------

ARect& ARect::Offset(int dx, int dy) {
  return Set(WrapAdd(left, dx), WrapAdd(top, dy), WrapAdd(right, dx), WrapAdd(bottom, dy));
}

ARect& ARect::Offset(SIZE const& s) { return Offset(s.cx, s.cy); }
ARect& ARect::operator+=(SIZE const& s) { return Offset(s.cx, s.cy); }
ARect& ARect::operator-=(SIZE const& s) { return Offset(WrapNeg(s.cx), WrapNeg(s.cy)); }

ARect& ARect::Locate(int x, int y) {
  return Set(x, y, WrapAdd(right, WrapSub(x, left)), WrapAdd(bottom, WrapSub(y, top)));
}

ARect& ARect::Locate(POINT const& p) { return Locate(p.x, p.y); }

ARect& ARect::Inflate(int l, int t, int r, int b) {
  return Set(WrapSub(left, l), WrapSub(top, t), WrapAdd(right, r), WrapAdd(bottom, b));
}

ARect& ARect::Inflate(int dx, int dy) { return Inflate(dx, dy, dx, dy); }
ARect& ARect::Inflate(SIZE const& s) { return Inflate(s.cx, s.cy, s.cx, s.cy); }
ARect& ARect::Inflate(RECT const& m) { return Inflate(m.left, m.top, m.right, m.bottom); }

ARect& ARect::Deflate(int l, int t, int r, int b) {
  return Set(WrapAdd(left, l), WrapAdd(top, t), WrapSub(right, r), WrapSub(bottom, b));
}

ARect& ARect::Deflate(int dx, int dy) { return Deflate(dx, dy, dx, dy); }
ARect& ARect::Deflate(SIZE const& s) { return Deflate(s.cx, s.cy, s.cx, s.cy); }
ARect& ARect::Deflate(RECT const& m) { return Deflate(m.left, m.top, m.right, m.bottom); }

ARect& ARect::Normalize() {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  return *this;
}

ARect& ARect::operator&=(RECT const& r) {
  if (IsNull()) return *this;
  ARect const other(r);
  if (other.IsNull()) return SetNull();
  return Set(std::max(left, r.left), std::max(top, r.top), std::min(right, r.right), std::min(bottom, r.bottom));
}

ARect& ARect::operator|=(RECT const& r) {
  ARect const other(r);
  if (other.IsNull()) return *this;
  if (IsNull()) return *this = other;
  return Set(std::min(left, r.left), std::min(top, r.top), std::max(right, r.right), std::max(bottom, r.bottom));
}

// --- Copying forms -------------------------------------------------------------------

ARect ARect::OffsetBy(int dx, int dy) const { return ARect(*this).Offset(dx, dy); }
ARect ARect::OffsetBy(SIZE const& s) const { return ARect(*this).Offset(s); }
ARect ARect::operator+(SIZE const& s) const { return ARect(*this).Offset(s); }
ARect ARect::operator-(SIZE const& s) const { return ARect(*this) -= s; }
ARect ARect::LocateBy(int x, int y) const { return ARect(*this).Locate(x, y); }
ARect ARect::LocateBy(POINT const& p) const { return ARect(*this).Locate(p); }
ARect ARect::InflateBy(int l, int t, int r, int b) const { return ARect(*this).Inflate(l, t, r, b); }
ARect ARect::InflateBy(int dx, int dy) const { return ARect(*this).Inflate(dx, dy); }
ARect ARect::InflateBy(SIZE const& s) const { return ARect(*this).Inflate(s); }
ARect ARect::InflateBy(RECT const& m) const { return ARect(*this).Inflate(m); }
ARect ARect::DeflateBy(int l, int t, int r, int b) const { return ARect(*this).Deflate(l, t, r, b); }
ARect ARect::DeflateBy(int dx, int dy) const { return ARect(*this).Deflate(dx, dy); }
ARect ARect::DeflateBy(SIZE const& s) const { return ARect(*this).Deflate(s); }
ARect ARect::DeflateBy(RECT const& m) const { return ARect(*this).Deflate(m); }
ARect ARect::Normalized() const { return ARect(*this).Normalize(); }
ARect ARect::operator&(RECT const& r) const { return ARect(*this) &= r; }
ARect ARect::operator|(RECT const& r) const { return ARect(*this) |= r; }

// --- Subtraction -----------------------------------------------------------------------

int ARect::Subtract(RECT const& cut, ARect* const out) const {
  // Both operands are read into locals first: `out` may alias either.
  RECT const b = cut;
  ARect const a = *this;
  if (!a.Touches(b)) {
    out[0] = a;
    return 1;
  }
  int n = 0;
  // The side bands span only the rows the two share.
  int const shared_top = std::max(a.top, b.top);
  int const shared_bottom = std::min(a.bottom, b.bottom);
  if (b.top > a.top) out[n++].Set(a.left, a.top, a.right, b.top);
  if (b.bottom < a.bottom) out[n++].Set(a.left, b.bottom, a.right, a.bottom);
  if (b.left > a.left) out[n++].Set(a.left, shared_top, b.left, shared_bottom);
  if (b.right < a.right) out[n++].Set(b.right, shared_top, a.right, shared_bottom);
  return n;
}
