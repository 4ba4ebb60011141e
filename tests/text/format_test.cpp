// Brindle's value types through fmt, and std::format where the standard
// library has it: one text per type, with the string options.
#include "brindle/fmt.h"
#include "tests/portable.h"

TEST(Formatting, EveryValueTypeThroughFmt) {
  EXPECT_EQ(fmt::format("{}|{:>4}|{}|{}", AString("ab"), AString("c"), ADate(5, 1, 1998), ADate(31, 2, 1999)),
            "ab|   c|1998-01-05|(invalid date)");
  EXPECT_EQ(fmt::format("{}|{}", ATime(0x80000000u), ATime(0u)), "1969-01-19T03:14:08Z|(invalid time)");
  EXPECT_EQ(fmt::format("{} {} {}", APoint(3, -4), ASize(5, 6), ARect(1, 2, 3, 4)), "(3, -4) (5, 6) (1, 2, 3, 4)");
#if defined(__cpp_lib_format)
  EXPECT_EQ(std::format("{:*<6}{}", AString("ab"), ADate(29, 2, 2000)), "ab****2000-02-29");
#endif
}
