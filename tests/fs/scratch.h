// Test helpers for the file-system tests: a scratch directory and a child
// process that holds a file while the parent looks at it.
#ifndef BRINDLE_TESTS_FS_SCRATCH_H
#define BRINDLE_TESTS_FS_SCRATCH_H

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace brindle::testing {

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    char const* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/brindle-fs-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    EXPECT_FALSE(path_.empty()) << "mkdtemp failed";
  }
  ~ScratchDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    // Permissions a test took away must not keep anything from being removed.
    for (auto const& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      if (entry.is_directory(ignored)) chmod(entry.path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(ScratchDir const&) = delete;
  ScratchDir& operator=(ScratchDir const&) = delete;

  std::string const& path() const { return path_; }
  std::string operator/(std::string const& name) const { return path_ + "/" + name; }

  // Writes `contents` to the file `name` with permissions `mode`; returns its path.
  std::string File(std::string const& name, std::string const& contents, mode_t mode = 0644) const {
    std::string file = *this / name;
    std::ofstream(file, std::ios::binary) << contents;
    chmod(file.c_str(), mode);
    return file;
  }

 private:
  std::string path_;
};

inline std::string ReadAll(std::string const& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool PathExists(std::string const& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// A forked child that runs `hold`, tells the parent whether it succeeded, and
// keeps whatever it holds until Release() (or the parent's exit) closes the
// pipe it waits on. Fork before opening anything the child must not share:
// a forked child shares its parent's open file descriptions and their locks.
class HoldingChild {
 public:
  explicit HoldingChild(std::function<bool()> const& hold) {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0) return;
    if (pipe(release) != 0) {
      close(ready[0]);
      close(ready[1]);
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      // Other children must see their own release when it comes.
      for (int fd : ReleaseEnds()) close(fd);
      char const report = hold() ? 'r' : 'f';
      ssize_t written = write(ready[1], &report, 1);
      char byte;
      while (read(release[0], &byte, 1) > 0) {
      }
      _exit(written == 1 ? 0 : 1);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    ReleaseEnds().push_back(release_);
    if (pid_ < 0) {
      close(ready[0]);
      return;
    }
    char report = 'f';
    ssize_t n;
    do {
      n = read(ready[0], &report, 1);
    } while (n < 0 && errno == EINTR);
    held_ = n == 1 && report == 'r';
    close(ready[0]);
  }
  ~HoldingChild() { Release(); }
  HoldingChild(HoldingChild const&) = delete;
  HoldingChild& operator=(HoldingChild const&) = delete;

  // Whether the child is holding what it was asked to hold.
  bool held() const { return held_; }

  // Lets the child go and waits for it to end.
  void Release() {
    if (release_ >= 0) {
      close(release_);
      std::erase(ReleaseEnds(), release_);
    }
    release_ = -1;
    if (pid_ > 0) {
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }
    pid_ = -1;
    held_ = false;
  }

 private:
  // The pipe ends by which the live children are released.
  static std::vector<int>& ReleaseEnds() {
    static std::vector<int> ends;
    return ends;
  }

  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_FS_SCRATCH_H
