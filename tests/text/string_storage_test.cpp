#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

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

void ExpectString(AString const& s, char const* text, unsigned int capacity) {
  EXPECT_STREQ(s.c_str(), text);
  EXPECT_EQ(s.length(), std::strlen(text));
  EXPECT_EQ(s.reserve(), capacity);
}

TEST(StringStorage, LoadTimeSettings) {
  EXPECT_EQ(AString::get_initial_capacity(), 16u);
  EXPECT_EQ(AString::get_resize_increment(), 32u);
}

TEST(StringStorage, EmptyString) {
  AString s;
  EXPECT_EQ(s.length(), 0u);
  EXPECT_EQ(s.reserve(), 0u);
  EXPECT_EQ(s.freeboard(), 0u);
  EXPECT_EQ(s.is_null(), 1);
  EXPECT_EQ(s.c_str(), &AString::empty_text);
  EXPECT_EQ(static_cast<char const*>(s), &AString::empty_text);
  EXPECT_EQ(s(), &AString::empty_text);
  EXPECT_EQ(s.p_str(), &AString::empty_text);
  EXPECT_EQ(*s, '\0');
  EXPECT_EQ(s.valid_index(0), 0);
  EXPECT_EQ(s.valid_element(0), 0);
  EXPECT_EQ(s[0], '\0');
  EXPECT_EQ(s.c_str(0), &AString::empty_text);
  EXPECT_EQ(AString::empty_text, '\0');
}

TEST(StringStorage, CapacityRule) {
  // (text length, capacity) with the load-time settings.
  std::vector<std::pair<unsigned int, unsigned int>> rows = {
      {1, 16}, {3, 16}, {15, 16}, {16, 32}, {31, 32}, {32, 64}, {63, 64}, {64, 96}, {1000, 1024}};
  for (auto [n, capacity] : rows) {
    SCOPED_TRACE(n);
    AString s('x', n);
    EXPECT_EQ(s.length(), n);
    EXPECT_EQ(s.reserve(), capacity);
    EXPECT_EQ(s.freeboard(), capacity - n);
  }
}

TEST_F(GrowthSettings, SettingsAreClampedAndReturnThePrevious) {
  EXPECT_EQ(AString::initial_capacity(3), 16u);
  EXPECT_EQ(AString::get_initial_capacity(), 8u);
  EXPECT_EQ(AString::initial_capacity(100), 8u);
  EXPECT_EQ(AString::get_initial_capacity(), 64u);
  EXPECT_EQ(AString::resize_increment(0), 32u);
  EXPECT_EQ(AString::get_resize_increment(), 16u);
  EXPECT_EQ(AString::resize_increment(1000), 16u);
  EXPECT_EQ(AString::get_resize_increment(), 128u);
}

TEST_F(GrowthSettings, NewSettingsApplyToLaterBlocksOnly) {
  AString before("abc");
  AString::initial_capacity(8);
  AString::resize_increment(16);
  AString after("abc");
  EXPECT_EQ(before.reserve(), 16u);
  EXPECT_EQ(after.reserve(), 8u);
  after.assign('y', 20);
  EXPECT_EQ(after.reserve(), 32u);  // (20 / 16 + 1) * 16
}

TEST(StringStorage, AppendGrowsOnlyWhenTheTerminatorWouldNotFit) {
  AString grows("abc");
  grows.append("0123456789abc");  // length 16 in a block of 16: no room for NUL
  ExpectString(grows, "abc0123456789abc", 32);

  AString keeps("abc");
  char const* block = keeps.c_str();
  keeps.append("0123456789ab");  // length 15
  ExpectString(keeps, "abc0123456789ab", 16);
  EXPECT_EQ(keeps.c_str(), block);  // appended in place
}

TEST(StringStorage, AssignTable) {
  // text, pos, len -> result
  std::vector<std::tuple<char const*, unsigned int, unsigned int, char const*>> rows = {
      {"hello", 10, 3, ""},   {"hello", 1, 3, "ell"},    {"hello", 3, npos, "lo"}, {"hello", 5, npos, ""},
      {"hello", 0, 0, ""},    {"", 0, npos, ""},         {nullptr, 0, npos, ""},   {"hello", 0, 99, "hello"},
      {"hello", 4, npos - 2, "o"},
  };
  for (auto [text, pos, len, expected] : rows) {
    SCOPED_TRACE(::testing::Message() << (text ? text : "(null)") << " " << pos << " " << len);
    AString s("previous");
    s.assign(text, pos, len);
    EXPECT_STREQ(s.c_str(), expected);
    EXPECT_EQ(s.is_null(), *expected == '\0' ? 1 : 0);
    EXPECT_EQ(s.reserve(), StringModel::Rule(static_cast<unsigned int>(std::strlen(expected))));
  }
}

