#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "tests/text/string_model.h"

namespace {

constexpr unsigned int npos = AString::npos;

TEST(StringSearch, EmptyString) {
  AString e;
  EXPECT_EQ(e.find('a'), npos);
  EXPECT_EQ(e.find("a"), npos);
  EXPECT_EQ(e.rfind('a'), npos);
  EXPECT_EQ(e.rfind("a"), npos);
  EXPECT_EQ(e.find_first_of(AString("a")), npos);
  EXPECT_EQ(e.find_first_not_of(AString("a")), npos);
  EXPECT_EQ(e.find_last_of(AString("a")), npos);
  EXPECT_EQ(e.find_last_not_of(AString("a")), npos);
  EXPECT_EQ(e.Hash(), 0u);
  EXPECT_EQ(e.crc16(), 0);
  EXPECT_EQ(e.compare(""), 0);
  EXPECT_EQ(e.compare(nullptr), 1);
  EXPECT_EQ(e.contains('a'), 0);
}

TEST(StringSearch, Compare) {
  AString abc("abc");
  std::vector<std::tuple<char const*, int>> rows = {
      {"abd", -1}, {"ab", 1}, {"abc", 0}, {"abcd", -1}, {"", 1}, {"b", -1}, {"\xE9", -1}};
  for (auto [text, expected] : rows) {
    SCOPED_TRACE(text);
    EXPECT_EQ(abc.compare(text), expected);
  }
  EXPECT_EQ(AString("\xE9").compare("z"), 1);  // bytes order as unsigned
  EXPECT_EQ(abc.compare(nullptr), 1);
  // Against the part assign() would take.
  EXPECT_EQ(abc.compare("xxabcxx", 2, 3), 0);
  EXPECT_EQ(abc.compare("xxabd", 2, npos), -1);
  EXPECT_EQ(abc.compare("xxab", 2, npos), 1);
  EXPECT_EQ(abc.compare(nullptr, 0, npos), 1);  // the empty text
  EXPECT_EQ(abc.compare("abc", 0, 0), 1);
  EXPECT_EQ(abc.compare("abc", 3, 1), 1);
  EXPECT_EQ(AString().compare("abc", 7, 1), 0);
}

TEST(StringSearch, FindAndRfind) {
  AString hello("hello");
  EXPECT_EQ(hello.find('l', 0), 2u);
  EXPECT_EQ(hello.find('l', 3), 3u);
  EXPECT_EQ(hello.find('l', 5), npos);
  EXPECT_EQ(hello.find("lo", 0), 3u);
  EXPECT_EQ(hello.find("llo", 3), npos);
  EXPECT_EQ(hello.find('\0', 0), npos);
  EXPECT_EQ(hello.find(static_cast<char const*>(nullptr), 0), npos);
  EXPECT_EQ(hello.find("", 0), npos);
  EXPECT_EQ(hello.rfind('l', npos), 3u);
  EXPECT_EQ(hello.rfind('l', 2), 2u);
  EXPECT_EQ(hello.rfind('l', 1), npos);
  EXPECT_EQ(AString("aab").rfind("ab", 0), npos);
  EXPECT_EQ(AString("aab").rfind("ab", 1), 1u);
  EXPECT_EQ(AString("abcabc").rfind("abc", npos), 3u);
  EXPECT_EQ(AString("abcabc").rfind("abc", 2), 0u);
  EXPECT_EQ(hello.contains('h'), 1);
  EXPECT_EQ(hello.contains("ell"), 1);
  EXPECT_EQ(hello.contains("elk"), 0);
}

TEST(StringSearch, CharacterSets) {
  AString hw("hello world");
  EXPECT_EQ(hw.find_first_of(AString("ow"), 0), 4u);
  EXPECT_EQ(hw.find_first_not_of(AString("hel"), 0), 4u);
  EXPECT_EQ(AString("abcc").find_first_not_of(AString("c"), 2), npos);
  EXPECT_EQ(AString("abcc").find_first_not_of(AString("ab"), 0), 2u);
  EXPECT_EQ(AString("abcc").find_first_not_of(AString(), 1), 1u);
  EXPECT_EQ(AString("abcc").find_first_of(AString(), 0), npos);
  AString hello("hello");
  EXPECT_EQ(hello.find_last_of(AString("l"), npos), 3u);
  EXPECT_EQ(hello.find_last_of(AString("l"), 3), 2u);
  EXPECT_EQ(hello.find_last_of(AString("l"), 2), npos);
  EXPECT_EQ(hello.find_last_not_of(AString("o"), npos), 3u);
  EXPECT_EQ(hello.find_last_of(AString(), npos), npos);
  EXPECT_EQ(hello.find_last_not_of(AString(), 4), 3u);  // m - 1
  EXPECT_EQ(hello.find_last_not_of(AString("x"), 0), npos);
}

TEST(StringSearch, ReplaceOccurrences) {
  std::vector<std::tuple<char const*, char const*, char const*, unsigned int, char const*, int>> rows = {
      {"banana", "a", "xa", npos, "bxanxanxa", 3},
      {"banana", "a", "xa", 2, "bxanxana", 2},
      {"banana", "", "x", npos, "banana", 0},
      {"banana", "a", "x", 0, "banana", 0},
      {"banana", "an", "", npos, "ba", 2},
      {"aaaa", "aa", "a", npos, "aa", 2},
      {"abab", "abab", "", npos, "", 1},
      {"abc", "abcd", "x", npos, "abc", 0},
  };
  for (auto [text, pattern, replacement, limit, expected, count] : rows) {
    SCOPED_TRACE(::testing::Message() << text << " " << pattern << " " << replacement << " " << limit);
    AString s(text);
    EXPECT_EQ(s.replace(AString(pattern), AString(replacement), limit), count);
    EXPECT_STREQ(s.c_str(), expected);
  }
  AString self("abc");
  EXPECT_EQ(self.replace(self, AString("x"), npos), 1);  // the pattern as it was at the call
  EXPECT_STREQ(self.c_str(), "x");
}

TEST(StringSearch, ReplaceRun) {
  AString s("abcd");
  s.replace(1, 2, AString("XY"));
  EXPECT_STREQ(s.c_str(), "aXYd");
  AString t("abcd");
  t.replace(9, 2, AString("XY"));
  EXPECT_STREQ(t.c_str(), "abcdXY");
  AString u("abcd");
  u.replace(1, 1, AString("wxyz"), 1, 2);
  EXPECT_STREQ(u.c_str(), "axycd");
  AString v("abcd");
  v.replace(1, 2, v);  // what the string held before the removal
  EXPECT_STREQ(v.c_str(), "aabcdd");
}

TEST(StringSearch, Checksums) {
  EXPECT_EQ(AString("abc").Hash(), 0x123u);
  EXPECT_EQ(AString("abc").crc16(), 0x9DD6);
  EXPECT_EQ(AString("123456789").crc16(), 0x31C3);
}

// --- Differential test against the rules, written out plainly -----------------

struct Rules {
  std::string t;  // the string's text

