// The fast kernels against their plain definitions. This program compiles
// the kernels itself, so every form is checked whichever one this processor
// would pick.
#include "text/text_kernels.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace brindle::detail;

// Random lengths 0 to 4096 at every start alignment: every fast form gives
// the definition's value, and the definitions their check values.
TEST(TextKernels, FastFormsAgreeWithTheDefinitions) {
  EXPECT_EQ(Crc16Plain(reinterpret_cast<unsigned char const*>("123456789"), 9), 0x31C3);
  EXPECT_EQ(HashPlain(reinterpret_cast<unsigned char const*>("abc"), 3), 0x123u);
  std::mt19937 rng(1206);
  std::vector<unsigned char> buffer(4096 + 64);
  for (auto& b : buffer) b = static_cast<unsigned char>(rng());
  for (int trial = 0; trial < 3000; ++trial) {
    std::size_t n = trial < 300 ? static_cast<std::size_t>(trial) : rng() % 4097;
    unsigned char const* p = buffer.data() + trial % 64;
    std::uint16_t const crc = Crc16Plain(p, n);
    ASSERT_EQ(Crc16Slicing(p, n), crc) << n;
    ASSERT_EQ(HaveClmul() ? Crc16Clmul(p, n) : crc, crc) << n;
    ASSERT_EQ(Crc16(p, n), crc) << n;
    ASSERT_EQ(HashFast(p, n), HashPlain(p, n)) << n;
  }
  std::string all;
  for (int b = 0; b < 256; b += 3) all += static_cast<char>(b);
  ByteSet set(all.data(), all.size());
  for (int b = 0; b < 256; ++b) ASSERT_EQ(set.Has(static_cast<unsigned char>(b)), b % 3 == 0) << b;
}

}  // namespace
