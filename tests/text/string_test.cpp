

#include "brindle/astring.h"
#include "brindle/scramble.h"
#include "brindle/string_table.h"
#include "platform/platform.h"
#include "tests/child_process.h"
#include "tests/portable.h"
#include "tests/text/string_model.h"
#include "text/string_paths.h"
#include "text/text_kernels.h"

namespace {

constexpr unsigned int npos = AString::npos;
namespace fs = std::filesystem;
using A = AString;
using brindle::testing::StringModel;

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
  // Scrambling swaps nibbles: of the bytes counted (none for a negative
  // count), and of a framework string's copy.
  char bytes[] = {0x41, 0x00, 0x5A, 0x7E};
  EXPECT_EQ(strEncrypt(bytes, 3) + strEncrypt(nullptr, 5) + strEncrypt(bytes, -3), 3);
  EXPECT_EQ(std::string(bytes, 4), std::string("\x14\x00\xA5\x7E", 4));
  EXPECT_EQ(strEncrypt(CString("abc")), "\x16\x26\x36");
}

// Joining with '/' or '\\': only the separator given counts.
TEST(StringEdit, PathsWithEitherSeparator) {
  char const* const rows[][4] = {  // directory, name, separator, result
      {"dir//", "//f", "/", "dir/f"}, {"dir", nullptr, "/", "dir/"}, {"", "f", "/", "/f"},
      {"d\\", "f", "/", "d\\/f"},     {"dir\\\\", "\\\\f", "\\", "dir\\f"}, {"d/", "f", "\\", "d/\\f"}};
  for (auto const& row : rows) {
    AString s(row[0]);
    brindle::detail::JoinPath(s, row[1], row[2][0]);
    EXPECT_STREQ(s.c_str(), row[3]) << row[0] << row[2] << (row[1] ? row[1] : "(null)");
  }
  AString self((std::string("a") + brindle::kPathSeparator).c_str());
  self ^= self.c_str();  // the platform's own, through the operator
  EXPECT_EQ(std::string(self.c_str()), std::string("a") + brindle::kPathSeparator + "a" + brindle::kPathSeparator);
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
#if !defined(_WIN32)
  // Without /proc (a mount namespace of its own, where allowed) the program
  // is known by the name it was started with.
  brindle::testing::ChildProcess without_proc([&program] {
    if (unshare(CLONE_NEWNS) != 0) return true;
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("none", "/proc", "tmpfs", 0, nullptr) == 0 && AString::getcfn(nullptr).c_str() == program;
  });
  std::string held;
  EXPECT_TRUE(without_proc.ReadLine(&held, 10000) && held == "held");
#endif
}

TEST(StringEdit, TokensFormattingCopiesAndNumbers) {
  // The first token from the text, the rest with null; no delimiters: the rest, staying put.
  for (auto const& row : std::vector<std::vector<char const*>>{{",,a,,b", ",", "a", "", "b", "", ""},
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

  EXPECT_TRUE(AString("abc").copy(nullptr, 3, 0) == 0u && AString(" -7x").atoi() == -7 && AString("2.5x").atof() == 2.5);
  EXPECT_TRUE(AString("-99999999999").atoi() == INT_MIN && AString("99999999999").atol() == INT_MAX);  // clamped
}

TEST(StringStorage, LoadTimeRuleAndClampedSettings) {
  EXPECT_TRUE(A('x', 15).reserve() == 16 && A('x', 16).reserve() == 32 && A('x', 1000).reserve() == 1024);
  // Each setter returns the previous value and clamps to [8, 64] and [16, 128].
  EXPECT_EQ((std::vector{AString::initial_capacity(3), AString::initial_capacity(100), AString::initial_capacity(16),
                         AString::resize_increment(0), AString::resize_increment(1000), AString::resize_increment(32)}),
            (std::vector<unsigned int>{16, 8, 64, 32, 16, 128}));
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
  // Numbers are formatted through a scratch buffer: two threads at once each get their own text.
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  auto work = [](int from, bool* ok) {
    for (int i = from; i < from + 20000; ++i) *ok = *ok && std::to_string(i) == AString(i).c_str();
  };
  bool ok[2] = {true, true};
  std::thread other(work, 200000, &ok[1]);
  work(100000, &ok[0]);
  other.join();
  EXPECT_TRUE(ok[0] && ok[1]);
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

// Strings are values to the standard library: they compare and hash by their
// text (compare()'s order, bytes unsigned), iterate, view, and pass their text
// to printf-style calls.
TEST(StringSearch, ValuesForTheStandardLibrary) {
  A const a("k"), b("k"), c("l"), e;
  EXPECT_TRUE(a == b && !(a != b) && a < c && c >= a && e < a && a == "k" && "k" == a && "\xff" > a);
  EXPECT_TRUE(a != nullptr && nullptr < e && !(e == nullptr));  // null orders first and equals nothing
  std::map<A, int> ordered;
  std::unordered_map<A, int> hashed;
  for (A const& key : {a, b, c, e}) ++ordered[key], ++hashed[key];
  EXPECT_TRUE(ordered.size() == 3 && hashed.size() == 3 && hashed[b] == 2);
  std::string chars;
  for (char ch : c) chars += ch;
  std::string_view const view = a;
  EXPECT_EQ(chars + std::string(view), "lk");
  EXPECT_EQ(A(std::string("ab\0cd", 5)).length(), 2u);  // up to the first NUL
  A format("%s/%s/%d");
  EXPECT_EQ(format.sprintf(a, CString("dir"), 3), 7);
  EXPECT_STREQ(format.c_str(), "k/dir/3");
  EXPECT_STREQ(sprintf(A("%s|%s"), c, A("m")).c_str(), "l|m");
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

#if !defined(_WIN32)
// The platform's text services where the library's callers rely on more
// than the AString tests show: null arguments, and module file names under
// the platform's cut-and-return-size rules.
TEST(TextServices, ConversionsAndBufferRules) {
  char apart[8];
  EXPECT_EQ(CharToOemA(nullptr, apart) + OemToCharA("x", nullptr), FALSE);
  std::string const program = brindle::testing::ProgramPath();
  char buffer[4096];
  // Too small: size - 1 characters and a NUL, and the size as the result.
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 5), 5u);
  EXPECT_EQ(std::string(buffer, 6), program.substr(0, 4) + '\0' + '#');  // nothing written past the size
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(program.size())), program.size());
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 0), 0u);
  void* self = dlopen(nullptr, RTLD_LAZY);  // the main program's own handle
  EXPECT_EQ(GetModuleFileNameA(static_cast<HINSTANCE>(self), buffer, sizeof buffer), program.size());
  dlclose(self);
}
#endif  // !_WIN32

}  // namespace
