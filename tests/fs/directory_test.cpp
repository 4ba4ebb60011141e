#include <filesystem>
#include <string>
#include <vector>
#include <type_traits>

#include <gtest/gtest.h>

#include "brindle/fs.h"
#include "platform/platform.h"
#include "tests/fs/scratch.h"

namespace {

using brindle::testing::ScratchDir;
using brindle::testing::SetMode;

// Expected paths are written with '/' and compared in the platform's form.
std::string Native(std::string text) {
  for (char& c : text) {
    if (c == '/') c = brindle::kPathSeparator;
  }
  return text;
}

static_assert(sizeof(ADirectory) == sizeof(CString), "a directory is its path and nothing else");
static_assert(sizeof(AdirSystem32) == sizeof(ADirectory) && sizeof(AdirDesktop) == sizeof(ADirectory) &&
              sizeof(AdirTaskBarProgs) == sizeof(ADirectory));
static_assert(!std::is_polymorphic_v<ADirectory> && !std::is_polymorphic_v<AdirSystem32>);
static_assert(std::is_base_of_v<ADirectory, AdirDesktop> && std::is_base_of_v<ADirectory, AdirTaskBarProgs>);

TEST(ADirectoryTest, JoinAddsExactlyOneSeparator) {
  struct Row {
    char const* path;
    char const* name;
    char const* joined;
  };
  for (Row const& row : {
           Row{"/srv/data", "logs", "/srv/data/logs"},
           Row{"/srv/data/", "logs", "/srv/data//logs"},  // nothing is trimmed
           Row{"", "logs", "/logs"},
           Row{"rel", "a/b", "rel/a/b"},
           Row{"/srv", "", "/srv/"},
           Row{"/srv", nullptr, "/srv/"},  // a null name joins as empty
           Row{nullptr, "x", "/x"},
       }) {
    SCOPED_TRACE(std::string(row.path ? row.path : "(null)") + " ^ " + (row.name ? row.name : "(null)"));
    ADirectory base(row.path != nullptr ? ADirectory(Native(row.path).c_str()) : ADirectory(nullptr));
    std::string const name = row.name != nullptr ? Native(row.name) : "";
    ADirectory const joined = base ^ (row.name != nullptr ? name.c_str() : nullptr);
    EXPECT_EQ(std::string(joined.path), Native(row.joined));
    EXPECT_EQ(std::string(base.path), Native(row.path != nullptr ? row.path : ""));  // operand unchanged
  }
}

TEST(ADirectoryTest, JoinsChain) {
  ADirectory root(Native("/usr").c_str());
  EXPECT_EQ(std::string((root ^ "share" ^ "doc").path), Native("/usr/share/doc"));
}

TEST(ADirectoryTest, PathIsAPlainValue) {
  ADirectory a("first");
  ADirectory b(a);
  ADirectory c;
  EXPECT_TRUE(c.path.IsEmpty());
  c = a;
  b.path = "second";
  c.path += "-changed";
  EXPECT_EQ(a.path, "first");
  EXPECT_EQ(b.path, "second");
  EXPECT_EQ(c.path, "first-changed");

  AdirSystem32 system;
  system.path = "elsewhere";
  AdirSystem32 copy(system);
  AdirSystem32 assigned;
  assigned = system;
  EXPECT_EQ(copy.path, "elsewhere");
  EXPECT_EQ(assigned.path, "elsewhere");
  ADirectory const& as_base = copy;
  EXPECT_EQ(std::string((as_base ^ "x").path), Native("elsewhere/x"));
}

TEST(ADirectoryTest, ExistsAsDirectory) {
  ScratchDir scratch;
  std::string const dir = scratch / "dir";
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  std::string const file = scratch.File("file", "text");
  struct Row {
    std::string path;
    bool expected;
  };
  std::vector<Row> rows = {
      Row{dir, true},
      Row{dir + "/", true},
      Row{file, false},
      Row{file + "/", false},
      Row{scratch / "missing", false},
      Row{scratch / "missing/below", false},
      Row{"", false},
  };
  if constexpr (!brindle::testing::kWindows) {
    // Permission bits and symbolic links are POSIX's.
    namespace fs = std::filesystem;
    std::string const locked_dir = scratch / "locked";
    ASSERT_TRUE(fs::create_directory(locked_dir));
    SetMode(locked_dir, 0);  // no permissions: still a directory
    fs::create_directory_symlink(dir, scratch / "to-dir");
    fs::create_symlink(file, scratch / "to-file");
    fs::create_symlink(scratch / "gone", scratch / "dangling");
    rows.insert(rows.end(), {
                                Row{locked_dir, true},
                                Row{scratch / "to-dir", true},  // links are followed
                                Row{scratch / "to-file", false},
                                Row{scratch / "dangling", false},
                            });
  }
  for (Row const& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(ADirectory(row.path.c_str()).ExistsAsDirectory(), row.expected);
  }
  EXPECT_TRUE((ADirectory(scratch.path().c_str()) ^ "dir").ExistsAsDirectory());
}

}  // namespace
