// Integer square root and vector length shared by the geometry classes.
// Internal: hidden in the library, not installed.
#ifndef BRINDLE_GEOMETRY_INT_SQRT_H
#define BRINDLE_GEOMETRY_INT_SQRT_H

#include <cstdint>

namespace brindle::detail {

// floor(sqrt(n)) for every 64-bit n; the result always fits in 32 bits.
[[nodiscard]] std::uint32_t IntSqrt(std::uint64_t n);

// floor of the length of (a, b), capped at INT_MAX. The squares are taken in
// 64 bits, so no coordinate overflows: |a|, |b| <= 2^31 gives a sum <= 2^63.
[[nodiscard]] int VectorLength(int a, int b);

// Two's-complement arithmetic on coordinates: the sum or difference modulo
// 2^32, without the signed overflow C++ forbids.
[[nodiscard]] inline int WrapAdd(int a, int b) {
  return static_cast<int>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
[[nodiscard]] inline int WrapSub(int a, int b) {
  return static_cast<int>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
[[nodiscard]] inline int WrapNeg(int a) { return static_cast<int>(0u - static_cast<std::uint32_t>(a)); }
[[nodiscard]] inline int WrapMul(int a, int b) {
  return static_cast<int>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

}  // namespace brindle::detail

#endif  // BRINDLE_GEOMETRY_INT_SQRT_H
