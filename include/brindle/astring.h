/// @file
/// AString: the library's dynamic character string.
///
/// A counted, NUL-terminated run of single-byte characters in a heap block
/// that the string owns alone. An empty string owns no block at all; every
/// pointer handed out for it is the address of the shared empty text, never
/// null.
///
/// Positions and lengths are unsigned 32-bit. A length of AString::npos (or
/// any length at least what remains) means "to the end". Out-of-range
/// positions are clamped, never reported: AString reports no errors of its own.
/// Allocation failure throws std::bad_alloc; a text that would exceed the
/// 32-bit length limit throws std::length_error.
///
/// Capacity follows a fixed, linear rule (see reserve()): a block is either the
/// initial capacity or the smallest multiple of the resize increment above the
/// need. Both settings are process-wide.
///
/// @code
/// AString s("abc");      // length() 3, reserve() 16
/// s += "defghijklmnop";  // length() 16: a new block of 32
/// @endcode
///
/// Threads: distinct strings may be used from any threads at once; one string
/// is read by many threads, or changed by one with no other using it. The
/// growth settings may be changed from any thread (later blocks take them);
/// strtok() and the spare character of operator[] are per thread.
#ifndef BRINDLE_ASTRING_H
#define BRINDLE_ASTRING_H

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>

#include "brindle/export.h"
#include "brindle/framework.h"
#include "brindle/platform_types.h"

class AString;

namespace brindle::detail {
class StringReader;  // stream input's builder of the text read

/// What a printf-style call passes through `...` for one argument: the text
/// of an AString or CString, and numbers, enumerations and pointers (arrays
/// decay) as they are. Any other class would be copied bit for bit into the
/// argument list and read as garbage, so it is refused here.
template <class T>
auto FormatArgument(T&& value) {
  using Plain = std::decay_t<T>;
  if constexpr (std::is_same_v<Plain, AString> || std::is_same_v<Plain, CString>) {
    return static_cast<char const*>(value);
  } else {
    static_assert(std::is_arithmetic_v<Plain> || std::is_enum_v<Plain> || std::is_pointer_v<Plain> ||
                      std::is_null_pointer_v<Plain>,
                  "a printf-style argument must be a number, an enumeration, a pointer, an AString or a CString");
    return static_cast<Plain>(value);
  }
}
}  // namespace brindle::detail

/// The library's dynamic character string: the file's overview gives its
/// rules.
class BRINDLE_API AString {
 public:
  /// The not-found position, and the length meaning "everything from here on".
  static constexpr unsigned int npos = 0xFFFFFFFFu;

  /// The shared empty text: one NUL, read-only. Handed out for every string
  /// that owns no block.
  static char const empty_text;

  /// @name Construction
  /// @{
  AString() noexcept;  ///< An empty string, owning no block.
  AString(AString const& other);  ///< A copy of `other`, in a block of its own.
  AString(AString&& other) noexcept;  ///< Takes `other`'s block; `other` is left empty.
  /// At most `len` characters of `other` from `pos` on, as assign() takes them.
  AString(AString const& other, unsigned int pos, unsigned int len);
  /// The text; null gives an empty string.
  AString(char const* text);  // NOLINT(google-explicit-constructor): null gives empty
  /// At most `len` characters of `text` from `pos` on, as assign() takes them.
  AString(char const* text, unsigned int pos, unsigned int len);
  explicit AString(char ch, unsigned int count = 1);  ///< `count` copies of `ch`, as assign() makes them.
  /// The framework string's text.
  AString(CString const& text);  // NOLINT(google-explicit-constructor)
  /// The text of a std::string_view (or std::string) up to its first NUL,
  /// which a string cannot hold. A text beyond the 32-bit length limit throws
  /// std::length_error.
  BRINDLE_INLINE explicit AString(std::string_view text);

  /// The number formatted with `format` (printf-style, applied to the one
  /// argument), or with the type's default format when `format` is null:
  /// "%d", "%u", "%ld", "%lu", "%0.4f". The whole result is taken, at any
  /// length, up to its first NUL.
  explicit AString(int number, char const* format = nullptr);
  explicit AString(unsigned int number, char const* format = nullptr);  ///< The number formatted, as for int.
  explicit AString(long number, char const* format = nullptr);  ///< The number formatted, as for int.
  explicit AString(unsigned long number, char const* format = nullptr);  ///< The number formatted, as for int.
  explicit AString(double number, char const* format = nullptr);  ///< The number formatted, as for int.

