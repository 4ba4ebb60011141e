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

unsigned char const* Bytes(char const* s) { return reinterpret_cast<unsigned char const*>(s); }

// Random lengths 0 to 4096 at every start alignment: every fast form gives
// the definition's value.
TEST(TextKernels, FastFormsAgreeWithTheDefinitions) {
  std::mt19937 rng(1206);
  std::vector<unsigned char> buffer(4096 + 64);
  for (auto& b : buffer) b = static_cast<unsigned char>(rng());
  bool const clmul = HaveClmul();
  EXPECT_EQ(Crc16Plain(Bytes("123456789"), 9), 0x31C3);  // the check value
  EXPECT_EQ(HashPlain(Bytes("abc"), 3), 0x123u);
  for (int trial = 0; trial < 3000; ++trial) {
    std::size_t offset = static_cast<std::size_t>(trial % 64);
    std::size_t n = trial < 300 ? static_cast<std::size_t>(trial) : rng() % 4097;
    unsigned char const* p = buffer.data() + offset;
    SCOPED_TRACE(::testing::Message() << "offset " << offset << " length " << n);
    std::uint16_t crc = Crc16Plain(p, n);
    ASSERT_EQ(Crc16Slicing(p, n), crc);
    if (clmul) {
      ASSERT_EQ(Crc16Clmul(p, n), crc);
    }
    ASSERT_EQ(Crc16(p, n), crc);
    ASSERT_EQ(HashFast(p, n), HashPlain(p, n));
  }
}

// Plain scans for the searches.
char const* FindPlain(char const* p, std::size_t n, char const* needle, std::size_t m) {
  for (std::size_t i = 0; i + m <= n; ++i) {
    if (std::memcmp(p + i, needle, m) == 0) return p + i;
  }
  return nullptr;
}

char const* FindLastPlain(char const* p, std::size_t n, char const* needle, std::size_t m) {
  for (std::size_t i = n - m + 1; n >= m && i-- > 0;) {
    if (std::memcmp(p + i, needle, m) == 0) return p + i;
  }
  return nullptr;
}

TEST(TextKernels, SearchesAgreeWithPlainScans) {
  std::mt19937 rng(612);
  for (int trial = 0; trial < 20000; ++trial) {
    // A small alphabet makes near misses common.
    int alphabet = 2 + static_cast<int>(rng() % 4);
    std::string hay(rng() % 100, ' ');
    for (char& c : hay) c = static_cast<char>('a' + static_cast<int>(rng() % static_cast<unsigned>(alphabet)));
    std::string needle(1 + rng() % 6, ' ');
    for (char& c : needle) c = static_cast<char>('a' + static_cast<int>(rng() % static_cast<unsigned>(alphabet)));
    SCOPED_TRACE(hay + " / " + needle);
    ASSERT_EQ(FindBytes(hay.data(), hay.size(), needle.data(), needle.size()),
              FindPlain(hay.data(), hay.size(), needle.data(), needle.size()));
    ASSERT_EQ(FindLastBytes(hay.data(), hay.size(), needle.data(), needle.size()),
              FindLastPlain(hay.data(), hay.size(), needle.data(), needle.size()));
    ASSERT_EQ(FindLastByte(hay.data(), hay.size(), needle[0]),
              FindLastPlain(hay.data(), hay.size(), needle.data(), 1));
  }
}

TEST(TextKernels, ByteSetHoldsEveryByteValue) {
  std::string all;
  for (int b = 0; b < 256; b += 3) all += static_cast<char>(b);
  ByteSet set(all.data(), all.size());
  for (int b = 0; b < 256; ++b) ASSERT_EQ(set.Has(static_cast<unsigned char>(b)), b % 3 == 0) << b;
}

}  // namespace
