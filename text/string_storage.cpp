// AString storage: the capacity rule, construction, assign/append/prepend/
// insert/remove, conversions and element access.
//
// The capacity rule is linear (a block exceeds the need by at most one
// resize increment), so growing a text by appends takes a new capacity every
// few characters. To keep that from costing an allocator call (and a copy)
// each time, every block records, just before the text, how many bytes its
// allocation really holds for text: its room, never less than the capacity.
// An append whose new capacity fits the room only updates the capacity; one
// that does not reallocates with an eighth to spare. The capacity reported is
// the rule's value throughout.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>

#include "brindle/astring.h"
#include "text/text_internal.h"

namespace brindle::detail {

char* Scratch() {
  thread_local char scratch[kScratchSize];
  return scratch;
}

Formatted::Formatted(char const* format, std::va_list args) : heap_(nullptr), text_(""), result_(-1) {
  if (format == nullptr) return;
  std::va_list again;
  va_copy(again, args);
  char* scratch = Scratch();
  result_ = std::vsnprintf(scratch, kScratchSize, format, args);
  if (result_ >= 0 && static_cast<unsigned int>(result_) < kScratchSize) {
    text_ = scratch;
  } else if (result_ >= 0) {
    std::size_t size = static_cast<std::size_t>(result_) + 1;
    heap_ = static_cast<char*>(std::malloc(size));
    if (heap_ == nullptr) {
      va_end(again);
      throw std::bad_alloc();
    }
    std::vsnprintf(heap_, size, format, again);
    text_ = heap_;
  }
  va_end(again);
}

Formatted::~Formatted() { std::free(heap_); }

}  // namespace brindle::detail

namespace {

using brindle::detail::Formatted;
using brindle::detail::FreeBlock;
using brindle::detail::Span;

constexpr unsigned int kMaxLength = 0xFFFFFFFFu;

// Growth settings: process-wide. Relaxed atomics cost nothing over plain
// loads and keep a concurrent change from being a data race.
constinit std::atomic<unsigned int> g_initial_capacity{16};
constinit std::atomic<unsigned int> g_resize_increment{32};

// The capacity rule for `n` characters; see AString::reserve().
[[gnu::always_inline]] inline unsigned int CapacityFor(unsigned int n) {
  if (n == 0) return 0;
  unsigned int initial = g_initial_capacity.load(std::memory_order_relaxed);
  if (n < initial) return initial;
  unsigned int increment = g_resize_increment.load(std::memory_order_relaxed);  // [16, 128]
  // The smallest multiple of the increment above n; a power of two (the
  // usual case) needs no division.
  unsigned int below = (increment & (increment - 1)) == 0 ? n & ~(increment - 1) : n / increment * increment;
  if (below > kMaxLength - increment) throw std::length_error("AString: text too long");
  return below + increment;
}

unsigned int Total(std::uint64_t total) {
  if (total > kMaxLength) throw std::length_error("AString: text too long");
  return static_cast<unsigned int>(total);
}

// Block layout: [room: unsigned int, padded to 8 bytes][text room bytes].
constexpr std::size_t kHeader = 8;

char* NewBlock(unsigned int room) {
  void* base = std::malloc(kHeader + room);
  if (base == nullptr) throw std::bad_alloc();
  std::memcpy(base, &room, sizeof room);
  return static_cast<char*>(base) + kHeader;
}


unsigned int RoomOf(char const* text) {
  unsigned int room;
  std::memcpy(&room, text - kHeader, sizeof room);
  return room;
}

bool PointsInto(char const* p, char const* block, unsigned int capacity) {
  std::less_equal<char const*> le;
  return block != nullptr && le(block, p) && std::less<char const*>()(p, block + capacity);
}

// Sets the capacity to the rule's value for `total` characters, growing (or
// moving) the block when its room is short, keeping the text. Leaves
// everything as it was when allocation fails.
[[gnu::noinline]] void Reallocate(char*& buffer, unsigned int capacity) {
  std::uint64_t room = std::uint64_t{capacity} + capacity / 8;
  unsigned int new_room = static_cast<unsigned int>(std::min<std::uint64_t>(room, kMaxLength));
  void* grown = std::realloc(buffer - kHeader, kHeader + new_room);
  if (grown == nullptr) throw std::bad_alloc();
  std::memcpy(grown, &new_room, sizeof new_room);
  buffer = static_cast<char*>(grown) + kHeader;
}

[[gnu::always_inline]] inline void Grow(char*& buffer, unsigned int& capacity, unsigned int total) {
  unsigned int grown_capacity = CapacityFor(total);
  if (grown_capacity > RoomOf(buffer)) Reallocate(buffer, grown_capacity);
  capacity = grown_capacity;
}

// The per-thread spare character that out-of-range element references name.
char& Spare() {
  thread_local char spare;
  spare = '\0';
  return spare;
}

template <class Number>
void TakeNumber(AString& s, bool append, char const* format, char const* default_format, Number number) {
  // Formatted takes a va_list; pass the one number through a variadic shim.
  struct Shim {
    static void Run(AString& s, bool append, char const* format, ...) {
      std::va_list args;
      va_start(args, format);
      Formatted formatted(format, args);
      va_end(args);
      if (append) {
        s.append(formatted.text(), 0, AString::npos);
      } else {
        s.assign(formatted.text(), 0, AString::npos);
      }
    }
  };
  Shim::Run(s, append, format != nullptr ? format : default_format, number);
}

}  // namespace

