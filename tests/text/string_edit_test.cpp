#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
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

// The program's strings; on Windows the same come from its resource script.
#if !defined(_WIN32)
std::string const kLongResource(2000, 'r');
const brindle::StringTable kStrings = {
    {7001, "loaded text"},
    {7002, kLongResource.c_str()},
};
#endif

using brindle::testing::UnloadModule;
using brindle::testing::LoadModule;
using brindle::testing::ProcessId;
using brindle::testing::ProgramPath;

TEST(StringEdit, LeftRightMid) {
  struct Row {
    char const* what;
    AString (*edit)(AString);
    char const* result;
  } const rows[] = {
      {"left(2)", [](AString s) { return s.left(2); }, "ab"},
      {"left(0)", [](AString s) { return s.left(0); }, ""},
      {"left(99)", [](AString s) { return s.left(99); }, "abcdef"},
      {"right(2)", [](AString s) { return s.right(2); }, "ef"},
      {"right(99)", [](AString s) { return s.right(99); }, "abcdef"},
      {"right(npos)", [](AString s) { return s.right(npos); }, "abcdef"},
      {"right(0)", [](AString s) { return s.right(0); }, ""},
      {"mid(2, 3)", [](AString s) { return s.mid(2, 3); }, "cde"},
      {"mid(6, 1)", [](AString s) { return s.mid(6, 1); }, ""},
      {"mid(4, npos)", [](AString s) { return s.mid(4, npos); }, "ef"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.what);
    AString s = row.edit(AString("abcdef"));
    EXPECT_STREQ(s.c_str(), row.result);
    EXPECT_EQ(s.reserve(), AString(row.result).reserve());  // a new block sized by the rule
  }
  AString s("abcdef");
  EXPECT_STREQ(s.substr(1, 2).c_str(), "bc");
  EXPECT_STREQ(s(1, npos).c_str(), "bcdef");
  EXPECT_STREQ(s.c_str(), "abcdef");
}

TEST(StringEdit, Pad) {
  EXPECT_STREQ(AString("ab").pad(5, '.').c_str(), "ab...");
  EXPECT_STREQ(AString("ab").pad(1, '.').c_str(), "ab");
  EXPECT_STREQ(AString("ab").pad(5, '\0').c_str(), "ab");
  EXPECT_STREQ(AString().pad(3, '-').c_str(), "---");
  EXPECT_STREQ(AString("ab").pad(0x90000000u, '.').c_str(), "ab");  // a negative difference
}

