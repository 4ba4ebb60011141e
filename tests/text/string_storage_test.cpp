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
      int op = static_cast<int>(pick(13));
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
        case 8: {  // copies are sized by their own length
          AString copy(s);
          s = pick(2) == 0 ? copy : AString(std::move(copy));
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
        case 11: {  // numbers are appended as their default text
          int number = static_cast<int>(rng() % 200001) - 100000;
          s << number;
          m.Append(std::to_string(number));
          break;
        }
        case 12: {  // writes reach only the characters there are
          unsigned int at = position(s.length());
          if (c == '\0') break;
          s[at] = c;
          if (at < m.text.size()) m.text[at] = c;
          break;
        }
      }
      std::string why = Mismatch(s, m);
      ASSERT_EQ(why, "") << "run " << run << " step " << step << " op " << op;
    }
  }
}

TEST(StringStorage, NumbersAndOperators) {
  std::string const wide(4999, ' ');
  struct Row {
    AString value;
    std::string text;
  } const rows[] = {
      {AString(7, "%03d"), "007"},       {AString(7, nullptr), "7"},          {AString(-5), "-5"},
      {AString(2.5), "2.5000"},          {AString(7u, "%x"), "7"},            {AString(255UL, "%lX"), "FF"},
      {AString(-3L), "-3"},              {AString(0.5, "%.1f%%"), "0.5%"},    {AString(7, "%05000d"), std::string(4999, '0') + "7"},
      {AString(1, "%c"), "\x01"},        {AString(CString("framework")), "framework"},
      {AString("ab") << 'x' << "y" << AString("z") << 8u << -9L << 10UL << 2.5, "abxyz8-9102.5000"},
      {AString("ab") << '\0' << static_cast<char const*>(nullptr), "ab"},
      {AString(1, "%2000d") << "", std::string(1999, ' ') + "1"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 20));
    EXPECT_EQ(std::string(row.value.c_str()), row.text);
    EXPECT_EQ(row.value.length(), row.text.size());
    EXPECT_EQ(row.value.reserve(), StringModel::Rule(static_cast<unsigned int>(row.text.size())));
  }
  AString s;
  EXPECT_STREQ((s = 4294967295u).c_str(), "4294967295");
  EXPECT_STREQ((s = -1L).c_str(), "-1");
  EXPECT_STREQ((s = 1.0).c_str(), "1.0000");
  EXPECT_EQ((s = '\0').is_null(), 1);
  EXPECT_EQ(static_cast<CString>(AString("back")), "back");
  EXPECT_EQ(static_cast<CString>(AString()), "");
}

TEST(StringStorage, PositionsOutOfRangeReachNothing) {
  AString s("abc");
  AString const& c = s;
  EXPECT_EQ(s.c_str(3), s.c_str() + 3);
  EXPECT_EQ(s.c_str(4), &AString::empty_text);
  EXPECT_EQ(s(1), s.c_str() + 1);
  EXPECT_EQ(s(npos), &AString::empty_text);
  EXPECT_EQ(c[3], '\0');
  EXPECT_EQ(c[-1], '\0');
  EXPECT_EQ(c.get_at(1), 'b');
  EXPECT_EQ(s.valid_element(3), 0);
  EXPECT_EQ(s.valid_index(3), 1);
  EXPECT_EQ(s.valid_index(4), 0);
  s[3] = 'x';  // the terminator's position
  s[-1] = 'x';
  s.put_at(3, 'x');
  s.put_at(0, 'A');
  EXPECT_STREQ(s.c_str(), "Abc");
  EXPECT_EQ(c[99u], '\0');  // the spare character reads as NUL again
  s.put_at(1, '\0');        // the length stays
  EXPECT_EQ(s.length(), 3u);

  AString empty;
  empty[0] = 'x';
  empty.put_at(0, 'x');
  EXPECT_EQ(AString::empty_text, '\0');
  EXPECT_EQ(empty.p_str(), &AString::empty_text);
  EXPECT_EQ(empty.freeboard(), 0u);
  EXPECT_EQ(AString("abc").freeboard(), 13u);
}

TEST(StringStorage, ScratchBufferIsPerThread) {
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  // Numbers are formatted through the scratch buffer; two threads at once
  // must each get their own text.
  auto work = [](int seed, bool* ok) {
    for (int i = 0; i < 2000; ++i) {
      char expected[16];
      std::snprintf(expected, sizeof expected, "%09d", seed * 100000 + i);
      if (std::strcmp(AString(seed * 100000 + i, "%09d").c_str(), expected) != 0) *ok = false;
    }
  };
  bool ok1 = true, ok2 = true;
  std::thread t1(work, 1, &ok1), t2(work, 2, &ok2);
  t1.join();
  t2.join();
  EXPECT_TRUE(ok1 && ok2);
}

}  // namespace