  static constexpr unsigned int kNone = npos;

  unsigned int Find(char c, unsigned int s) const {
    if (c == '\0') return kNone;
    for (std::size_t i = s; i < t.size(); ++i) {
      if (t[i] == c) return static_cast<unsigned int>(i);
    }
    return kNone;
  }
  unsigned int Find(std::string const& p, unsigned int s) const {
    std::size_t n = p.size();
    if (n == 0 || t.empty() || std::uint64_t{s} + n > t.size()) return kNone;
    for (std::size_t i = s; i + n <= t.size(); ++i) {
      if (t.compare(i, n, p) == 0) return static_cast<unsigned int>(i);
    }
    return kNone;
  }
  unsigned int Rfind(char c, unsigned int s) const {
    if (c == '\0' || t.empty()) return kNone;
    for (std::size_t i = std::min<std::size_t>(s, t.size() - 1) + 1; i-- > 0;) {
      if (t[i] == c) return static_cast<unsigned int>(i);
    }
    return kNone;
  }
  unsigned int Rfind(std::string const& p, unsigned int s) const {
    std::size_t n = p.size();
    if (n == 0 || t.size() < n) return kNone;
    std::size_t i = std::min({std::size_t{s}, t.size() - 1, t.size() - n});
    for (++i; i-- > 0;) {
      if (t[i] == p[0] && t.compare(i, n, p) == 0) return static_cast<unsigned int>(i);
    }
    return kNone;
  }
  unsigned int FirstOf(std::string const& set, unsigned int s, bool in) const {
    if (t.empty() || s >= t.size()) return kNone;
    for (std::size_t i = s; i < t.size(); ++i) {
      if ((set.find(t[i]) != std::string::npos) == in) return static_cast<unsigned int>(i);
    }
    return kNone;
  }
  unsigned int LastOf(std::string const& set, unsigned int b, bool in) const {
    std::size_t m = std::min<std::size_t>(t.size(), b);
    for (std::size_t i = m; i-- > 0;) {
      if ((set.find(t[i]) != std::string::npos) == in) return static_cast<unsigned int>(i);
    }
    return kNone;
  }
  int Replace(std::string const& p, std::string const& r, unsigned int k) {
    if (p.empty() || k == 0) return 0;
    unsigned int q = 0;
    unsigned int made = 0;
    while (true) {
      unsigned int f = Find(p, q);
      if (f == kNone) break;
      t.replace(f, p.size(), r);
      q = f + static_cast<unsigned int>(r.size());
      if (++made == k) break;
    }
    return static_cast<int>(made);
  }
};

TEST(StringSearch, AgreesWithTheRules) {
  std::mt19937 rng(20261206);
  auto pick = [&](unsigned int n) { return static_cast<unsigned int>(rng() % n); };
  auto text = [&](unsigned int max_length, int alphabet) {
    std::string s(pick(max_length + 1), ' ');
    for (char& c : s) c = static_cast<char>(pick(8) == 0 ? 0xC0 + pick(4) : 'a' + pick(static_cast<unsigned>(alphabet)));
    return s;
  };
  auto position = [&](std::size_t length) -> unsigned int {
    switch (pick(5)) {
      case 0: return npos;
      case 1: return static_cast<unsigned int>(length);
      default: return pick(static_cast<unsigned int>(length) + 2);
    }
  };
  for (int trial = 0; trial < 5000; ++trial) {
    int alphabet = 2 + static_cast<int>(pick(4));
    Rules rules{text(pick(4) == 0 ? 300 : 40, alphabet)};
    AString s(rules.t.c_str());
    std::string p = text(4, alphabet);
    std::string set = text(5, alphabet);
    char c = p.empty() ? 'a' : p[0];
    unsigned int at = position(rules.t.size());
    SCOPED_TRACE(::testing::Message() << "'" << rules.t << "' '" << p << "' '" << set << "' at " << at);

    ASSERT_EQ(s.find(c, at), rules.Find(c, at));
    ASSERT_EQ(s.find(p.c_str(), at), rules.Find(p, at));
    ASSERT_EQ(s.rfind(c, at), rules.Rfind(c, at));
    ASSERT_EQ(s.rfind(p.c_str(), at), rules.Rfind(p, at));
    AString set_string(set.c_str());
    ASSERT_EQ(s.find_first_of(set_string, at), rules.FirstOf(set, at, true));
    ASSERT_EQ(s.find_first_not_of(set_string, at), rules.FirstOf(set, at, false));
    ASSERT_EQ(s.find_last_of(set_string, at), rules.LastOf(set, at, true));
    ASSERT_EQ(s.find_last_not_of(set_string, at), rules.LastOf(set, at, false));
    int order = rules.t.compare(p) < 0 ? -1 : (rules.t == p ? 0 : 1);
    ASSERT_EQ(s.compare(p.c_str()), order);

    std::string r = text(5, alphabet);
    unsigned int limit = pick(3) == 0 ? npos : pick(5);
    unsigned int capacity = s.reserve();
    int made = s.replace(AString(p.c_str()), AString(r.c_str()), limit);
    ASSERT_EQ(made, rules.Replace(p, r, limit));
    ASSERT_STREQ(s.c_str(), rules.t.c_str());
    unsigned int length = static_cast<unsigned int>(rules.t.size());
    ASSERT_EQ(s.reserve(), made == 0 ? capacity : brindle::testing::StringModel::Rule(length));
  }
}

}  // namespace
