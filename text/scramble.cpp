// Byte scrambling: the two 4-bit halves of each byte exchanged.
#include "brindle/scramble.h"

namespace {

constexpr unsigned char Swap(unsigned char b) { return static_cast<unsigned char>((b << 4) | (b >> 4)); }

static_assert(Swap(0x41) == 0x14 && Swap(0x5A) == 0xA5 && Swap(Swap(0x9C)) == 0x9C, "the half-byte exchange");

}  // namespace

char charEncrypt(char ch) { return static_cast<char>(Swap(static_cast<unsigned char>(ch))); }

int strEncrypt(char* buffer, int count) {
  if (buffer == nullptr || count < 0) return 0;
  // Computed rather than looked up: the same substitution, and the loop
  // vectorises.
  unsigned char* p = reinterpret_cast<unsigned char*>(buffer);
  for (int i = 0; i < count; ++i) p[i] = Swap(p[i]);
  return count;
}

CString strEncrypt(CString text) {
  for (int i = text.GetLength() - 1; i >= 0; --i) text.SetAt(i, charEncrypt(text.GetAt(i)));
  return text;
}
