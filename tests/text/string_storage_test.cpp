#include <ios>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "tests/portable.h"
#include "tests/text/stream_reference.h"
#include "tests/text/string_model.h"

namespace {

using brindle::testing::Mismatch;
using brindle::testing::StringModel;

using State = std::ios_base::iostate;
constexpr State kEof = std::ios_base::eofbit;
constexpr State kFail = std::ios_base::failbit;
constexpr State kBad = std::ios_base::badbit;

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
// is taken), and the operators.
TEST(StringStorage, NumbersAndOperators) {
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

// A stream that is not good, and a token's field width.
TEST(StringStream, StreamStatesAndWidth) {
  for (State state : {kEof, kFail, kBad, kEof | kFail}) {
    std::istringstream bad("text\nmore");
    bad.setstate(state);
    AString line("left over"), token("left over");
    line.read_line(bad);
    token.read_token(bad);
    EXPECT_EQ(bad.rdstate(), state);
    EXPECT_EQ(brindle::testing::ReadPosition(bad), 0u);
    EXPECT_EQ(line.is_null() + token.is_null(), 2);
  }
  std::istringstream spaced(" word");  // the width is left at 0 whatever it was
  spaced.width(7);
  AString().read_token(spaced);
  EXPECT_EQ(spaced.width(), 0);
}

// Random texts of short and piece-sized runs, read to the end by the library
// and by the reference side by side, through small get areas, none, or the
// whole text at once; with growth settings changed, buffers that throw and
// exception masks that turn states into exceptions.
TEST_F(GrowthSettings, StreamReadsMatchPiecewiseReading) {
  std::mt19937 rng(20240605);
  char const alphabet[] = {'a', 'b', ' ', '\n', ';', '\t', '\0', '\xE9', '\r'};
  State const masks[] = {kBad, kEof, kFail, kBad | kEof | kFail};
  for (int trial = 0; trial < 1200; ++trial) {
    brindle::testing::ReadPlan plan;
    for (int runs = static_cast<int>(rng() % 8); runs > 0; --runs) {
      std::size_t n = rng() % 4 == 0 ? 1020 + rng() % 1030 : rng() % 12;
      char c = alphabet[rng() % sizeof alphabet];
      bool solid = rng() % 2 == 0;
      for (std::size_t i = 0; i < n; ++i) plan.input += solid ? c : alphabet[rng() % sizeof alphabet];
    }
    if (trial % 10 == 0) plan.input = std::string(1023 * (1 + rng() % 2), 'k');  // whole pieces to the end
    plan.reader = rng() % 6;
    plan.delim = alphabet[rng() % sizeof alphabet];
    plan.chunk = rng() % 8 == 0 ? 0 : rng() % 8 == 0 ? 4096 : 1 + rng() % 50;
    plan.skipws = rng() % 4 != 0;
    if (trial % 3 == 0) {
      plan.throw_at = rng() % 2 == 0 ? std::string::npos : rng() % (plan.input.size() + 2);
      plan.exceptions = masks[rng() % 4];
    }
    AString::initial_capacity(trial % 3 == 1 ? 16 : 8 + rng() % 60);
    // Increments of 2^k and 2^k - 1 as well as any: a power of two takes a shortcut.
    unsigned int const power = 16u << rng() % 4;
    AString::resize_increment(trial % 3 == 1 ? 32 : trial % 3 == 2 ? power - rng() % 2 : 16 + rng() % 113);
    ASSERT_EQ(brindle::testing::CompareReads(plan), "")
        << "trial " << trial << " reader " << plan.reader << " delim " << int(plan.delim) << " chunk " << plan.chunk;
  }
}

}  // namespace