  /// The string resource `id` of `module` (null: the main program), or empty
  /// when there is none. Resources longer than 1,023 characters are cut there.
  AString(unsigned int id, HINSTANCE module);

  ~AString();  ///< Frees the block.

  /// @}
  /// @name Capacity and state
  /// @{
  [[nodiscard]] unsigned int length() const;  ///< The number of characters.
  [[nodiscard]] unsigned int reserve() const;  ///< The capacity: the size of the block, 0 when there is none.
  /// Capacity minus length: 0 for an empty string, else the free bytes
  /// including the one that holds the terminator.
  [[nodiscard]] unsigned int freeboard() const;
  [[nodiscard]] int is_null() const;  ///< 1 when the string owns no block (it is empty), else 0.
  [[nodiscard]] int valid_element(unsigned int i) const;  ///< 1 when `i` is below the length, else 0.
  [[nodiscard]] int valid_index(unsigned int i) const;  ///< 1 when `i` is at most the length, else 0.
  /// Evaluate the matching valid_ test and have no effect either way.
  void assert_element(unsigned int i) const;
  void assert_index(unsigned int i) const;  ///< See assert_element().

  /// @}
  /// @name Process-wide growth settings
  /// @{
  [[nodiscard]] static unsigned int get_initial_capacity();  ///< The capacity of a first block (8..64, initially 16).
  /// The step of larger capacities (16..128, initially 32).
  [[nodiscard]] static unsigned int get_resize_increment();
  /// Set the setting, clamped to 8..64 (initial) or 16..128 (increment), and
  /// return the previous value. Only blocks taken afterwards are affected.
  static unsigned int initial_capacity(unsigned int n);
  static unsigned int resize_increment(unsigned int n);  ///< See initial_capacity().

  /// @}
  /// @name Assigning, appending, prepending, inserting, removing
  /// @{

  /// `count` copies of `ch`; a NUL `ch` or a count of 0 gives empty.
  AString& assign(char ch, unsigned int count = 1);
  /// At most `len` characters of `text` from `pos` on; empty when `text` is
  /// null or empty, `len` is 0 or `pos` is at or past its end. `text` may
  /// point into this string.
  AString& assign(char const* text, unsigned int pos = 0, unsigned int len = npos);
  /// The same characters added at the end; on an empty string exactly
  /// assign(), otherwise the cases that would give empty change nothing.
  AString& append(char ch, unsigned int count = 1);
  /// The part of `text` that assign() would take, added at the end.
  AString& append(char const* text, unsigned int pos = 0, unsigned int len = npos);
  /// The same characters put in front, by the rules of append().
  AString& prepend(char ch, unsigned int count = 1);
  /// The part of `text` that assign() would take, put in front.
  AString& prepend(char const* text, unsigned int pos = 0, unsigned int len = npos);
  /// `s` (or the part of it that assign() with `s_pos` and `s_len` takes) put
  /// before position `pos`; a `pos` at or past the length appends. `s` may be
  /// this string.
  AString& insert(unsigned int pos, AString const& s);
  /// The part of `s` that `s_pos` and `s_len` select, put before `pos`.
  AString& insert(unsigned int pos, AString const& s, unsigned int s_pos, unsigned int s_len);
  /// Removes at most `len` characters from `pos` on, within the same block;
  /// removing every character frees the block.
  AString& remove(unsigned int pos, unsigned int len = npos);
  /// Frees the block: length, capacity and buffer become zero.
  AString& clear();

  /// @}
  /// @name Operators
  /// @{
  AString& operator=(AString const& other);  ///< `other`'s text.
  AString& operator=(AString&& other) noexcept;  ///< Takes `other`'s block; `other` is left empty.
  AString& operator=(char ch);  ///< The one character `ch` (empty for NUL).
  AString& operator=(char const* text);  ///< The text (empty for null).
  AString& operator=(int number);  ///< The number in its default format.
  AString& operator=(unsigned int number);  ///< The number in its default format.
  AString& operator=(long number);  ///< The number in its default format.
  AString& operator=(unsigned long number);  ///< The number in its default format.
  AString& operator=(double number);  ///< The number in its default format ("%0.4f").