TEST(StringEdit, Strip) {
  struct Row {
    char const* text;
    AString::StripType type;
    char const* result;
  } const rows[] = {
      {"xxaxx", AString::strip_leading, "axx"},
      {"xxaxx", AString::strip_trailing, "xxa"},
      {"xxaxx", AString::strip_both, "a"},
      {"xxx", AString::strip_both, ""},
      {"xxx", AString::strip_leading, ""},
      {"xxx", AString::strip_trailing, ""},
      {"axa", AString::strip_both, "axa"},
      {"xxaxx", static_cast<AString::StripType>(7), "xxaxx"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(testing::Message() << row.text << " " << row.type);
    AString s(row.text);
    unsigned int capacity = s.reserve();
    s.strip(row.type, 'x');
    EXPECT_STREQ(s.c_str(), row.result);
    // In place; a text stripped to nothing owns no block.
    EXPECT_EQ(s.reserve(), *row.result == '\0' ? 0u : capacity);
    EXPECT_EQ(s.is_null(), *row.result == '\0' ? 1 : 0);
  }
  EXPECT_STREQ(AString("xax").strip(AString::strip_both, '\0').c_str(), "xax");
}

TEST(StringEdit, JustifyEveryTypeAndMode) {
  using A = AString;
  auto const kNone = A::JustifyMode{};
  struct Row {
    char const* text;
    A::JustifyType type;
    unsigned int width;
    A::JustifyMode mode;
    char const* result;
  } const rows[] = {
      {"ab", A::justify_right, 5, kNone, "   ab"},
      {"ab", A::justify_left, 5, kNone, "ab   "},
      {"ab", A::justify_center, 5, kNone, "  ab "},
      {"ab", A::justify_center, 6, kNone, "  ab  "},
      {" ab ", A::justify_right, 5, A::justify_strip, "  ab "},
      {" ab ", A::justify_left, 5, A::justify_strip, " ab  "},
      {" ab ", A::justify_center, 5, A::justify_strip, "  ab "},
      {" ab ", A::justify_right, 5, kNone, "  ab "},
      {"abcdef", A::justify_right, 3, kNone, "abcdef"},
      {"abcdef", A::justify_right, 3, A::justify_truncate, "def"},
      {"abcdef", A::justify_left, 3, A::justify_truncate, "abc"},
      {"abcdef", A::justify_center, 3, A::justify_truncate, "bcd"},
      {"abcdef", A::justify_center, 4, A::justify_truncate, "bcde"},
      {"abcdef", A::justify_left, 0, A::justify_truncate, ""},
      {"  ab  ", A::justify_left, npos, A::justify_strip, "  ab"},
      {"  ab  ", A::justify_center, npos, A::justify_strip | A::justify_truncate, "ab"},
      {"  abcd", A::justify_right, 3, A::justify_strip | A::justify_truncate, "bcd"},
      {"", A::justify_right, 3, kNone, "   "},
      {"", A::justify_left, 3, A::justify_strip, "   "},
      {"", A::justify_center, 3, kNone, "   "},
      {"ab", static_cast<A::JustifyType>(9), 5, A::justify_strip, "ab"},
      {" abc ", static_cast<A::JustifyType>(9), 2, A::justify_strip | A::justify_truncate, " a"},
      {"ab", A::justify_left, 2, A::justify_truncate, "ab"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(testing::Message() << '"' << row.text << "\" type " << row.type << " width " << row.width
                                    << " mode " << row.mode);
    AString s(row.text);
    s.justify(row.type, row.width, row.mode);
    EXPECT_STREQ(s.c_str(), row.result);
  }
}

TEST(StringEdit, CaseAndClasses) {
  EXPECT_STREQ(AString("aB1").to_upper().c_str(), "AB1");
  EXPECT_STREQ(AString("aB1").to_lower().c_str(), "ab1");
  EXPECT_EQ(AString().to_upper().is_null(), 1);
  struct Row {
    char const* text;
    int upper, lower, alpha, alnum, digit;
  } const rows[] = {
      {"123", 0, 0, 0, 1, 1}, {"12a", 0, 0, 0, 1, 0}, {"", 0, 0, 0, 0, 0},   {"AB1", 0, 0, 0, 1, 0},
      {"AB", 1, 0, 1, 1, 0},  {"ab", 0, 1, 1, 1, 0},  {"a b", 0, 0, 0, 0, 0}, {"\xC9", 0, 0, 0, 0, 0},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.text);
    AString s(row.text);
    EXPECT_EQ(s.is_upper(), row.upper);
    EXPECT_EQ(s.is_lower(), row.lower);
    EXPECT_EQ(s.is_alpha(), row.alpha);
    EXPECT_EQ(s.is_alnum(), row.alnum);
    EXPECT_EQ(s.is_digit(), row.digit);
  }
}

TEST(StringEdit, AnsiOemRoundTrips) {
  // Known counterparts: e acute, C cedilla, the pound sign; the euro sign and
  // a box-drawing line have none. Windows gives a character without one its
  // look-alike where there is one (the line becomes '-'), POSIX gives '?';
  // so there a character that does not come back is not an error.
  bool const best_fit = brindle::testing::kWindows;
  EXPECT_STREQ(AString("\xE9\xC7\xA3 x").ansi_to_oem().c_str(), "\x82\x80\x9C x");
  EXPECT_STREQ(AString("\x80").ansi_to_oem().c_str(), "?");
  EXPECT_STREQ(AString("\x82\x80\x9C").oem_to_ansi().c_str(), "\xE9\xC7\xA3");
  EXPECT_STREQ(AString("\xC4").oem_to_ansi().c_str(), best_fit ? "-" : "?");
  int both_ways = 0;
  for (int b = 1; b < 256; ++b) {
    SCOPED_TRACE(b);
    char text[2] = {static_cast<char>(b), '\0'};
    AString s(text);
    s.ansi_to_oem();
    ASSERT_EQ(s.length(), 1u);
    if (*s != '?' || b == '?') {
      s.oem_to_ansi();
      if (!best_fit) {
        EXPECT_EQ(static_cast<unsigned char>(*s), b);
      }
      if (static_cast<unsigned char>(*s) == b) ++both_ways;
    }
    AString o(text);
    o.oem_to_ansi();
    ASSERT_EQ(o.length(), 1u);
    if (!best_fit && (*o != '?' || b == '?')) {
      EXPECT_EQ(static_cast<unsigned char>(*o.ansi_to_oem()), b);
    }
  }
  EXPECT_GT(both_ways, 127 + 30) << both_ways;  // ASCII and the common accented letters
  EXPECT_EQ(AString().ansi_to_oem().is_null(), 1);
}

TEST(StringEdit, Load) {
  AString s("before");
  EXPECT_STREQ(s.load(7001, nullptr).c_str(), "loaded text");
  EXPECT_EQ(s.load(7002, nullptr).length(), 1023u);  // cut at the resource limit
  EXPECT_EQ(s.load(7999, nullptr).is_null(), 1);   // missing: empty even after text
}

TEST(StringEdit, JoinPathWithEitherSeparator) {
  struct Row {
    char const* path;
    char const* component;
    char const* result;
  } const rows[] = {
      {"dir//", "file", "dir/file"},   {"dir", "//file", "dir/file"}, {"dir/", "/sub/file", "dir/sub/file"},
      {"dir", "", "dir/"},             {"dir", nullptr, "dir/"},      {"", "file", "/file"},
      {"dir\\", "file", "dir\\/file"},  // only the separator counts
  };
  for (char separator : {'/', '\\'}) {
    for (Row const& row : rows) {
      std::string path(row.path);
      std::string component(row.component != nullptr ? row.component : "");
      std::string expected(row.result);
      if (separator == '\\') {
        // The same rule with the roles of the two characters swapped.
        for (std::string* text : {&path, &component, &expected}) {
          for (char& c : *text) c = c == '/' ? '\\' : c == '\\' ? '/' : c;
        }
      }
      SCOPED_TRACE(testing::Message() << separator << " " << path << " ^ " << component);
      AString joined(path.c_str());
      brindle::detail::JoinPath(joined, row.component != nullptr ? component.c_str() : nullptr, separator);
      EXPECT_STREQ(joined.c_str(), expected.c_str());
      if (separator == brindle::kPathSeparator) {  // the platform's own, through the operator
        AString s(path.c_str());
        s ^= row.component != nullptr ? component.c_str() : nullptr;
        EXPECT_STREQ(s.c_str(), expected.c_str());
      }
    }
  }
  std::string const a = std::string("a") + brindle::kPathSeparator;
  AString self(a.c_str());
  self ^= self.c_str();
  EXPECT_EQ(std::string(self.c_str()), a + a);
}

TEST(StringEdit, DirectoryPartWithEitherSeparator) {
  EXPECT_STREQ(brindle::detail::DirectoryPart(AString("D:\\app\\x.exe"), '\\').c_str(), "D:\\app\\");
  EXPECT_STREQ(brindle::detail::DirectoryPart(AString("/usr/bin/x"), '/').c_str(), "/usr/bin/");
  EXPECT_EQ(brindle::detail::DirectoryPart(AString("x.exe"), '\\').is_null(), 1);
  EXPECT_EQ(brindle::detail::DirectoryPart(AString("/usr/bin/x"), '\\').is_null(), 1);
  EXPECT_STREQ(brindle::detail::DirectoryPart(AString("/"), '/').c_str(), "/");
}

// Restores the working directory after tests that change it.
class WorkingDirectory : public testing::Test {
 protected:
  void SetUp() override { saved_ = fs::current_path(); }
  void TearDown() override { fs::current_path(saved_); }
  fs::path saved_;
};

TEST_F(WorkingDirectory, GetcwdAtAnyLength) {
  EXPECT_EQ(std::string(AString::getcwd().c_str()), fs::current_path().string());
  fs::path deep = fs::temp_directory_path() / ("brindle_cwd_" + std::to_string(ProcessId()));
  fs::path root = deep;
  // Past the 1,023 characters of a fixed buffer; Windows keeps a working
  // directory within its 260-character path limit.
  std::size_t const length = brindle::testing::kWindows ? 200 : 1500;
  while (deep.string().size() < length) deep /= std::string(50, 'd');
  fs::create_directories(deep);
  fs::current_path(deep);
  AString cwd = AString::getcwd();
  EXPECT_GE(cwd.length(), length);
  EXPECT_EQ(std::string(cwd.c_str()), fs::canonical(deep).string());
  fs::current_path(saved_);
  fs::remove_all(root);
}

TEST_F(WorkingDirectory, ModuleFileNames) {
  constexpr char kSeparator = brindle::kPathSeparator;
  std::string program = ProgramPath();
  EXPECT_EQ(std::string(AString::getcfn(nullptr).c_str()), program);
  AString dir = AString::getcfd(nullptr);
  EXPECT_EQ(std::string(dir.c_str()), program.substr(0, program.rfind(kSeparator) + 1));

  HINSTANCE module = LoadModule(BRINDLE_TEST_STRINGS_MODULE);
  ASSERT_NE(module, nullptr);
  // On Windows the module is loaded by its name from beside the program.
  std::string path = brindle::testing::kWindows ? std::string(dir.c_str()) + BRINDLE_TEST_STRINGS_MODULE
                                                : std::string(BRINDLE_TEST_STRINGS_MODULE);
  EXPECT_EQ(std::string(AString::getcfn(module).c_str()), path);
  EXPECT_EQ(std::string(AString::getcfd(module).c_str()), path.substr(0, path.rfind(kSeparator) + 1));

#if !defined(_WIN32)
  // Loaded by a relative name: the file's absolute path all the same, after
  // the working directory has moved on.
  // (Beside the original: a temporary directory may forbid mapping code.)
  fs::path copy_dir = fs::path(path).parent_path() / ("brindle_module_" + std::to_string(ProcessId()));
  fs::create_directories(copy_dir);
  fs::copy_file(path, copy_dir / "copy.so", fs::copy_options::overwrite_existing);
  fs::current_path(copy_dir);
  HINSTANCE copy = LoadModule("./copy.so");
  ASSERT_NE(copy, nullptr);
  fs::current_path(saved_);
  EXPECT_EQ(std::string(AString::getcfn(copy).c_str()), fs::canonical(copy_dir / "copy.so").string());
  UnloadModule(copy);
  fs::remove_all(copy_dir);
#endif
  UnloadModule(module);

  int not_a_module = 0;
  EXPECT_EQ(AString::getcfn(reinterpret_cast<HINSTANCE>(&not_a_module)).is_null(), 1);
  EXPECT_EQ(AString::getcfd(reinterpret_cast<HINSTANCE>(&not_a_module)).is_null(), 1);
}

TEST(StringEdit, StrtokSequences) {
  struct Row {
    char const* text;
    char const* delims;
    std::vector<char const*> tokens;  // the first from the text, the rest with null
  } const rows[] = {
      {"a,,b", ",", {"a", "", "b", "", ""}},
      {",,a", ",", {"a", "", ""}},
      {"a, b;c", ", ;", {"a", "", "b", "c", ""}},
      {",,,", ",", {"", ""}},
      {"", ",", {"", ""}},
      {"a,b", nullptr, {"a,b", "a,b"}},  // no delimiters: the rest, staying put
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.text);
    for (std::size_t i = 0; i < row.tokens.size(); ++i) {
      AString token = AString::strtok(i == 0 ? row.text : nullptr, row.delims);
      EXPECT_STREQ(token.c_str(), row.tokens[i]) << "token " << i;
    }
  }
  // Delimiters may change from call to call; the caller's text is untouched.
  char text[] = "k=v;x";
  EXPECT_STREQ(AString::strtok(text, "=").c_str(), "k");
  EXPECT_STREQ(AString::strtok(nullptr, ";").c_str(), "v");
  EXPECT_STREQ(AString::strtok(nullptr, nullptr).c_str(), "x");
  EXPECT_STREQ(AString::strtok(nullptr, ";").c_str(), "x");
  EXPECT_STREQ(text, "k=v;x");
}

