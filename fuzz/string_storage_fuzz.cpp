// AString storage driven by arbitrary operation sequences, checked after
// every step against the reference model: text, length and exact capacity,
// self-reference and growth-setting changes included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "brindle/astring.h"
#include "tests/text/string_model.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  brindle::testing::OpSource in(data, size);
  AString s;
  brindle::testing::StringModel m;
  for (int steps = 0; steps < 64 && !in.empty(); ++steps) {
    brindle::testing::Step(s, m, in);
    if (!brindle::testing::Mismatch(s, m).empty()) std::abort();
  }
  AString::initial_capacity(16);
  AString::resize_increment(32);
  return 0;
}
