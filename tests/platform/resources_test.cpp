#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "brindle/string_table.h"
#include "tests/portable.h"

namespace {

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
    EXPECT_EQ(on_stack.Find(1), nullptr);
    EXPECT_EQ(Load(nullptr, 4242), "");
  }
  EXPECT_EQ(Load(nullptr, 5), "from a second table");  // the others stay registered
#endif
}

}  // namespace
