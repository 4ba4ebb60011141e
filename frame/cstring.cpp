#include <cstdio>
#include <cstring>
#include <utility>

#include "brindle/framework.h"

// The std::string layout the library is built with, which every caller's
// translation unit names (brindle/export.h).
#if defined(_GLIBCXX_USE_CXX11_ABI) && _GLIBCXX_USE_CXX11_ABI
extern "C" BRINDLE_API char const brindle_std_string_abi_cxx11 = 1;
#elif defined(_GLIBCXX_USE_CXX11_ABI)
extern "C" BRINDLE_API char const brindle_std_string_abi_old = 1;
#endif

CString::CString() = default;
CString::CString(char const* text) : text_(text != nullptr ? text : "") {}
CString::CString(char const* text, int count) {
  if (text != nullptr && count > 0) text_.assign(text, static_cast<std::size_t>(count));
}
CString::CString(CString const& other) = default;
CString::CString(CString&& other) noexcept : text_(std::move(other.text_)) { other.text_.clear(); }
CString& CString::operator=(CString const& other) = default;
CString& CString::operator=(CString&& other) noexcept {
  text_ = std::move(other.text_);
  other.text_.clear();
  return *this;
}
CString& CString::operator=(char const* text) {
  text_.assign(text != nullptr ? text : "");
  return *this;
}
CString::~CString() = default;

int CString::GetLength() const { return static_cast<int>(text_.size()); }
bool CString::IsEmpty() const { return text_.empty(); }
void CString::Empty() { text_.clear(); }

char CString::GetAt(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < text_.size() ? text_[static_cast<std::size_t>(index)]
                                                                       : '\0';
}
void CString::SetAt(int index, char ch) {
  if (index >= 0 && static_cast<std::size_t>(index) < text_.size()) text_[static_cast<std::size_t>(index)] = ch;
}
char CString::operator[](int index) const { return GetAt(index); }

CString::operator char const*() const { return text_.c_str(); }

void CString::Format(char const* format, ...) {
  std::va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(char const* format, std::va_list args) {
  if (format == nullptr) {
    text_.clear();
    return;
  }
  char small[256];
  std::va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, format, args);
  if (n < 0) {
    text_.clear();
  } else if (static_cast<std::size_t>(n) < sizeof small) {
    text_.assign(small, static_cast<std::size_t>(n));
  } else {
    std::string result(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(result.data(), result.size() + 1, format, again);
    text_ = std::move(result);
  }
  va_end(again);
}

CString& CString::operator+=(CString const& text) {
  text_ += text.text_;
  return *this;
}
CString& CString::operator+=(char const* text) {
  if (text != nullptr) text_ += text;
  return *this;
}
CString& CString::operator+=(char ch) {
  text_ += ch;
  return *this;
}

int CString::compare(char const* text) const { return std::strcmp(text_.c_str(), text != nullptr ? text : ""); }
