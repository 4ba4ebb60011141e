// Character sets on POSIX: CharToOemA and OemToCharA between code pages 1252
// (ANSI) and 437 (OEM).
//
// Callers rely on: each byte of the NUL-terminated text is replaced by one
// byte, in place when source and destination are the same, so the length
// never changes; a byte with no counterpart becomes '?'.
//
// The two 256-byte tables are built once from the C library's iconv, one byte
// at a time, and only read afterwards. An iconv descriptor is not safe to share
// between threads; it is opened and closed inside the one-time build.
#include <iconv.h>

#include <array>
#include <cstddef>

#include "platform/platform.h"

namespace {

using Table = std::array<unsigned char, 256>;

// What the conversion `cd` makes of byte `b`, when that is exactly one
// byte; '?' otherwise.
unsigned char Counterpart(iconv_t cd, unsigned char b) {
  char in[1] = {static_cast<char>(b)};
  char out[8];
  char* in_ptr = in;
  char* out_ptr = out;
  std::size_t in_left = 1;
  std::size_t out_left = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  if (r != 0 || in_left != 0 || out_ptr != out + 1) return '?';
  return static_cast<unsigned char>(out[0]);
}

Table Build(char const* to, char const* from) {
  Table table;
  iconv_t cd = iconv_open(to, from);
  for (unsigned int b = 0; b < 256; ++b) {
    // Without the tables only the ASCII half, common to both, is known.
    table[b] = cd != reinterpret_cast<iconv_t>(-1) ? Counterpart(cd, static_cast<unsigned char>(b))
               : b < 0x80                          ? static_cast<unsigned char>(b)
                                                   : '?';
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  table[0] = 0;
  return table;
}

BOOL Convert(Table const& table, char const* source, char* destination) {
  if (source == nullptr || destination == nullptr) return FALSE;
  for (;;) {
    unsigned char b = static_cast<unsigned char>(*source++);
    *destination++ = static_cast<char>(table[b]);
    if (b == 0) return TRUE;
  }
}

}  // namespace

extern "C" BOOL CharToOemA(char const* source, char* destination) {
  static Table const to_oem = Build("CP437", "CP1252");
  return Convert(to_oem, source, destination);
}

extern "C" BOOL OemToCharA(char const* source, char* destination) {
  static Table const to_ansi = Build("CP1252", "CP437");
  return Convert(to_ansi, source, destination);
}
