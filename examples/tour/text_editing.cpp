// Tour: AString editing, paths, tokens, formatting and stream input.
#include <brindle/brindle.h>

#include <cstdio>
#include <sstream>

#include "examples/tour/tour.h"

namespace {

void Show(char const* label, AString const& s) { std::printf("  %-34s \"%s\"\n", label, s.c_str()); }

}  // namespace

void TextEditingTour() {
  std::printf("\nAString: editing and formatting\n");
  AString word("abcdef");
  Show("\"abcdef\".substr(1, 3)", word.substr(1, 3));
  Show("left(2), then pad(5, '.')", AString(word).left(2).pad(5, '.'));
  Show("strip(strip_both, 'x') of xxaxx", AString("xxaxx").strip(AString::strip_both, 'x'));
  for (AString::JustifyType type : {AString::justify_right, AString::justify_left, AString::justify_center}) {
    AString field(" ab ");
    field.justify(type, 8, AString::justify_strip);
    std::printf("  justify(%d, 8, justify_strip) of \" ab \"  [%s]\n", static_cast<int>(type), field.c_str());
  }
  AString cut("abcdefgh");
  cut.justify(AString::justify_center, 4, AString::justify_truncate);
  Show("centred and cut to 4", cut);
  Show("to_upper of \"mixed Case 1\"", AString("mixed Case 1").to_upper());
  std::printf("  is_digit(\"2024\") %d, is_alpha(\"abc1\") %d\n", AString("2024").is_digit(), AString("abc1").is_alpha());

  AString path("usr//");
  path ^= "/local";
  path ^= "bin";
  Show("\"usr//\" ^= \"/local\" ^= \"bin\"", path);
  Show("working directory", AString::getcwd());
  Show("this program's directory", AString::getcfd(nullptr));

  std::printf("  strtok over \"a,,b\":");
  AString token = AString::strtok("a,,b", ",");
  for (int i = 0; i < 4; ++i, token = AString::strtok(nullptr, ",")) std::printf(" \"%s\"", token.c_str());
  std::printf("  (an empty token and the end look alike)\n");

  AString format("%s has %d items costing %.2f");
  format.sprintf("cart", 3, 9.5);
  Show("member sprintf", format);
  AString wide = sprintf(AString("%0*d"), 1500, 7);
  std::printf("  sprintf of 1,500 digits: length %u, no cut at 1,023\n", wide.length());
  char out[8];
  unsigned int copied = AString("abcdef").copy(out, 3, 4);
  std::printf("  copy(out, 3, 4) of abcdef: %u characters, \"%s\"; atoi(\"42abc\") %d, atof(\"2.5\") %.1f\n", copied, out,
              AString("42abc").atoi(), AString("2.5").atof());

  std::printf("\nAString: stream input\n");
  std::istringstream lines("first line\n\nthird line without an end");
  AString line;
  for (int i = 1; line.read_line(lines), i <= 4; ++i) {
    std::printf("  read_line %d: \"%s\"  good %d eof %d fail %d\n", i, line.c_str(), lines.good(), lines.eof(),
                lines.fail());
  }
  std::istringstream words("  alpha beta\tgamma\n");
  std::printf("  read_token:");
  while (line.read_token(words), line.length() != 0) std::printf(" \"%s\"", line.c_str());
  std::printf("\n");
}
