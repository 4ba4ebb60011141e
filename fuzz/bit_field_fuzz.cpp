// ABitField archive reading from arbitrary bytes: the field read back is
// stored again and compared with the input as the layout says it should be
// (spare bits cleared, a short read all clear; a count of 0, or one cut
// short, leaves the field as it was). What a field does once read is the
// model test's (tests/bits).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/bits/stored_field.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (size > 9000) return 0;
  brindle::testing::StoredField f(24);
  f.BSET(1).BSET(23);
  std::vector<BYTE> const before = f.Store();
  unsigned int const stored = size < 2 ? 0 : data[0] | (data[1] << 8);
  Require(f.Load(std::vector<BYTE>(data, data + size)) == (size >= 2));
  if (stored == 0) {
    Require(f.Store() == before);
    return 0;
  }
  std::size_t const bytes = (stored + 7) / 8;
  std::vector<BYTE> expected(data, data + 2);
  expected.resize(2 + bytes);
  if (size - 2 >= bytes) {
    std::memcpy(expected.data() + 2, data + 2, bytes);
    if (stored % 8 != 0) expected[1 + bytes] &= static_cast<BYTE>(0xFF00u >> (stored % 8));
  }
  Require(f.BLENGTH() == stored && f.Store() == expected);
  return 0;
}
