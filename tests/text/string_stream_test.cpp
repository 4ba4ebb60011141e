#include <ios>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "tests/text/stream_reference.h"

namespace {

using State = std::ios_base::iostate;
constexpr State kEof = std::ios_base::eofbit;
constexpr State kFail = std::ios_base::failbit;
constexpr State kBad = std::ios_base::badbit;

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
TEST(StringStream, MatchesPiecewiseReading) {
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
  AString::initial_capacity(16);
  AString::resize_increment(32);
}

}  // namespace
