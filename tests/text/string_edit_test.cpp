#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "brindle/scramble.h"
#include "brindle/string_table.h"
#include "platform/platform.h"
#include "tests/portable.h"
#include "text/string_paths.h"

namespace {

constexpr unsigned int npos = AString::npos;
namespace fs = std::filesystem;
using A = AString;

// The program's strings; on Windows the same come from its resource script.
#if !defined(_WIN32)
std::string const kLongResource(2000, 'r');
const brindle::StringTable kStrings = {{7001, "loaded text"}, {7002, kLongResource.c_str()}};
#endif

#define EDIT(call) [](A& s) -> A& { return s.call; }

// Every edit returns the string itself. A left/right/mid/pad/load result
// takes a new block sized by the rule; the others work in place, and a text
// cut to nothing owns no block. Justify: blanks stripped at the end the type
// names, a longer text cut only with truncate, a shorter one padded.
TEST(StringEdit, EditsInPlaceOrInANewBlock) {
  auto const R = A::justify_right, L = A::justify_left, C = A::justify_center, X = static_cast<A::JustifyType>(9);
  auto const cut = A::justify_truncate, strip = A::justify_strip, both = strip | cut;
  auto const head = A::strip_leading, tail = A::strip_trailing, ends = A::strip_both, Y = static_cast<A::StripType>(7);
  struct Row {
    char const* text;
    A& (*edit)(A&);
    char const* result;
    bool in_place;
  } const rows[] = {
      {"abcdef", EDIT(left(2)), "ab", false},           {"abcdef", EDIT(right(2)), "ef", false},
      {"abcdef", EDIT(right(0)), "", false},            {"abcdef", EDIT(mid(2, 3)), "cde", false},
      {"abcdef", EDIT(mid(6, 1)), "", false},           {"abcdef", EDIT(mid(4)), "ef", false},
      {"ab", EDIT(pad(5, '.')), "ab...", false},        {"ab", EDIT(pad(5, '\0')), "ab", true},
      {"ab", EDIT(pad(0x90000000u, '.')), "ab", true},  // a negative difference
      {"xxaxx", EDIT(strip(head, 'x')), "axx", true},   {"xxaxx", EDIT(strip(tail, 'x')), "xxa", true},
      {"xxaxx", EDIT(strip(ends, 'x')), "a", true},     {"xxx", EDIT(strip(tail, 'x')), "", true},
      {"xxaxx", EDIT(strip(Y, 'x')), "xxaxx", true},    {"aB1\xC9", EDIT(to_upper()), "AB1\xC9", true},
      {"aB1", EDIT(to_lower()), "ab1", true},           {"x", EDIT(load(7001, nullptr)), "loaded text", false},
      {"x", EDIT(load(7999, nullptr)), "", false},  // missing: empty even after text
      {"ab", EDIT(justify(R, 5)), "   ab", false},           {"ab", EDIT(justify(L, 5)), "ab   ", false},
      {"ab", EDIT(justify(C, 5)), "  ab ", false},           {" ab ", EDIT(justify(R, 5, strip)), "  ab ", false},
      {" ab ", EDIT(justify(L, 5, strip)), " ab  ", false},  {" ab ", EDIT(justify(C, 5, strip)), "  ab ", false},
      {"abcdef", EDIT(justify(R, 3)), "abcdef", true},       {"abcdef", EDIT(justify(R, 3, cut)), "def", true},
      {"abcdef", EDIT(justify(L, 3, cut)), "abc", true},     {"abcdef", EDIT(justify(C, 3, cut)), "bcd", true},
      {"abcdef", EDIT(justify(L, 0, cut)), "", true},        {"  ab  ", EDIT(justify(C, npos, both)), "ab", true},
      {"", EDIT(justify(L, 3, strip)), "   ", false},        {"ab", EDIT(justify(X, 5, strip)), "ab", true},
      {" abc ", EDIT(justify(X, 2, both)), " a", true},
  };
  for (Row const& row : rows) {
    AString s(row.text);
    unsigned int const before = s.reserve();
    EXPECT_EQ(&row.edit(s), &s);
    EXPECT_STREQ(s.c_str(), row.result) << row.text;
    EXPECT_EQ(s.reserve(), *row.result == '\0' ? 0u : row.in_place ? before : A(row.result).reserve()) << row.text;
  }
  AString s("abcdef");
  EXPECT_EQ(std::string(s.substr(1, 2).c_str()) + s(1, npos).c_str(), "bcbcdef");
  EXPECT_EQ(s.load(7002, nullptr).length(), 1023u);  // cut at the resource limit
}

TEST(StringEdit, ClassesCodePagesAndScrambling) {
  // upper, lower, alpha, alnum, digit
  for (auto [text, classes] : std::initializer_list<std::pair<char const*, char const*>>{
           {"123", "00011"}, {"12a", "00010"}, {"", "00000"}, {"AB", "10110"}, {"ab", "01110"}, {"a b", "00000"}}) {
    AString s(text);
    std::string const got = {char('0' + s.is_upper()), char('0' + s.is_lower()), char('0' + s.is_alpha()),
                             char('0' + s.is_alnum()), char('0' + s.is_digit())};
    EXPECT_EQ(got, classes) << text;
  }
  // A character without a counterpart becomes its look-alike on Windows
  // where there is one (a box-drawing line becomes '-'), '?' on POSIX.
  EXPECT_STREQ(AString("\xE9\xC7\xA3 x\x80").ansi_to_oem().c_str(), "\x82\x80\x9C x?");
  EXPECT_STREQ(AString("\x82\x80\x9C\xC4").oem_to_ansi().c_str(), brindle::testing::kWindows ? "\xE9\xC7\xA3-" : "\xE9\xC7\xA3?");
  int both_ways = 0;  // ASCII and the common accented letters
  for (int b = 1; b < 256; ++b) {
    char const text[2] = {static_cast<char>(b), '\0'};
    both_ways += static_cast<unsigned char>(*AString(text).ansi_to_oem().oem_to_ansi()) == b;
  }
  EXPECT_GT(both_ways, 127 + 30) << both_ways;
  // Scrambling swaps nibbles: of the bytes counted (none for a negative
  // count), and of a framework string's copy.
  char bytes[] = {0x41, 0x00, 0x5A, 0x7E};
  EXPECT_EQ(strEncrypt(bytes, 3) + strEncrypt(nullptr, 5) + strEncrypt(bytes, -3), 3);
  EXPECT_EQ(std::string(bytes, 4), std::string("\x14\x00\xA5\x7E", 4));
  EXPECT_EQ(strEncrypt(CString("abc")), "\x16\x26\x36");
}

// Joining with '/' and with '\\' (the roles of the two characters swapped);
// only the separator given counts.
TEST(StringEdit, PathsWithEitherSeparator) {
  char const* const rows[][3] = {
      {"dir//", "file", "dir/file"}, {"dir", "//file", "dir/file"}, {"dir/", "/sub/f", "dir/sub/f"}, {"dir", "", "dir/"},
      {"dir", nullptr, "dir/"},      {"", "file", "/file"},         {"dir\\", "file", "dir\\/file"},
  };
  for (auto const& row : rows) {
    for (char separator : {'/', '\\'}) {
      auto form = [separator](std::string t) {
        for (char& c : t) c = separator == '/' ? c : c == '/' ? '\\' : c == '\\' ? '/' : c;
        return t;
      };
      std::string const component = form(row[1] != nullptr ? row[1] : "");
      AString s(form(row[0]).c_str());
      brindle::detail::JoinPath(s, row[1] != nullptr ? component.c_str() : nullptr, separator);
      EXPECT_EQ(std::string(s.c_str()), form(row[2])) << separator << row[0] << " ^ " << component;
    }
  }
  AString self((std::string("a") + brindle::kPathSeparator).c_str());
  self ^= self.c_str();  // the platform's own, through the operator
  EXPECT_EQ(std::string(self.c_str()), std::string("a") + brindle::kPathSeparator + "a" + brindle::kPathSeparator);
  EXPECT_STREQ(brindle::detail::DirectoryPart(AString("D:\\app\\x.exe"), '\\').c_str(), "D:\\app\\");
  EXPECT_EQ(brindle::detail::DirectoryPart(AString("/usr/bin/x"), '\\').is_null(), 1);
}

// The working directory and module file names past the 1,023 characters of
// a fixed buffer (Windows keeps paths within its 260-character limit).
TEST(StringEdit, WorkingDirectoryAndModuleFilesAtAnyLength) {
  fs::path const saved = fs::current_path();
  std::string const program = brindle::testing::ProgramPath();
  fs::path const beside = fs::path(program).parent_path() / ("brindle_paths_" + std::to_string(brindle::testing::ProcessId()));
  fs::path deep = beside;
  // Windows: as deep as its working directory may be, wherever the build lies.
  std::size_t const depth = brindle::testing::kWindows ? 240u : 1100u;
  while (deep.string().size() < depth) deep /= std::string(std::min<std::size_t>(100u, depth - deep.string().size()), 'd');
  fs::create_directories(deep);
  fs::current_path(deep);
  EXPECT_EQ(std::string(AString::getcwd().c_str()), fs::canonical(deep).string());
  std::size_t const cut = program.rfind(brindle::kPathSeparator) + 1;
  EXPECT_EQ(std::string(AString::getcfn(nullptr).c_str()), program);
  EXPECT_EQ(std::string(AString::getcfd(nullptr).c_str()), program.substr(0, cut));
  // On Windows the module is loaded by its name from beside the program; on
  // POSIX a copy deep down, by a relative name. (Beside the program: a
  // temporary directory may forbid mapping code.)
  std::string path = brindle::testing::kWindows ? program.substr(0, cut) + BRINDLE_TEST_STRINGS_MODULE
                                                : (deep / "copy.so").string();
  if (!brindle::testing::kWindows) fs::copy_file(BRINDLE_TEST_STRINGS_MODULE, path);
  HINSTANCE module = brindle::testing::LoadModule(brindle::testing::kWindows ? BRINDLE_TEST_STRINGS_MODULE : "./copy.so");
  fs::current_path(saved);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(std::string(AString::getcfn(module).c_str()), path);
  EXPECT_EQ(std::string(AString::getcfd(module).c_str()), path.substr(0, path.rfind(brindle::kPathSeparator) + 1));
  brindle::testing::UnloadModule(module);
  fs::remove_all(beside);
  int not_a_module = 0;
  EXPECT_EQ(AString::getcfd(reinterpret_cast<HINSTANCE>(&not_a_module)).is_null(), 1);
}

TEST(StringEdit, TokensFormattingCopiesAndNumbers) {
  // The first token from the text, the rest with null; no delimiters: the rest, staying put.
  for (auto const& row : std::vector<std::vector<char const*>>{{"a,,b", ",", "a", "", "b", "", ""},
                                                              {",,a", ",", "a", "", ""},
                                                              {"a, b;c", ", ;", "a", "", "b", "c", ""},
                                                              {"a,b", nullptr, "a,b", "a,b"}}) {
    for (std::size_t i = 2; i < row.size(); ++i) {
      EXPECT_STREQ(AString::strtok(i == 2 ? row[0] : nullptr, row[1]).c_str(), row[i]) << row[0] << i;
    }
  }
  // Delimiters may change from call to call; the caller's text is untouched;
  // each thread has its own place.
  char text[] = "k=v;x";
  EXPECT_STREQ(AString::strtok(text, "=").c_str(), "k");
  std::thread([] { EXPECT_STREQ(AString::strtok(nullptr, " ").c_str(), ""); }).join();
  EXPECT_STREQ(AString::strtok(nullptr, ";").c_str(), "v");
  EXPECT_STREQ(text, "k=v;x");

  std::string const w(5000, 'w');
  AString s("%d-%s"), empty(""), nul("%c"), self("%s!"), wide("<%s>");
  EXPECT_EQ(s.sprintf(7, "x") + empty.sprintf(7) + nul.sprintf(0), 3);  // taken up to the first NUL
  self.sprintf(self.c_str());
  EXPECT_EQ(wide.sprintf(w.c_str()), 5002);
  EXPECT_EQ(std::string(s.c_str()) + self.c_str() + wide.c_str(), "7-x%s!!<" + w + ">");
  EXPECT_EQ(sprintf(AString("%s%s"), w.c_str(), w.c_str()).length(), 10000u);

  EXPECT_EQ(AString("abc").copy(nullptr, 3, 0), 0u);
  for (auto [text, value] : std::initializer_list<std::pair<char const*, int>>{
           {"42abc", 42}, {"", 0}, {"  -7", -7}, {"x1", 0}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}}) {
    EXPECT_EQ(AString(text).atoi(), value) << text;
    EXPECT_EQ(AString(text).atol(), value) << text;
  }
  EXPECT_DOUBLE_EQ(AString("2.5x").atof(), 2.5);
}

}  // namespace
