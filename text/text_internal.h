// Internals shared by the AString sources. Not installed.
#ifndef BRINDLE_TEXT_TEXT_INTERNAL_H
#define BRINDLE_TEXT_TEXT_INTERNAL_H

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace brindle::detail {

// The scratch buffer in which text from outside is first built. One per
// thread, so two threads may format or read at once.
inline constexpr unsigned int kScratchSize = 1024;
char* Scratch();

// How many characters assign() takes from `text` at `pos`, at most `len`:
// min(strlen(text) - pos, len), or 0 when that is nothing. The text is read
// no further than pos + len, so a bounded request never scans a long text.
[[gnu::always_inline]] inline unsigned int Span(char const* text, unsigned int pos, unsigned int len) {
  if (text == nullptr || len == 0) return 0;
  // pos + len may pass SIZE_MAX where size_t has 32 bits.
  std::uint64_t const end = std::uint64_t{pos} + len;
  std::size_t n = strnlen(text, end > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(end));
  if (n <= pos) return 0;
  return static_cast<unsigned int>(std::min<std::size_t>(n - pos, len));
}

// Releases a string block (null is fine). Blocks are taken by
// AString::reserve() and carry a header of their own, so only this may free
// them.
void FreeBlock(char* text);

// How many bytes (text and terminator) a string block holds: never less than
// the capacity of the string that owns it, and possibly more.
unsigned int BlockRoom(char const* text);

// The capacity the growth rule gives `n` characters (AString::reserve()).
unsigned int RuleCapacity(unsigned int n);

// The printf-style result of a format, whole at any length: in the scratch
// buffer when it fits, else in a heap block of its own. text() is the empty
// text when formatting fails. Holds the scratch buffer: no other use of it
// may overlap the object's life.
class Formatted {
 public:
  Formatted(char const* format, std::va_list args);
  Formatted(Formatted const&) = delete;
  Formatted& operator=(Formatted const&) = delete;
  ~Formatted();

  char const* text() const { return text_; }
  // The value vsnprintf gave: the length of the result, or negative.
  int result() const { return result_; }

 private:
  char* heap_;
  char const* text_;
  int result_;
};

}  // namespace brindle::detail

#endif  // BRINDLE_TEXT_TEXT_INTERNAL_H