TEST(StringStorage, CharacterCountsAndNul) {
  AString s("ab");
  s.append('x', 0);
  s.append('\0', 5);
  s.prepend('x', 0);
  s.prepend('\0', 5);
  EXPECT_STREQ(s.c_str(), "ab");
  s.assign('\0', 5);
  EXPECT_EQ(s.is_null(), 1);
  s.assign('z', 0);
  EXPECT_EQ(s.is_null(), 1);
  s.append('q', 3);  // on an empty string append is assign
  ExpectString(s, "qqq", 16);
  s.prepend('p', 2);
  ExpectString(s, "ppqqq", 16);
}

TEST(StringStorage, AppendAndPrependTextRules) {
  AString s("ab");
  s.append(nullptr, 0, npos);
  s.append("", 0, npos);
  s.append("xyz", 3, npos);
  s.append("xyz", 0, 0);
  s.prepend(nullptr, 0, npos);
  s.prepend("xyz", 5, 1);
  EXPECT_STREQ(s.c_str(), "ab");
  s.append("xyz", 1, 1);
  s.prepend("uvw", 1, npos);
  EXPECT_STREQ(s.c_str(), "vwaby");
  EXPECT_EQ(s.reserve(), 16u);  // prepend always takes a block sized by the rule
}

TEST(StringStorage, InsertTable) {
  // target, pos, inserted, s_pos, s_len -> result
  std::vector<std::tuple<char const*, unsigned int, char const*, unsigned int, unsigned int, char const*>> rows = {
      {"ab", 99, "xy", 0, npos, "abxy"}, {"ab", 0, "xy", 0, npos, "xyab"}, {"ab", 1, "xy", 0, npos, "axyb"},
      {"ab", 1, "xyz", 1, 1, "ayb"},     {"ab", 1, "xyz", 7, 1, "ab"},     {"", 0, "xy", 0, npos, "xy"},
      {"", 5, "", 0, npos, ""},          {"ab", 2, "", 0, npos, "ab"},
  };
  for (auto [target, pos, inserted, s_pos, s_len, expected] : rows) {
    SCOPED_TRACE(::testing::Message() << target << " " << pos << " " << inserted);
    AString s(target);
    s.insert(pos, AString(inserted), s_pos, s_len);
    EXPECT_STREQ(s.c_str(), expected);
    EXPECT_EQ(s.reserve(), StringModel::Rule(static_cast<unsigned int>(std::strlen(expected))));
  }
}

TEST(StringStorage, SelfReference) {
  AString s("ab");
  s.insert(1, s);
  EXPECT_STREQ(s.c_str(), "aabb");

  AString ten("0123456789");
  ASSERT_EQ(ten.reserve(), 16u);
  ten += ten;
  ExpectString(ten, "01234567890123456789", 32);

  AString small("abc");
  small += small;  // fits: appended within the block
  ExpectString(small, "abcabc", 16);

  AString part("hello world");
  part.assign(part.c_str(), 6, npos);
  EXPECT_STREQ(part.c_str(), "world");
  part.prepend(part.c_str(), 1, 2);
  EXPECT_STREQ(part.c_str(), "orworld");
  part.append(part.c_str(3), 0, npos);  // grows from 7 to 11 within 16
  EXPECT_STREQ(part.c_str(), "orworldorld");
  part.append(part.c_str(), 0, npos);  // 22 characters: the block moves
  EXPECT_STREQ(part.c_str(), "orworldorldorworldorld");
  part = part;
  EXPECT_STREQ(part.c_str(), "orworldorldorworldorld");
}

TEST(StringStorage, RemoveTable) {
  // text, pos, len -> result
  std::vector<std::tuple<char const*, unsigned int, unsigned int, char const*>> rows = {
      {"abc", 1, npos, "a"}, {"abc", 0, 3, ""}, {"abc", 3, 1, "abc"}, {"abc", 1, 0, "abc"},
      {"abc", 0, 1, "bc"},   {"abc", 1, 1, "ac"}, {"", 0, 1, ""},
  };
  for (auto [text, pos, len, expected] : rows) {
    SCOPED_TRACE(::testing::Message() << text << " " << pos << " " << len);
    AString s(text);
    unsigned int capacity = s.reserve();
    s.remove(pos, len);
    EXPECT_STREQ(s.c_str(), expected);
    // remove never takes a new block; removing everything frees it.
    EXPECT_EQ(s.reserve(), *expected == '\0' ? 0u : capacity);
    EXPECT_EQ(s.is_null(), *expected == '\0' ? 1 : 0);
  }
}

