// AString editing: cutting, padding, stripping and justifying, case and
// character classes, character sets, resources, paths, the tokeniser,
// printf-style formatting, copying out and number conversion.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "brindle/astring.h"
#include "platform/platform.h"
#include "text/string_paths.h"
#include "text/text_internal.h"

namespace {

using brindle::detail::Formatted;
using brindle::detail::kScratchSize;
using brindle::detail::Scratch;

template <class Convert>
void ConvertEach(char* text, unsigned int n, Convert convert) {
  for (unsigned int i = 0; i < n; ++i) {
    text[i] = static_cast<char>(convert(static_cast<unsigned char>(text[i])));
  }
}

template <class Test>
int EveryOneIs(char const* text, unsigned int n, Test test) {
  if (n == 0) return 0;
  for (unsigned int i = 0; i < n; ++i) {
    if (test(static_cast<unsigned char>(text[i])) == 0) return 0;
  }
  return 1;
}

// The tokeniser's state: the thread's private copy of its last text and the
// cursor into it. The copy lives until the thread gives a new text, or until
// the thread ends, when the destructor releases it.
struct Tokenizer {
  char* copy = nullptr;
  char* cursor = nullptr;

  Tokenizer() = default;
  Tokenizer(Tokenizer const&) = delete;
  Tokenizer& operator=(Tokenizer const&) = delete;
  ~Tokenizer() { delete[] copy; }
};

Tokenizer& ThreadTokenizer() {
  thread_local Tokenizer tokenizer;
  return tokenizer;
}

// The value the leading part of `text` spells, as strtol reads it, limited to
// the 32-bit range (where the C library's atoi and atol leave it undefined).
std::int32_t Leading32(char const* text) {
  int saved = errno;  // atoi and atol do not report range errors
  long long value = std::strtoll(text, nullptr, 10);
  errno = saved;
  return static_cast<std::int32_t>(std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}

// Runs va_end however the scope is left.
class ArgumentsEnd {
 public:
  explicit ArgumentsEnd(std::va_list& args) : args_(args) {}
  ArgumentsEnd(ArgumentsEnd const&) = delete;
  ArgumentsEnd& operator=(ArgumentsEnd const&) = delete;
  ~ArgumentsEnd() { va_end(args_); }

 private:
  std::va_list& args_;
};

}  // namespace

// --- Cutting, padding, stripping, justifying ----------------------------------------

AString& AString::left(unsigned int n) { return assign(buffer_, 0, n); }

AString& AString::right(unsigned int n) { return assign(buffer_, n >= length_ ? 0 : length_ - n, n); }

AString& AString::mid(unsigned int pos, unsigned int n) { return assign(buffer_, pos, n); }

AString AString::substr(unsigned int pos, unsigned int len) const { return AString(*this, pos, len); }

AString AString::operator()(unsigned int pos, unsigned int len) const { return AString(*this, pos, len); }

AString& AString::pad(unsigned int width, char ch) {
  if (ch == '\0') return *this;
  auto missing = static_cast<std::int32_t>(width - length_);  // wraps: a width far above is negative
  if (missing > 0) append(ch, static_cast<unsigned int>(missing));
  return *this;
}

AString& AString::strip(StripType type, char ch) {
  if (ch == '\0' || buffer_ == nullptr) return *this;
  // Both runs are found first, so the text moves at most once, and not at
  // all when nothing is stripped.
  unsigned int begin = 0;
  unsigned int end = length_;
  if (type == strip_trailing || type == strip_both) {
    while (end > 0 && buffer_[end - 1] == ch) --end;
  }
  if (type == strip_leading || type == strip_both) {
    while (begin < end && buffer_[begin] == ch) ++begin;
  }
  if (begin == 0 && end == length_) return *this;
  if (begin == end) return clear();  // the run was the text: the block goes
  if (begin != 0) std::memmove(buffer_, buffer_ + begin, end - begin);
  length_ = end - begin;
  buffer_[length_] = '\0';
  return *this;
}

AString& AString::justify(JustifyType type, unsigned int width, JustifyMode mode) {
  bool const pads_front = type == justify_right || type == justify_center;
  // The run the strip keeps, found before anything moves: a padded text then
  // moves once, straight to its place.
  unsigned int begin = 0;
  unsigned int end = length_;
  if (buffer_ != nullptr && (mode & justify_strip) != 0) {
    if (type == justify_left || type == justify_center) {
      while (end > 0 && buffer_[end - 1] == ' ') --end;
    }
    if (pads_front) {
      while (begin < end && buffer_[begin] == ' ') ++begin;
    }
  }
  unsigned int const kept = end - begin;
  if (pads_front && width != npos && kept < width) {
    unsigned int const fill = width - kept;
    unsigned int const front = type == justify_right ? fill : fill - fill / 2;  // an odd blank goes in front
    // The capacity the rule gives the field: in the block itself when it has
    // the room, else in one fresh block.
    unsigned int const capacity = brindle::detail::RuleCapacity(width);
    if (buffer_ != nullptr && capacity <= brindle::detail::BlockRoom(buffer_)) {
      std::memmove(buffer_ + front, buffer_ + begin, kept);
      std::memset(buffer_, ' ', front);
      std::memset(buffer_ + front + kept, ' ', fill - front);
    } else {
      char* block = reserve(width);
      std::memset(block, ' ', width);
      if (kept != 0) std::memcpy(block + front, buffer_ + begin, kept);
      brindle::detail::FreeBlock(buffer_);
      buffer_ = block;
    }
    buffer_[width] = '\0';
    capacity_ = capacity;
    length_ = width;
    return *this;
  }
  if (kept == 0 && buffer_ != nullptr && (begin != 0 || end != length_)) {
    clear();  // the blanks were the text: the block goes
  } else if (kept != length_) {
    if (begin != 0) std::memmove(buffer_, buffer_ + begin, kept);
    length_ = kept;
    buffer_[length_] = '\0';
  }
  if (width == npos || width == length_) return *this;
  if (width < length_) {
    if ((mode & justify_truncate) == 0) return *this;
    unsigned int cut = length_ - width;
    switch (type) {
      case justify_right: return remove(0, cut);
      case justify_center: {
        unsigned int front = cut / 2;  // an odd character goes from the end
        remove(front + width, npos);
        return remove(0, front);
      }
      default: return remove(width, npos);
    }
  }
  if (type == justify_left) return append(' ', width - length_);
  return *this;  // an unknown type adds nothing
}

// --- Case, character classes, character sets, resources -------------------------------

AString& AString::to_upper() {
  ConvertEach(buffer_, length_, [](unsigned char c) { return std::toupper(c); });
  return *this;
}

AString& AString::to_lower() {
  ConvertEach(buffer_, length_, [](unsigned char c) { return std::tolower(c); });
  return *this;
}

int AString::is_upper() const {
  return EveryOneIs(buffer_, length_, [](unsigned char c) { return std::isupper(c); });
}
int AString::is_lower() const {
  return EveryOneIs(buffer_, length_, [](unsigned char c) { return std::islower(c); });
}
int AString::is_alpha() const {
  return EveryOneIs(buffer_, length_, [](unsigned char c) { return std::isalpha(c); });
}
int AString::is_alnum() const {
  return EveryOneIs(buffer_, length_, [](unsigned char c) { return std::isalnum(c); });
}
int AString::is_digit() const {
  return EveryOneIs(buffer_, length_, [](unsigned char c) { return std::isdigit(c); });
}

AString& AString::ansi_to_oem() {
  if (buffer_ != nullptr) CharToOemA(buffer_, buffer_);
  return *this;
}

AString& AString::oem_to_ansi() {
  if (buffer_ != nullptr) OemToCharA(buffer_, buffer_);
  return *this;
}

AString& AString::load(unsigned int id, HINSTANCE module) {
  char* scratch = Scratch();
  int n = LoadStringA(module, id, scratch, static_cast<int>(kScratchSize));
  scratch[std::clamp(n, 0, static_cast<int>(kScratchSize) - 1)] = '\0';
  return assign(scratch, 0, npos);
}

// --- Paths ---------------------------------------------------------------------------

AString& AString::operator^=(char const* component) {
  brindle::detail::JoinPath(*this, component, brindle::kPathSeparator);
  return *this;
}

AString AString::getcwd() {
  char* scratch = Scratch();
  if (_getcwd(scratch, static_cast<int>(kScratchSize)) != nullptr) return AString(scratch);
  // Longer than the scratch buffer (or unreadable): a block sized to fit.
  std::unique_ptr<char, decltype(&std::free)> whole(_getcwd(nullptr, 0), &std::free);
  return AString(whole.get());
}

AString AString::getcfn(HINSTANCE module) {
  char* scratch = Scratch();
  DWORD n = GetModuleFileNameA(module, scratch, kScratchSize);
  if (n < kScratchSize) {
    scratch[n] = '\0';
    return AString(scratch);
  }
  // Cut at the buffer's size: grow until the whole name fits (file names are
  // far shorter than the bound, which only stops a runaway).
  for (DWORD size = 2 * kScratchSize; size <= (DWORD{1} << 24); size *= 2) {
    std::unique_ptr<char[]> buffer(new char[size]);
    n = GetModuleFileNameA(module, buffer.get(), size);
    if (n < size) {
      buffer[n] = '\0';
      return AString(buffer.get());
    }
  }
  return AString();
}

AString AString::getcfd(HINSTANCE module) {
  return brindle::detail::DirectoryPart(getcfn(module), brindle::kPathSeparator);
}

// --- Tokens ----------------------------------------------------------------------------

AString AString::strtok(char const* text, char const* delims) {
  Tokenizer& state = ThreadTokenizer();
  if (text != nullptr) {
    std::size_t n = std::strlen(text);
    char* copy = nullptr;
    if (n != 0) {
      copy = new char[n + 1];
      std::memcpy(copy, text, n + 1);
    }
    delete[] state.copy;
    state.copy = copy;
    state.cursor = copy;
    if (copy != nullptr && delims != nullptr) {
      std::size_t skip = std::strspn(copy, delims);  // only on a new text
      std::memset(copy, '\0', skip);
      state.cursor = copy + skip;
    }
  }
  char* token = state.cursor;
  if (token == nullptr || delims == nullptr) return AString(token);
  std::size_t k = std::strcspn(token, delims);
  if (token[k] != '\0') {
    token[k] = '\0';
    state.cursor = token + k + 1;
  } else {
    state.cursor = nullptr;  // used up: from now on every token is empty
  }
  return AString(token);
}

// --- Formatting ------------------------------------------------------------------------

// va_start needs an anchor, and neither form has a plain one: the member has
// no named parameter at all, and the free function's is a reference, which
// the language leaves undefined. Both compilers' builtin takes the variable
// arguments from the function's own frame and only checks the anchor, so the
// check is silenced here and the anchor is `this` or the reference.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wvarargs"

int AString::sprintf(...) {
  std::va_list args;
  va_start(args, this);
  ArgumentsEnd end(args);
  // Formatted into a buffer of its own first: an argument may be this text.
  Formatted formatted(c_str(), args);
  if (formatted.result() <= 0) {
    clear();
  } else {
    assign(formatted.text(), 0, npos);
  }
  return static_cast<int>(length_);
}

AString sprintf(AString const& format, ...) {
  std::va_list args;
  va_start(args, format);
  ArgumentsEnd end(args);
  Formatted formatted(format.c_str(), args);
  return formatted.result() > 0 ? AString(formatted.text()) : AString();
}

#pragma GCC diagnostic pop

// --- Copying out and numbers -------------------------------------------------------------

unsigned int AString::copy(char* buffer, unsigned int n, unsigned int pos) const {
  if (buffer == nullptr) return 0;
  unsigned int k = 0;
  if (buffer_ != nullptr && pos < length_) {
    k = std::min(length_ - pos, n);
    std::memcpy(buffer, buffer_ + pos, k);
  }
  buffer[k] = '\0';
  return k;
}

int AString::atoi() const { return Leading32(c_str()); }

LONG AString::atol() const { return Leading32(c_str()); }

double AString::atof() const { return std::atof(c_str()); }
