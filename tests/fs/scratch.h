// Test helpers for the file-system tests: a scratch directory and, on POSIX,
// a child process that holds a file while the parent looks at it.
#ifndef BRINDLE_TESTS_FS_SCRATCH_H
#define BRINDLE_TESTS_FS_SCRATCH_H

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/portable.h"

namespace brindle::testing {

// Sets the permission bits of `path` (on Windows, only whether the owner
// may write: the read-only attribute).
inline void SetMode(std::string const& path, unsigned int mode) {
  std::error_code ignored;
  std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode & 07777), ignored);
}

// A fresh directory in the system's temporary folder, removed with
// everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<unsigned int> serial{0};
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && path_.empty() && !error; ++attempt) {
      std::filesystem::path dir = base / ("brindle-fs-" + std::to_string(ProcessId()) + "-" + std::to_string(serial++));
      if (std::filesystem::create_directory(dir, error)) path_ = dir.string();
    }
    EXPECT_FALSE(path_.empty()) << "no scratch directory: " << error.message();
  }
  ~ScratchDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    // Permissions a test took away must not keep anything from being removed.
    for (auto const& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      SetMode(entry.path().string(), entry.is_directory(ignored) ? 0700 : 0600);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(ScratchDir const&) = delete;
  ScratchDir& operator=(ScratchDir const&) = delete;

  std::string const& path() const { return path_; }
  std::string operator/(std::string const& name) const { return path_ + "/" + name; }

  // Writes `contents` to the file `name` with permissions `mode`; returns its path.
  std::string File(std::string const& name, std::string const& contents, unsigned int mode = 0644) const {
    std::string file = *this / name;
    std::ofstream(file, std::ios::binary) << contents;
    SetMode(file, mode);
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
  std::error_code ignored;
  return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found &&
         !ignored;
}

#if !defined(_WIN32)

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

#endif  // !_WIN32

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_FS_SCRATCH_H
