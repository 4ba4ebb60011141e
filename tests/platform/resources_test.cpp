#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "brindle/astring.h"
#include "brindle/string_table.h"
#include "tests/portable.h"

namespace {

using brindle::testing::UnloadModule;
using brindle::testing::LoadModule;

// The program's strings. On Windows the same come from its resource script
// (program_strings.rc.in); an identifier has one text there.
#if !defined(_WIN32)
std::string const kLong(3000, 'L');

const brindle::StringTable program_strings = {
    {1, "program one"},
    {2, "program two"},
    {3, kLong.c_str()},
    {4, ""},
    {1, "shadowed: the first entry wins"},
};

const brindle::StringTable more_program_strings = {
    {2, "shadowed by the earlier table"},
    {5, "from a second table"},
};
#endif

class ModuleStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadModule(BRINDLE_TEST_STRINGS_MODULE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) UnloadModule(module_);
  }
  HINSTANCE module() const { return module_; }

  HINSTANCE module_ = nullptr;
};

std::string Load(HINSTANCE module, UINT id, int size = 1024) {
  std::string buffer(static_cast<std::size_t>(size > 0 ? size : 1), '#');
  int n = LoadStringA(module, id, buffer.data(), size);
  EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(buffer.c_str()));
  return buffer.c_str();
}

TEST(StringResources, MainProgramTables) {
  EXPECT_EQ(Load(nullptr, 1), "program one");
  EXPECT_EQ(Load(nullptr, 2), "program two");
  EXPECT_EQ(Load(nullptr, 5), "from a second table");
  EXPECT_EQ(Load(nullptr, 7), "");  // only the module has 7
  EXPECT_EQ(Load(nullptr, 4), "");
  EXPECT_EQ(Load(nullptr, 99), "");
}

TEST(StringResources, BufferLimits) {
  EXPECT_EQ(Load(nullptr, 2, 5), "prog");
  EXPECT_EQ(Load(nullptr, 2, 1), "");
}

#if !defined(_WIN32)
// The stand-in's own promises: the system's LoadStringA makes none for a null
// buffer or a size of 0, or for a handle that names no module.
TEST(StringResources, NoBufferNoCopy) {
  char untouched = '#';
  EXPECT_EQ(LoadStringA(nullptr, 2, &untouched, 0), 0);
  EXPECT_EQ(untouched, '#');
  EXPECT_EQ(LoadStringA(nullptr, 2, nullptr, 10), 0);
}
#endif

TEST_F(ModuleStrings, LookupIsByModule) {
  EXPECT_EQ(Load(module(), 1), "module one");
  EXPECT_EQ(Load(module(), 7), "seven in the module");
  EXPECT_EQ(Load(module(), 2), "");  // the program's, not the module's
  EXPECT_EQ(Load(nullptr, 1), "program one");
}

TEST_F(ModuleStrings, AStringResourceConstructor) {
  AString from_module(7u, module());
  EXPECT_STREQ(from_module.c_str(), "seven in the module");
  AString from_program(2u, static_cast<HINSTANCE>(nullptr));
  EXPECT_STREQ(from_program.c_str(), "program two");
  AString missing(99u, module());
  EXPECT_EQ(missing.is_null(), 1);
  // A resource longer than 1,023 characters arrives cut there.
  AString long_one(3u, static_cast<HINSTANCE>(nullptr));
  EXPECT_EQ(long_one.length(), 1023u);
}

#if !defined(_WIN32)
TEST(StringResources, UnloadedModuleIsForgotten) {
  HINSTANCE module = LoadModule(BRINDLE_TEST_STRINGS_MODULE);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(Load(module, 7), "seven in the module");
  ASSERT_TRUE(UnloadModule(module));
  // The handle no longer names a loaded object: nothing is found, and the
  // stale handle is never dereferenced.
  EXPECT_EQ(Load(module, 7), "");
}

TEST(StringResources, UnknownHandleFindsNothing) {
  int not_a_module = 0;
  EXPECT_EQ(Load(reinterpret_cast<HINSTANCE>(&not_a_module), 1), "");
}

TEST(StringResources, TableOutsideAnyModuleIsNeverFound) {
  brindle::StringTable on_stack = {{4242, "on the stack"}};
  EXPECT_STREQ(on_stack.Find(4242), "on the stack");
  EXPECT_EQ(Load(nullptr, 4242), "");
}
#endif  // !_WIN32

}  // namespace
