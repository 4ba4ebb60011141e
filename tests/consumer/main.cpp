#include <brindle/brindle.h>

#include <cstdio>
#include <cstring>

int main() {
  AString s("installed");
  s << ' ' << 42;
  std::printf("%s\n", s.c_str());
  return std::strcmp(s.c_str(), "installed 42") == 0 && s.reserve() == 16 ? 0 : 1;
}
