#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#endif

#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/fs.h"
#include "platform/platform.h"
#include "tests/fs/scratch.h"

namespace {

using brindle::testing::ReadAll;
using brindle::testing::ScratchDir;

static_assert(std::has_virtual_destructor_v<AFile> && !std::is_default_constructible_v<AFile>);

TEST(AFileTest, CountedTextAndDerivedObjects) {
  char const unterminated_tail[] = {'a', 'b', '\0', 'c', 'd'};
  struct Row {
    char const* text;
    int count;
    char const* path;
  };
  for (Row const& row : {Row{"abcdef", 3, "abc"}, Row{"abc", 0, ""}, Row{"abc", -1, ""}, Row{nullptr, 4, ""},
                         Row{"ab", 100, "ab"},              // stops at the terminator
                         Row{unterminated_tail, 5, "ab"}}) {  // and never reads past it
    EXPECT_EQ(std::string(AFile(row.text, row.count).path), row.path) << row.count;
  }
  static int destroyed = 0;
  struct Tracked : AFile {
    explicit Tracked(CString const& path) : AFile(path), note(std::make_unique<std::string>(1000, 'n')) {}
    ~Tracked() override { ++destroyed; }
    std::unique_ptr<std::string> note;  // leaks, under the sanitizers, if not destroyed
  };
  delete static_cast<AFile*>(new Tracked(CString("derived")));
  EXPECT_EQ(destroyed, 1);
}

TEST(AFileTest, ExistsAndIsLockedOnDisk) {
  ScratchDir scratch;
  ASSERT_TRUE(std::filesystem::create_directory(scratch / "dir"));
  std::string const plain = scratch.File("plain", "contents stay");
  // No write permission bit: not writable whoever runs the test, root
  // included (the POSIX layer refuses root too).
  std::string const read_only = scratch.File("read-only", "kept", 0444);
  struct Row {
    std::string path;
    int exists, is_locked;
  };
  std::vector<Row> rows = {{scratch / "missing", 0, 1}, {scratch / "no-dir/missing", 0, 1}, {"", 0, 1},
                           {scratch / "dir", 0, 1},     {plain, 1, 1}};
  // Wine run by root maps the read-only mark to permission bits root ignores.
  HANDLE probe = CreateFileA(read_only.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    rows.push_back(Row{read_only, 1, 0});
  } else {
    CloseHandle(probe);
    std::cout << "[ NOTE     ] this user may write read-only files here: that case is not checked\n";
  }
  if constexpr (!brindle::testing::kWindows) {
    std::filesystem::create_symlink(plain, scratch / "to-plain");
    rows.push_back(Row{scratch / "to-plain", 1, 1});
  }
  for (Row const& row : rows) {
    AFile const file(CString(row.path.c_str()));
    EXPECT_EQ(file.Exists(), row.exists) << row.path;
    EXPECT_EQ(file.IsLocked(), row.is_locked) << row.path;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));  // the test created nothing
  EXPECT_EQ(ReadAll(plain) + ReadAll(read_only), "contents staykept");
}

// Held by a handle of this process whatever its sharing (on Windows a handle
// that neither reads, writes nor deletes takes no part in sharing), and on
// POSIX by another process's locks or emulated sharing.
TEST(AFileTest, HeldByThisProcessOrAnother) {
  ScratchDir scratch;
  std::string const name = scratch.File("held", "data");
  AFile const file(CString(name.c_str()));
  struct Row {
    DWORD access, share;
    int held;
  };
  DWORD const all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  for (Row const& row : {Row{GENERIC_WRITE, 0, 1}, Row{GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 1},
                         Row{0, all, brindle::testing::kWindows ? 0 : 1}}) {
    HANDLE handle = CreateFileA(name.c_str(), row.access, row.share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(file.IsLocked(), row.held != 0 ? 0 : 1) << row.access;
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(file.IsLocked(), 1);
  }
#if !defined(_WIN32)
  std::function<bool()> const holders[] = {
      [&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_EX | LOCK_NB) == 0; },
      [&name] {
        struct flock lock{};
        lock.l_type = F_RDLCK;
        lock.l_len = 1;
        return fcntl(open(name.c_str(), O_RDONLY), F_SETLK, &lock) == 0;
      },
      [&name] {
        return CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr) !=
               INVALID_HANDLE_VALUE;
      },
  };
  for (auto const& hold : holders) {
    brindle::testing::HoldingChild child(hold);
    ASSERT_TRUE(child.held());
    EXPECT_EQ(file.Exists(), 1);
    EXPECT_EQ(file.IsLocked(), 0);
    child.Release();
    EXPECT_EQ(file.IsLocked(), 1);  // the child's exit let it go
  }
#endif
  EXPECT_EQ(ReadAll(name), "data");
}

}  // namespace
