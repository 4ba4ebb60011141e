// The framework classes: CString, CTime, the exceptions, CMemFile and
// CArchive, threads, and string resources by module.

#include "brindle/brindle.h"
#include "brindle/string_table.h"
#include "tests/portable.h"

namespace {

// A client's own static initialiser may already use the library.
AString const early_string("built before main");

void UseZone(char const* tz) {
  brindle::testing::SetEnv("TZ", tz);
  _tzset();
}

// The process starts with TZ=UTC0 (see tests/CMakeLists.txt), read at load;
// _tzset follows the environment.
TEST(CTimeTest, ZoneAndLocalCalendar) {
  EXPECT_STREQ(early_string.c_str(), "built before main");
  EXPECT_TRUE(_timezone == 0 && _daylight == 0);
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  CTime t(1998, 1, 5, 13, 14, 15);
  EXPECT_EQ(t.GetTime(), 884024055);  // 18:14:15 UTC
  struct tm fields {};
  ASSERT_NE(t.GetLocalTm(&fields), nullptr);
  EXPECT_EQ(fields.tm_year * 10000 + fields.tm_mon * 100 + fields.tm_mday, 980005);
  EXPECT_TRUE(t.GetHour() == 13 && t.GetDayOfWeek() == 2);  // a Monday
  CTime summer(2026, 7, 1, 12, 0, 0);
  EXPECT_EQ(summer.GetTime(), 1782921600);  // 16:00 UTC
  // The flag says which clock the fields are on, where the zone's rule does
  // not decide it.
  EXPECT_EQ(CTime(2026, 7, 1, 12, 0, 0, 0).GetTime() - summer.GetTime(), 3600);
  UseZone("UTC0");
  EXPECT_EQ(CTime(0).GetGmtTm(nullptr)->tm_year, 70);
  EXPECT_LE(CTime(1), CTime::GetCurrentTime());
}

TEST(CStringTest, CountsCopiesAndRanges) {
  for (auto [text, count, length] : std::initializer_list<std::tuple<char const*, int, int>>{
           {"abcdef", 3, 3}, {"abc", 0, 0}, {"abc", -1, 0}, {nullptr, 4, 0}, {"a\0b", 3, 3}}) {
    EXPECT_EQ(CString(text, count).GetLength(), length) << count;  // exactly the count, NULs included
  }
  EXPECT_TRUE(CString(nullptr).IsEmpty());
  CString a("shared?");
  CString b(a), c;
  c = a;
  b.SetAt(0, 'S');
  c.SetAt(6, '!');
  c.SetAt(7, 'x');
  c.SetAt(-1, 'x');
  EXPECT_EQ(a, "shared?");
  EXPECT_EQ(CString(std::move(b)), "Shared?");
  EXPECT_TRUE("shared!" == c && c != "shared?" && "x" != c && a != c);
  for (int outside : {7, -1}) EXPECT_EQ(c.GetAt(outside), '\0') << outside;
  for (int width : {255, 256, 257, 5000}) {  // about the size of a first, fixed buffer
    c.Format("%*d", width, 7);
    EXPECT_TRUE(c.GetLength() == width && c[width - 1] == '7') << width;
  }
}

// The cause of the archive exception `action` throws; -1 when none.
template <typename Action>
int CauseOf(Action action) {
  try {
    action();
  } catch (CArchiveException const& e) {
    return e.m_cause;
  }
  return -1;
}

// Words and bytes stored through a tiny buffer (many flushes) come out
// little-endian in order, and load back the same; a short read reports its
// count, and a short word, the wrong direction or a closed archive throws.
TEST(Archive, RoundTripAcrossBufferRefills) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store, 16);
    EXPECT_TRUE(ar.IsStoring() && !ar.IsLoading());
    for (unsigned int i = 0; i < 1000; ++i) {
      BYTE b = static_cast<BYTE>(i);
      ar << static_cast<WORD>(i * 7);
      ar.Write(&b, 1);
    }
    ar << WORD{0xBEEF} << DWORD{0x01020304} << BYTE{0x7F};
    WORD w = 0;
    EXPECT_EQ(CauseOf([&] { ar >> w; }), CArchiveException::writeOnly);
  }  // flushed when destroyed
  ASSERT_EQ(file.GetLength(), 3007u);
  file.SeekToBegin();
  CArchive ar(&file, CArchive::load, 16);
  WORD w = 0;
  for (unsigned int i = 0; i < 1000; ++i) {
    BYTE b = 0;
    ar >> w;
    ASSERT_TRUE(ar.Read(&b, 1) == 1 && w == static_cast<WORD>(i * 7) && b == static_cast<BYTE>(i)) << i;
  }
  BYTE tail[8];
  EXPECT_EQ(std::vector<BYTE>(tail, tail + ar.Read(tail, sizeof tail)),
            (std::vector<BYTE>{0xEF, 0xBE, 0x04, 0x03, 0x02, 0x01, 0x7F}));
  EXPECT_EQ(CauseOf([&] { ar >> w; }), CArchiveException::endOfFile);
  EXPECT_EQ(CauseOf([&] { ar << w; }), CArchiveException::readOnly);
  ar.Close();
  EXPECT_EQ(CauseOf([&] { ar >> w; }), CArchiveException::generic);
  BYTE* block = file.Detach();
  EXPECT_EQ(std::vector<BYTE>(block + 3, block + 6), (std::vector<BYTE>{0x07, 0x00, 0x01}));
  std::free(block);
  CMemFile fixed(tail, 2);  // an attached buffer does not grow
  fixed.Write(tail, 2);
  EXPECT_THROW(fixed.Write(tail, 1), CFileException);
}

