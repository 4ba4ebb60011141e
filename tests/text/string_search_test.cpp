#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "tests/text/string_model.h"

namespace {

constexpr unsigned int npos = AString::npos;
using brindle::testing::StringModel;

// Cases the random texts below rarely or never make: null and empty
// arguments, bytes above 0x7F, and the check values.
TEST(StringSearch, NullEmptyAndCheckValues) {
  AString const e, abc("abc");
  EXPECT_EQ(abc.find(static_cast<char const*>(nullptr), 0) & abc.find('\0', 0) & e.find('a'), npos);
  EXPECT_EQ(abc.contains("bc") * 2 + abc.contains('d'), 2);
  EXPECT_EQ(e.compare(""), 0);
  EXPECT_EQ(e.compare(nullptr) + abc.compare(nullptr, 0, npos), 2);  // null is below everything
  EXPECT_EQ(AString("\xE9").compare("z"), 1);                       // bytes order as unsigned
  EXPECT_EQ(e.Hash() + e.crc16(), 0u);
  EXPECT_EQ(abc.Hash(), 0x123u);
  EXPECT_EQ(AString("123456789").crc16(), 0x31C3);
  AString self("abc");
  EXPECT_EQ(self.replace(self, AString("x"), npos), 1);  // the pattern as it was at the call
  EXPECT_STREQ(self.c_str(), "x");
  AString run("abcd");
  run.replace(1, 2, run);  // what the string held before the removal
  EXPECT_STREQ(run.c_str(), "aabcdd");
  AString nul_pattern("a-b"), text("xaybzab");
  nul_pattern.put_at(1, '\0');  // a pattern holding a NUL: found up to it, removed whole
  EXPECT_EQ(text.replace(nul_pattern, AString("R"), npos), 2);
  EXPECT_STREQ(text.c_str(), "xRzR");
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
    unsigned int from = position(set.size()), count = pick(3) == 0 ? npos : pick(6);
    std::string part = StringModel::Take(set.c_str(), from, count);
    order = rules.t.compare(part) < 0 ? -1 : (rules.t == part ? 0 : 1);
    ASSERT_EQ(s.compare(set.c_str(), from, count), order);
    // A run replaced: removed, then the selected part of the other inserted.
    unsigned int taken = pick(3) == 0 ? npos : pick(6);
    AString edited(s);
    edited.replace(at, count, AString(set.c_str()), from, taken);
    std::string expected = rules.t;
    std::size_t cut = std::min<std::size_t>(at, expected.size());
    expected.erase(cut, count).insert(cut, StringModel::Take(set.c_str(), from, taken));
    ASSERT_EQ(std::string(edited.c_str()), expected);

    std::string r = text(5, alphabet);
    unsigned int limit = pick(3) == 0 ? npos : pick(5);
    unsigned int capacity = s.reserve();
    int made = s.replace(AString(p.c_str()), AString(r.c_str()), limit);
    ASSERT_EQ(made, rules.Replace(p, r, limit));
    ASSERT_STREQ(s.c_str(), rules.t.c_str());
    unsigned int length = static_cast<unsigned int>(rules.t.size());
    ASSERT_EQ(s.reserve(), made == 0 ? capacity : StringModel::Rule(length));
  }
}

}  // namespace