TEST(StringEdit, StrtokStateIsPerThread) {
  EXPECT_STREQ(AString::strtok("a b c", " ").c_str(), "a");
  std::thread other([] {
    EXPECT_STREQ(AString::strtok(nullptr, " ").c_str(), "");  // nothing given on this thread yet
    EXPECT_STREQ(AString::strtok("x y", " ").c_str(), "x");
    EXPECT_STREQ(AString::strtok(nullptr, " ").c_str(), "y");
  });  // its copy is released when it ends
  other.join();
  EXPECT_STREQ(AString::strtok(nullptr, " ").c_str(), "b");
}

TEST(StringEdit, Sprintf) {
  AString s("%d-%s");
  EXPECT_EQ(s.sprintf(7, "x"), 3);
  EXPECT_STREQ(s.c_str(), "7-x");
  AString empty("");
  EXPECT_EQ(empty.sprintf(7), 0);
  EXPECT_EQ(empty.is_null(), 1);
  AString nul("%c");
  EXPECT_EQ(nul.sprintf(0), 0);  // the result is taken up to its first NUL
  AString self("%s!");
  self.sprintf(self.c_str());
  EXPECT_STREQ(self.c_str(), "%s!!");

  std::string long_text(5000, 'w');
  AString wide("<%s>");
  EXPECT_EQ(wide.sprintf(long_text.c_str()), 5002);
  EXPECT_EQ(std::string(wide.c_str()), "<" + long_text + ">");

  EXPECT_STREQ(sprintf(AString("%03d|%s"), 7, "z").c_str(), "007|z");
  AString whole = sprintf(AString("%s%s"), long_text.c_str(), long_text.c_str());
  EXPECT_EQ(whole.length(), 10000u);
  EXPECT_EQ(sprintf(AString()).is_null(), 1);
}

