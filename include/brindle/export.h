/// @file
/// Brindle's export macros.
///
/// BRINDLE_API marks what the library exports: whole classes and the free
/// functions and data of its public surface. Everything else is built hidden.
/// CMake defines BRINDLE_EXPORTS while the library itself is compiled.
///
/// Thread safety: macros only; nothing here runs.
#ifndef BRINDLE_EXPORT_H
#define BRINDLE_EXPORT_H

#include <cstddef>

#if __cplusplus < 202002L && !defined(_MSVC_LANG)
#  error "Brindle's headers need C++20 or later (-std=c++20)"
#endif

/// @def BRINDLE_API
/// Exports a class, function or datum from the library (on Windows, imports
/// it into programs).
#if defined(_WIN32)
#  if defined(BRINDLE_EXPORTS)
#    define BRINDLE_API __declspec(dllexport)
#  else
#    define BRINDLE_API __declspec(dllimport)
#  endif
#else
#  define BRINDLE_API __attribute__((visibility("default")))
#endif

/// @def BRINDLE_INLINE
/// Marks a member defined in its public header, so that a caller's compiler
/// can inline it where a call would cost more than the work (a 96-bit
/// addition, say). The library still emits and exports it, so the whole
/// member surface stays in the export table.
#if defined(_WIN32) && defined(BRINDLE_EXPORTS)
#  define BRINDLE_INLINE __attribute__((used, dllexport)) inline
#elif defined(_WIN32)
#  define BRINDLE_INLINE inline
#elif defined(BRINDLE_EXPORTS)
#  define BRINDLE_INLINE __attribute__((visibility("default"), used)) inline
#else
#  define BRINDLE_INLINE __attribute__((visibility("default"))) inline
#endif

// libstdc++ has two layouts of std::string, chosen by _GLIBCXX_USE_CXX11_ABI,
// and std::string objects cross this interface (CString). A program built
// with the other layout than the library's would crash on the first one that
// crosses, so every translation unit that includes a Brindle header refers
// to a symbol named for its own layout, and the library defines only the one
// it was built with: a mismatch fails to link, naming the layout (undefined
// reference to `brindle_std_string_abi_old`).
#if defined(_GLIBCXX_USE_CXX11_ABI) && !defined(BRINDLE_EXPORTS)
#  if _GLIBCXX_USE_CXX11_ABI
extern "C" BRINDLE_API char const brindle_std_string_abi_cxx11;
[[gnu::used]] static char const* const brindle_std_string_abi_check = &brindle_std_string_abi_cxx11;
#  else
extern "C" BRINDLE_API char const brindle_std_string_abi_old;
[[gnu::used]] static char const* const brindle_std_string_abi_check = &brindle_std_string_abi_old;
#  endif
#endif

#endif  // BRINDLE_EXPORT_H