  AString& operator+=(AString const& other);  ///< `other`'s text added at the end.
  BRINDLE_INLINE AString& operator+=(char ch);  ///< `ch` added at the end (nothing for NUL).
  AString& operator+=(char const* text);  ///< The text added at the end (nothing for null).
  AString& operator+=(int number);  ///< The number in its default format, added at the end.
  AString& operator+=(unsigned int number);  ///< The number in its default format, added at the end.
  AString& operator+=(long number);  ///< The number in its default format, added at the end.
  AString& operator+=(unsigned long number);  ///< The number in its default format, added at the end.
  AString& operator+=(double number);  ///< The number in its default format, added at the end.

  AString& operator<<(AString const& other);  ///< The same as +=, for chains: `s << a << 42`.
  BRINDLE_INLINE AString& operator<<(char ch);  ///< The same as +=.
  AString& operator<<(char const* text);  ///< The same as +=.
  AString& operator<<(int number);  ///< The same as +=.
  AString& operator<<(unsigned int number);  ///< The same as +=.
  AString& operator<<(long number);  ///< The same as +=.
  AString& operator<<(unsigned long number);  ///< The same as +=.
  AString& operator<<(double number);  ///< The same as +=.

  /// @}
  /// @name Comparison, search and checksums
  /// @{
  // Bytes compare as unsigned values. Every search returns a position below
  // the length, or npos; an empty string is searched as an empty text.

  /// -1, 0 or 1 as the text orders before, equal to or after `text`; 1 when
  /// `text` is null.
  [[nodiscard]] int compare(char const* text) const;
  /// The same against the part of `text` that assign() would take.
  [[nodiscard]] int compare(char const* text, unsigned int pos, unsigned int len) const;
  [[nodiscard]] int contains(char ch) const;  ///< 1 when find(ch) finds it, else 0.
  [[nodiscard]] int contains(char const* text) const;  ///< 1 when find(text) finds it, else 0.

  /// First position at or after `start` holding `ch` (never found for NUL) or
  /// where `text` occurs.
  [[nodiscard]] unsigned int find(char ch, unsigned int start = 0) const;
  /// See find(char, unsigned int): the first occurrence of `text` (never found for null or empty).
  [[nodiscard]] BRINDLE_INLINE unsigned int find(char const* text, unsigned int start = 0) const;
  /// Last position at or before `start` holding `ch`, or where `text` begins.
  [[nodiscard]] unsigned int rfind(char ch, unsigned int start = npos) const;
  /// See rfind(char, unsigned int).
  [[nodiscard]] unsigned int rfind(char const* text, unsigned int start = npos) const;
  /// The characters of `set` are its members; order and repetition do not
  /// matter. The first two search from `start` on; the last two search the
  /// positions below `bound` (exclusive), from the highest down.
  [[nodiscard]] unsigned int find_first_of(AString const& set, unsigned int start = 0) const;
  /// See find_first_of().
  [[nodiscard]] unsigned int find_first_not_of(AString const& set, unsigned int start = 0) const;
  /// See find_first_of().
  [[nodiscard]] unsigned int find_last_of(AString const& set, unsigned int bound = npos) const;
  /// See find_first_of().
  [[nodiscard]] unsigned int find_last_not_of(AString const& set, unsigned int bound = npos) const;

  /// Replaces occurrences of `pattern` by `replacement`, left to right, at
  /// most `limit` times; the search resumes behind each replacement, so text
  /// a replacement brings in is never matched. Returns how many were made.
  int replace(AString const& pattern, AString const& replacement, unsigned int limit = npos);
  /// remove(pos, len), then insert(pos, s) (or the part of s that s_pos and
  /// s_len select).
  AString& replace(unsigned int pos, unsigned int len, AString const& s);
  /// See replace(unsigned int, unsigned int, AString const&).
  AString& replace(unsigned int pos, unsigned int len, AString const& s, unsigned int s_pos, unsigned int s_len);

