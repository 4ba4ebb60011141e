// The contracts of the platform's text services as the library's callers rely
// on them: character-set conversion in place, module file names with the
// platform's cut-and-return-size rule, and the working directory.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(TextServices, CharToOemInPlaceAndApart) {
  char text[] = "caf\xE9 \x80";
  char apart[sizeof text];
  EXPECT_EQ(CharToOemA(text, apart), TRUE);
  EXPECT_STREQ(apart, "caf\x82 ?");
  EXPECT_EQ(CharToOemA(text, text), TRUE);
  EXPECT_STREQ(text, "caf\x82 ?");
  EXPECT_EQ(OemToCharA(text, text), TRUE);
  EXPECT_STREQ(text, "caf\xE9 ?");
  EXPECT_EQ(CharToOemA(nullptr, text), FALSE);
  EXPECT_EQ(OemToCharA(text, nullptr), FALSE);
}

TEST(TextServices, ModuleFileNameIsCutToTheBuffer) {
  std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
  char buffer[4096];
  DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  EXPECT_EQ(n, program.size());
  EXPECT_EQ(std::string(buffer), program);

  // Too small: size - 1 characters and a NUL, and the size as the result.
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 5), 5u);
  EXPECT_EQ(std::string(buffer), program.substr(0, 4));
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(program.size())), program.size());
  EXPECT_EQ(std::strlen(buffer), program.size() - 1);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 0), 0u);

  void* self = dlopen(nullptr, RTLD_LAZY);  // the main program's own handle
  EXPECT_EQ(GetModuleFileNameA(static_cast<HINSTANCE>(self), buffer, sizeof buffer), program.size());
  dlclose(self);
  int not_a_module = 0;
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HINSTANCE>(&not_a_module), buffer, sizeof buffer), 0u);
}

TEST(TextServices, WorkingDirectory) {
  std::string cwd = std::filesystem::current_path().string();
  char buffer[4096];
  EXPECT_EQ(_getcwd(buffer, sizeof buffer), buffer);
  EXPECT_EQ(std::string(buffer), cwd);
  EXPECT_EQ(_getcwd(buffer, static_cast<int>(cwd.size())), nullptr);  // no room for the NUL
  EXPECT_EQ(_getcwd(buffer, 0), nullptr);
  char* own = _getcwd(nullptr, 0);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(std::string(own), cwd);
  std::free(own);
}

}  // namespace
