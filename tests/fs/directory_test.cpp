#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/fs.h"
#include "platform/platform.h"
#include "tests/fs/scratch.h"

namespace {

using brindle::testing::Native;
using brindle::testing::ScratchDir;

static_assert(sizeof(ADirectory) == sizeof(CString), "a directory is its path and nothing else");
static_assert(sizeof(AdirSystem32) == sizeof(ADirectory) && sizeof(AdirDesktop) == sizeof(ADirectory) &&
              sizeof(AdirTaskBarProgs) == sizeof(ADirectory));
static_assert(!std::is_polymorphic_v<ADirectory> && std::is_base_of_v<ADirectory, AdirTaskBarProgs>);

TEST(ADirectoryTest, JoinAddsExactlyOneSeparator) {
  struct Row {
    char const* path;
    char const* name;
    char const* joined;
  };
  for (Row const& row : {
           Row{"/srv/data", "logs", "/srv/data/logs"}, Row{"/srv/data/", "logs", "/srv/data//logs"},  // no trim
           Row{"", "logs", "/logs"}, Row{"rel", "a/b", "rel/a/b"}, Row{"/srv", nullptr, "/srv/"},  // null: empty
           Row{nullptr, "x", "/x"},
       }) {
    ADirectory base(row.path != nullptr ? ADirectory(Native(row.path).c_str()) : ADirectory(nullptr));
    std::string const name = row.name != nullptr ? Native(row.name) : "";
    EXPECT_EQ(std::string((base ^ (row.name != nullptr ? name.c_str() : nullptr)).path), Native(row.joined));
    EXPECT_EQ(std::string(base.path), Native(row.path != nullptr ? row.path : ""));  // operand unchanged
  }
  AdirSystem32 system;
  system.path = "elsewhere";
  AdirSystem32 copy(system);
  EXPECT_EQ(std::string((static_cast<ADirectory const&>(copy) ^ "x" ^ "y").path), Native("elsewhere/x/y"));
}

TEST(ADirectoryTest, ExistsAsDirectory) {
  namespace fs = std::filesystem;
  ScratchDir scratch;
  std::string const dir = scratch / "dir", file = scratch.File("file", "text");
  ASSERT_TRUE(fs::create_directory(dir));
  std::vector<std::pair<std::string, bool>> rows = {
      {dir, true},   {dir + "/", true},     {file, false}, {file + "/", false}, {scratch / "missing", false},
      {"", false},
  };
  if constexpr (!brindle::testing::kWindows) {  // permission bits and symbolic links are POSIX's
    ASSERT_TRUE(fs::create_directory(scratch / "locked"));
    brindle::testing::SetMode(scratch / "locked", 0);  // no permissions: still a directory
    fs::create_directory_symlink(dir, scratch / "to-dir");
    fs::create_symlink(file, scratch / "to-file");
    fs::create_symlink(scratch / "gone", scratch / "dangling");
    rows.insert(rows.end(), {{scratch / "locked", true}, {scratch / "to-dir", true}, {scratch / "to-file", false},
                             {scratch / "dangling", false}});
  }
  for (auto const& [path, expected] : rows) EXPECT_EQ(ADirectory(path.c_str()).ExistsAsDirectory(), expected) << path;
}

// The folder variables are the test's to set; the process gets its own back.
TEST(Folders, RulesByFamilyAndVariables) {
  using Value = std::optional<std::string>;  // nullopt: the variable is not set
  char const* const names[] = {"OS", "windir", "USERPROFILE"};
  Value saved[3];
  for (int i = 0; i < 3; ++i) {
    if (char const* value = std::getenv(names[i])) saved[i] = value;
  }
  auto set = [&](Value const (&values)[3]) {
    for (int i = 0; i < 3; ++i) brindle::testing::SetEnv(names[i], values[i] ? values[i]->c_str() : nullptr);
  };
  std::string const w = Native("/win"), u = Native("/home/ann");
  auto const none = std::nullopt;
  struct Row {
    Value variables[3];
    std::string system32, desktop, taskbar;  // written with '/'
  } const rows[] = {
      {{"Windows_NT", w, u}, "/win/System32", "/win/PROFILES/All Users/Desktop", "/home/ann/Start Menu/Programs"},
      {{none, w, u}, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {{"windows_nt", w, u}, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {{"Windows_NT ", w, none}, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {{"Windows_NT", w, none}, "/win/System32", "/win/PROFILES/All Users/Desktop", ""},
      {{"Windows_NT", none, u}, "", "", "/home/ann/Start Menu/Programs"},
      {{none, none, none}, "", "", ""},
      {{"Windows_NT", w + Native("/"), u}, "/win//System32", "/win//PROFILES/All Users/Desktop",
       "/home/ann/Start Menu/Programs"},  // values are used as they are
      {{none, std::string(" W "), u}, " W /System", " W /Desktop", " W /Start Menu/Programs"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.system32 + "|" + row.taskbar);
    set(row.variables);
    EXPECT_EQ(std::string(AdirSystem32().path), Native(row.system32));
    EXPECT_EQ(std::string(AdirDesktop().path), Native(row.desktop));
    EXPECT_EQ(std::string(AdirTaskBarProgs().path), Native(row.taskbar));
  }
  // Windows' C runtime holds no empty variable: setting one removes it.
  set({none, std::string(), u});
  EXPECT_EQ(std::string(AdirSystem32().path), brindle::testing::kWindows ? "" : Native("/System"));
  set(saved);
}

}  // namespace