  /// Value comparisons, in the order of compare(): bytes as unsigned values,
  /// up to the first NUL; a null text orders before every string and equals
  /// none. (Without these, two strings would compare as the addresses their
  /// conversions to char const* give.)
  BRINDLE_INLINE bool operator==(AString const& other) const { return std::strcmp(c_str(), other.c_str()) == 0; }
  /// `text` equal (never for null); `"k" == s` too.
  BRINDLE_INLINE bool operator==(char const* text) const {
    return text != nullptr && std::strcmp(c_str(), text) == 0;
  }
  /// Orders as compare() does; gives <, <=, > and >=.
  BRINDLE_INLINE std::strong_ordering operator<=>(AString const& other) const {
    return std::strcmp(c_str(), other.c_str()) <=> 0;
  }
  /// Orders against a text as compare() does; `"k" < s` too.
  BRINDLE_INLINE std::strong_ordering operator<=>(char const* text) const {
    return text == nullptr ? std::strong_ordering::greater : std::strcmp(c_str(), text) <=> 0;
  }

  /// h = 0; for each character: h = (h rotated left by 1) ^ the byte. A
  /// checksum with few distinct values: containers hash with std::hash<AString>.
  [[nodiscard]] unsigned int Hash() const;
  /// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection, no final xor.
  [[nodiscard]] unsigned short crc16() const;

  /// @}
  /// @name Conversions and element access
  /// @{

  /// The text; the shared empty text for an empty string.
  char const* c_str() const;
  /// The same as c_str().
  operator char const*() const;  // NOLINT(google-explicit-constructor)
  char const* operator()() const;  ///< The same as c_str().
  /// The same pointer, writable: characters before the length may be changed
  /// in place. The shared empty text must not be written.
  char* p_str() const;

  /// The address of the character at `i` when i <= length (the length gives
  /// the empty tail); otherwise the shared empty text.
  char const* c_str(unsigned int i) const;
  char* p_str(unsigned int i) const;  ///< The same as c_str(i), writable.
  char const* operator()(unsigned int i) const;  ///< The same as c_str(i).

  /// A framework string of the same text.
  operator CString() const;  // NOLINT(google-explicit-constructor)

  /// The standard library's view of the text: data() is c_str(), size() the
  /// length, and begin() to end() the characters, for range-for and the
  /// algorithms. The view is valid until the string next changes.
  BRINDLE_INLINE char const* data() const { return buffer_ != nullptr ? buffer_ : &empty_text; }
  BRINDLE_INLINE std::size_t size() const { return length_; }  ///< The length.
  BRINDLE_INLINE char const* begin() const { return data(); }  ///< The first character.
  BRINDLE_INLINE char const* end() const { return data() + length_; }  ///< Just past the last character.
  /// A view of the text (the length, past any NUL stored by put_at()).
  BRINDLE_INLINE operator std::string_view() const { return {data(), length_}; }  // NOLINT(google-explicit-constructor)

  /// The first character, or NUL for an empty string.
  char operator*() const;

  /// The character at `i`, or NUL at or past the length. A negative int is the
  /// same bit pattern as a very large position.
  char operator[](unsigned int i) const;
  char operator[](int i) const;  ///< See operator[](unsigned int) const.
  [[nodiscard]] char get_at(unsigned int i) const;  ///< The same as operator[](unsigned int) const.

  /// A reference to the character at `i` when i < length. For any other
  /// position the reference is to a per-thread spare character that reads as
  /// NUL, so a write through it never reaches the terminator or the shared
  /// empty text.
  char& operator[](unsigned int i);
  char& operator[](int i);  ///< See operator[](unsigned int).
  /// Stores `ch` at `i` when i < length; the length never changes, even when
  /// `ch` is NUL.
  void put_at(unsigned int i, char ch);

  /// @}
  /// @name Editing
  /// @{
  // The enumerations have int as their underlying type, so that any value
  // may be passed; a value not listed does what the member says for it.

  /// Which runs of a character strip() removes.
  enum StripType : int { strip_leading = 0, strip_trailing = 1, strip_both = 2 };
  /// Where justify() strips and adds blanks: at the start (the text ends at the
  /// right edge of the field), at the end, or at both ends.
  enum JustifyType : int { justify_right = 0, justify_left = 1, justify_center = 2 };
  /// Flags of justify(), combined with |; JustifyMode{} is neither.
  enum JustifyMode : int { justify_truncate = 1, justify_strip = 2 };

