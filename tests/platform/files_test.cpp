// The contract of the file calls of the platform layer: GetFileAttributesA,
// CreateFileA, CloseHandle and GetLastError.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/fs/scratch.h"

namespace {

using brindle::testing::HoldingChild;
using brindle::testing::PathExists;
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
  for (Row const& row : {
           Row{plain, FILE_ATTRIBUTE_NORMAL},
           Row{group_writable, FILE_ATTRIBUTE_NORMAL},
           Row{read_only, FILE_ATTRIBUTE_READONLY},
           Row{no_access, FILE_ATTRIBUTE_READONLY},
           Row{dir, FILE_ATTRIBUTE_DIRECTORY},
           Row{read_only_dir, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY},
           Row{scratch / "to-dir", FILE_ATTRIBUTE_DIRECTORY},
           Row{scratch / "to-ro", FILE_ATTRIBUTE_READONLY},
           Row{scratch / "dangling", INVALID_FILE_ATTRIBUTES},
           Row{scratch / "missing", INVALID_FILE_ATTRIBUTES},
           Row{plain + "/below", INVALID_FILE_ATTRIBUTES},
           Row{"", INVALID_FILE_ATTRIBUTES},
       }) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(GetFileAttributesA(row.path.c_str()), row.attributes);
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
    bool opened;
    char const* contents;  // afterwards; null: no file
  };
  for (Row const& row : {
           Row{CREATE_NEW, GENERIC_WRITE, false, ERROR_SUCCESS, true, ""},
           Row{CREATE_NEW, GENERIC_WRITE, true, ERROR_FILE_EXISTS, false, "old"},
           Row{CREATE_ALWAYS, GENERIC_WRITE, false, ERROR_SUCCESS, true, ""},
           Row{CREATE_ALWAYS, GENERIC_WRITE, true, ERROR_ALREADY_EXISTS, true, ""},
           Row{CREATE_ALWAYS, GENERIC_READ, true, ERROR_ALREADY_EXISTS, true, ""},
           Row{OPEN_EXISTING, GENERIC_READ, false, ERROR_FILE_NOT_FOUND, false, nullptr},
           Row{OPEN_EXISTING, GENERIC_WRITE, true, ERROR_SUCCESS, true, "old"},
           Row{OPEN_ALWAYS, GENERIC_WRITE, false, ERROR_SUCCESS, true, ""},
           Row{OPEN_ALWAYS, GENERIC_READ, true, ERROR_ALREADY_EXISTS, true, "old"},
           Row{TRUNCATE_EXISTING, GENERIC_WRITE, true, ERROR_SUCCESS, true, ""},
           Row{TRUNCATE_EXISTING, GENERIC_WRITE, false, ERROR_FILE_NOT_FOUND, false, nullptr},
           Row{TRUNCATE_EXISTING, GENERIC_READ, true, ERROR_INVALID_PARAMETER, false, "old"},
           Row{0, GENERIC_READ, true, ERROR_INVALID_PARAMETER, false, "old"},
       }) {
    SCOPED_TRACE(testing::Message() << "disposition " << row.disposition << ", access " << std::hex << row.access
                                    << (row.existing ? ", existing" : ", missing"));
    ScratchDir scratch;
    std::string const name = scratch / "f";
    if (row.existing) scratch.File("f", "old");
    SetLastError(12345);
    HANDLE handle = Open(name, row.access, 0, row.disposition);
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(handle != INVALID_HANDLE_VALUE, row.opened);
    if (handle != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(handle));
    }
    EXPECT_EQ(PathExists(name), row.contents != nullptr);
    if (row.contents != nullptr) {
      EXPECT_EQ(ReadAll(name), row.contents);
    }
  }
}

