// What every test program shares: the standard and system headers the tests
// use (so that each test file names only the units it tests), GoogleTest,
// and the few process services that differ between POSIX and Windows: the
// environment, the program's own path and loading a module.
#ifndef BRINDLE_TESTS_PORTABLE_H
#define BRINDLE_TESTS_PORTABLE_H

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <bitset>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/platform_types.h"

namespace brindle::testing {

// SetEnv removes the variable when `value` is null; LoadModule gives null
// on failure, UnloadModule true on success.
#if defined(_WIN32)
inline constexpr bool kWindows = true;
inline void SetEnv(char const* name, char const* value) { _putenv_s(name, value != nullptr ? value : ""); }
inline int ProcessId() { return _getpid(); }
inline std::string ProgramPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n < MAX_PATH ? n : 0);
}
inline HINSTANCE LoadModule(char const* path) { return LoadLibraryA(path); }
inline bool UnloadModule(HINSTANCE module) { return FreeLibrary(module) != 0; }
#else
inline constexpr bool kWindows = false;
inline void SetEnv(char const* name, char const* value) { value != nullptr ? setenv(name, value, 1) : unsetenv(name); }
inline int ProcessId() { return static_cast<int>(getpid()); }
inline std::string ProgramPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }
inline HINSTANCE LoadModule(char const* path) { return static_cast<HINSTANCE>(dlopen(path, RTLD_NOW | RTLD_LOCAL)); }
inline bool UnloadModule(HINSTANCE module) { return dlclose(module) == 0; }
#endif

// Set by scripts/windows.sh when Wine itself runs under an instruction-set
// emulator (a kernel without 32-bit support): there two threads running at
// once crash the emulator, whatever they run, so tests of threads racing
// skip.
inline bool EmulatedCpu() { return std::getenv("BRINDLE_EMULATED_CPU") != nullptr; }
inline constexpr char kEmulatedCpuSkip[] = "racing threads crash the CPU emulator under Wine";

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_PORTABLE_H
