#include "brindle/geometry.h"
#include "geometry/int_sqrt.h"

using brindle::detail::WrapAdd;
using brindle::detail::WrapNeg;
using brindle::detail::WrapSub;

ASize::ASize() = default;  // fields uninitialised, as in the record
ASize::ASize(int cx, int cy) : SIZE{cx, cy} {}
ASize::ASize(POINT const& p) : SIZE{p.x, p.y} {}
ASize::ASize(SIZE const& s) : SIZE(s) {}
ASize::ASize(DWORD packed) : SIZE{static_cast<LONG>(packed & 0xFFFFu), static_cast<LONG>(packed >> 16)} {}
ASize& ASize::operator=(ASize const& other) = default;

int ASize::X() const { return cx; }
int ASize::Y() const { return cy; }

ASize::operator SIZE const*() const { return this; }
ASize::operator SIZE*() { return this; }

ASize ASize::operator-() const { return ASize(WrapNeg(cx), WrapNeg(cy)); }
bool ASize::operator==(SIZE const& s) const { return cx == s.cx && cy == s.cy; }
bool ASize::operator!=(SIZE const& s) const { return !(*this == s); }
ASize ASize::operator+(SIZE const& s) const { return ASize(*this) += s; }
ASize ASize::operator-(SIZE const& s) const { return ASize(*this) -= s; }

ASize& ASize::operator+=(SIZE const& s) {
  cx = WrapAdd(cx, s.cx);
  cy = WrapAdd(cy, s.cy);
  return *this;
}

ASize& ASize::operator-=(SIZE const& s) {
  cx = WrapSub(cx, s.cx);
  cy = WrapSub(cy, s.cy);
  return *this;
}

int ASize::Magnitude() const { return brindle::detail::VectorLength(cx, cy); }
