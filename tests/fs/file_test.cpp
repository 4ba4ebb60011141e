// AFile: its path from counted text, and whether the file exists and could
// be opened for exclusive writing, and why not, from real holders; a probe
// that nothing it looks at notices.
#if !defined(_WIN32)
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>
#include <filesystem>
#include <memory>
#include <type_traits>

#include <gtest/gtest.h>

#include "brindle/fs.h"
#include "platform/platform.h"
#include "tests/fs/scratch.h"

namespace {

HANDLE Open(std::string const& path, DWORD access) {
  return CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

[[maybe_unused]] AFile::LockState StateOf(std::string const& path) { return AFile(CString(path.c_str())).GetLockState(); }

// This program, started as another process by the test below, holds the file
// named in BRINDLE_HOLD with share mode 0 until its input ends.
[[maybe_unused]] int const holder = [] {
  char const* path = std::getenv("BRINDLE_HOLD");
  if (path == nullptr) return 0;
  std::puts(Open(path, GENERIC_READ) != INVALID_HANDLE_VALUE ? "held" : "failed");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  std::exit(0);
}();

static_assert(std::has_virtual_destructor_v<AFile> && !std::is_default_constructible_v<AFile>);

TEST(AFileTest, CountedTextAndDerivedObjects) {
  char const unterminated_tail[] = {'a', 'b', '\0', 'c', 'd'};
  for (auto [text, count, path] : std::initializer_list<std::tuple<char const*, int, char const*>>{
           {"abcdef", 3, "abc"}, {"abc", 0, ""}, {"abc", -1, ""}, {nullptr, 4, ""},
           {"ab", 100, "ab"},               // stops at the terminator
           {unterminated_tail, 5, "ab"}}) {  // and never reads past it
    EXPECT_EQ(std::string(AFile(text, count).path), path) << count;
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

TEST(LockProbe, EachReasonFromARealHolder) {
  brindle::testing::ScratchDir scratch;
  std::string const mine = scratch.File("mine", "x"), theirs = scratch.File("theirs", "x");
  std::string const read_only = scratch.File("read-only", "x", 0444);
  HANDLE const own = Open(mine, GENERIC_READ);
  brindle::testing::SetEnv("BRINDLE_HOLD", theirs.c_str());
  brindle::testing::ChildProcess other({brindle::testing::ProgramPath()});
  brindle::testing::SetEnv("BRINDLE_HOLD", nullptr);
  std::string line;
  ASSERT_TRUE(other.ReadLine(&line, 120000) && line == "held" && own != INVALID_HANDLE_VALUE) << line;
  // Wine run by root opens a read-only file for writing: the system's word stands.
  HANDLE const writer = brindle::testing::kWindows ? Open(read_only, GENERIC_WRITE) : INVALID_HANDLE_VALUE;
  bool const writes_read_only = writer != INVALID_HANDLE_VALUE && CloseHandle(writer);
  struct Row { std::string path; AFile::LockState state; int is_locked; };
  std::vector<Row> rows = {
           Row{scratch / "missing", AFile::Missing, 1},
           Row{scratch / "no-dir/missing", AFile::Missing, 1},
           Row{"", AFile::Missing, 1},
           Row{scratch.path(), AFile::Directory, 1},
           Row{read_only, writes_read_only ? AFile::Free : AFile::NotWritable, writes_read_only ? 1 : 0},
           Row{theirs, AFile::HeldByOtherProcess, 0},
           Row{mine, AFile::HeldByThisProcess, 0},
           Row{brindle::testing::ProgramPath(), AFile::HeldByThisProcess, 0},  // a running program
           Row{scratch.File("free", "x"), AFile::Free, 1},
  };
  if constexpr (!brindle::testing::kWindows) {  // links are followed
    std::filesystem::create_symlink(theirs, scratch / "to-theirs");
    rows.push_back(Row{scratch / "to-theirs", AFile::HeldByOtherProcess, 0});
  }
  for (Row const& row : rows) {
    SCOPED_TRACE(row.path);
    AFile const file(CString(row.path.c_str()));
    EXPECT_EQ(file.GetLockState(), row.state);
    EXPECT_EQ(file.IsLocked(), row.is_locked);
    EXPECT_EQ(file.Exists(), row.state != AFile::Missing && row.state != AFile::Directory);
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));  // the probe created nothing
  EXPECT_TRUE(CloseHandle(own));
}

#if !defined(_WIN32)
// No inotify watcher, lease holder in another process, fcntl() lock of this
// process or blocked reader of a FIFO notices a probe.
TEST(LockProbe, NothingProbedNotices) {
  brindle::testing::ScratchDir scratch;
  std::string const leased = scratch.File("leased", "x"), locked = scratch.File("locked", "x");
  std::string const free = scratch.File("free", "x"), fifo = scratch / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  // A lease break would end the holder: SIGIO's default action.
  brindle::testing::HoldingChild lessee([&] { return !fcntl(open(leased.c_str(), O_RDONLY), F_SETLEASE, F_RDLCK); });
  brindle::testing::ChildProcess reader([&] { return open(fifo.c_str(), O_RDONLY) >= 0 && write(1, "woken\n", 6); });
  struct flock lock{F_WRLCK, SEEK_SET, 0, 0, 0};
  int const own = open(locked.c_str(), O_RDWR), watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_TRUE(lessee.held() && fcntl(own, F_SETLK, &lock) == 0);
  for (std::string const& path : {leased, locked, free}) {
    ASSERT_GE(inotify_add_watch(watcher, path.c_str(), IN_ALL_EVENTS), 0);
  }
  for (int round = 0; round < 20; ++round) {  // until the reader surely waits in its open()
    EXPECT_EQ(StateOf(leased), AFile::HeldByOtherProcess);
    EXPECT_EQ(StateOf(locked), AFile::HeldByThisProcess);
    EXPECT_EQ(StateOf(free), AFile::Free);
    EXPECT_EQ(StateOf(fifo), AFile::NotWritable);
    usleep(10000);
  }
  char events[4096];
  EXPECT_EQ(read(watcher, events, sizeof events), -1);
  std::string line;
  EXPECT_FALSE(reader.ReadLine(&line, 200)) << line;
  // Another process still sees this one's lock; and, without /proc (where it
  // may have a mount namespace of its own), its probes fall back on the open.
  brindle::testing::HoldingChild other([&] {
    struct flock probe{F_WRLCK, SEEK_SET, 0, 0, 0};
    bool const lock_kept = fcntl(open(locked.c_str(), O_RDONLY), F_GETLK, &probe) == 0 && probe.l_type == F_WRLCK;
    if (unshare(CLONE_NEWNS) != 0) return lock_kept;  // needs CAP_SYS_ADMIN
    bool const no_proc = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                         mount("none", "/proc", "tmpfs", 0, nullptr) == 0;
    return lock_kept && no_proc && StateOf(locked) == AFile::HeldByOtherProcess && StateOf(free) == AFile::Free;
  });
  EXPECT_TRUE(other.held());
  // Another process's flock() lock, and its read lock on one byte.
  for (auto const& hold : {std::function<bool()>([&] { return !flock(open(free.c_str(), O_RDONLY), LOCK_SH); }),
                           std::function<bool()>([&] {
                             struct flock one{F_RDLCK, SEEK_SET, 5, 1, 0};
                             return !fcntl(open(free.c_str(), O_RDONLY), F_SETLK, &one);
                           })}) {
    brindle::testing::HoldingChild holder(hold);
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(StateOf(free), AFile::HeldByOtherProcess);
    holder.Release();
    EXPECT_EQ(StateOf(free), AFile::Free);  // its exit let it go
  }
  lessee.Release();  // its exit status is 0: no signal ended it
  reader.Finish(0);
  for (int fd : {watcher, own}) close(fd);
}
#endif  // !_WIN32

}  // namespace
