#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "tests/text/string_model.h"
#include "text/text_kernels.h"

namespace {

constexpr unsigned int npos = AString::npos;
using brindle::testing::StringModel;

TEST(StringStorage, LoadTimeRuleAndClampedSettings) {
  for (auto [n, capacity] : std::initializer_list<std::pair<unsigned, unsigned>>{{15, 16}, {16, 32}, {1000, 1024}}) {
    EXPECT_EQ(AString('x', n).reserve(), capacity) << n;
  }
  // Each setter returns the previous value and clamps to [8, 64] and [16, 128].
  std::vector<unsigned int> const got = {AString::initial_capacity(3),    AString::initial_capacity(100),
                                         AString::get_initial_capacity(), AString::resize_increment(0),
                                         AString::resize_increment(1000), AString::get_resize_increment()};
  EXPECT_EQ(got, (std::vector<unsigned int>{16, 8, 64, 32, 16, 128}));
  AString::initial_capacity(16);
  AString::resize_increment(32);
}

// Random operation sequences, every step checked against the reference model.
TEST(StringStorage, AgreesWithTheModel) {
  std::mt19937 rng(20261206);
  std::vector<std::uint8_t> bytes(2048);
  for (int run = 0; run < 300; ++run) {
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    ASSERT_EQ(brindle::testing::RunOps(bytes.data(), bytes.size()), "") << "run " << run;
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

// Random plans (texts of short and piece-sized runs, read through small get
// areas, none, or the whole text at once; with growth settings changed,
// buffers that throw and exception masks that turn states into exceptions),
// read to a little past the end by the library and by the reference.
TEST(StringStream, ReadsMatchPiecewiseReading) {
  std::mt19937 rng(20240605);
  std::vector<std::uint8_t> bytes(8192);
  for (int trial = 0; trial < 1200; ++trial) {
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    ASSERT_EQ(brindle::testing::CompareReads(bytes.data(), bytes.size()), "") << "trial " << trial;
  }
}

// Cases the random texts below rarely or never make: null and empty
// arguments and the check values.
TEST(StringSearch, NullEmptyAndCheckValues) {
  AString const e, abc("abc");
  EXPECT_EQ(abc.find(static_cast<char const*>(nullptr), 0) & abc.find('\0', 0) & e.find('a'), npos);
  EXPECT_EQ(abc.contains("bc") * 2 + abc.contains('d'), 2);
  EXPECT_EQ(e.compare(nullptr) + abc.compare(nullptr, 0, npos), 2);  // null is below everything
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

// Random texts over small alphabets (so that searches hit), searched and
// edited by the library and by std::string side by side. The library's rules
// differ from std::string's only where the guards below say: a NUL or an
// empty pattern is never found, and a last-of bound is exclusive.
TEST(StringSearch, AgreesWithStdString) {
  std::mt19937 rng(20261206);
  auto pick = [&](unsigned int n) { return static_cast<unsigned int>(rng() % n); };
  auto text = [&](unsigned int max_length, int alphabet) {
    std::string s(pick(max_length + 1), ' ');
    for (char& c : s) c = static_cast<char>(pick(8) == 0 ? 0xC0 + pick(4) : 'a' + pick(static_cast<unsigned>(alphabet)));
    return s;
  };
  auto position = [&](std::size_t length) -> unsigned int {
    unsigned int const n = static_cast<unsigned int>(length), kind = pick(5);
    return kind == 0 ? npos : kind == 1 ? n : pick(n + 2);
  };
  auto u = [](std::size_t i) { return static_cast<unsigned int>(i); };  // std::string::npos becomes npos
  auto order = [](std::string const& a, std::string const& b) { return a < b ? -1 : a == b ? 0 : 1; };
  for (int trial = 0; trial < 5000; ++trial) {
    int alphabet = 2 + static_cast<int>(pick(4));
    std::string t = text(pick(4) == 0 ? 300 : 40, alphabet);
    AString s(t.c_str());
    std::string const p = text(4, alphabet), set = text(5, alphabet);
    char const c = p.empty() ? 'a' : p[0];
    unsigned int const at = position(t.size());
    SCOPED_TRACE(::testing::Message() << "'" << t << "' '" << p << "' '" << set << "' at " << at);

    ASSERT_EQ(s.find(c, at), u(t.find(c, at)));
    ASSERT_EQ(s.find(p.c_str(), at), p.empty() ? npos : u(t.find(p, at)));
    ASSERT_EQ(s.rfind(c, at), u(t.rfind(c, at)));
    ASSERT_EQ(s.rfind(p.c_str(), at), p.empty() ? npos : u(t.rfind(p, at)));
    AString const set_string(set.c_str());
    ASSERT_EQ(s.find_first_of(set_string, at), u(t.find_first_of(set, at)));
    ASSERT_EQ(s.find_first_not_of(set_string, at), u(t.find_first_not_of(set, at)));
    ASSERT_EQ(s.find_last_of(set_string, at), at == 0 ? npos : u(t.find_last_of(set, at - 1)));
    ASSERT_EQ(s.find_last_not_of(set_string, at), at == 0 ? npos : u(t.find_last_not_of(set, at - 1)));
    ASSERT_EQ(s.compare(p.c_str()), order(t, p));
    unsigned int const from = position(set.size()), count = pick(3) == 0 ? npos : pick(6);
    ASSERT_EQ(s.compare(set.c_str(), from, count), order(t, StringModel::Take(set.c_str(), from, count)));
    // A run copied out: terminated, and nothing written past it.
    std::string out(t.size() + 2, '#');
    unsigned int const copied = s.copy(out.data(), count, at);
    ASSERT_EQ(out.substr(0, copied + 2), StringModel::Take(t.c_str(), at, count) + '\0' + '#');
    // A run replaced: removed, then the selected part of the other inserted.
    unsigned int const taken = pick(3) == 0 ? npos : pick(6);
    AString edited(s);
    edited.replace(at, count, set_string, from, taken);
    std::string expected = t;
    std::size_t const cut = std::min<std::size_t>(at, expected.size());
    expected.erase(cut, count).insert(cut, StringModel::Take(set.c_str(), from, taken));
    ASSERT_EQ(std::string(edited.c_str()), expected);

    // Every match replaced, left to right, up to the limit.
    std::string const r = text(5, alphabet);
    unsigned int const limit = pick(3) == 0 ? npos : pick(5);
    unsigned int const capacity = s.reserve();
    unsigned int made = 0;
    for (std::size_t f = t.find(p); !p.empty() && made < limit && f != std::string::npos; f = t.find(p, f)) {
      t.replace(f, p.size(), r);
      f += r.size();
      ++made;
    }
    ASSERT_EQ(s.replace(AString(p.c_str()), AString(r.c_str()), limit), static_cast<int>(made));
    ASSERT_STREQ(s.c_str(), t.c_str());
    ASSERT_EQ(s.reserve(), made == 0 ? capacity : StringModel::Rule(u(t.size())));
  }
}

// The fast kernels against their plain definitions (whose check values the
// string's own are) at random lengths 0 to 4096 and every start alignment.
// This program compiles the kernels itself, so every form is checked
// whichever one this processor would pick.
TEST(TextKernels, FastFormsAgreeWithTheDefinitions) {
  using namespace brindle::detail;
  std::mt19937 rng(1206);
  std::vector<unsigned char> buffer(4096 + 64);
  for (auto& b : buffer) b = static_cast<unsigned char>(rng());
  for (int trial = 0; trial < 3000; ++trial) {
    std::size_t n = trial < 300 ? static_cast<std::size_t>(trial) : rng() % 4097;
    unsigned char const* p = buffer.data() + trial % 64;
    std::uint16_t const crc = Crc16Plain(p, n);
    ASSERT_EQ(Crc16Slicing(p, n), crc) << n;
    ASSERT_EQ(HaveClmul() ? Crc16Clmul(p, n) : crc, crc) << n;
    ASSERT_EQ(HashFast(p, n), HashPlain(p, n)) << n;
  }
}

}  // namespace