TEST(StringStorage, CopiesAreSizedByTheirOwnLength) {
  AString long_one('x', 40);
  long_one.remove(2, npos);
  ASSERT_EQ(long_one.reserve(), 64u);
  AString copy(long_one);
  ExpectString(copy, "xx", 16);
  AString assigned;
  assigned = long_one;
  ExpectString(assigned, "xx", 16);
  AString part(long_one, 1, npos);
  ExpectString(part, "x", 16);

  AString moved(std::move(copy));
  ExpectString(moved, "xx", 16);
  EXPECT_EQ(copy.is_null(), 1);  // NOLINT(bugprone-use-after-move): moved-from is empty
}

TEST(StringStorage, Operators) {
  AString s;
  s = 'a';
  EXPECT_STREQ(s.c_str(), "a");
  s = '\0';
  EXPECT_EQ(s.is_null(), 1);
  s = "text";
  s += '!';
  s += "?";
  s += AString("-");
  s << 'x' << "y" << AString("z") << 7 << 8u << -9L << 10UL << 2.5;
  EXPECT_STREQ(s.c_str(), "text!?-xyz78-9102.5000");
  s += '\0';
  s += static_cast<char const*>(nullptr);
  EXPECT_STREQ(s.c_str(), "text!?-xyz78-9102.5000");
  s = 42;
  EXPECT_STREQ(s.c_str(), "42");
  s = 4294967295u;
  EXPECT_STREQ(s.c_str(), "4294967295");
  s = -1L;
  EXPECT_STREQ(s.c_str(), "-1");
  s = 1UL;
  EXPECT_STREQ(s.c_str(), "1");
  s = 1.0;
  EXPECT_STREQ(s.c_str(), "1.0000");
  s = static_cast<char const*>(nullptr);
  EXPECT_EQ(s.is_null(), 1);
}

TEST(StringStorage, NumericConstructors) {
  EXPECT_STREQ(AString(7, "%03d").c_str(), "007");
  EXPECT_STREQ(AString(7, nullptr).c_str(), "7");
  EXPECT_STREQ(AString(-5).c_str(), "-5");
  EXPECT_STREQ(AString(1.0).c_str(), "1.0000");
  EXPECT_STREQ(AString(2.5).c_str(), "2.5000");
  EXPECT_STREQ(AString(7u, "%x").c_str(), "7");
  EXPECT_STREQ(AString(255UL, "%lX").c_str(), "FF");
  EXPECT_STREQ(AString(-3L).c_str(), "-3");
  EXPECT_STREQ(AString(0.5, "%.1f%%").c_str(), "0.5%");
  // A caller's format may produce any length; the whole text is taken.
  AString wide(7, "%05000d");
  EXPECT_EQ(wide.length(), 5000u);
  EXPECT_EQ(wide[4999], '7');
  EXPECT_EQ(wide.reserve(), StringModel::Rule(5000));
  AString more("x");
  more += AString(1, "%2000d");
  EXPECT_EQ(more.length(), 2001u);
}

TEST(StringStorage, FromFrameworkString) {
  AString empty{CString()};
  EXPECT_EQ(empty.is_null(), 1);
  AString s{CString("framework")};
  ExpectString(s, "framework", 16);
  CString back = s;
  EXPECT_EQ(back, "framework");
  EXPECT_EQ(static_cast<CString>(AString()), "");
}

TEST(StringStorage, PositionPointers) {
  AString s("abc");
  EXPECT_EQ(s.c_str(2), s.c_str() + 2);
  EXPECT_EQ(*s.c_str(2), 'c');
  EXPECT_EQ(s.c_str(3), s.c_str() + 3);
  EXPECT_EQ(*s.c_str(3), '\0');
  EXPECT_EQ(s.c_str(4), &AString::empty_text);
  EXPECT_EQ(s.p_str(1), s.c_str() + 1);
  EXPECT_EQ(s(1), s.c_str() + 1);
  EXPECT_EQ(s(npos), &AString::empty_text);
  s.p_str()[0] = 'A';
  EXPECT_STREQ(s.c_str(), "Abc");
}

TEST(StringStorage, ElementAccess) {
  AString const s("abc");
  EXPECT_EQ(s[0u], 'a');
  EXPECT_EQ(s[2], 'c');
  EXPECT_EQ(s[3], '\0');
  EXPECT_EQ(s[9], '\0');
  EXPECT_EQ(s[-1], '\0');
  EXPECT_EQ(s.get_at(1), 'b');
  EXPECT_EQ(*s, 'a');
  EXPECT_EQ(s.valid_element(2), 1);
  EXPECT_EQ(s.valid_element(3), 0);
  EXPECT_EQ(s.valid_index(3), 1);
  EXPECT_EQ(s.valid_index(4), 0);
  s.assert_element(99);  // no effect either way
  s.assert_index(99);
}

