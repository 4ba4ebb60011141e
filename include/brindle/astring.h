// AString: the library's dynamic character string.
//
// A counted, NUL-terminated run of single-byte characters in a heap block
// that the string owns alone. An empty string owns no block at all; every
// pointer handed out for it is the address of the shared empty text, never
// null.
//
// Positions and lengths are unsigned 32-bit. A length of AString::npos (or
// any length at least what remains) means "to the end". Out-of-range
// positions are clamped, never reported: AString reports no errors of its own.
// Allocation failure throws std::bad_alloc; a text that would exceed the
// 32-bit length limit throws std::length_error.
//
// Capacity follows a fixed, linear rule (see reserve()): a block is either the
// initial capacity or the smallest multiple of the resize increment above the
// need. Both settings are process-wide.
//
//   AString s("abc");      // length() 3, reserve() 16
//   s += "defghijklmnop";  // length() 16: a new block of 32
#ifndef BRINDLE_ASTRING_H
#define BRINDLE_ASTRING_H

#include "brindle/export.h"
#include "brindle/framework.h"
#include "brindle/platform_types.h"

class BRINDLE_API AString {
 public:
  // The not-found position, and the length meaning "everything from here on".
  static constexpr unsigned int npos = 0xFFFFFFFFu;

  // The shared empty text: one NUL, read-only. Handed out for every string
  // that owns no block.
  static char const empty_text;

  // --- Construction -------------------------------------------------------
  AString() noexcept;
  AString(AString const& other);
  AString(AString&& other) noexcept;
  AString(AString const& other, unsigned int pos, unsigned int len);
  AString(char const* text);  // NOLINT(google-explicit-constructor): null gives empty
  AString(char const* text, unsigned int pos, unsigned int len);
  explicit AString(char ch, unsigned int count = 1);
  AString(CString const& text);  // NOLINT(google-explicit-constructor)

  // The number formatted with `format` (printf-style, applied to the one
  // argument), or with the type's default format when `format` is null:
  // "%d", "%u", "%ld", "%lu", "%0.4f". The whole result is taken, at any
  // length, up to its first NUL.
  explicit AString(int number, char const* format = nullptr);
  explicit AString(unsigned int number, char const* format = nullptr);
  explicit AString(long number, char const* format = nullptr);
  explicit AString(unsigned long number, char const* format = nullptr);
  explicit AString(double number, char const* format = nullptr);

  // The string resource `id` of `module` (null: the main program), or empty
  // when there is none. Resources longer than 1,023 characters are cut there.
  AString(unsigned int id, HINSTANCE module);

  ~AString();

  // --- Capacity and state -------------------------------------------------
  unsigned int length() const;
  unsigned int reserve() const;
  // Capacity minus length: 0 for an empty string, else the free bytes
  // including the one that holds the terminator.
  unsigned int freeboard() const;
  int is_null() const;
  int valid_element(unsigned int i) const;
  int valid_index(unsigned int i) const;
  // Evaluate the matching valid_ test and have no effect either way.
  void assert_element(unsigned int i) const;
  void assert_index(unsigned int i) const;

  // --- Process-wide growth settings ---------------------------------------
  static unsigned int get_initial_capacity();
  static unsigned int get_resize_increment();
  // Set the setting, clamped to 8..64 (initial) or 16..128 (increment), and
  // return the previous value. Only blocks taken afterwards are affected.
  static unsigned int initial_capacity(unsigned int n);
  static unsigned int resize_increment(unsigned int n);

  // --- Assigning, appending, prepending, inserting, removing --------------
  // `count` copies of `ch`; a NUL `ch` or a count of 0 gives empty.
  AString& assign(char ch, unsigned int count = 1);
  // At most `len` characters of `text` from `pos` on; empty when `text` is
  // null or empty, `len` is 0 or `pos` is at or past its end. `text` may
  // point into this string.
  AString& assign(char const* text, unsigned int pos = 0, unsigned int len = npos);
  // The same characters added at the end; on an empty string exactly
  // assign(), otherwise the cases that would give empty change nothing.
  AString& append(char ch, unsigned int count = 1);
  AString& append(char const* text, unsigned int pos = 0, unsigned int len = npos);
  // The same characters put in front, by the rules of append().
  AString& prepend(char ch, unsigned int count = 1);
  AString& prepend(char const* text, unsigned int pos = 0, unsigned int len = npos);
  // `s` (or the part of it that assign() with `s_pos` and `s_len` takes) put
  // before position `pos`; a `pos` at or past the length appends. `s` may be
  // this string.
  AString& insert(unsigned int pos, AString const& s);
  AString& insert(unsigned int pos, AString const& s, unsigned int s_pos, unsigned int s_len);
  // Removes at most `len` characters from `pos` on, within the same block;
  // removing every character frees the block.
  AString& remove(unsigned int pos, unsigned int len = npos);
  // Frees the block: length, capacity and buffer become zero.
  AString& clear();

  // --- Operators ----------------------------------------------------------
  AString& operator=(AString const& other);
  AString& operator=(AString&& other) noexcept;
  AString& operator=(char ch);
  AString& operator=(char const* text);
  AString& operator=(int number);
  AString& operator=(unsigned int number);
  AString& operator=(long number);
  AString& operator=(unsigned long number);
  AString& operator=(double number);

  AString& operator+=(AString const& other);
  AString& operator+=(char ch);
  AString& operator+=(char const* text);
  AString& operator+=(int number);
  AString& operator+=(unsigned int number);
  AString& operator+=(long number);
  AString& operator+=(unsigned long number);
  AString& operator+=(double number);

  AString& operator<<(AString const& other);
  AString& operator<<(char ch);
  AString& operator<<(char const* text);
  AString& operator<<(int number);
  AString& operator<<(unsigned int number);
  AString& operator<<(long number);
  AString& operator<<(unsigned long number);
  AString& operator<<(double number);

  // --- Conversions and element access -------------------------------------
  // The text; the shared empty text for an empty string.
  char const* c_str() const;
  operator char const*() const;  // NOLINT(google-explicit-constructor)
  char const* operator()() const;
  // The same pointer, writable: characters before the length may be changed
  // in place. The shared empty text must not be written.
  char* p_str() const;

  // The address of the character at `i` when i <= length (the length gives
  // the empty tail); otherwise the shared empty text.
  char const* c_str(unsigned int i) const;
  char* p_str(unsigned int i) const;
  char const* operator()(unsigned int i) const;

  operator CString() const;  // NOLINT(google-explicit-constructor)

  // The first character, or NUL for an empty string.
  char operator*() const;

  // The character at `i`, or NUL at or past the length. A negative int is the
  // same bit pattern as a very large position.
  char operator[](unsigned int i) const;
  char operator[](int i) const;
  char get_at(unsigned int i) const;

  // A reference to the character at `i` when i < length. For any other
  // position the reference is to a per-thread spare character that reads as
  // NUL, so a write through it never reaches the terminator or the shared
  // empty text.
  char& operator[](unsigned int i);
  char& operator[](int i);
  // Stores `ch` at `i` when i < length; the length never changes, even when
  // `ch` is NUL.
  void put_at(unsigned int i, char ch);

 private:
  // Sets the capacity for `n` characters by the capacity rule and returns a
  // fresh block of that size; the caller installs it and frees the old one.
  //   n == 0:      capacity 0, no block (null)
  //   0 < n < I:   capacity I (the initial capacity)
  //   n >= I:      (n / R + 1) * R, the smallest multiple of R above n
  char* reserve(unsigned int n);

  unsigned int length_;
  unsigned int capacity_;
  char* buffer_;
};

#endif  // BRINDLE_ASTRING_H
