// The platform's text services where the library's callers rely on more
// than the AString tests show: character-set conversion into another
// buffer and null arguments, and module file names under the platform's
// cut-and-return-size rules.
#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(TextServices, ConversionsAndBufferRules) {
  char const text[] = "caf\xE9 \x80";
  char apart[sizeof text];
  EXPECT_EQ(CharToOemA(text, apart), TRUE);
  EXPECT_STREQ(apart, "caf\x82 ?");
  EXPECT_EQ(CharToOemA(nullptr, apart) + OemToCharA(text, nullptr), FALSE);

  std::string const program = std::filesystem::read_symlink("/proc/self/exe").string();
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

}  // namespace
