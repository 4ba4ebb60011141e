#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/astring.h"
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
const brindle::StringTable kStrings = {
    {7001, "loaded text"},
    {7002, kLongResource.c_str()},
};
#endif

// Cutting, padding, stripping and case: a left/right/mid result takes a new
// block sized by the rule; a strip works in place, and a text stripped to
// nothing owns no block.
TEST(StringEdit, EditsInPlaceOrInANewBlock) {
  struct Row {
    char const* text;
    AString& (*edit)(AString&);
    char const* result;
    bool in_place;
  } const rows[] = {
      {"abcdef", [](A& s) -> A& { return s.left(2); }, "ab", false},
      {"abcdef", [](A& s) -> A& { return s.left(99); }, "abcdef", false},
      {"abcdef", [](A& s) -> A& { return s.right(2); }, "ef", false},
      {"abcdef", [](A& s) -> A& { return s.right(0); }, "", false},
      {"abcdef", [](A& s) -> A& { return s.mid(2, 3); }, "cde", false},
      {"abcdef", [](A& s) -> A& { return s.mid(6, 1); }, "", false},
      {"abcdef", [](A& s) -> A& { return s.mid(4); }, "ef", false},
      {"ab", [](A& s) -> A& { return s.pad(5, '.'); }, "ab...", false},
      {"ab", [](A& s) -> A& { return s.pad(5, '\0'); }, "ab", true},
      {"", [](A& s) -> A& { return s.pad(3, '-'); }, "---", false},
      {"ab", [](A& s) -> A& { return s.pad(0x90000000u, '.'); }, "ab", true},  // a negative difference
      {"xxaxx", [](A& s) -> A& { return s.strip(A::strip_leading, 'x'); }, "axx", true},
      {"xxaxx", [](A& s) -> A& { return s.strip(A::strip_trailing, 'x'); }, "xxa", true},
      {"xxaxx", [](A& s) -> A& { return s.strip(A::strip_both, 'x'); }, "a", true},
      {"xxx", [](A& s) -> A& { return s.strip(A::strip_leading, 'x'); }, "", true},
      {"xxx", [](A& s) -> A& { return s.strip(A::strip_trailing, 'x'); }, "", true},
      {"xxaxx", [](A& s) -> A& { return s.strip(static_cast<A::StripType>(7), 'x'); }, "xxaxx", true},
      {"aB1\xC9", [](A& s) -> A& { return s.to_upper(); }, "AB1\xC9", true},
      {"aB1", [](A& s) -> A& { return s.to_lower(); }, "ab1", true},
      {"x", [](A& s) -> A& { return s.load(7001, nullptr); }, "loaded text", false},
      {"x", [](A& s) -> A& { return s.load(7999, nullptr); }, "", false},  // missing: empty even after text
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(testing::Message() << row.text << " -> " << row.result);
    AString s(row.text);
    unsigned int const before = s.reserve();
    EXPECT_EQ(&row.edit(s), &s);
    EXPECT_STREQ(s.c_str(), row.result);
    EXPECT_EQ(s.reserve(), *row.result == '\0' ? 0u : row.in_place ? before : AString(row.result).reserve());
  }
  AString s("abcdef");
  EXPECT_STREQ(s.substr(1, 2).c_str(), "bc");
  EXPECT_STREQ(s(1, npos).c_str(), "bcdef");
  EXPECT_STREQ(s.c_str(), "abcdef");
  EXPECT_EQ(s.load(7002, nullptr).length(), 1023u);  // cut at the resource limit
}

