/// @file
/// Keyless, reversible byte scrambling: each byte's two 4-bit halves are
/// exchanged (0x41 <-> 0x14). The substitution is its own inverse, so the
/// same functions unscramble. It hides text from a casual glance and
/// protects nothing.
///
/// Thread safety: the functions keep no state and may run on any thread, at
/// once; only a buffer scrambled in place must not be touched by another
/// thread meanwhile.
#ifndef BRINDLE_SCRAMBLE_H
#define BRINDLE_SCRAMBLE_H

#include "brindle/export.h"
#include "brindle/framework.h"

/// The scrambled form of one byte.
BRINDLE_API char charEncrypt(char ch);

/// Scrambles `count` bytes of `buffer` in place (NULs are ordinary bytes) and
/// returns `count`. A null buffer or a negative count changes nothing and
/// gives 0.
BRINDLE_API int strEncrypt(char* buffer, int count);

/// A scrambled copy of `text`; the caller's string is unchanged.
BRINDLE_API CString strEncrypt(CString text);

#endif  // BRINDLE_SCRAMBLE_H
