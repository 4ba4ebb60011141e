// The file-system classes: ADirectory and the well-known folders from their
// paths and the environment; AFile's path from counted text, and whether the
// file exists and could be opened for exclusive writing, and why not, from
// real holders; a probe that nothing it looks at notices; and, on POSIX, the
// platform layer's file calls under them.

#include "brindle/fs.h"
#include "platform/platform.h"
#include "tests/child_process.h"
#include "tests/portable.h"

namespace {

namespace bt = brindle::testing;

// `text` with each '/' in the platform's separator.
std::string Native(std::string text) {
  for (char& c : text) c = c == '/' ? brindle::kPathSeparator : c;
  return text;
}

[[maybe_unused]] std::string ReadAll(std::string const& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh directory in the system's temporary folder for the running test,
// removed with everything in it.
struct ScratchDir {
  std::string const path = (std::filesystem::temp_directory_path() / ("brindle-fs-" + std::to_string(bt::ProcessId()) +
                            "-" + testing::UnitTest::GetInstance()->current_test_info()->name())).string();
  ScratchDir() {
    Remove();  // left by an earlier process of the same number, perhaps one that was killed
    EXPECT_TRUE(std::filesystem::create_directory(path)) << path;
  }
  ~ScratchDir() { Remove(); }
  // Windows deletes no read-only file: each is made writable first.
  void Remove() const {
    namespace fs = std::filesystem;
    std::error_code ignored;
    for (auto i = fs::recursive_directory_iterator(path, ignored); i != fs::recursive_directory_iterator();
         i.increment(ignored)) {
      fs::permissions(i->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(path, ignored);
  }
  std::string operator/(std::string const& name) const { return path + "/" + name; }
  // Writes `contents` to the file `name` with permissions `mode`; returns its path.
  std::string File(std::string const& name, std::string const& contents, unsigned int mode = 0644) const {
    std::ofstream(*this / name, std::ios::binary) << contents;
    std::filesystem::permissions(*this / name, static_cast<std::filesystem::perms>(mode));
    return *this / name;
  }
};

DWORD const R = GENERIC_READ, W = GENERIC_WRITE, kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE Open(std::string const& path, DWORD access, DWORD share = 0, DWORD disposition = OPEN_EXISTING,
            DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

// Whether Open(args...) succeeds; the handle is closed again.
template <class... A> bool Opens(A... a) { HANDLE h = Open(a...); return h != INVALID_HANDLE_VALUE && CloseHandle(h); }

// Whether `child` says it holds what it was started to hold.
bool Held(bt::ChildProcess& child, int timeout_ms = 10000) {
  std::string line;
  return child.ReadLine(&line, timeout_ms) && line == "held";
}

[[maybe_unused]] AFile::LockState StateOf(std::string const& p) { return AFile(CString(p.c_str())).GetLockState(); }

// This program, started as another process by LockProbe.EachReasonFromARealHolder, holds the file
// named in BRINDLE_HOLD with share mode 0 until its input ends.
[[maybe_unused]] int const holder = [] {
  char const* path = std::getenv("BRINDLE_HOLD");
  if (path == nullptr) return 0;
  std::puts(Open(path, R) != INVALID_HANDLE_VALUE ? "held" : "failed");
  std::fflush(stdout);
  while (std::getchar() != EOF) continue;
  std::exit(0);
}();

// The folder variables are the test's to set; the process gets its own back.
TEST(Folders, RulesByFamilyAndVariables) {
  char const* const names[] = {"OS", "windir", "USERPROFILE"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i) if (char const* value = std::getenv(names[i])) saved[i] = value;
  // The variables (null: not set), then System32|Desktop|TaskBarProgs.
  struct Row { char const *variables[3], *folders; } const rows[] = {
      {{"Windows_NT", "win", "ann"}, "win/System32|win/PROFILES/All Users/Desktop|ann/Start Menu/Programs"},
      {{"windows_nt", "win", "ann"}, "win/System|win/Desktop|win/Start Menu/Programs"},  // the exact name
      {{"Windows_NT", nullptr, nullptr}, "||"}, {{nullptr, nullptr, "ann"}, "||"},
  };
  for (Row const& row : rows) {
    for (int i = 0; i < 3; ++i) bt::SetEnv(names[i], row.variables[i]);
    EXPECT_EQ(std::string(AdirSystem32().path) + "|" + std::string(AdirDesktop().path) + "|" +
              std::string(AdirTaskBarProgs().path), Native(row.folders)) << &row - rows;
  }
  for (int i = 0; i < 3; ++i) bt::SetEnv(names[i], saved[i] ? saved[i]->c_str() : nullptr);
}

// Paths from counted text (stopping at a terminator, never reading past
// it), and a directory joined with a name (null: empty).
TEST(Paths, CountedTextAndJoins) {
  char const unterminated_tail[] = {'a', 'b', '\0', 'c', 'd'};
  std::string paths;
  for (CString const& path : {AFile("abcdef", 3).path, AFile(nullptr, 4).path, AFile("ab", -1).path,
                              AFile(unterminated_tail, 5).path, (ADirectory(nullptr) ^ nullptr).path,
                              (ADirectory("s") ^ "l").path}) paths += static_cast<char const*>(path);
  EXPECT_EQ(paths, Native("abcab/s/l"));
}

TEST(LockProbe, EachReasonFromARealHolder) {
  ScratchDir scratch;
  std::string const mine = scratch.File("mine", "x"), theirs = scratch.File("theirs", "x");
  std::string const read_only = scratch.File("read-only", "x", 0444);
  HANDLE const own = Open(mine, R);
  bt::SetEnv("BRINDLE_HOLD", theirs.c_str());
  bt::ChildProcess other({bt::ProgramPath()});
  bt::SetEnv("BRINDLE_HOLD", nullptr);
  ASSERT_TRUE(Held(other, 120000) && own != INVALID_HANDLE_VALUE);
  // Wine run by root opens a read-only file for writing: the system's word stands.
  bool const writes_read_only = bt::kWindows && Opens(read_only, W);
  struct Row { std::string path; AFile::LockState state; int is_locked; };
  Row const rows[] = {
      {scratch / "missing", AFile::Missing, 1}, {"", AFile::Missing, 1}, {scratch.path, AFile::Directory, 1},
      {scratch.File("free", "x"), AFile::Free, 1}, {theirs, AFile::HeldByOtherProcess, 0},
      {read_only, writes_read_only ? AFile::Free : AFile::NotWritable, writes_read_only ? 1 : 0},
      {mine, AFile::HeldByThisProcess, 0}, {bt::ProgramPath(), AFile::HeldByThisProcess, 0},  // a running program
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.path);
    AFile const file(CString(row.path.c_str()));
    EXPECT_EQ(file.GetLockState(), row.state);
    EXPECT_EQ(file.IsLocked(), row.is_locked);
    EXPECT_EQ(file.Exists(), row.state != AFile::Missing && row.state != AFile::Directory);
    EXPECT_EQ(ADirectory(row.path.c_str()).ExistsAsDirectory(), row.state == AFile::Directory);
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));  // the probe created nothing
  EXPECT_TRUE(CloseHandle(own));
}

#if !defined(_WIN32)
// The platform layer's file calls, the copy compiled into this program: the
// one that holds files as another user of the file would.

// Each disposition on a missing and an existing file, and why an open is
// refused: nothing is created or truncated on the way; and the attributes
// that only a caller of the calls sees (the classes look at the directory bit
// alone).
TEST(CreateFile, DispositionsRefusalsAndAttributes) {
  ScratchDir scratch;
  int serial = 0;
  auto old = [&](unsigned int mode = 0644) { return scratch.File("old" + std::to_string(++serial), "old", mode); };
  auto fresh = [&] { return scratch / ("new" + std::to_string(++serial)); };
  std::string const fifo = scratch / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  DWORD const ok = ERROR_SUCCESS, exists = ERROR_ALREADY_EXISTS, missing = ERROR_FILE_NOT_FOUND,
              bad = ERROR_INVALID_PARAMETER, denied = ERROR_ACCESS_DENIED, no_path = ERROR_PATH_NOT_FOUND;
  // The error after the call (ERROR_SUCCESS or ERROR_ALREADY_EXISTS when it opens) and the contents
  // afterwards ("?": not read).
  char const* const none = "(none)";
  struct Row { std::string path; DWORD access, disposition, error; char const* contents; DWORD flags = 0; };
  Row const rows[] = {
      {fresh(), W, CREATE_NEW, ok, ""}, {old(), W, CREATE_NEW, ERROR_FILE_EXISTS, "old"},
      {fresh(), W, CREATE_ALWAYS, ok, ""}, {old(), R, CREATE_ALWAYS, exists, ""},
      {fresh(), R, OPEN_EXISTING, missing, none}, {old(), W, OPEN_EXISTING, ok, "old"},
      {fresh(), W, OPEN_ALWAYS, ok, ""}, {old(), R, OPEN_ALWAYS, exists, "old"},
      {old(), W, TRUNCATE_EXISTING, ok, ""}, {fresh(), W, TRUNCATE_EXISTING, missing, none},
      {old(), R, TRUNCATE_EXISTING, bad, "old"}, {old(), R, 0, bad, "old"},
      {scratch / "no-dir/new", W, OPEN_ALWAYS, no_path, none}, {old() + "/below", R, OPEN_EXISTING, no_path, none},
      {scratch.path, R, OPEN_EXISTING, denied, "?"}, {scratch.path, W, OPEN_EXISTING, denied, "?"},
      {scratch.path, R, OPEN_EXISTING, ok, "?", FILE_FLAG_BACKUP_SEMANTICS},
      {fifo, R, OPEN_EXISTING, ok, "?"}, {fifo, W, OPEN_EXISTING, denied, "?"},  // no reader: W refused, not waited on
      // No write permission bit: no writing, whoever asks (the suite may run as root).
      {old(0444), W, OPEN_EXISTING, denied, "old"}, {old(0444), R | W, OPEN_ALWAYS, denied, "old"},
      {old(0444), W, TRUNCATE_EXISTING, denied, "old"}, {old(0444), R, OPEN_EXISTING, ok, "old"},
      {old(0444), R, CREATE_ALWAYS, denied, "old"},  // it would truncate
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(testing::Message() << &row - rows << ": " << row.path);
    SetLastError(12345);
    EXPECT_EQ(Opens(row.path, row.access, 0, row.disposition, row.flags), row.error == ok || row.error == exists);
    EXPECT_EQ(GetLastError(), row.error);  // a closing that succeeds leaves it
    if (row.contents[0] != '?') {
      EXPECT_EQ(std::filesystem::exists(row.path) ? ReadAll(row.path) : none, row.contents);
    }
  }
  EXPECT_EQ(CreateFileA(nullptr, R, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  // A write bit for the group alone still counts; the directory bit is the only other one.
  EXPECT_TRUE(GetFileAttributesA(old(0464).c_str()) == FILE_ATTRIBUTE_NORMAL &&
              GetFileAttributesA(old(0444).c_str()) == FILE_ATTRIBUTE_READONLY &&
              GetFileAttributesA(scratch.path.c_str()) == FILE_ATTRIBUTE_DIRECTORY &&
              GetFileAttributesA(nullptr) == INVALID_FILE_ATTRIBUTES);
  HANDLE created = Open(fresh(), W, 0, CREATE_NEW);
  EXPECT_TRUE(CloseHandle(created) && !CloseHandle(created) && GetLastError() == ERROR_INVALID_HANDLE);  // twice
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE) || CloseHandle(nullptr));
}

// Another process's locks of each kind, as this process's opens and its lock
// probe see them: share mode 0 excludes every other opener, other share modes
// exclude only share mode 0, and truncation waits for every lock.
TEST(CreateFile, SharingWithOtherProcesses) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "data");
  AFile const file(CString(name.c_str()));
  auto record_lock = [&name](int open_mode, short type) {
    return [&name, open_mode, type] {
      struct flock lock{type, SEEK_SET, 100, 10, 0};  // any range counts, even one past the end
      return fcntl(open(name.c_str(), open_mode), F_SETLK, &lock) == 0;
    };
  };
  struct Row { std::function<bool()> hold; bool shared_opens; } const rows[] = {  // share mode 0 never opens
      {[&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_EX | LOCK_NB) == 0; }, false},
      {[&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_SH | LOCK_NB) == 0; }, true},
      {record_lock(O_RDONLY, F_RDLCK), true}, {record_lock(O_WRONLY, F_WRLCK), false},
      {[&name] { return Open(name, R, 0) != INVALID_HANDLE_VALUE; }, false},
      {[&name] { return Open(name, W, FILE_SHARE_READ) != INVALID_HANDLE_VALUE; }, true},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(&row - rows);
    scratch.File("f", "data");
    bt::ChildProcess child(row.hold);
    ASSERT_TRUE(Held(child));
    EXPECT_EQ(file.GetLockState(), AFile::HeldByOtherProcess);
    for (DWORD access : {R, W, R | W}) {
      EXPECT_EQ(Open(name, access, 0) == INVALID_HANDLE_VALUE ? GetLastError() : 0, ERROR_SHARING_VIOLATION);
      EXPECT_EQ(Opens(name, access, access == W ? FILE_SHARE_READ : kShared), row.shared_opens) << access;
    }
    EXPECT_EQ(Opens(name, R, kShared, CREATE_ALWAYS), row.shared_opens);  // truncating
    EXPECT_EQ(ReadAll(name), row.shared_opens ? "" : "data");
    EXPECT_EQ(child.Finish(10000), 0);
    EXPECT_EQ(file.GetLockState(), AFile::Free);  // its exit let it go
  }
}

