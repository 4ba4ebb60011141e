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

using brindle::testing::PathExists;
using brindle::testing::ReadAll;
using brindle::testing::ScratchDir;

static_assert(std::is_polymorphic_v<AFile> && std::has_virtual_destructor_v<AFile>);
static_assert(!std::is_default_constructible_v<AFile>);

TEST(AFileTest, ConstructionFromCountedText) {
  char const unterminated_tail[] = {'a', 'b', '\0', 'c', 'd'};
  struct Row {
    char const* text;
    int count;
    char const* path;
  };
  for (Row const& row : {
           Row{"abcdef", 3, "abc"},
           Row{"abcdef", 6, "abcdef"},
           Row{"abc", 0, ""},
           Row{"abc", -1, ""},
           Row{nullptr, 4, ""},
           Row{"ab", 100, "ab"},             // stops at the terminator
           Row{unterminated_tail, 5, "ab"},  // and never reads past it
       }) {
    SCOPED_TRACE(std::string(row.text != nullptr ? row.text : "(null)") + " " + std::to_string(row.count));
    AFile const file(row.text, row.count);
    EXPECT_EQ(std::string(file.path), row.path);
    EXPECT_EQ(file.path.GetLength(), static_cast<int>(std::string(row.path).size()));
  }
}

TEST(AFileTest, PathIsAPlainValue) {
  AFile a(CString("one"));
  AFile b(a);
  AFile c("x", 1);
  c = a;
  b.path = "two";
  EXPECT_EQ(a.path, "one");
  EXPECT_EQ(b.path, "two");
  EXPECT_EQ(c.path, "one");
}

TEST(AFileTest, DerivedObjectsDieWhole) {
  static int destroyed = 0;
  struct Tracked : AFile {
    explicit Tracked(CString const& path) : AFile(path), note(std::make_unique<std::string>(1000, 'n')) {}
    ~Tracked() override { ++destroyed; }
    std::unique_ptr<std::string> note;  // leaks, under the sanitizers, if not destroyed
  };
  destroyed = 0;
  AFile* file = new Tracked(CString("derived"));
  delete file;
  EXPECT_EQ(destroyed, 1);
}

// Whether this user may open a file for writing although it is marked
// read-only: so under Wine run by root, which maps the mark to permission
// bits.
bool WritesReadOnlyFiles(ScratchDir const& scratch) {
  std::string const probe = scratch.File("probe", "", 0444);
  HANDLE handle = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

TEST(AFileTest, ExistsAndIsLockedOnDisk) {
  ScratchDir scratch;
  std::string const dir = scratch / "dir";
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  std::string const plain = scratch.File("plain", "contents stay");
  // No write permission bit: not writable whoever runs the test, root
  // included (the POSIX layer refuses root too).
  std::string const read_only = scratch.File("read-only", "kept", 0444);
  struct Row {
    std::string path;
    int exists;
    int is_locked;
  };
  std::vector<Row> rows = {
      Row{scratch / "missing", 0, 1},
      Row{scratch / "no-dir/missing", 0, 1},
      Row{"", 0, 1},
      Row{dir, 0, 1},
      Row{plain, 1, 1},
  };
  if (!brindle::testing::kWindows || !WritesReadOnlyFiles(scratch)) {
    rows.push_back(Row{read_only, 1, 0});
  } else {
    std::cout << "[ NOTE     ] this user may write read-only files here (Wine run by root): that case is not checked\n";
  }
  if constexpr (!brindle::testing::kWindows) {
    std::filesystem::create_symlink(plain, scratch / "to-plain");
    rows.push_back(Row{scratch / "to-plain", 1, 1});
  }
  for (Row const& row : rows) {
    SCOPED_TRACE(row.path);
    AFile const file(CString(row.path.c_str()));
    EXPECT_EQ(file.Exists(), row.exists);
    EXPECT_EQ(file.IsLocked(), row.is_locked);
  }
  EXPECT_FALSE(PathExists(scratch / "missing"));  // the test created nothing
  EXPECT_FALSE(PathExists(scratch / "no-dir"));
  EXPECT_EQ(ReadAll(plain), "contents stay");
  EXPECT_EQ(ReadAll(read_only), "kept");
}

TEST(AFileTest, HeldByAHandleOfThisProcess) {
  ScratchDir scratch;
  std::string const name = scratch.File("held", "data");
  AFile const file(CString(name.c_str()));
  struct Row {
    DWORD access;
    DWORD share;
    int held;
  };
  // Whatever the other handle's sharing, the file is held; on Windows a
  // handle that neither reads, writes nor deletes takes no part in sharing.
  for (Row const& row : {
           Row{GENERIC_WRITE, 0, 1},
           Row{GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 1},
           Row{0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, brindle::testing::kWindows ? 0 : 1},
       }) {
    SCOPED_TRACE(testing::Message() << std::hex << "access " << row.access << " share " << row.share);
    HANDLE handle = CreateFileA(name.c_str(), row.access, row.share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(file.Exists(), 1);
    EXPECT_EQ(file.IsLocked(), row.held != 0 ? 0 : 1);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(file.IsLocked(), 1);
  }
  EXPECT_EQ(ReadAll(name), "data");
}

#if !defined(_WIN32)
// Held by another process with POSIX locks or the emulated sharing. On
// Windows sharing is decided per handle, whichever process holds it, which
// HeldByAHandleOfThisProcess covers.
TEST(AFileTest, HeldByAnotherProcess) {
  using brindle::testing::HoldingChild;
  ScratchDir scratch;
  std::string const name = scratch.File("shared", "data");
  struct Row {
    char const* label;
    std::function<bool()> hold;
  };
  Row const rows[] = {
      {"flock exclusive", [&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_EX | LOCK_NB) == 0; }},
      {"fcntl read lock on one byte",
       [&name] {
         struct flock lock{};
         lock.l_type = F_RDLCK;
         lock.l_whence = SEEK_SET;
         lock.l_len = 1;
         return fcntl(open(name.c_str(), O_RDONLY), F_SETLK, &lock) == 0;
       }},
      {"CreateFileA, share 0",
       [&name] {
         return CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr) !=
                INVALID_HANDLE_VALUE;
       }},
  };
  AFile const file(CString(name.c_str()));
  for (Row const& row : rows) {
    SCOPED_TRACE(row.label);
    HoldingChild child(row.hold);
    ASSERT_TRUE(child.held());
    EXPECT_EQ(file.Exists(), 1);
    EXPECT_EQ(file.IsLocked(), 0);
    child.Release();
    EXPECT_EQ(file.IsLocked(), 1);  // the child's exit let it go
  }
  EXPECT_EQ(ReadAll(name), "data");
}
#endif  // !_WIN32

}  // namespace