TEST(CreateFile, MissingPathsAndDirectories) {
  ScratchDir scratch;
  SetLastError(0);
  EXPECT_EQ(Open(scratch / "file/below", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  scratch.File("file", "x");
  EXPECT_EQ(Open(scratch / "file/below", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open(scratch / "no-dir/new", GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(PathExists(scratch / "no-dir"));

  for (DWORD access : {GENERIC_READ, GENERIC_WRITE}) {
    EXPECT_EQ(Open(scratch.path(), access, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  HANDLE dir = Open(scratch.path(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  EXPECT_NE(dir, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(dir));
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

// No write permission bit: no writing, whoever asks (the suite may run as root).
TEST(CreateFile, ReadOnlyFilesAreNotWritten) {
  ScratchDir scratch;
  std::string const name = scratch.File("ro", "kept", 0444);
  for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
    for (DWORD access : {GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE}) {
      SCOPED_TRACE(testing::Message() << "disposition " << disposition << ", access " << std::hex << access);
      EXPECT_EQ(Open(name, access, FILE_SHARE_READ, disposition), INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
  }
  EXPECT_EQ(Open(name, GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE);  // would truncate
  HANDLE reader = Open(name, GENERIC_READ, 0);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(reader));
  EXPECT_EQ(ReadAll(name), "kept");

  // A file this call creates is the caller's to write, whatever the umask.
  mode_t const old_mask = umask(0277);
  HANDLE created = Open(scratch / "new", GENERIC_WRITE, 0, CREATE_NEW);
  umask(old_mask);
  EXPECT_NE(created, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(created));
}

// Share mode 0 excludes every other opener; other share modes exclude only
// share mode 0.
TEST(CreateFile, SharingBetweenHandles) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "data");
  DWORD const shared = FILE_SHARE_READ | FILE_SHARE_WRITE;
  struct Row {
    DWORD first_access, first_share, second_access, second_share;
    bool second_opens;
  };
  for (Row const& row : {
           Row{GENERIC_READ, 0, GENERIC_READ, 0, false},
           Row{GENERIC_WRITE, 0, GENERIC_READ, shared, false},
           Row{GENERIC_READ, 0, GENERIC_WRITE, shared, false},
           Row{GENERIC_READ, shared, GENERIC_WRITE, 0, false},
           Row{GENERIC_WRITE, shared, GENERIC_READ, 0, false},
           Row{0, shared, GENERIC_WRITE, 0, false},
           Row{GENERIC_READ, shared, GENERIC_READ, shared, true},
           Row{GENERIC_WRITE, shared, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, true},
       }) {
    SCOPED_TRACE(testing::Message() << std::hex << row.first_access << "/" << row.first_share << " then "
                                    << row.second_access << "/" << row.second_share);
    HANDLE first = Open(name, row.first_access, row.first_share);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = Open(name, row.second_access, row.second_share);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.second_opens);
    if (second != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(second));
    } else {
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_TRUE(CloseHandle(first));
    second = Open(name, row.second_access, row.second_share);  // free again once the first is closed
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(second));
  }
}

TEST(CreateFile, TruncationWaitsForTheLocks) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "precious");
  HANDLE holder = Open(name, GENERIC_READ, 0);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  for (DWORD disposition : {CREATE_ALWAYS, TRUNCATE_EXISTING}) {
    EXPECT_EQ(Open(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(ReadAll(name), "precious");
  EXPECT_TRUE(CloseHandle(holder));
}

TEST(CreateFile, OtherProcessesLocks) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "data");
  auto record_lock = [&name](int open_mode, short type, int command) {
    return [&name, open_mode, type, command] {
      int fd = open(name.c_str(), open_mode);
      struct flock lock{};
      lock.l_type = type;
      lock.l_whence = SEEK_SET;
      lock.l_start = 100;  // any range counts, even one past the end
      lock.l_len = 10;
      return fd >= 0 && fcntl(fd, command, &lock) == 0;
    };
  };
  struct Row {
    char const* label;
    std::function<bool()> hold;
    bool shared_opens;  // share mode 0 never does
  };
  Row const rows[] = {
      {"flock exclusive", [&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_EX | LOCK_NB) == 0; }, false},
      {"flock shared", [&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_SH | LOCK_NB) == 0; }, true},
      {"process read lock", record_lock(O_RDONLY, F_RDLCK, F_SETLK), true},
      {"process write lock", record_lock(O_WRONLY, F_WRLCK, F_SETLK), false},
      {"description read lock", record_lock(O_RDONLY, F_RDLCK, F_OFD_SETLK), true},
      {"description write lock", record_lock(O_RDWR, F_WRLCK, F_OFD_SETLK), false},
      {"CreateFileA share 0", [&name] { return Open(name, GENERIC_READ, 0) != INVALID_HANDLE_VALUE; }, false},
      {"CreateFileA shared",
       [&name] { return Open(name, GENERIC_WRITE, FILE_SHARE_READ) != INVALID_HANDLE_VALUE; }, true},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.label);
    HoldingChild child(row.hold);
    ASSERT_TRUE(child.held());
    for (DWORD access : {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE}) {
      SCOPED_TRACE(testing::Message() << "access " << std::hex << access);
      EXPECT_EQ(Open(name, access, 0), INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
      HANDLE shared = Open(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE);
      EXPECT_EQ(shared != INVALID_HANDLE_VALUE, row.shared_opens);
      if (shared != INVALID_HANDLE_VALUE) {
        EXPECT_TRUE(CloseHandle(shared));
      }
    }
    child.Release();
    HANDLE after = Open(name, GENERIC_WRITE, 0);
    EXPECT_NE(after, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(after));
  }
}

// A handle held in this process is seen by another process, by its own opens
// and by a program that takes flock() locks itself.
TEST(CreateFile, SeenByOtherProcesses) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "data");
  HANDLE holder = Open(name, GENERIC_READ, 0);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  HoldingChild blocked([&name] {
    // The forked child shares the parent's descriptor; its own opens are what count.
    return Open(name, GENERIC_READ, FILE_SHARE_READ) == INVALID_HANDLE_VALUE &&
           GetLastError() == ERROR_SHARING_VIOLATION &&
           flock(open(name.c_str(), O_RDONLY), LOCK_SH | LOCK_NB) != 0;
  });
  EXPECT_TRUE(blocked.held());
  blocked.Release();
  EXPECT_TRUE(CloseHandle(holder));
}

TEST(CreateFile, NeverBlocksOnAFifo) {
  ScratchDir scratch;
  std::string const fifo = scratch / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  EXPECT_EQ(Open(fifo, GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);  // nobody reads it
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE reader = Open(fifo, GENERIC_READ, 0);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(reader));
}

TEST(CloseHandleTest, RefusesWhatIsNotOpen) {
  ScratchDir scratch;
  HANDLE handle = Open(scratch.File("f", ""), GENERIC_READ, 0);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