// No lease holder in another process, fcntl() lock of this process or blocked
// reader of a FIFO notices a probe: it opens nothing.
TEST(LockProbe, NothingProbedNotices) {
  ScratchDir scratch;
  std::string const leased = scratch.File("leased", "x"), locked = scratch.File("locked", "x");
  std::string const fifo = scratch / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  // A lease break would end the holder: SIGIO's default action.
  bt::ChildProcess lessee([&] { return !fcntl(open(leased.c_str(), O_RDONLY), F_SETLEASE, F_RDLCK); });
  bt::ChildProcess reader([&] { return open(fifo.c_str(), O_RDONLY) >= 0; });
  struct flock lock{F_WRLCK, SEEK_SET, 0, 0, 0};
  int const own = open(locked.c_str(), O_RDWR);
  ASSERT_TRUE(Held(lessee) && fcntl(own, F_SETLK, &lock) == 0);
  for (int round = 0; round < 20; ++round) {  // until the reader surely waits in its open()
    EXPECT_EQ(StateOf(leased), AFile::HeldByOtherProcess);
    EXPECT_EQ(StateOf(locked), AFile::HeldByThisProcess);
    EXPECT_EQ(StateOf(fifo), AFile::NotWritable);
    usleep(10000);
  }
  EXPECT_FALSE(Held(reader, 200)) << "the FIFO's reader woke";
  EXPECT_EQ(lessee.Finish(10000), 0);  // no signal ended it
  reader.Finish(0);
  // Without /proc (where it may have a mount namespace of its own) another
  // process's probes fall back on the open, and still see this one's lock.
  bt::ChildProcess other([&] {
    if (unshare(CLONE_NEWNS) != 0) return true;  // needs CAP_SYS_ADMIN
    bool const no_proc = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                         mount("none", "/proc", "tmpfs", 0, nullptr) == 0;
    return no_proc && StateOf(locked) == AFile::HeldByOtherProcess && StateOf(leased) == AFile::Free;
  });
  EXPECT_TRUE(Held(other));
  close(own);
}
#endif  // !_WIN32

}  // namespace
