#include <string>

#include <gtest/gtest.h>

#include "brindle/framework.h"

namespace {

TEST(CStringTest, Construction) {
  EXPECT_TRUE(CString().IsEmpty());
  EXPECT_TRUE(CString(nullptr).IsEmpty());
  EXPECT_EQ(CString("abc").GetLength(), 3);
  CString counted("abcdef", 3);
  EXPECT_EQ(counted, "abc");
  EXPECT_TRUE(CString("abc", 0).IsEmpty());
  EXPECT_TRUE(CString("abc", -1).IsEmpty());
  EXPECT_TRUE(CString(nullptr, 4).IsEmpty());
  CString with_nul("a\0b", 3);  // exactly the count, NULs included
  EXPECT_EQ(with_nul.GetLength(), 3);
  EXPECT_EQ(with_nul.GetAt(2), 'b');
}

TEST(CStringTest, CopiesAreIndependent) {
  CString a("shared?");
  CString b(a);
  CString c;
  c = a;
  b.SetAt(0, 'S');
  c.SetAt(6, '!');
  EXPECT_EQ(a, "shared?");
  EXPECT_EQ(b, "Shared?");
  EXPECT_EQ(c, "shared!");
  CString moved(std::move(b));
  EXPECT_EQ(moved, "Shared?");
}

TEST(CStringTest, ElementAccessOutOfRange) {
  CString s("ab");
  EXPECT_EQ(s[1], 'b');
  EXPECT_EQ(s.GetAt(2), '\0');
  EXPECT_EQ(s.GetAt(-1), '\0');
  s.SetAt(5, 'x');
  s.SetAt(-1, 'x');
  EXPECT_EQ(s, "ab");
}

TEST(CStringTest, FormatAtAnyLength) {
  CString s;
  s.Format("%s  status: %d line: %d file: %s", "msg", 0, 62, ".\\rpcclient");
  EXPECT_EQ(s, "msg  status: 0 line: 62 file: .\\rpcclient");
  s.Format("%5000d", 7);
  EXPECT_EQ(s.GetLength(), 5000);
  EXPECT_EQ(s.GetAt(4999), '7');
}

TEST(CStringTest, Comparison) {
  CString a("x"), b("x"), c("y");
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a != c);
  EXPECT_TRUE(a == "x");
  EXPECT_TRUE("x" == a);
  EXPECT_TRUE(a != "y");
  EXPECT_TRUE("y" != a);
  EXPECT_TRUE(CString() == "");
  EXPECT_STREQ(static_cast<char const*>(CString()), "");
}

}  // namespace