TEST(StringStorage, WritesOutOfRangeReachNothing) {
  AString s("abc");
  s[1] = 'B';
  s[-1] = 'x';  // a very large position
  s[3] = 'x';   // the terminator's position
  s[99] = 'x';
  EXPECT_STREQ(s.c_str(), "aBc");
  EXPECT_EQ(s.length(), 3u);
  EXPECT_EQ(s[99u], '\0');  // the spare character reads as NUL again

  AString empty;
  empty[0] = 'x';
  empty.put_at(0, 'x');
  EXPECT_EQ(AString::empty_text, '\0');
  EXPECT_EQ(empty.is_null(), 1);

  s.put_at(0, 'A');
  s.put_at(3, 'x');
  s.put_at(npos, 'x');
  EXPECT_STREQ(s.c_str(), "ABc");
  s.put_at(1, '\0');  // the length stays
  EXPECT_EQ(s.length(), 3u);
  EXPECT_EQ(s[2], 'c');
}

TEST(StringStorage, ScratchBufferIsPerThread) {
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  // Numbers are formatted through the scratch buffer; two threads at once
  // must each get their own text.
  auto work = [](int seed, bool* ok) {
    for (int i = 0; i < 2000; ++i) {
      AString s(seed * 100000 + i, "%09d");
      char expected[16];
      std::snprintf(expected, sizeof expected, "%09d", seed * 100000 + i);
      if (std::strcmp(s.c_str(), expected) != 0) *ok = false;
    }
  };
  bool ok1 = true, ok2 = true;
  std::thread t1(work, 1, &ok1), t2(work, 2, &ok2);
  t1.join();
  t2.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

// Random sequences of operations, each checked against the reference model:
// text, length and the exact capacity after every step, self-reference and
// setting changes included.
TEST_F(GrowthSettings, AgreesWithTheModel) {
  std::mt19937 rng(20261206);
  auto pick = [&](unsigned int n) { return static_cast<unsigned int>(rng() % n); };
  auto position = [&](unsigned int length) -> unsigned int {
    switch (pick(6)) {
      case 0: return npos;
      case 1: return length;
      case 2: return length + 1 + pick(3);
      default: return length == 0 ? 0 : pick(length);
    }
  };
  auto random_text = [&]() {
    std::string t(pick(4) == 0 ? pick(80) : pick(12), ' ');
    for (char& c : t) c = static_cast<char>('a' + pick(26));
    return t;
  };

  for (int run = 0; run < 200; ++run) {
    AString s;
    StringModel m;
    for (int step = 0; step < 60; ++step) {
      std::string source = random_text();
      bool self = pick(4) == 0 && !m.text.empty();
      char const* p = self ? s.c_str() : (pick(10) == 0 ? nullptr : source.c_str());
      std::string p_text = self ? m.text : (p ? source : std::string());
      char const* p_model = p == nullptr ? nullptr : p_text.c_str();
      unsigned int pos = position(static_cast<unsigned int>(p_text.size()));
      unsigned int len = pick(3) == 0 ? npos : pick(20);
      char c = pick(8) == 0 ? '\0' : static_cast<char>('A' + pick(26));
      unsigned int count = pick(40);
      int op = static_cast<int>(pick(11));
      switch (op) {
        case 0: s.assign(c, count); m.Assign(c, count); break;
        case 1: s.assign(p, pos, len); m.Assign(StringModel::Take(p_model, pos, len)); break;
        case 2: s.append(c, count); m.Append(c, count); break;
        case 3: s.append(p, pos, len); m.Append(StringModel::Take(p_model, pos, len)); break;
        case 4: s.prepend(c, count); m.Prepend(c, count); break;
        case 5: s.prepend(p, pos, len); m.Prepend(StringModel::Take(p_model, pos, len)); break;
        case 6: {
          unsigned int at = position(s.length());
          if (self) {
            s.insert(at, s, pos, len);
          } else {
            s.insert(at, AString(source.c_str()), pos, len);
          }
          m.Insert(at, self ? m.text : source, pos, len);
          break;
        }
        case 7: {
          unsigned int at = position(s.length());
          s.remove(at, len);
          m.Remove(at, len);
          break;
        }
        case 8: {
          AString copy(s);
          s = copy;
          m.Assign(m.text);
          break;
        }
        case 9:
          if (pick(4) == 0) s.clear(), m.Clear();
          break;
        case 10:
          AString::initial_capacity(pick(80));
          AString::resize_increment(pick(140));
          break;
      }
      std::string why = Mismatch(s, m);
      ASSERT_EQ(why, "") << "run " << run << " step " << step << " op " << op;
    }
  }
}

}  // namespace
