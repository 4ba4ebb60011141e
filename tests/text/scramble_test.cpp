#include <cstring>

#include <gtest/gtest.h>

#include "brindle/scramble.h"

namespace {

TEST(Scramble, NibblesSwapInBytesBuffersAndStrings) {
  for (int b = 0; b < 256; ++b) {
    ASSERT_EQ(charEncrypt(charEncrypt(static_cast<char>(b))), static_cast<char>(b)) << b;
  }
  EXPECT_EQ(static_cast<unsigned char>(charEncrypt(0x5A)), 0xA5);
  EXPECT_EQ(static_cast<unsigned char>(charEncrypt(static_cast<char>(0xF1))), 0x1F);
  char bytes[] = {0x41, 0x00, 0x42, 0x00, 0x7E};
  unsigned char const expected[] = {0x14, 0x00, 0x24, 0x00, 0x7E};  // the fifth byte is not counted
  EXPECT_EQ(strEncrypt(bytes, 4), 4);
  EXPECT_EQ(strEncrypt(nullptr, 5), 0);
  EXPECT_EQ(strEncrypt(bytes, -3), 0);  // a negative count touches nothing
  EXPECT_EQ(std::memcmp(bytes, expected, 5), 0);
  CString const text("abc");
  CString const scrambled = strEncrypt(text);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(scrambled, "\x16\x26\x36");
  EXPECT_TRUE(strEncrypt(CString()).IsEmpty());
}

}  // namespace