  /// Keep the first `n` characters, the last `n`, or at most `n` from `pos` on
  /// (empty when `pos` is at or past the end), in a new block sized for them.
  AString& left(unsigned int n);
  AString& right(unsigned int n);  ///< See left().
  AString& mid(unsigned int pos, unsigned int n = npos);  ///< See left().
  /// A new string of at most `len` characters from `pos` on; this one is
  /// unchanged.
  [[nodiscard]] AString substr(unsigned int pos, unsigned int len = npos) const;
  [[nodiscard]] AString operator()(unsigned int pos, unsigned int len) const;  ///< The same as substr().

  /// Appends `ch` until the length is `width`. Nothing for a NUL `ch`, or when
  /// width - length, taken as a signed 32-bit value, is not positive.
  AString& pad(unsigned int width, char ch = ' ');
  /// Removes the run of `ch` at the start, at the end, or both, within the same
  /// block; a text that is all `ch` becomes empty and frees its block. A NUL
  /// `ch` or an unknown type changes nothing.
  AString& strip(StripType type = strip_both, char ch = ' ');
  /// Fits the text to a field of `width` characters; a blank is ' '.
  ///   1. With justify_strip, blanks are stripped at the end `type` names
  ///      (right: the start; left: the end; center: both).
  ///   2. A width of npos, or of the length, stops here.
  ///   3. A longer text is cut to `width` only with justify_truncate, keeping
  ///      one contiguous run: the last `width` characters for justify_right, the
  ///      first for justify_left, and for justify_center those from position
  ///      (length - width) / 2 on (an odd character is cut at the end).
  ///   4. A shorter text gets width - length blanks: in front (right), behind
  ///      (left), or half behind and the rest in front (center: an odd blank goes
  ///      in front). An empty string becomes `width` blanks.
  /// An unknown type strips and adds nothing, and is cut as justify_left.
  AString& justify(JustifyType type, unsigned int width, JustifyMode mode = JustifyMode{});

  /// Case conversion and classification by the C library's character classes
  /// in its current locale, each byte taken as an unsigned value.
  AString& to_upper();
  AString& to_lower();  ///< See to_upper().
  /// 1 when the text is non-empty and every character is in the class, else 0.
  [[nodiscard]] int is_upper() const;
  [[nodiscard]] int is_lower() const;  ///< See is_upper().
  [[nodiscard]] int is_alpha() const;  ///< See is_upper().
  [[nodiscard]] int is_alnum() const;  ///< See is_upper().
  [[nodiscard]] int is_digit() const;  ///< See is_upper().

  /// Converts the text in place between the platform's ANSI character set
  /// (code page 1252) and its OEM one (code page 437), one byte for one byte.
  /// On POSIX a character with no counterpart in the other set becomes '?'.
  AString& ansi_to_oem();
  AString& oem_to_ansi();  ///< See ansi_to_oem().
  /// The text becomes the string resource `id` of `module` (null: the main
  /// program), cut at 1,023 characters, or empty when there is none.
  AString& load(unsigned int id, HINSTANCE module);

  /// @}
  /// @name Paths
  /// @{
  // The separator is the platform's own: '/' on POSIX, '\\' on Windows.

  /// Joins `component` (null: empty) with exactly one separator between: this
  /// text's trailing separators and the component's leading ones are dropped
  /// first. On POSIX "dir//" ^= "/file" gives "dir/file"; an empty component
  /// leaves the text ending in one separator; joining to an empty string gives
  /// "/file".
  AString& operator^=(char const* component);
  /// The current working directory, whole at any length; empty on failure.
  [[nodiscard]] static AString getcwd();
  /// The full file name of `module` (null: the main program; otherwise a
  /// handle from dlopen() on POSIX), whole at any length; empty on failure.
  [[nodiscard]] static AString getcfn(HINSTANCE module);
  /// The directory part of getcfn(module): up to and including its last
  /// separator, or empty when it has none.
  [[nodiscard]] static AString getcfd(HINSTANCE module);

  /// @}
  /// @name Tokens, formatting, copying and numbers
  /// @{

