// The stream readers driven by arbitrary input: a delimiter, a reader, a
// mode byte and the text. Each read is checked against the piecewise reference: text,
// state and position, through a stream buffer with a small get area.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/text/string_model.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (size < 3) return 0;
  brindle::testing::ReadPlan plan;
  plan.delim = static_cast<char>(data[0]);
  plan.reader = data[1] % 6;                          // one reader throughout, or each in turn
  plan.skipws = (data[2] & 4) == 0;
  plan.chunk = 1 + (data[2] >> 3) * (data[2] >> 3);  // 1 to 962 characters per get area
  plan.input.assign(reinterpret_cast<char const*>(data) + 3, size - 3);
  if (!brindle::testing::CompareReads(plan).empty()) std::abort();
  return 0;
}
