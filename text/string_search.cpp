// AString comparison, search, replacement and checksums.
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "brindle/astring.h"
#include "text/text_internal.h"
#include "text/text_kernels.h"

using brindle::detail::ByteSet;

namespace {

int Sign(int r) { return (r > 0) - (r < 0); }

unsigned char const* Bytes(char const* p) { return reinterpret_cast<unsigned char const*>(p); }

}  // namespace

int AString::compare(char const* text) const {
  if (text == nullptr) return 1;
  return Sign(std::strcmp(c_str(), text));  // strcmp orders bytes as unsigned
}

int AString::compare(char const* text, unsigned int pos, unsigned int len) const {
  unsigned int k = brindle::detail::Span(text, pos, len);
  char const* own = c_str();
  if (k != 0) {
    int r = std::strncmp(own, text + pos, k);
    if (r != 0) return Sign(r);
  }
  // The first k characters agree (a shorter text would have differed).
  return own[k] != '\0' ? 1 : 0;
}

int AString::contains(char ch) const { return find(ch, 0) != npos ? 1 : 0; }
int AString::contains(char const* text) const { return find(text, 0) != npos ? 1 : 0; }

unsigned int AString::find_text(char const* text, unsigned int n, unsigned int start) const {
  char const* hit = brindle::detail::FindBytes(buffer_ + start, length_ - start, text, n);
  return hit != nullptr ? static_cast<unsigned int>(hit - buffer_) : npos;
}

unsigned int AString::rfind(char ch, unsigned int start) const {
  if (ch == '\0' || buffer_ == nullptr) return npos;
  unsigned int from = std::min(start, length_ - 1);
  char const* hit = brindle::detail::FindLastByte(buffer_, std::size_t{from} + 1, ch);
  return hit != nullptr ? static_cast<unsigned int>(hit - buffer_) : npos;
}

unsigned int AString::rfind(char const* text, unsigned int start) const {
  std::size_t n = text != nullptr ? std::strlen(text) : 0;
  if (n == 0 || length_ < n) return npos;
  unsigned int from = std::min({start, length_ - 1, length_ - static_cast<unsigned int>(n)});
  char const* hit = brindle::detail::FindLastBytes(buffer_, from + n, text, n);
  return hit != nullptr ? static_cast<unsigned int>(hit - buffer_) : npos;
}

unsigned int AString::find_first_of(AString const& set, unsigned int start) const {
  if (buffer_ == nullptr || start >= length_ || set.length_ == 0) return npos;
  if (set.length_ == 1) {
    void const* hit = std::memchr(buffer_ + start, set.buffer_[0], length_ - start);
    return hit != nullptr ? static_cast<unsigned int>(static_cast<char const*>(hit) - buffer_) : npos;
  }
  ByteSet members(set.buffer_, set.length_);
  for (unsigned int i = start; i < length_; ++i) {
    if (members.Has(static_cast<unsigned char>(buffer_[i]))) return i;
  }
  return npos;
}

unsigned int AString::find_first_not_of(AString const& set, unsigned int start) const {
  if (buffer_ == nullptr || start >= length_) return npos;
  ByteSet members(set.buffer_, set.length_);
  for (unsigned int i = start; i < length_; ++i) {
    if (!members.Has(static_cast<unsigned char>(buffer_[i]))) return i;
  }
  return npos;
}

unsigned int AString::find_last_of(AString const& set, unsigned int bound) const {
  unsigned int m = std::min(length_, bound);
  if (m == 0 || set.length_ == 0) return npos;
  ByteSet members(set.buffer_, set.length_);
  for (unsigned int i = m; i-- > 0;) {
    if (members.Has(static_cast<unsigned char>(buffer_[i]))) return i;
  }
  return npos;
}

unsigned int AString::find_last_not_of(AString const& set, unsigned int bound) const {
  unsigned int m = std::min(length_, bound);
  if (m == 0) return npos;
  ByteSet members(set.buffer_, set.length_);
  for (unsigned int i = m; i-- > 0;) {
    if (!members.Has(static_cast<unsigned char>(buffer_[i]))) return i;
  }
  return npos;
}

int AString::replace(AString const& pattern, AString const& replacement, unsigned int limit) {
  if (pattern.buffer_ == nullptr || limit == 0) return 0;
  if (&pattern == this || &replacement == this) {
    // Replacing within the string it searches: work from copies, so the
    // pattern and replacement are what they were at the call.
    AString pattern_copy(pattern), replacement_copy(replacement);
    return replace(pattern_copy, replacement_copy, limit);
  }
  std::size_t const n = std::strlen(pattern.buffer_);
  unsigned int const r = replacement.length_;
  if (n != pattern.length_ || (r != 0 && std::strlen(replacement.buffer_) != r)) {
    // A pattern or replacement holding a NUL: step by step, exactly as the
    // search, remove and insert of each occurrence would go.
    int made = 0;
    unsigned int q = 0;
    while (true) {
      unsigned int f = find(pattern.buffer_, q);
      if (f == npos) break;
      remove(f, pattern.length_);
      insert(f, replacement);
      q = f + r;
      if (static_cast<unsigned int>(++made) == limit) break;
    }
    return made;
  }

  // Occurrences never overlap what replaced them, so the result is the text
  // with its non-overlapping occurrences, left to right, replaced: count
  // them, then build the new text in one block.
  auto next = [&](std::size_t from) -> char const* {
    if (from + n > length_) return nullptr;
    return brindle::detail::FindBytes(buffer_ + from, length_ - from, pattern.buffer_, n);
  };
  unsigned int count = 0;
  for (char const* hit = next(0); hit != nullptr && count < limit;
       hit = next(static_cast<std::size_t>(hit - buffer_) + n)) {
    ++count;
  }
  if (count == 0) return 0;
  std::uint64_t total = std::uint64_t{length_} - std::uint64_t{count} * n + std::uint64_t{count} * r;
  if (total > 0xFFFFFFFFu) throw std::length_error("AString: text too long");
  if (total == 0) {
    clear();
    return static_cast<int>(count);
  }
  char* old = buffer_;
  char* block = reserve(static_cast<unsigned int>(total));  // sets the capacity
  char* out = block;
  std::size_t from = 0;
  for (unsigned int made = 0; made < count; ++made) {
    char const* hit = next(from);
    std::size_t at = static_cast<std::size_t>(hit - buffer_);
    std::memcpy(out, buffer_ + from, at - from);
    out += at - from;
    if (r != 0) std::memcpy(out, replacement.buffer_, r);
    out += r;
    from = at + n;
  }
  std::memcpy(out, buffer_ + from, length_ - from);
  block[total] = '\0';
  buffer_ = block;
  length_ = static_cast<unsigned int>(total);
  brindle::detail::FreeBlock(old);
  return static_cast<int>(count);
}

AString& AString::replace(unsigned int pos, unsigned int len, AString const& s) {
  return replace(pos, len, s, 0, npos);
}

AString& AString::replace(unsigned int pos, unsigned int len, AString const& s, unsigned int s_pos,
                          unsigned int s_len) {
  if (&s == this) {
    // Insert what the string held before the removal.
    AString copy(s);
    return replace(pos, len, copy, s_pos, s_len);
  }
  remove(pos, len);
  return insert(pos, s, s_pos, s_len);
}

unsigned int AString::Hash() const { return brindle::detail::HashFast(Bytes(buffer_), length_); }

unsigned short AString::crc16() const { return brindle::detail::Crc16(Bytes(buffer_), length_); }
