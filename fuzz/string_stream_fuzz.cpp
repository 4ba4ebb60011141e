// The stream readers driven by plans the input chooses: a text of runs, a
// reader, a get area, flags, a throwing buffer and growth settings. Each read
// is checked against the piecewise reference: text, state, position and width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tests/text/string_model.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (!brindle::testing::CompareReads(data, size).empty()) std::abort();
  return 0;
}
