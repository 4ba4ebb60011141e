// AString storage driven by arbitrary operation sequences, checked after
// every step against the reference model: text, length and exact capacity,
// self-reference and growth-setting changes included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tests/text/string_model.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (!brindle::testing::RunOps(data, size).empty()) std::abort();
  return 0;
}
