// Tour: AString.
#include <brindle/brindle.h>

#include <cstdio>

#include "examples/tour/tour.h"

namespace {

// The program's own string resources, found by LoadStringA and AString.
const brindle::StringTable tour_strings = {
    {100, "Brindle tour"},
    {101, "strings grow by a fixed rule"},
};

void Show(char const* label, AString const& s) {
  std::printf("  %-28s \"%s\"  length %u, capacity %u\n", label, s.c_str(), s.length(), s.reserve());
}

}  // namespace

void StringTour() {
  std::printf("\nAString: storage and growth\n");
  AString s("abc");
  Show("AString(\"abc\")", s);
  s.append("0123456789abc");
  Show("after append of 13", s);
  s.prepend('>', 2);
  Show("prepend('>', 2)", s);
  s.insert(5, AString("[ins]"));
  Show("insert(5, \"[ins]\")", s);
  s.remove(0, 2);
  Show("remove(0, 2)", s);
  AString self("ab");
  self.insert(1, self);
  Show("\"ab\" inserted into itself", self);
  AString numbers;
  numbers << "pi is about " << 3.14159 << ", answer " << 42;
  Show("numbers by <<", numbers);
  Show("AString(7, \"%03d\")", AString(7, "%03d"));
  Show("resource 101", AString(101u, static_cast<HINSTANCE>(nullptr)));
  std::printf("  growth settings: initial capacity %u, resize increment %u\n", AString::get_initial_capacity(),
              AString::get_resize_increment());

  std::printf("\nAString: search and checksums\n");
  AString text("the quick brown fox jumps over the lazy dog");
  std::printf("  text: \"%s\"\n", text.c_str());
  std::printf("  find(\"the\") %u, rfind(\"the\") %u, find('z') %u, find(\"cat\") 0x%X (not found)\n",
              text.find("the"), text.rfind("the"), text.find('z'), text.find("cat"));
  std::printf("  find_first_of(\"aeiou\") %u, find_last_not_of(\"dog \") %u\n", text.find_first_of(AString("aeiou")),
              text.find_last_not_of(AString("dog ")));
  std::printf("  compare(\"the\") %d, compare(\"zebra\") %d\n", text.compare("the"), text.compare("zebra"));
  AString replaced(text);
  int made = replaced.replace(AString("the"), AString("a"));
  std::printf("  replace(\"the\", \"a\") made %d: \"%s\"\n", made, replaced.c_str());
  std::printf("  Hash 0x%08X, crc16 0x%04X; crc16 of \"123456789\" is 0x%04X\n", text.Hash(), text.crc16(),
              AString("123456789").crc16());

  char secret[] = "Brindle";
  strEncrypt(secret, 7);
  std::printf("  strEncrypt(\"Brindle\") gives bytes");
  for (int i = 0; i < 7; ++i) std::printf(" %02X", static_cast<unsigned char>(secret[i]));
  strEncrypt(secret, 7);
  std::printf(", and again \"%s\"\n", secret);
}