// Exceptions are thrown by value, with the system's texts; a thread is
// begun at once or not at all.
TEST(Exceptions, ThrownByValueWithTheirMessagesAndThreads) {
  EXPECT_THROW(AfxThrowUserException(), CUserException);
  char text[64];
  EXPECT_FALSE(CUserException().GetErrorMessage(nullptr, 10) || CUserException().GetErrorMessage(text, 0));
  UINT help = 7;
  for (auto [cause, message] : std::initializer_list<std::pair<int, char const*>>{
           {CArchiveException::none, "No archive error."}, {CArchiveException::badSchema, "Unexpected schema in archive."},
           {-1, "An unspecified archive error occurred."},
           {CArchiveException::badSchema + 1, "An unspecified archive error occurred."}}) {
    EXPECT_TRUE(CArchiveException(cause).GetErrorMessage(text, sizeof text, &help) && std::string(text) == message);
  }
  EXPECT_EQ(help, 0u);
  static std::atomic<int> ran{0};
  auto const run = [](void* value) -> UINT { return ran = *static_cast<int*>(value), 0; };
  static int value = 42;
  EXPECT_TRUE(AfxBeginThread(run, &value) && !AfxBeginThread(run, nullptr, 0, 0, 4 /* suspended */) &&
              !AfxBeginThread(nullptr, nullptr));
  for (int i = 0; i < 500 && ran == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ran, 42);
}

// The program's strings. On Windows the same come from its resource script
// (program_strings.rc.in); an identifier has one text there.
#if !defined(_WIN32)
std::string const kLong(3000, 'L');
const brindle::StringTable program_strings = {
    {1, "program one"}, {2, "program two"}, {3, kLong.c_str()}, {4, ""}, {1, "shadowed: the first entry wins"},
};
const brindle::StringTable more_program_strings = {{2, "shadowed by the earlier table"}, {5, "from a second table"}};
#endif

std::string Load(HINSTANCE module, UINT id, int size = 1024) {
  std::string buffer(static_cast<std::size_t>(size > 0 ? size : 1), '#');
  int n = LoadStringA(module, id, buffer.data(), size);
  EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(buffer.c_str()));
  return buffer.c_str();
}

// Strings are found by module handle (null: the program), the first entry of
// an identifier wins, and the buffer's size cuts them.
TEST(StringResources, LookupIsByModule) {
  HINSTANCE module = brindle::testing::LoadModule(BRINDLE_TEST_STRINGS_MODULE);
  ASSERT_NE(module, nullptr);
  struct Row { HINSTANCE module; UINT id; int size; char const* text; } const rows[] = {
      {nullptr, 1, 1024, "program one"}, {nullptr, 5, 1024, "from a second table"}, {nullptr, 7, 1024, ""},
      {nullptr, 4, 1024, ""},            {nullptr, 99, 1024, ""},                   {nullptr, 2, 5, "prog"},
      {nullptr, 2, 1, ""},               {module, 1, 1024, "module one"},           {module, 2, 1024, ""},
      {module, 7, 1024, "seven in the module"},
  };
  for (Row const& row : rows) {
    EXPECT_EQ(Load(row.module, row.id, row.size), row.text) << row.id << (row.module ? " in the module" : "");
  }
  EXPECT_STREQ(AString(7u, module).c_str(), "seven in the module");
  EXPECT_EQ(AString(99u, module).is_null(), 1);
  EXPECT_EQ(AString(3u, static_cast<HINSTANCE>(nullptr)).length(), 1023u);  // cut there
  ASSERT_TRUE(brindle::testing::UnloadModule(module));
#if !defined(_WIN32)
  // The stand-in's own promises, where the system's LoadStringA makes none:
  // an unloaded module's stale handle finds nothing and is never
  // dereferenced, nor is any handle that names no module; a null buffer or
  // a size of 0 gets no copy; a table outside any module is never found.
  EXPECT_EQ(Load(module, 7), "");
  int not_a_module = 0;
  EXPECT_EQ(Load(reinterpret_cast<HINSTANCE>(&not_a_module), 1), "");
  char untouched = '#';
  EXPECT_EQ(LoadStringA(nullptr, 2, &untouched, 0) + LoadStringA(nullptr, 2, nullptr, 10), 0);
  EXPECT_EQ(untouched, '#');
  {
    brindle::StringTable on_stack = {{4242, "on the stack"}};
    EXPECT_STREQ(on_stack.Find(4242), "on the stack");
    EXPECT_EQ(Load(nullptr, 4242), "");
  }
  EXPECT_EQ(Load(nullptr, 5), "from a second table");  // the others stay registered
#endif
}

}  // namespace
