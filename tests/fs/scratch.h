// Test helpers for the file-system tests: a scratch directory and its files.
#ifndef BRINDLE_TESTS_FS_SCRATCH_H
#define BRINDLE_TESTS_FS_SCRATCH_H

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

#include "platform/platform.h"
#include "tests/child_process.h"
#include "tests/portable.h"

namespace brindle::testing {

// `text` with each '/' in the platform's separator.
inline std::string Native(std::string text) {
  for (char& c : text) {
    if (c == '/') c = brindle::kPathSeparator;
  }
  return text;
}

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

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_FS_SCRATCH_H