  /// The next token of a text, split at any of the characters of `delims`.
  /// A non-null `text` starts a new text: a private copy is taken (the caller's
  /// text is never changed) and its leading delimiters are skipped. A null
  /// `text` continues the last one, and `delims` may differ from call to call.
  /// Two delimiters in a row give an empty token between them; once the text
  /// is used up every call gives an empty string, so the end looks like an
  /// empty token. Null `delims` gives the whole rest of the text and stays
  /// where it is. The state is per thread: each thread tokenises its own text.
  /// @code
  /// strtok("a,,b", ",");     // "a"
  /// strtok(nullptr, ",");    // "", then "b", then "", ...
  /// @endcode
  static AString strtok(char const* text, char const* delims);

  /// Formats the arguments with this text as the printf-style format and
  /// replaces the text by the result, whole at any length (up to its first
  /// NUL); a failed or empty result leaves the string empty. Returns the new
  /// length. AString and CString arguments are passed as their text; numbers,
  /// enumerations and pointers as they are; any other class type does not
  /// compile. (The C-style form below takes what it is given, and reads a
  /// class object passed to it as garbage: callers reach it through this
  /// template.)
  template <class... Args>
  int sprintf(Args&&... args) {
    return (this->*static_cast<int (AString::*)(...)>(&AString::sprintf))(
        brindle::detail::FormatArgument(std::forward<Args>(args))...);
  }
  /// The C-style form the template above calls; called directly it takes its arguments as they are.
  int sprintf(...);

  /// Copies at most `n` characters from `pos` on into `buffer`, which must
  /// hold n + 1, and a NUL behind them; returns how many were copied. A null
  /// `buffer` gets nothing and gives 0.
  unsigned int copy(char* buffer, unsigned int n, unsigned int pos = 0) const;

  /// The number the text's leading part spells (0 when none), as the C
  /// library's atoi, atol and atof read it; an integer beyond the 32-bit range
  /// gives the nearest 32-bit value.
  [[nodiscard]] int atoi() const;
  [[nodiscard]] LONG atol() const;  ///< See atoi().
  [[nodiscard]] double atof() const;  ///< See atoi().

  /// @}
  /// @name Stream input
  /// @{

  /// Each reader empties the string, reads, and returns the stream, whose state
  /// tells how the read ended. A stream that is not good on entry is returned
  /// unchanged. Lines and tokens of any length are read whole. A NUL byte read
  /// inside a line or token is dropped (a string cannot hold it).
  ///
  /// read_to_delim() reads up to `delim`, which is taken from the stream and
  /// not stored:
  /// @verbatim
  ///   text then delim          text, good, delim consumed
  ///   delim alone              empty, good, delim consumed
  ///   text then end of input   text, eof
  ///   end of input at once     empty, eof and fail
  /// @endverbatim
  /// read_line() is read_to_delim() with '\n'; read_file() and read_string()
  /// use NUL: everything up to a NUL byte or the end of input.
  ///
  /// read_token() skips leading whitespace (when the stream's skipws flag is
  /// set) and reads up to the next whitespace character, which stays in the
  /// stream, or to the end of input (eof alone, whatever the token's length).
  /// No token before the end gives an empty string with eof and fail; with
  /// skipws off, whitespace first gives an empty string and fail. Whitespace is
  /// the stream locale's; the field width is left at 0.
  ///
  /// An exception from the stream buffer sets bad (and fail when nothing was
  /// read) and passes on only when the stream's exception mask has bad. When
  /// an exception leaves a reader (that one, or one the mask makes of eof or
  /// fail), the string keeps the whole pieces of 1,023 characters read before
  /// it, as a reader through a 1,024-character buffer would.
  std::istream& read_to_delim(std::istream& in, char delim = '\n');
  std::istream& read_line(std::istream& in);  ///< See read_to_delim().
  std::istream& read_file(std::istream& in);  ///< See read_to_delim().
  std::istream& read_string(std::istream& in);  ///< See read_to_delim().
  std::istream& read_token(std::istream& in);  ///< See read_to_delim().

  /// @}
 private:
  friend class brindle::detail::StringReader;

