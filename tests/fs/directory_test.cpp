#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/fs.h"
#include "platform/platform.h"
#include "tests/fs/scratch.h"

namespace {

using brindle::testing::Native;

static_assert(sizeof(ADirectory) == sizeof(CString) && sizeof(AdirTaskBarProgs) == sizeof(ADirectory) &&
              !std::is_polymorphic_v<ADirectory>);

TEST(ADirectoryTest, JoinAddsExactlyOneSeparator) {
  for (auto [path, name, joined] : std::initializer_list<std::tuple<char const*, char const*, char const*>>{
           {"/srv/data", "logs", "/srv/data/logs"}, {"/srv/data/", "logs", "/srv/data//logs"},  // no trim
           {"", "a/b", "/a/b"}, {"/srv", nullptr, "/srv/"}, {nullptr, "x", "/x"}}) {  // null: empty
    ADirectory const base(path != nullptr ? Native(path).c_str() : nullptr);
    std::string const native_name = name != nullptr ? Native(name) : "";
    EXPECT_EQ(std::string((base ^ (name != nullptr ? native_name.c_str() : nullptr)).path), Native(joined));
    EXPECT_EQ(std::string(base.path), Native(path != nullptr ? path : ""));  // operand unchanged
  }
}

TEST(ADirectoryTest, ExistsAsDirectory) {
  namespace fs = std::filesystem;
  brindle::testing::ScratchDir scratch;
  std::string const dir = scratch / "dir", file = scratch.File("file", "text");
  ASSERT_TRUE(fs::create_directory(dir));
  std::vector<std::pair<std::string, bool>> rows = {
      {dir, true}, {dir + "/", true}, {file, false}, {file + "/", false}, {scratch / "missing", false}, {"", false}};
  if constexpr (!brindle::testing::kWindows) {  // permission bits and symbolic links are POSIX's
    ASSERT_TRUE(fs::create_directory(scratch / "locked"));
    brindle::testing::SetMode(scratch / "locked", 0);  // no permissions: still a directory
    fs::create_directory_symlink(dir, scratch / "to-dir");
    fs::create_symlink(file, scratch / "to-file");
    rows.insert(rows.end(), {{scratch / "locked", true}, {scratch / "to-dir", true}, {scratch / "to-file", false}});
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
  struct Row { Value variables[3]; std::string system32, desktop, taskbar; } const rows[] = {  // written with '/'
      {{"Windows_NT", w, u}, "/win/System32", "/win/PROFILES/All Users/Desktop", "/home/ann/Start Menu/Programs"},
      {{none, w, u}, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {{"windows_nt", w, none}, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},  // the exact name
      {{"Windows_NT", w, none}, "/win/System32", "/win/PROFILES/All Users/Desktop", ""},
      {{"Windows_NT", none, u}, "", "", "/home/ann/Start Menu/Programs"},
      {{none, none, none}, "", "", ""},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(&row - rows);
    set(row.variables);
    EXPECT_EQ(std::string(AdirSystem32().path), Native(row.system32));
    EXPECT_EQ(std::string(AdirDesktop().path), Native(row.desktop));
    EXPECT_EQ(std::string(AdirTaskBarProgs().path), Native(row.taskbar));
  }
  set(saved);
}

}  // namespace
