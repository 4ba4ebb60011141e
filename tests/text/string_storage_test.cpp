#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "tests/portable.h"
#include "tests/text/string_model.h"

namespace {

using brindle::testing::Mismatch;
using brindle::testing::StringModel;

constexpr unsigned int npos = AString::npos;

// Restores the load-time growth settings after each test that changes them.
class GrowthSettings : public ::testing::Test {
 protected:
  void TearDown() override {
    AString::initial_capacity(16);
    AString::resize_increment(32);
  }
};

TEST_F(GrowthSettings, LoadTimeRuleAndClampedSettings) {
  for (auto [n, capacity] : std::initializer_list<std::pair<unsigned, unsigned>>{
           {1, 16}, {15, 16}, {16, 32}, {32, 64}, {1000, 1024}}) {
    EXPECT_EQ(AString('x', n).reserve(), capacity) << n;
  }
  // Each setter returns the previous value and clamps to [8, 64] and [16, 128].
  EXPECT_EQ(AString::initial_capacity(3), 16u);
  EXPECT_EQ(AString::initial_capacity(100), 8u);
  EXPECT_EQ(AString::get_initial_capacity(), 64u);
  EXPECT_EQ(AString::resize_increment(0), 32u);
  EXPECT_EQ(AString::resize_increment(1000), 16u);
  EXPECT_EQ(AString::get_resize_increment(), 128u);
}

// Random sequences of operations, each checked against the reference model:
// text, length and the exact capacity after every step.
TEST_F(GrowthSettings, AgreesWithTheModel) {
  brindle::testing::OpSource in(20261206);
  for (int run = 0; run < 300; ++run) {
    AString s;
    StringModel m;
    for (int step = 0; step < 60; ++step) {
      int const op = brindle::testing::Step(s, m, in);
      ASSERT_EQ(Mismatch(s, m), "") << "run " << run << " step " << step << " op " << op;
    }
  }
}

// Numbers in their default and given formats at any length (the whole text
// is taken), operators, and positions out of range, which reach nothing.
TEST(StringStorage, NumbersOperatorsAndPositions) {
  struct Row {
    AString value;
    std::string text;
  } const rows[] = {
      {AString(7, "%03d"), "007"},   {AString(7, nullptr), "7"}, {AString(-5), "-5"}, {AString(2.5), "2.5000"},
      {AString(7u, "%x"), "7"},      {AString(255UL, "%lX"), "FF"}, {AString(-3L), "-3"}, {AString(1, "%c"), "\x01"},
      {AString(7, "%05000d"), std::string(4999, '0') + "7"},
      {AString(1, "%1024d") << "", std::string(1023, ' ') + "1"},  // the size of the scratch buffer
      {AString("ab") << 'x' << "y" << AString("z") << 8u << -9L << 10UL << 2.5 << '\0', "abxyz8-9102.5000"},
      {AString(CString("framework")) << static_cast<char const*>(nullptr), "framework"},
      {AString() = 4294967295u, "4294967295"},  {AString() = -1L, "-1"}, {AString("x") = '\0', ""},
  };
  for (Row const& row : rows) {
    EXPECT_EQ(std::string(row.value.c_str()), row.text);
    EXPECT_EQ(row.value.reserve(), StringModel::Rule(static_cast<unsigned int>(row.text.size()))) << row.text;
  }
  EXPECT_EQ(static_cast<CString>(AString("back")), "back");
  AString s("abc");
  AString const& c = s;
  EXPECT_EQ(s.c_str(3), s.c_str() + 3);
  EXPECT_EQ(s.c_str(4), &AString::empty_text);
  EXPECT_EQ(s(npos), &AString::empty_text);
  EXPECT_EQ(c[-1], '\0');
  EXPECT_EQ(s.valid_element(3) + s.valid_index(3) * 2 + s.valid_index(4) * 4, 2);
  s[3] = 'x';  // the terminator's position
  EXPECT_EQ(c[99u], '\0');  // the spare character reads as NUL again
  AString empty;
  EXPECT_EQ(empty.p_str(), &AString::empty_text);
  EXPECT_EQ(AString("abc").freeboard() + empty.freeboard(), 13u);
}

TEST(StringStorage, ScratchBufferIsPerThread) {
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  // Numbers are formatted through the scratch buffer; two threads at once
  // must each get their own text.
  bool ok[2] = {true, true};
  auto work = [&ok](int seed) {
    for (int i = seed * 100000; i < seed * 100000 + 2000; ++i) {
      ok[seed - 1] = ok[seed - 1] && std::to_string(i) == AString(i).c_str();
    }
  };
  std::thread other(work, 2);
  work(1);
  other.join();
  EXPECT_TRUE(ok[0] && ok[1]);
}

}  // namespace
