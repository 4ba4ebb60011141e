// Internals shared by the AString sources. Not installed.
#ifndef BRINDLE_TEXT_TEXT_INTERNAL_H
#define BRINDLE_TEXT_TEXT_INTERNAL_H

#include <cstdarg>

namespace brindle::detail {

// The scratch buffer in which text from outside is first built. One per
// thread, so two threads may format or read at once.
inline constexpr unsigned int kScratchSize = 1024;
char* Scratch();

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
