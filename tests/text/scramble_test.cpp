#include <cstring>

#include <gtest/gtest.h>

#include "brindle/scramble.h"

namespace {

TEST(Scramble, EveryByteComesBack) {
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    EXPECT_EQ(charEncrypt(charEncrypt(c)), c) << b;
    unsigned char s = static_cast<unsigned char>(charEncrypt(c));
    EXPECT_EQ(s, static_cast<unsigned char>(((b & 0x0F) << 4) | (b >> 4))) << b;
  }
  EXPECT_EQ(static_cast<unsigned char>(charEncrypt(0x41)), 0x14);
  EXPECT_EQ(static_cast<unsigned char>(charEncrypt(0x5A)), 0xA5);
  EXPECT_EQ(charEncrypt(0x77), 0x77);
}

TEST(Scramble, Buffers) {
  char bytes[] = {0x41, 0x00, 0x42, 0x00, 0x7E};
  EXPECT_EQ(strEncrypt(bytes, 4), 4);
  unsigned char expected[] = {0x14, 0x00, 0x24, 0x00, 0x7E};  // the fifth byte is not counted
  EXPECT_EQ(std::memcmp(bytes, expected, 5), 0);
  EXPECT_EQ(strEncrypt(nullptr, 5), 0);
  EXPECT_EQ(strEncrypt(bytes, 0), 0);
  EXPECT_EQ(strEncrypt(bytes, -3), 0);  // a negative count touches nothing
  EXPECT_EQ(std::memcmp(bytes, expected, 5), 0);
}

TEST(Scramble, FrameworkStrings) {
  CString text("abc");
  CString scrambled = strEncrypt(text);
  EXPECT_EQ(text, "abc");
  ASSERT_EQ(scrambled.GetLength(), 3);
  EXPECT_EQ(static_cast<unsigned char>(scrambled[0]), 0x16);
  EXPECT_EQ(static_cast<unsigned char>(scrambled[1]), 0x26);
  EXPECT_EQ(static_cast<unsigned char>(scrambled[2]), 0x36);
  EXPECT_EQ(strEncrypt(scrambled), "abc");
  EXPECT_TRUE(strEncrypt(CString()).IsEmpty());
}

}  // namespace
