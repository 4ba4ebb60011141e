// The fast kernels against their plain definitions. This program compiles
// the kernels itself, so every form is checked whichever one this processor
// would pick.
#include "text/text_kernels.h"

#include <cstring>
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

TEST(TextKernels, SearchesAgreeWithPlainScans) {
  std::mt19937 rng(612);
  auto text = [&](std::size_t n, unsigned alphabet) {  // a small alphabet makes near misses common
    std::string s(n, ' ');
    for (char& c : s) c = static_cast<char>('a' + rng() % alphabet);
    return s;
  };
  for (int trial = 0; trial < 20000; ++trial) {
    unsigned const alphabet = 2 + rng() % 4;
    std::string const hay = text(rng() % 100, alphabet), needle = text(1 + rng() % 6, alphabet);
    char const *first = nullptr, *last = nullptr;
    for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
      if (std::memcmp(hay.data() + i, needle.data(), needle.size()) != 0) continue;
      if (first == nullptr) first = hay.data() + i;
      last = hay.data() + i;
    }
    std::size_t const last_byte = hay.rfind(needle[0]);
    ASSERT_EQ(FindBytes(hay.data(), hay.size(), needle.data(), needle.size()), first) << hay << " / " << needle;
    ASSERT_EQ(FindLastBytes(hay.data(), hay.size(), needle.data(), needle.size()), last) << hay << " / " << needle;
    ASSERT_EQ(FindLastByte(hay.data(), hay.size(), needle[0]),
              last_byte == std::string::npos ? nullptr : hay.data() + last_byte);
  }
}

}  // namespace
