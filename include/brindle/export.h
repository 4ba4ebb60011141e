// Brindle export macro.
//
// BRINDLE_API marks what the library exports: whole classes and the free
// functions and data of its public surface. Everything else is built hidden.
// CMake defines BRINDLE_EXPORTS while the library itself is compiled.
#ifndef BRINDLE_EXPORT_H
#define BRINDLE_EXPORT_H

#if defined(_WIN32)
#  if defined(BRINDLE_EXPORTS)
#    define BRINDLE_API __declspec(dllexport)
#  else
#    define BRINDLE_API __declspec(dllimport)
#  endif
#else
#  define BRINDLE_API __attribute__((visibility("default")))
#endif

// BRINDLE_INLINE marks a member defined in its public header, so that a
// caller's compiler can inline it where a call would cost more than the work
// (a 96-bit addition, say). The library still emits and exports it, so the
// whole member surface stays in the export table.
#if defined(_WIN32) && defined(BRINDLE_EXPORTS)
#  define BRINDLE_INLINE __attribute__((used, dllexport)) inline
#elif defined(_WIN32)
#  define BRINDLE_INLINE inline
#elif defined(BRINDLE_EXPORTS)
#  define BRINDLE_INLINE __attribute__((visibility("default"), used)) inline
#else
#  define BRINDLE_INLINE __attribute__((visibility("default"))) inline
#endif

#endif  // BRINDLE_EXPORT_H
