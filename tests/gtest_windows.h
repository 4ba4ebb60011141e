// Forced into GoogleTest's own sources on Windows. GoogleTest copies each
// failure to the debugger with OutputDebugStringA, which raises an exception
// to reach one; under Wine on an instruction-set emulator unwinding that
// exception brings the process down, so the first failing assertion would
// end the whole program. The failures are printed to stdout all the same.
#ifndef BRINDLE_TESTS_GTEST_WINDOWS_H
#define BRINDLE_TESTS_GTEST_WINDOWS_H

#include <windows.h>

inline void BrindleNoDebuggerOutput(char const*) {}
#define OutputDebugStringA BrindleNoDebuggerOutput

#endif  // BRINDLE_TESTS_GTEST_WINDOWS_H
