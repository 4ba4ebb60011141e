/// @file
/// Brindle's version, for programs and for the build alike (CMake reads the
/// numbers from here).
///
/// The major version is the shared library's SOVERSION (libbrindle.so.0): it
/// changes exactly when a release can no longer run programs built against
/// the one before. Minor releases add to the interface, patch releases fix
/// behaviour; both keep every program built against an earlier release of
/// the same major version running.
///
/// Thread safety: macros only; nothing here runs.
#ifndef BRINDLE_VERSION_H
#define BRINDLE_VERSION_H

// Each number alone on its line: CMake reads them as they stand.
/// The major version: the SOVERSION.
#define BRINDLE_VERSION_MAJOR 0
/// The minor version: releases that add to the interface.
#define BRINDLE_VERSION_MINOR 3
/// The patch version: releases that fix behaviour.
#define BRINDLE_VERSION_PATCH 0

/// The version as text, "MAJOR.MINOR.PATCH".
#define BRINDLE_VERSION_STRING "0.3.0"
/// MAJOR * 10000 + MINOR * 100 + PATCH, for `#if` comparisons.
#define BRINDLE_VERSION (BRINDLE_VERSION_MAJOR * 10000 + BRINDLE_VERSION_MINOR * 100 + BRINDLE_VERSION_PATCH)

#endif  // BRINDLE_VERSION_H