unsigned int brindle::detail::RuleCapacity(unsigned int n) { return CapacityFor(n); }

void brindle::detail::FreeBlock(char* text) {
  if (text != nullptr) std::free(text - kHeader);
}

unsigned int brindle::detail::BlockRoom(char const* text) { return RoomOf(text); }

char const AString::empty_text = '\0';

// --- Construction -------------------------------------------------------------

AString::AString() noexcept : length_(0), capacity_(0), buffer_(nullptr) {}

AString::AString(AString const& other) : AString() { assign(other.buffer_, 0, other.length_); }

AString::AString(AString&& other) noexcept
    : length_(other.length_), capacity_(other.capacity_), buffer_(other.buffer_) {
  other.length_ = other.capacity_ = 0;
  other.buffer_ = nullptr;
}

AString::AString(AString const& other, unsigned int pos, unsigned int len) : AString() {
  assign(other.buffer_, pos, len);
}

AString::AString(char const* text) : AString() { assign(text, 0, npos); }

AString::AString(char const* text, unsigned int pos, unsigned int len) : AString() { assign(text, pos, len); }

AString::AString(char ch, unsigned int count) : AString() { assign(ch, count); }

AString::AString(CString const& text) : AString() { assign(static_cast<char const*>(text), 0, npos); }

AString::AString(int number, char const* format) : AString() { TakeNumber(*this, false, format, "%d", number); }
AString::AString(unsigned int number, char const* format) : AString() {
  TakeNumber(*this, false, format, "%u", number);
}
AString::AString(long number, char const* format) : AString() { TakeNumber(*this, false, format, "%ld", number); }
AString::AString(unsigned long number, char const* format) : AString() {
  TakeNumber(*this, false, format, "%lu", number);
}
AString::AString(double number, char const* format) : AString() {
  TakeNumber(*this, false, format, "%0.4f", number);
}

AString::AString(unsigned int id, HINSTANCE module) : AString() {
  char* scratch = brindle::detail::Scratch();
  if (LoadStringA(module, id, scratch, static_cast<int>(brindle::detail::kScratchSize)) > 0) {
    assign(scratch, 0, npos);
  }
}

AString::~AString() { FreeBlock(buffer_); }

// --- Capacity and state ---------------------------------------------------------

unsigned int AString::length() const { return length_; }
unsigned int AString::reserve() const { return capacity_; }
unsigned int AString::freeboard() const { return capacity_ - length_; }
int AString::is_null() const { return buffer_ == nullptr ? 1 : 0; }
int AString::valid_element(unsigned int i) const { return buffer_ != nullptr && i < length_ ? 1 : 0; }
int AString::valid_index(unsigned int i) const { return buffer_ != nullptr && i <= length_ ? 1 : 0; }
void AString::assert_element(unsigned int i) const { static_cast<void>(valid_element(i)); }
void AString::assert_index(unsigned int i) const { static_cast<void>(valid_index(i)); }

char* AString::reserve(unsigned int n) {
  unsigned int capacity = CapacityFor(n);
  char* block = capacity != 0 ? NewBlock(capacity) : nullptr;
  capacity_ = capacity;
  return block;
}

// --- Growth settings --------------------------------------------------------------

unsigned int AString::get_initial_capacity() { return g_initial_capacity.load(std::memory_order_relaxed); }
unsigned int AString::get_resize_increment() { return g_resize_increment.load(std::memory_order_relaxed); }

unsigned int AString::initial_capacity(unsigned int n) {
  return g_initial_capacity.exchange(std::clamp(n, 8u, 64u), std::memory_order_relaxed);
}

