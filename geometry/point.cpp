#include "brindle/geometry.h"
#include "geometry/int_sqrt.h"

using brindle::detail::WrapAdd;
using brindle::detail::WrapNeg;
using brindle::detail::WrapSub;

APoint::APoint() = default;  // fields uninitialised, as in the record
APoint::APoint(int x, int y) : POINT{x, y} {}
APoint::APoint(POINT const& p) : POINT(p) {}
APoint::APoint(SIZE const& s) : POINT{s.cx, s.cy} {}
APoint::APoint(DWORD packed) : POINT{static_cast<LONG>(packed & 0xFFFFu), static_cast<LONG>(packed >> 16)} {}
APoint& APoint::operator=(APoint const& other) = default;

int APoint::X() const { return x; }
int APoint::Y() const { return y; }

APoint::operator POINT const*() const { return this; }
APoint::operator POINT*() { return this; }

APoint APoint::operator-() const { return APoint(WrapNeg(x), WrapNeg(y)); }
bool APoint::operator==(POINT const& p) const { return x == p.x && y == p.y; }
bool APoint::operator!=(POINT const& p) const { return !(*this == p); }
APoint APoint::operator+(SIZE const& s) const { return APoint(WrapAdd(x, s.cx), WrapAdd(y, s.cy)); }
APoint APoint::operator-(SIZE const& s) const { return APoint(WrapSub(x, s.cx), WrapSub(y, s.cy)); }
ASize APoint::operator-(POINT const& p) const { return ASize(WrapSub(x, p.x), WrapSub(y, p.y)); }

APoint& APoint::Offset(int dx, int dy) {
  x = WrapAdd(x, dx);
  y = WrapAdd(y, dy);
  return *this;
}

APoint APoint::OffsetBy(int dx, int dy) const { return APoint(*this).Offset(dx, dy); }

int APoint::Magnitude() const { return brindle::detail::VectorLength(x, y); }
