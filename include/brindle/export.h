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

#endif  // BRINDLE_EXPORT_H