unsigned int AString::resize_increment(unsigned int n) {
  return g_resize_increment.exchange(std::clamp(n, 16u, 128u), std::memory_order_relaxed);
}

// --- Assign, append, prepend, insert, remove ----------------------------------------

AString& AString::clear() {
  FreeBlock(buffer_);
  buffer_ = nullptr;
  length_ = capacity_ = 0;
  return *this;
}

AString& AString::assign(char ch, unsigned int count) {
  unsigned int k = ch != '\0' ? count : 0;
  if (k == 0) return clear();
  char* block = reserve(k);
  std::memset(block, ch, k);
  block[k] = '\0';
  FreeBlock(buffer_);
  buffer_ = block;
  length_ = k;
  return *this;
}

AString& AString::assign(char const* text, unsigned int pos, unsigned int len) {
  unsigned int k = Span(text, pos, len);
  if (k == 0) return clear();
  // A new block every time, the old one freed only after the copy: `text`
  // may lie in it.
  char* block = reserve(k);
  std::memcpy(block, text + pos, k);
  block[k] = '\0';
  FreeBlock(buffer_);
  buffer_ = block;
  length_ = k;
  return *this;
}

AString& AString::append(char ch, unsigned int count) {
  if (buffer_ == nullptr) return assign(ch, count);
  unsigned int k = ch != '\0' ? count : 0;
  if (k == 0) return *this;
  unsigned int total = Total(std::uint64_t{length_} + k);
  if (total >= capacity_) Grow(buffer_, capacity_, total);
  std::memset(buffer_ + length_, ch, k);
  length_ = total;
  buffer_[total] = '\0';
  return *this;
}

AString& AString::append(char const* text, unsigned int pos, unsigned int len) {
  if (buffer_ == nullptr) return assign(text, pos, len);
  unsigned int k = Span(text, pos, len);
  if (k == 0) return *this;
  unsigned int total = Total(std::uint64_t{length_} + k);
  if (total >= capacity_) {
    // Appending from our own text: the block may move.
    if (PointsInto(text, buffer_, capacity_)) {
      std::size_t offset = static_cast<std::size_t>(text - buffer_);
      Grow(buffer_, capacity_, total);
      text = buffer_ + offset;
    } else {
      Grow(buffer_, capacity_, total);
    }
  }
  // The characters read all lie before the old terminator, where writing
  // starts, so a string appended to itself reads only its old text.
  std::memcpy(buffer_ + length_, text + pos, k);
  length_ = total;
  buffer_[total] = '\0';
  return *this;
}

AString& AString::prepend(char ch, unsigned int count) {
  if (buffer_ == nullptr) return assign(ch, count);
  unsigned int k = ch != '\0' ? count : 0;
  if (k == 0) return *this;
  unsigned int total = Total(std::uint64_t{length_} + k);
  char* block = reserve(total);
  std::memset(block, ch, k);
  std::memcpy(block + k, buffer_, length_);
  block[total] = '\0';
  FreeBlock(buffer_);
  buffer_ = block;
  length_ = total;
  return *this;
}

AString& AString::prepend(char const* text, unsigned int pos, unsigned int len) {
  if (buffer_ == nullptr) return assign(text, pos, len);
  unsigned int k = Span(text, pos, len);
  if (k == 0) return *this;
  unsigned int total = Total(std::uint64_t{length_} + k);
  char* block = reserve(total);
  std::memcpy(block, text + pos, k);
  std::memcpy(block + k, buffer_, length_);
  block[total] = '\0';
  FreeBlock(buffer_);
  buffer_ = block;
  length_ = total;
  return *this;
}

AString& AString::insert(unsigned int pos, AString const& s) { return insert(pos, s, 0, npos); }

AString& AString::insert(unsigned int pos, AString const& s, unsigned int s_pos, unsigned int s_len) {
  // The result is the head (this text up to pos), the selected part of s and
  // the tail (this text from pos on), each taken as assign() and append()
  // would take it; it always gets a new block sized for the whole.
  unsigned int head = Span(buffer_, 0, pos);
  unsigned int middle = Span(s.buffer_, s_pos, s_len);
  unsigned int tail = Span(buffer_, pos, npos);
  unsigned int total = Total(std::uint64_t{head} + middle + tail);
  if (total == 0) return clear();
  char* block = reserve(total);
  if (head != 0) std::memcpy(block, buffer_, head);
  if (middle != 0) std::memcpy(block + head, s.buffer_ + s_pos, middle);
  if (tail != 0) std::memcpy(block + head + middle, buffer_ + pos, tail);
  block[total] = '\0';
  FreeBlock(buffer_);  // only now: s may be this string
  buffer_ = block;
  length_ = total;
  return *this;
}