TEST(StringEdit, JustifyEveryTypeAndMode) {
  auto const R = A::justify_right, L = A::justify_left, C = A::justify_center, X = static_cast<A::JustifyType>(9);
  auto const none = A::JustifyMode{}, cut = A::justify_truncate, strip = A::justify_strip, both = strip | cut;
  struct Row {
    char const* text;
    A::JustifyType type;
    unsigned int width;
    A::JustifyMode mode;
    char const* result;
  } const rows[] = {
      {"ab", R, 5, none, "   ab"},       {"ab", L, 5, none, "ab   "},         {"ab", C, 5, none, "  ab "},
      {"ab", C, 6, none, "  ab  "},      {" ab ", R, 5, strip, "  ab "},      {" ab ", L, 5, strip, " ab  "},
      {" ab ", C, 5, strip, "  ab "},    {" ab ", R, 5, none, "  ab "},       {"abcdef", R, 3, none, "abcdef"},
      {"abcdef", R, 3, cut, "def"},      {"abcdef", L, 3, cut, "abc"},        {"abcdef", C, 3, cut, "bcd"},
      {"abcdef", C, 4, cut, "bcde"},     {"abcdef", L, 0, cut, ""},           {"  ab  ", L, npos, strip, "  ab"},
      {"  ab  ", C, npos, both, "ab"},   {"  abcd", R, 3, both, "bcd"},       {"", R, 3, none, "   "},
      {"", L, 3, strip, "   "},          {"", C, 3, none, "   "},             {"ab", X, 5, strip, "ab"},
      {" abc ", X, 2, both, " a"},       {"ab", L, 2, cut, "ab"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(testing::Message() << '"' << row.text << "\" type " << row.type << " width " << row.width
                                    << " mode " << row.mode);
    AString s(row.text);
    EXPECT_STREQ(s.justify(row.type, row.width, row.mode).c_str(), row.result);
  }
}

TEST(StringEdit, CharacterClassesAndCodePages) {
  // upper, lower, alpha, alnum, digit
  for (auto [text, classes] : std::initializer_list<std::pair<char const*, char const*>>{
           {"123", "00011"}, {"12a", "00010"}, {"", "00000"}, {"AB1", "00010"}, {"AB", "10110"},
           {"ab", "01110"}, {"a b", "00000"}, {"\xC9", "00000"}}) {
    AString s(text);
    std::string const got = {char('0' + s.is_upper()), char('0' + s.is_lower()), char('0' + s.is_alpha()),
                             char('0' + s.is_alnum()), char('0' + s.is_digit())};
    EXPECT_EQ(got, classes) << text;
  }
  // A character without a counterpart becomes its look-alike on Windows
  // where there is one (a box-drawing line becomes '-'), '?' on POSIX.
  EXPECT_STREQ(AString("\xE9\xC7\xA3 x\x80").ansi_to_oem().c_str(), "\x82\x80\x9C x?");
  EXPECT_STREQ(AString("\x82\x80\x9C\xC4").oem_to_ansi().c_str(), brindle::testing::kWindows ? "\xE9\xC7\xA3-" : "\xE9\xC7\xA3?");
  int both_ways = 0;
  for (int b = 1; b < 256; ++b) {
    char text[2] = {static_cast<char>(b), '\0'};
    both_ways += static_cast<unsigned char>(*AString(text).ansi_to_oem().oem_to_ansi()) == b;
  }
  EXPECT_GT(both_ways, 127 + 30) << both_ways;  // ASCII and the common accented letters
}

// Joining with '/' and with '\\' (the roles of the two characters swapped);
// only the separator given counts.
TEST(StringEdit, PathsWithEitherSeparator) {
  struct Row {
    char const* path;
    char const* component;
    char const* result;
  } const rows[] = {
      {"dir//", "file", "dir/file"}, {"dir", "//file", "dir/file"}, {"dir/", "/sub/f", "dir/sub/f"}, {"dir", "", "dir/"},
      {"dir", nullptr, "dir/"},      {"", "file", "/file"},         {"dir\\", "file", "dir\\/file"},
  };
  auto swap = [](std::string t) {
    for (char& c : t) c = c == '/' ? '\\' : c == '\\' ? '/' : c;
    return t;
  };
  for (Row const& row : rows) {
    for (char separator : {'/', '\\'}) {
      auto form = [&](char const* t) { return separator == '/' ? std::string(t) : swap(t); };
      std::string const component = row.component != nullptr ? form(row.component) : "";
      AString s(form(row.path).c_str());
      brindle::detail::JoinPath(s, row.component != nullptr ? component.c_str() : nullptr, separator);
      EXPECT_EQ(std::string(s.c_str()), form(row.result)) << separator << row.path << " ^ " << component;
    }
  }
  AString self((std::string("a") + brindle::kPathSeparator).c_str());
  self ^= self.c_str();  // the platform's own, through the operator
  EXPECT_EQ(std::string(self.c_str()), std::string("a") + brindle::kPathSeparator + "a" + brindle::kPathSeparator);
  EXPECT_STREQ(brindle::detail::DirectoryPart(AString("D:\\app\\x.exe"), '\\').c_str(), "D:\\app\\");
  EXPECT_STREQ(brindle::detail::DirectoryPart(AString("/"), '/').c_str(), "/");
  EXPECT_EQ(brindle::detail::DirectoryPart(AString("/usr/bin/x"), '\\').is_null(), 1);
}

TEST(StringEdit, WorkingDirectoryAndModuleFilesAtAnyLength) {
  fs::path const saved = fs::current_path();
  fs::path const root = fs::temp_directory_path() / ("brindle_cwd_" + std::to_string(brindle::testing::ProcessId()));
  // Past the 1,023 characters of a fixed buffer; Windows keeps a working
  // directory within its 260-character path limit.
  std::size_t const length = brindle::testing::kWindows ? 200 : 1500;
  fs::path deep = root;
  while (deep.string().size() < length) deep /= std::string(50, 'd');
  fs::create_directories(deep);
  fs::current_path(deep);
  std::string const cwd = AString::getcwd().c_str();
  fs::current_path(saved);
  EXPECT_EQ(cwd, fs::canonical(deep).string());
  fs::remove_all(root);

  std::string const program = brindle::testing::ProgramPath();
  std::size_t const cut = program.rfind(brindle::kPathSeparator) + 1;
  EXPECT_EQ(std::string(AString::getcfn(nullptr).c_str()), program);
  EXPECT_EQ(std::string(AString::getcfd(nullptr).c_str()), program.substr(0, cut));
  HINSTANCE module = brindle::testing::LoadModule(BRINDLE_TEST_STRINGS_MODULE);
  ASSERT_NE(module, nullptr);
  // On Windows the module is loaded by its name from beside the program.
  std::string const path = brindle::testing::kWindows ? program.substr(0, cut) + BRINDLE_TEST_STRINGS_MODULE
                                                      : std::string(BRINDLE_TEST_STRINGS_MODULE);
  EXPECT_EQ(std::string(AString::getcfn(module).c_str()), path);
  EXPECT_EQ(std::string(AString::getcfd(module).c_str()), path.substr(0, path.rfind(brindle::kPathSeparator) + 1));
  brindle::testing::UnloadModule(module);
#if !defined(_WIN32)
  // A module whose path is longer than a fixed buffer, loaded by a relative
  // name. (Beside the original: a temporary directory may forbid mapping code.)
  fs::path const deep_module = fs::path(path).parent_path() / std::string(250, 'm') / std::string(250, 'm') /
                               std::string(250, 'm') / std::string(250, 'm') / "copy.so";
  fs::create_directories(deep_module.parent_path());
  fs::copy_file(path, deep_module, fs::copy_options::overwrite_existing);
  fs::current_path(deep_module.parent_path());
  HINSTANCE copy = brindle::testing::LoadModule("./copy.so");
  fs::current_path(saved);
  EXPECT_EQ(std::string(AString::getcfn(copy).c_str()), deep_module.string());
  brindle::testing::UnloadModule(copy);
  fs::remove_all(fs::path(path).parent_path() / std::string(250, 'm'));
#endif
  int not_a_module = 0;
  EXPECT_EQ(AString::getcfd(reinterpret_cast<HINSTANCE>(&not_a_module)).is_null(), 1);
}

TEST(StringEdit, StrtokSequences) {
  struct Row {
    char const* text;
    char const* delims;
    std::vector<char const*> tokens;  // the first from the text, the rest with null
  } const rows[] = {
      {"a,,b", ",", {"a", "", "b", "", ""}}, {",,a", ",", {"a", "", ""}},        {",,,", ",", {"", ""}},
      {"a, b;c", ", ;", {"a", "", "b", "c", ""}}, {"a,b", nullptr, {"a,b", "a,b"}},  // no delimiters: the rest
  };
  for (Row const& row : rows) {
    for (std::size_t i = 0; i < row.tokens.size(); ++i) {
      EXPECT_STREQ(AString::strtok(i == 0 ? row.text : nullptr, row.delims).c_str(), row.tokens[i]) << row.text << i;
    }
  }
  // Delimiters may change from call to call; the caller's text is untouched;
  // each thread has its own place.
  char text[] = "k=v;x";
  EXPECT_STREQ(AString::strtok(text, "=").c_str(), "k");
  std::thread other([] { EXPECT_STREQ(AString::strtok(nullptr, " ").c_str(), ""); });
  other.join();
  EXPECT_STREQ(AString::strtok(nullptr, ";").c_str(), "v");
  EXPECT_STREQ(AString::strtok(nullptr, nullptr).c_str(), "x");
  EXPECT_STREQ(text, "k=v;x");
}

TEST(StringEdit, SprintfCopyAndNumbers) {
  std::string const w(5000, 'w');
  AString s("%d-%s"), empty(""), nul("%c"), self("%s!"), wide("<%s>");
  EXPECT_EQ(s.sprintf(7, "x"), 3);
  EXPECT_EQ(empty.sprintf(7) + nul.sprintf(0), 0);  // the result is taken up to its first NUL
  self.sprintf(self.c_str());
  EXPECT_EQ(wide.sprintf(w.c_str()), 5002);
  EXPECT_EQ(std::string(s.c_str()) + self.c_str() + wide.c_str(), "7-x%s!!<" + w + ">");
  EXPECT_EQ(nul.is_null(), 1);
  EXPECT_STREQ(sprintf(AString("%03d|%s"), 7, "z").c_str(), "007|z");
  EXPECT_EQ(sprintf(AString("%s%s"), w.c_str(), w.c_str()).length(), 10000u);

  for (auto [n, pos, copied] : std::initializer_list<std::tuple<unsigned, unsigned, char const*>>{
           {3, 4, "ef"}, {3, 6, ""}, {3, 0, "abc"}, {npos, 1, "bcdef"}, {2, npos, ""}}) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(AString("abcdef").copy(buffer, n, pos), std::strlen(copied));
    EXPECT_STREQ(buffer, copied);
    EXPECT_EQ(buffer[std::strlen(copied) + 1], '#');
  }
  EXPECT_EQ(AString("abc").copy(nullptr, 3, 0), 0u);

  for (auto [text, value] : std::initializer_list<std::pair<char const*, std::int32_t>>{
           {"42abc", 42}, {"", 0}, {"  -7", -7}, {"x1", 0}, {"+12", 12}, {"99999999999", INT32_MAX},
           {"-99999999999", INT32_MIN}}) {
    EXPECT_EQ(AString(text).atoi(), value) << text;
    EXPECT_EQ(AString(text).atol(), value) << text;
  }
  EXPECT_DOUBLE_EQ(AString("2.5x").atof(), 2.5);
}

}  // namespace
