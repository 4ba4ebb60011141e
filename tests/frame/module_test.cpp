#include <gtest/gtest.h>

#include "brindle/brindle.h"
#include "tests/portable.h"

namespace {

// The test runs with TZ=UTC0 (see tests/CMakeLists.txt), read at load.
TEST(Module, TimeZoneIsReadAtLoad) {
  EXPECT_EQ(_timezone, 0);
  EXPECT_EQ(_daylight, 0);
}

TEST(Module, TzsetFollowsTheEnvironment) {
  brindle::testing::SetEnv("TZ", "EST5EDT");
  _tzset();
  EXPECT_EQ(_timezone, 18000);
  EXPECT_NE(_daylight, 0);
  brindle::testing::SetEnv("TZ", "UTC0");
  _tzset();
  EXPECT_EQ(_timezone, 0);
  EXPECT_EQ(_daylight, 0);
}

TEST(Module, GrowthSettingsAtLoad) {
  EXPECT_EQ(AString::get_initial_capacity(), 16u);
  EXPECT_EQ(AString::get_resize_increment(), 32u);
}

// A client's own static initialiser may already use the library.
AString const early_string("built before main");
TEST(Module, UsableFromStaticInitialisers) { EXPECT_STREQ(early_string.c_str(), "built before main"); }

}  // namespace