AString& AString::remove(unsigned int pos, unsigned int len) {
  if (buffer_ == nullptr || pos >= length_) return *this;
  unsigned int k = std::min(length_ - pos, len);
  if (k == 0) return *this;
  if (k == length_) return clear();
  std::memmove(buffer_ + pos, buffer_ + pos + k, length_ - pos - k);
  length_ -= k;
  buffer_[length_] = '\0';
  return *this;
}

// --- Operators ---------------------------------------------------------------------

AString& AString::operator=(AString const& other) { return assign(other.buffer_, 0, other.length_); }

AString& AString::operator=(AString&& other) noexcept {
  if (this != &other) {
    FreeBlock(buffer_);
    length_ = other.length_;
    capacity_ = other.capacity_;
    buffer_ = other.buffer_;
    other.length_ = other.capacity_ = 0;
    other.buffer_ = nullptr;
  }
  return *this;
}

AString& AString::operator=(char ch) { return assign(ch, 1); }
AString& AString::operator=(char const* text) { return assign(text, 0, npos); }
AString& AString::operator=(int number) {
  TakeNumber(*this, false, nullptr, "%d", number);
  return *this;
}
AString& AString::operator=(unsigned int number) {
  TakeNumber(*this, false, nullptr, "%u", number);
  return *this;
}
AString& AString::operator=(long number) {
  TakeNumber(*this, false, nullptr, "%ld", number);
  return *this;
}
AString& AString::operator=(unsigned long number) {
  TakeNumber(*this, false, nullptr, "%lu", number);
  return *this;
}
AString& AString::operator=(double number) {
  TakeNumber(*this, false, nullptr, "%0.4f", number);
  return *this;
}

AString& AString::operator+=(AString const& other) { return append(other.buffer_, 0, other.length_); }
AString& AString::operator+=(char const* text) { return append(text, 0, npos); }
AString& AString::operator+=(int number) {
  TakeNumber(*this, true, nullptr, "%d", number);
  return *this;
}
AString& AString::operator+=(unsigned int number) {
  TakeNumber(*this, true, nullptr, "%u", number);
  return *this;
}
AString& AString::operator+=(long number) {
  TakeNumber(*this, true, nullptr, "%ld", number);
  return *this;
}
AString& AString::operator+=(unsigned long number) {
  TakeNumber(*this, true, nullptr, "%lu", number);
  return *this;
}
AString& AString::operator+=(double number) {
  TakeNumber(*this, true, nullptr, "%0.4f", number);
  return *this;
}

AString& AString::operator<<(AString const& other) { return *this += other; }
AString& AString::operator<<(char const* text) { return *this += text; }
AString& AString::operator<<(int number) { return *this += number; }
AString& AString::operator<<(unsigned int number) { return *this += number; }
AString& AString::operator<<(long number) { return *this += number; }
AString& AString::operator<<(unsigned long number) { return *this += number; }
AString& AString::operator<<(double number) { return *this += number; }

// --- Conversions and element access -----------------------------------------------------

char const* AString::c_str() const { return buffer_ != nullptr ? buffer_ : &empty_text; }
AString::operator char const*() const { return c_str(); }
char const* AString::operator()() const { return c_str(); }
char* AString::p_str() const { return const_cast<char*>(c_str()); }

char const* AString::c_str(unsigned int i) const {
  return buffer_ != nullptr && i <= length_ ? buffer_ + i : &empty_text;
}
char* AString::p_str(unsigned int i) const { return const_cast<char*>(c_str(i)); }
char const* AString::operator()(unsigned int i) const { return c_str(i); }

AString::operator CString() const { return CString(c_str()); }

char AString::operator*() const { return buffer_ != nullptr ? buffer_[0] : '\0'; }

char AString::operator[](unsigned int i) const { return get_at(i); }
char AString::operator[](int i) const { return get_at(static_cast<unsigned int>(i)); }

char AString::get_at(unsigned int i) const {
  assert_index(i);
  return buffer_ != nullptr && i <= length_ ? buffer_[i] : '\0';
}

char& AString::operator[](unsigned int i) {
  assert_element(i);
  return buffer_ != nullptr && i < length_ ? buffer_[i] : Spare();
}
char& AString::operator[](int i) { return (*this)[static_cast<unsigned int>(i)]; }

void AString::put_at(unsigned int i, char ch) {
  assert_element(i);
  if (buffer_ != nullptr && i < length_) buffer_[i] = ch;
}
