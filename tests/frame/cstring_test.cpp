#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "brindle/framework.h"

namespace {

TEST(CStringTest, CountsCopiesAndRanges) {
  for (auto [text, count, length] : std::initializer_list<std::tuple<char const*, int, int>>{
           {"abcdef", 3, 3}, {"abc", 0, 0}, {"abc", -1, 0}, {nullptr, 4, 0}, {"a\0b", 3, 3}}) {
    EXPECT_EQ(CString(text, count).GetLength(), length) << count;  // exactly the count, NULs included
  }
  EXPECT_TRUE(CString(nullptr).IsEmpty());
  CString a("shared?");
  CString b(a), c;
  c = a;
  b.SetAt(0, 'S');
  c.SetAt(6, '!');
  c.SetAt(7, 'x');
  c.SetAt(-1, 'x');
  EXPECT_EQ(a, "shared?");
  EXPECT_EQ(CString(std::move(b)), "Shared?");
  EXPECT_TRUE("shared!" == c && c != "shared?" && "x" != c && a != c);
  EXPECT_EQ(c.GetAt(7), '\0');
  EXPECT_EQ(c.GetAt(-1), '\0');
  EXPECT_STREQ(static_cast<char const*>(CString()), "");
  c.Format("%s  status: %d line: %d", "msg", 0, 62);
  EXPECT_EQ(c, "msg  status: 0 line: 62");
  for (int width : {255, 256, 257, 5000}) {  // about the size of a first, fixed buffer
    c.Format("%*d", width, 7);
    EXPECT_EQ(c.GetLength(), width);
    EXPECT_EQ(c[width - 1], '7');
  }
}

}  // namespace
