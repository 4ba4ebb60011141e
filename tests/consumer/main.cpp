#include <brindle/brindle.h>

#include <cstdio>
#include <cstring>

int main() {
  AString s("installed");
  s << ' ' << 42;
  CString a("same"), b("same");
  std::printf("%s %s (C++ %ld)\n", s.c_str(), BRINDLE_VERSION_STRING, static_cast<long>(__cplusplus));
  return std::strcmp(s.c_str(), "installed 42") == 0 && s.reserve() == 16 && a == b ? 0 : 1;
}
