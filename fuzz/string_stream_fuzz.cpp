// The stream readers driven by arbitrary input: a delimiter, a mode byte and
// the text. Each read is checked against the piecewise reference (text,
// state and position, through a stream buffer with a small get area) and
// against the input itself: what was read is the input consumed, less the
// delimiter taken (or the whitespace skipped before a token) and NUL bytes.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "brindle/astring.h"
#include "tests/text/stream_reference.h"

namespace {

using brindle::testing::ReadPosition;

void Require(bool ok) {
  if (!ok) std::abort();
}

std::string WithoutNul(std::string text) {
  std::erase(text, '\0');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (size < 2) return 0;
  char const delim = static_cast<char>(data[0]);
  std::uint8_t const mode = data[1];
  std::string const input(reinterpret_cast<char const*>(data) + 2, size - 2);

  std::size_t const chunk = 1 + (mode >> 3) * (mode >> 3);  // 1 to 962 characters per get area
  brindle::testing::ChunkedBuffer buffer(input, chunk);
  std::istream ours(&buffer);
  std::istringstream theirs(input);
  if ((mode & 4) != 0) {
    ours >> std::noskipws;
    theirs >> std::noskipws;
  }
  AString text;
  std::string expected;
  for (unsigned int step = 0; step < 512; ++step) {
    // The readers in turn, or one of them throughout.
    unsigned int reader = (mode & 3) == 3 ? step % 3 : mode & 3;
    std::size_t before = ReadPosition(ours);
    if (reader == 2) {
      text.read_token(ours);
      brindle::testing::ReferenceReadToken(theirs, input, expected);
    } else {
      char d = reader == 0 ? delim : '\n';
      if (reader == 0) {
        text.read_to_delim(ours, d);
      } else {
        text.read_line(ours);
      }
      brindle::testing::ReferenceReadToDelim(theirs, d, expected);
    }
    std::size_t after = ReadPosition(ours);
    Require(expected == text.c_str() && ours.rdstate() == theirs.rdstate() && after == ReadPosition(theirs));
    Require(text.length() == expected.size() && (text.length() == 0) == (text.is_null() == 1));
    Require(text.reserve() == AString(text.c_str()).reserve());  // the capacity rule's

    std::string consumed = input.substr(before, after - before);
    if (reader == 2) {
      if ((mode & 4) == 0) {
        std::size_t skipped = 0;
        while (skipped < consumed.size() && std::isspace(static_cast<unsigned char>(consumed[skipped]))) ++skipped;
        consumed.erase(0, skipped);
      }
    } else {
      char d = reader == 0 ? delim : '\n';
      if (ours.good() && !consumed.empty() && consumed.back() == d) consumed.pop_back();
    }
    Require(WithoutNul(consumed) == text.c_str());
    if (!ours.good()) break;
  }
  return 0;
}
