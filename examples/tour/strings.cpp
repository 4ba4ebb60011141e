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
}