  /// Sets the capacity for `n` characters by the capacity rule and returns a
  /// fresh block of that size; the caller installs it and frees the old one.
  ///   n == 0:      capacity 0, no block (null)
  ///   0 < n < I:   capacity I (the initial capacity)
  ///   n >= I:      (n / R + 1) * R, the smallest multiple of R above n
  char* reserve(unsigned int n);
  // find(text) past the short texts find() searches itself: `n` is the
  // pattern's length, at least 1, and start + n is at most the length.
  unsigned int find_text(char const* text, unsigned int n, unsigned int start) const;

  unsigned int length_;
  unsigned int capacity_;
  char* buffer_;
};

/// Combines justify() flags: AString::justify_truncate | AString::justify_strip.
constexpr AString::JustifyMode operator|(AString::JustifyMode a, AString::JustifyMode b) {
  return static_cast<AString::JustifyMode>(static_cast<int>(a) | static_cast<int>(b));
}

/// A new string holding the arguments formatted with `format`'s text as the
/// printf-style format, whole at any length (up to its first NUL); empty when
/// formatting fails or gives nothing.
[[nodiscard]] BRINDLE_API AString sprintf(AString const& format, ...);
/// The same with its arguments passed as AString::sprintf passes them. Only
/// for a format that is an AString, so that the C library's sprintf keeps its
/// own calls.
template <class Format, class... Args>
  requires std::is_same_v<std::remove_cvref_t<Format>, AString>
[[nodiscard]] AString sprintf(Format const& format, Args&&... args) {
  return static_cast<AString (*)(AString const&, ...)>(&sprintf)(
      format, brindle::detail::FormatArgument(std::forward<Args>(args))...);
}

// The text up to its first NUL, in a block sized for it.
BRINDLE_INLINE AString::AString(std::string_view text) : AString() {
  std::size_t n = text.size();
  if (void const* nul = std::memchr(text.data(), '\0', n)) n = static_cast<char const*>(nul) - text.data();
  if (n > 0xFFFFFFFFu) throw std::length_error("AString: text too long");
  if (n == 0) return;
  assign(' ', static_cast<unsigned int>(n));
  std::memcpy(buffer_, text.data(), n);
}

// Short texts are searched here, where the caller can inline it: a search
// of a few dozen bytes costs little more than the call into the library.
BRINDLE_INLINE unsigned int AString::find(char const* text, unsigned int start) const {
  std::size_t const n = text != nullptr ? std::strlen(text) : 0;
  if (n == 0 || buffer_ == nullptr || start + std::uint64_t{n} > length_) return npos;
  if (length_ - start > 128) return find_text(text, static_cast<unsigned int>(n), start);
  char const* p = buffer_ + start;
  char const* const last = buffer_ + (length_ - n);  // the last place an occurrence may begin
  while (p <= last) {
    p = static_cast<char const*>(std::memchr(p, text[0], static_cast<std::size_t>(last - p) + 1));
    if (p == nullptr) return npos;
    if (std::memcmp(p + 1, text + 1, n - 1) == 0) return static_cast<unsigned int>(p - buffer_);
    ++p;
  }
  return npos;
}

// Defined here so that callers can inline the common case, room in the
// block for the character and its terminator; growth, a NUL and an empty
// string take the library's path.
BRINDLE_INLINE AString& AString::operator+=(char ch) {
  if (ch != '\0' && length_ + 1 < capacity_) {
    buffer_[length_] = ch;
    buffer_[++length_] = '\0';
    return *this;
  }
  return append(ch, 1);
}
BRINDLE_INLINE AString& AString::operator<<(char ch) { return *this += ch; }

// Defined here so that callers can inline it: on short texts the call into the
// library would cost as much as the search. The library exports it all the
// same.
BRINDLE_INLINE unsigned int AString::find(char ch, unsigned int start) const {
  if (ch == '\0' || buffer_ == nullptr || start >= length_) return npos;
  void const* hit = std::memchr(buffer_ + start, ch, length_ - start);
  return hit != nullptr ? static_cast<unsigned int>(static_cast<char const*>(hit) - buffer_) : npos;
}

namespace std {
/// A hash of the text for unordered containers, consistent with ==: the bytes
/// up to the first NUL.
template <>
struct hash<AString> {
  /// The hash of the text up to its first NUL.
  std::size_t operator()(AString const& s) const noexcept { return std::hash<std::string_view>{}(s.c_str()); }
};
}  // namespace std

#endif  // BRINDLE_ASTRING_H
