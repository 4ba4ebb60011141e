// Test helpers for the file-system tests: a scratch directory and its files.
#ifndef BRINDLE_TESTS_FS_SCRATCH_H
#define BRINDLE_TESTS_FS_SCRATCH_H

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/child_process.h"
#include "tests/portable.h"

namespace brindle::testing {

// `text` with each '/' in the platform's separator.
inline std::string Native(std::string text) {
  for (char& c : text) c = c == '/' ? brindle::kPathSeparator : c;
  return text;
}

// Sets the permission bits of `path` (on Windows, only whether the owner
// may write: the read-only attribute).
inline void SetMode(std::string const& path, unsigned int mode) {
  std::error_code ignored;
  std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode & 07777), ignored);
}

inline std::string ReadAll(std::string const& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh directory in the system's temporary folder, removed with
// everything in it (whatever permissions a test took away).
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<unsigned int> serial{0};
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("brindle-fs-" + std::to_string(ProcessId()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(dir);  // left by an earlier process of the same number
    EXPECT_TRUE(std::filesystem::create_directory(dir)) << dir;
    path_ = dir.string();
  }
  ~ScratchDir() {
    std::error_code ignored;
    for (auto const& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      SetMode(entry.path().string(), entry.is_directory(ignored) ? 0700 : 0600);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(ScratchDir const&) = delete;

  std::string const& path() const { return path_; }
  std::string operator/(std::string const& name) const { return path_ + "/" + name; }

  // Writes `contents` to the file `name` with permissions `mode`; returns its path.
  std::string File(std::string const& name, std::string const& contents, unsigned int mode = 0644) const {
    std::ofstream(*this / name, std::ios::binary) << contents;
    SetMode(*this / name, mode);
    return *this / name;
  }

 private:
  std::string path_;
};

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_FS_SCRATCH_H
