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
  std::string const path = (std::filesystem::temp_directory_path() /
                            ("brindle-fs-" + std::to_string(bt::ProcessId()) + "-" +
                             testing::UnitTest::GetInstance()->current_test_info()->name()))
                               .string();
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
  while (std::getchar() != EOF) {
  }
  std::exit(0);
}();

// The folder variables are the test's to set; the process gets its own back.
TEST(Folders, RulesByFamilyAndVariables) {
  char const* const names[] = {"OS", "windir", "USERPROFILE"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i) {
    if (char const* value = std::getenv(names[i])) saved[i] = value;
  }
  struct Row { char const *variables[3], *system32, *desktop, *taskbar; } const rows[] = {  // null: not set
      {{"Windows_NT", "win", "ann"}, "win/System32", "win/PROFILES/All Users/Desktop", "ann/Start Menu/Programs"},
      {{"windows_nt", "win", "ann"}, "win/System", "win/Desktop", "win/Start Menu/Programs"},  // the exact name
      {{"Windows_NT", nullptr, nullptr}, "", "", ""},
      {{nullptr, nullptr, "ann"}, "", "", ""},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(&row - rows);
    for (int i = 0; i < 3; ++i) bt::SetEnv(names[i], row.variables[i]);
    EXPECT_EQ(std::string(AdirSystem32().path), Native(row.system32));
    EXPECT_EQ(std::string(AdirDesktop().path), Native(row.desktop));
    EXPECT_EQ(std::string(AdirTaskBarProgs().path), Native(row.taskbar));
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
  HANDLE const writer = bt::kWindows ? Open(read_only, W) : INVALID_HANDLE_VALUE;
  bool const writes_read_only = writer != INVALID_HANDLE_VALUE && CloseHandle(writer);
  struct Row { std::string path; AFile::LockState state; int is_locked; };
  Row const rows[] = {
      {scratch / "missing", AFile::Missing, 1}, {scratch / "no-dir/missing", AFile::Missing, 1},
      {"", AFile::Missing, 1}, {scratch.path, AFile::Directory, 1}, {scratch.File("free", "x"), AFile::Free, 1},
      {read_only, writes_read_only ? AFile::Free : AFile::NotWritable, writes_read_only ? 1 : 0},
      {theirs, AFile::HeldByOtherProcess, 0}, {mine, AFile::HeldByThisProcess, 0},
      {bt::ProgramPath(), AFile::HeldByThisProcess, 0},  // a running program
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
  // afterwards (null: no file; "?": not read).
  struct Row { std::string path; DWORD access, disposition, error; char const* contents; DWORD flags = 0; };
  Row const rows[] = {
      {fresh(), W, CREATE_NEW, ok, ""}, {old(), W, CREATE_NEW, ERROR_FILE_EXISTS, "old"},
      {fresh(), W, CREATE_ALWAYS, ok, ""}, {old(), R, CREATE_ALWAYS, exists, ""},
      {fresh(), R, OPEN_EXISTING, missing, nullptr}, {old(), W, OPEN_EXISTING, ok, "old"},
      {fresh(), W, OPEN_ALWAYS, ok, ""}, {old(), R, OPEN_ALWAYS, exists, "old"},
      {old(), W, TRUNCATE_EXISTING, ok, ""}, {fresh(), W, TRUNCATE_EXISTING, missing, nullptr},
      {old(), R, TRUNCATE_EXISTING, bad, "old"}, {old(), R, 0, bad, "old"},
      {scratch / "no-dir/new", W, OPEN_ALWAYS, no_path, nullptr},
      {old() + "/below", R, OPEN_EXISTING, no_path, nullptr},
      {scratch.path, R, OPEN_EXISTING, denied, "?"}, {scratch.path, W, OPEN_EXISTING, denied, "?"},
      {scratch.path, R, OPEN_EXISTING, ok, "?", FILE_FLAG_BACKUP_SEMANTICS},
      {fifo, W, OPEN_EXISTING, denied, "?"},  // nobody reads it: refused rather than waited on
      {fifo, R, OPEN_EXISTING, ok, "?"},
      // No write permission bit: no writing, whoever asks (the suite may run as root).
      {old(0444), W, OPEN_EXISTING, denied, "old"}, {old(0444), R | W, OPEN_ALWAYS, denied, "old"},
      {old(0444), W, TRUNCATE_EXISTING, denied, "old"}, {old(0444), R, OPEN_EXISTING, ok, "old"},
      {old(0444), R, CREATE_ALWAYS, denied, "old"},  // it would truncate
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(testing::Message() << &row - rows << ": " << row.path);
    SetLastError(12345);
    HANDLE handle = Open(row.path, row.access, 0, row.disposition, row.flags);
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(handle != INVALID_HANDLE_VALUE && CloseHandle(handle), row.error == ok || row.error == exists);
    if (row.contents == nullptr || row.contents[0] != '?') {
      EXPECT_EQ(std::filesystem::exists(row.path) ? ReadAll(row.path) : "(none)",
                row.contents != nullptr ? row.contents : "(none)");
    }
  }
  EXPECT_EQ(CreateFileA(nullptr, R, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  for (auto const& [path, attributes] : std::initializer_list<std::pair<std::string, DWORD>>{
           {old(0464), FILE_ATTRIBUTE_NORMAL}, {old(0444), FILE_ATTRIBUTE_READONLY},
           {scratch.path, FILE_ATTRIBUTE_DIRECTORY}}) {
    EXPECT_EQ(GetFileAttributesA(path.c_str()), attributes) << path;
  }
  EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
  HANDLE created = Open(fresh(), W, 0, CREATE_NEW);
  EXPECT_TRUE(CloseHandle(created));
  EXPECT_FALSE(CloseHandle(created));  // closed already
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE) || CloseHandle(nullptr));
}

// Another process's locks of each kind, as this process's opens and its lock
// probe see them: share mode 0 excludes every other opener, other share modes
// exclude only share mode 0, and truncation waits for every lock.
TEST(CreateFile, SharingWithOtherProcesses) {
  ScratchDir scratch;
  std::string const name = scratch.File("f", "data");
  AFile const file(CString(name.c_str()));
  auto record_lock = [&name](int open_mode, short type, int command) {
    return [&name, open_mode, type, command] {
      struct flock lock{type, SEEK_SET, 100, 10, 0};  // any range counts, even one past the end
      return fcntl(open(name.c_str(), open_mode), command, &lock) == 0;
    };
  };
  struct Row { std::function<bool()> hold; bool shared_opens; } const rows[] = {  // share mode 0 never opens
      {[&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_EX | LOCK_NB) == 0; }, false},
      {[&name] { return flock(open(name.c_str(), O_RDONLY), LOCK_SH | LOCK_NB) == 0; }, true},
      {record_lock(O_RDONLY, F_RDLCK, F_SETLK), true},
      {record_lock(O_WRONLY, F_WRLCK, F_SETLK), false},
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
      HANDLE shared = Open(name, access, access == W ? FILE_SHARE_READ : kShared);
      EXPECT_EQ(shared != INVALID_HANDLE_VALUE && CloseHandle(shared), row.shared_opens) << access;
    }
    HANDLE truncating = Open(name, R, kShared, CREATE_ALWAYS);
    EXPECT_EQ(truncating != INVALID_HANDLE_VALUE && CloseHandle(truncating), row.shared_opens);
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
