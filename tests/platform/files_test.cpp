// The contract of the file calls of the platform layer: GetFileAttributesA,
// CreateFileA, CloseHandle and GetLastError.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/fs/scratch.h"

namespace {

using brindle::testing::HoldingChild;

using brindle::testing::ReadAll;
using brindle::testing::ScratchDir;

HANDLE Open(std::string const& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING,
            DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

TEST(FileAttributes, FromTheFileStatus) {
  ScratchDir scratch;
  std::string const dir = scratch / "dir";
  std::string const read_only_dir = scratch / "ro-dir";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(read_only_dir.c_str(), 0555), 0);
  std::string const plain = scratch.File("plain", "x");
  std::string const group_writable = scratch.File("group-w", "x", 0464);
  std::string const read_only = scratch.File("ro", "x", 0444);
  std::string const no_access = scratch.File("none", "x", 0);
  ASSERT_EQ(symlink(dir.c_str(), (scratch / "to-dir").c_str()), 0);
  ASSERT_EQ(symlink(read_only.c_str(), (scratch / "to-ro").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (scratch / "dangling").c_str()), 0);
  struct Row {
    std::string path;
    DWORD attributes;
  };
  DWORD const ro = FILE_ATTRIBUTE_READONLY, dir_attr = FILE_ATTRIBUTE_DIRECTORY, none = INVALID_FILE_ATTRIBUTES;
  for (Row const& row : {Row{plain, FILE_ATTRIBUTE_NORMAL}, Row{group_writable, FILE_ATTRIBUTE_NORMAL},
                         Row{read_only, ro}, Row{no_access, ro}, Row{dir, dir_attr}, Row{read_only_dir, dir_attr | ro},
                         Row{scratch / "to-dir", dir_attr}, Row{scratch / "to-ro", ro}, Row{scratch / "dangling", none},
                         Row{plain + "/below", none}, Row{"", none}}) {
    EXPECT_EQ(GetFileAttributesA(row.path.c_str()), row.attributes) << row.path;
  }
  EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((scratch / "missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(CreateFile, Dispositions) {
  struct Row {
    DWORD disposition;
    DWORD access;
    bool existing;
    DWORD error;           // after the call; ERROR_SUCCESS or ERROR_ALREADY_EXISTS when it succeeds
    char const* contents;  // afterwards; null: no file
  };
  DWORD const R = GENERIC_READ, W = GENERIC_WRITE, ok = ERROR_SUCCESS, exists = ERROR_ALREADY_EXISTS,
              missing = ERROR_FILE_NOT_FOUND, bad = ERROR_INVALID_PARAMETER;
  for (Row const& row : {
           Row{CREATE_NEW, W, false, ok, ""},           Row{CREATE_NEW, W, true, ERROR_FILE_EXISTS, "old"},
           Row{CREATE_ALWAYS, W, false, ok, ""},        Row{CREATE_ALWAYS, W, true, exists, ""},
           Row{CREATE_ALWAYS, R, true, exists, ""},     Row{OPEN_EXISTING, R, false, missing, nullptr},
           Row{OPEN_EXISTING, W, true, ok, "old"},      Row{OPEN_ALWAYS, W, false, ok, ""},
           Row{OPEN_ALWAYS, R, true, exists, "old"},    Row{TRUNCATE_EXISTING, W, true, ok, ""},
           Row{TRUNCATE_EXISTING, W, false, missing, nullptr},
           Row{TRUNCATE_EXISTING, R, true, bad, "old"}, Row{0, R, true, bad, "old"},
       }) {
    SCOPED_TRACE(testing::Message() << "disposition " << row.disposition << ", access " << std::hex << row.access
                                    << (row.existing ? ", existing" : ", missing"));
    ScratchDir scratch;
    std::string const name = scratch / "f";
    if (row.existing) scratch.File("f", "old");
    SetLastError(12345);
    HANDLE handle = Open(name, row.access, 0, row.disposition);
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(handle != INVALID_HANDLE_VALUE, row.error == ok || row.error == exists);
    if (handle != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(handle));
    }
    EXPECT_EQ(std::filesystem::exists(name), row.contents != nullptr);
    if (row.contents != nullptr) {
      EXPECT_EQ(ReadAll(name), row.contents);
    }
  }
}

TEST(CreateFile, MissingPathsDirectoriesFifosAndReadOnlyFiles) {
  ScratchDir scratch;
  EXPECT_EQ(Open(scratch / "file/below", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  scratch.File("file", "x");
  EXPECT_EQ(Open(scratch / "file/below", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open(scratch / "no-dir/new", GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(std::filesystem::exists(scratch / "no-dir"));
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  for (DWORD access : {GENERIC_READ, GENERIC_WRITE}) {
    EXPECT_EQ(Open(scratch.path(), access, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  EXPECT_TRUE(CloseHandle(Open(scratch.path(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS)));
  // A FIFO nobody reads is refused rather than waited on.
  std::string const fifo = scratch / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  EXPECT_EQ(Open(fifo, GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CloseHandle(Open(fifo, GENERIC_READ, 0)));
  // No write permission bit: no writing, whoever asks (the suite may run as root).
  std::string const name = scratch.File("ro", "kept", 0444);
  for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
    for (DWORD access : {GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE}) {
      EXPECT_EQ(Open(name, access, FILE_SHARE_READ, disposition), INVALID_HANDLE_VALUE) << disposition;
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
  }
  EXPECT_EQ(Open(name, GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE);  // would truncate
  EXPECT_TRUE(CloseHandle(Open(name, GENERIC_READ, 0)));
  EXPECT_EQ(ReadAll(name), "kept");
  // A file this call creates is the caller's to write, whatever the umask.
  mode_t const old_mask = umask(0277);
  HANDLE created = Open(scratch / "new", GENERIC_WRITE, 0, CREATE_NEW);
  umask(old_mask);
  EXPECT_TRUE(CloseHandle(created));
  EXPECT_FALSE(CloseHandle(created));  // closed already
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE) || CloseHandle(nullptr));
}

// Share mode 0 excludes every other opener; other share modes exclude only
// share mode 0; truncation waits for every lock.
TEST(CreateFile, SharingBetweenHandles) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "data");
  DWORD const R = GENERIC_READ, W = GENERIC_WRITE, shared = FILE_SHARE_READ | FILE_SHARE_WRITE;
  struct Row {
    DWORD first_access, first_share, second_access, second_share, disposition;
    bool second_opens;
  };
  for (Row const& row : {
           Row{R, 0, R, 0, OPEN_EXISTING, false},      Row{W, 0, R, shared, OPEN_EXISTING, false},
           Row{R, 0, W, shared, OPEN_EXISTING, false}, Row{R, shared, W, 0, OPEN_EXISTING, false},
           Row{W, shared, R, 0, OPEN_EXISTING, false}, Row{0, shared, W, 0, OPEN_EXISTING, false},
           Row{R, shared, R, shared, OPEN_EXISTING, true},
           Row{W, shared, R | W, FILE_SHARE_READ, OPEN_EXISTING, true},
           Row{R, 0, W, shared, CREATE_ALWAYS, false}, Row{R, 0, W, shared, TRUNCATE_EXISTING, false},
       }) {
    SCOPED_TRACE(testing::Message() << std::hex << row.first_access << "/" << row.first_share << " then "
                                    << row.second_access << "/" << row.second_share << "/" << row.disposition);
    HANDLE first = Open(name, row.first_access, row.first_share);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = Open(name, row.second_access, row.second_share, row.disposition);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.second_opens);
    if (second == INVALID_HANDLE_VALUE) {
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(ReadAll(name), "data");
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second) || !row.second_opens);
  }
}

TEST(CreateFile, OtherProcessesLocks) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "data");
  auto record_lock = [&name](int open_mode, short type, int command) {
    return [&name, open_mode, type, command] {
      int fd = open(name.c_str(), open_mode);
      struct flock lock{};
      lock.l_type = type;
      lock.l_start = 100;  // any range counts, even one past the end
      lock.l_len = 10;
      return fd >= 0 && fcntl(fd, command, &lock) == 0;
    };
  };
  struct Row {
    std::function<bool()> hold;
    bool shared_opens;  // share mode 0 never does
  } const rows[] = {
      {[&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_EX | LOCK_NB) == 0; }, false},
      {[&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_SH | LOCK_NB) == 0; }, true},
      {record_lock(O_RDONLY, F_RDLCK, F_SETLK), true},
      {record_lock(O_WRONLY, F_WRLCK, F_SETLK), false},
      {record_lock(O_RDONLY, F_RDLCK, F_OFD_SETLK), true},
      {record_lock(O_RDWR, F_WRLCK, F_OFD_SETLK), false},
      {[&name] { return Open(name, GENERIC_READ, 0) != INVALID_HANDLE_VALUE; }, false},
      {[&name] { return Open(name, GENERIC_WRITE, FILE_SHARE_READ) != INVALID_HANDLE_VALUE; }, true},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(&row - rows);
    HoldingChild child(row.hold);
    ASSERT_TRUE(child.held());
    for (DWORD access : {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE}) {
      EXPECT_EQ(Open(name, access, 0), INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
      HANDLE shared = Open(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE);
      EXPECT_EQ(shared != INVALID_HANDLE_VALUE, row.shared_opens) << access;
      if (shared != INVALID_HANDLE_VALUE) CloseHandle(shared);
    }
    child.Release();
    EXPECT_TRUE(CloseHandle(Open(name, GENERIC_WRITE, 0)));
  }
  // A handle held in this process is seen by another process, by its own
  // opens and by a program that takes flock() locks itself.
  HANDLE holder = Open(name, GENERIC_READ, 0);
  HoldingChild blocked([&name] {
    // The forked child shares the parent's descriptor; its own opens are what count.
    return Open(name, GENERIC_READ, FILE_SHARE_READ) == INVALID_HANDLE_VALUE &&
           GetLastError() == ERROR_SHARING_VIOLATION && flock(open(name.c_str(), O_RDONLY), LOCK_SH | LOCK_NB) != 0;
  });
  EXPECT_TRUE(blocked.held());
  EXPECT_TRUE(CloseHandle(holder));
}

}  // namespace
