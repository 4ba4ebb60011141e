// The few process services the tests need that differ between POSIX and
// Windows: the environment, the program's own path and loading a module.
#ifndef BRINDLE_TESTS_PORTABLE_H
#define BRINDLE_TESTS_PORTABLE_H

#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#endif

#include "brindle/platform_types.h"

namespace brindle::testing {

#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// Sets the environment variable `name`, or removes it when `value` is null.
inline void SetEnv(char const* name, char const* value) {
#if defined(_WIN32)
  _putenv_s(name, value != nullptr ? value : "");  // an empty value removes it
#else
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

// Set by scripts/windows.sh when Wine itself runs under an instruction-set
// emulator (a kernel without 32-bit support): there two threads running at
// once crash the emulator, whatever they run, so tests of threads racing
// skip.
inline bool EmulatedCpu() { return std::getenv("BRINDLE_EMULATED_CPU") != nullptr; }
inline constexpr char kEmulatedCpuSkip[] = "racing threads crash the CPU emulator under Wine";

inline int ProcessId() {
#if defined(_WIN32)
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

// The full path of the running program.
inline std::string ProgramPath() {
#if defined(_WIN32)
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n < MAX_PATH ? n : 0);
#else
  return std::filesystem::read_symlink("/proc/self/exe").string();
#endif
}

// Loads the module (shared library or DLL) at `path`; null on failure.
inline HINSTANCE LoadModule(char const* path) {
#if defined(_WIN32)
  return LoadLibraryA(path);
#else
  return static_cast<HINSTANCE>(dlopen(path, RTLD_NOW | RTLD_LOCAL));
#endif
}

// Unloads a module from LoadModule(); true on success.
inline bool UnloadModule(HINSTANCE module) {
#if defined(_WIN32)
  return FreeLibrary(module) != 0;
#else
  return dlclose(module) == 0;
#endif
}

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_PORTABLE_H
