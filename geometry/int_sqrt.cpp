#include "geometry/int_sqrt.h"

#include <climits>
#include <cmath>

namespace brindle::detail {

std::uint32_t IntSqrt(std::uint64_t n) {
  // The root of n rounded to a double is within one of the true root; the
  // two corrections make it exact. r never exceeds 2^32 - 1, so (r + 1)^2 is
  // formed only while it fits in 64 bits.
  std::uint64_t r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
  if (r > 0xFFFFFFFFull) r = 0xFFFFFFFFull;
  while (r * r > n) --r;
  while (r < 0xFFFFFFFFull && (r + 1) * (r + 1) <= n) ++r;
  return static_cast<std::uint32_t>(r);
}

int VectorLength(int a, int b) {
  // |INT_MIN| is 2^31, representable once in unsigned.
  std::uint64_t ua = a < 0 ? 0u - static_cast<std::uint32_t>(a) : static_cast<std::uint32_t>(a);
  std::uint64_t ub = b < 0 ? 0u - static_cast<std::uint32_t>(b) : static_cast<std::uint32_t>(b);
  std::uint32_t length = IntSqrt(ua * ua + ub * ub);  // each square <= 2^62
  return length > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

}  // namespace brindle::detail