TEST(StringEdit, Copy) {
  struct Row {
    unsigned int n, pos;
    char const* copied;
  } const rows[] = {{3, 4, "ef"}, {3, 6, ""}, {3, 0, "abc"}, {0, 0, ""}, {npos, 1, "bcdef"}, {2, npos, ""}};
  for (Row const& row : rows) {
    SCOPED_TRACE(testing::Message() << row.n << " from " << row.pos);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    unsigned int k = AString("abcdef").copy(buffer, row.n, row.pos);
    EXPECT_EQ(k, std::strlen(row.copied));
    EXPECT_STREQ(buffer, row.copied);
    EXPECT_EQ(buffer[k + 1], '#');
  }
  EXPECT_EQ(AString("abc").copy(nullptr, 3, 0), 0u);
  char one[1] = {'#'};
  EXPECT_EQ(AString().copy(one, 5, 0), 0u);
  EXPECT_EQ(one[0], '\0');
}

TEST(StringEdit, Numbers) {
  struct Row {
    char const* text;
    std::int32_t value;
  } const rows[] = {{"42abc", 42},         {"", 0},
                    {"  -7", -7},          {"x1", 0},
                    {"2147483647", INT32_MAX}, {"99999999999", INT32_MAX},
                    {"-99999999999", INT32_MIN}, {"+12", 12}};
  for (Row const& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(AString(row.text).atoi(), row.value);
    EXPECT_EQ(AString(row.text).atol(), row.value);
  }
  EXPECT_DOUBLE_EQ(AString("2.5x").atof(), 2.5);
  EXPECT_DOUBLE_EQ(AString().atof(), 0.0);
}

}  // namespace
