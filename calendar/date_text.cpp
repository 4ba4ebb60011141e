// ADate's text: the four printed forms and the stream parser.
#include <cstdint>
#include <istream>
#include <ostream>

#include "brindle/calendar.h"
#include "calendar/calendar_internal.h"

ADate::HowToPrint ADate::PrintOption = ADate::MonthDayYear;

namespace brindle::detail {
namespace {

char* PutText(char* p, char const* text) {
  while (*text != '\0') *p++ = *text++;
  return p;
}

// `value` in decimal, at least `width` characters, padded on the left with
// `fill`.
char* PutUnsigned(char* p, std::uint32_t value, unsigned int width = 1, char fill = ' ') {
  char digits[10];
  unsigned int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (; width > n; --width) *p++ = fill;
  while (n > 0) *p++ = digits[--n];
  return p;
}

// Letters are ASCII letters, whatever the locale: every other byte, those
// above 127 included, separates fields.
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsLetterOrDigit(char c) { return IsLetter(c) || (c >= '0' && c <= '9'); }

// Passes over a run of separators, leaving the first letter or digit in the
// stream. White space goes by the stream's own skipping, or as a separator
// where that is off.
void SkipSeparators(std::istream& in) {
  char c;
  while (in >> c) {
    if (IsLetterOrDigit(c)) {
      in.putback(c);
      return;
    }
  }
}

// The next word of at most 10 letters; letters past the tenth stay in the
// stream. The buffer is the calling thread's own.
char const* ReadWord(std::istream& in) {
  thread_local char word[11];
  SkipSeparators(in);
  unsigned int n = 0;
  char c;
  while (n < 10 && in.get(c)) {
    if (!IsLetter(c)) {
      in.putback(c);
      break;
    }
    word[n++] = c;
  }
  word[n] = '\0';
  return word;
}

// The month a word names. A number too large to read leaves no word at all,
// and that names no month (though the empty name would fit December).
unsigned int MonthOfWord(char const* word) { return word[0] != '\0' ? ADate::IndexOfMonth(word) : 0; }

}  // namespace

std::size_t FormatDate(char* out, ADate const& date) {
  unsigned int month = 0;
  unsigned int day = 0;
  unsigned int year = 0;
  CalendarAccess::Mdy(date, month, day, year);
  // Mdy gives a month of 1..12 for every day number, so the name is never
  // null.
  char const* name = ADate::MonthName(month);
  char* p = out;
  switch (static_cast<unsigned int>(ADate::PrintOption)) {
    case ADate::MonthDayYear:  // January 5, 1998
      p = PutText(p, name);
      *p++ = ' ';
      p = PutUnsigned(p, day);
      *p++ = ',';
      *p++ = ' ';
      p = PutUnsigned(p, year);
      *p++ = '\n';
      break;
    case ADate::DayMonYear:  // " 5-Jan-1998", as "%2u-%.3s-%.4u"
      p = PutUnsigned(p, day, 2, ' ');
      *p++ = '-';
      for (int i = 0; i < 3 && name[i] != '\0'; ++i) *p++ = name[i];
      *p++ = '-';
      p = PutUnsigned(p, year, 4, '0');
      break;
    case ADate::NumericMonthDayYear:  // 1/5/1998
      p = PutUnsigned(p, month);
      *p++ = '/';
      p = PutUnsigned(p, day);
      *p++ = '/';
      p = PutUnsigned(p, year);
      *p++ = '\n';
      break;
    case ADate::DayMonthYear:  // 5 January 1998
      p = PutUnsigned(p, day);
      *p++ = ' ';
      p = PutText(p, name);
      *p++ = ' ';
      p = PutUnsigned(p, year);
      *p++ = '\n';
      break;
    default:  // any other setting prints nothing
      break;
  }
  *p = '\0';
  return static_cast<std::size_t>(p - out);
}

std::ostream& WriteDate(std::ostream& out, ADate const& date) {
  char text[kTextBuffer];
  FormatDate(text, date);
  return out << text;
}

}  // namespace brindle::detail

ADate::HowToPrint ADate::SetPrintOption(HowToPrint option) {
  HowToPrint const previous = PrintOption;
  PrintOption = option;
  return previous;
}

CString ADate::AsString() const {
  char text[brindle::detail::kTextBuffer];
  std::size_t const length = brindle::detail::FormatDate(text, *this);
  return CString(text, static_cast<int>(length));
}

// Three fields: month day year, month-name day year, or day month-name year.
// A number that fails to read is taken for the start of a month name.
std::istream& ADate::ParseFrom(std::istream& in) {
  using brindle::detail::MonthOfWord;
  using brindle::detail::ReadWord;
  using brindle::detail::SkipSeparators;
  dayNumber = 0;
  if (!in.good()) return in;
  // Numbers are decimal whatever the caller's stream is set to: "dec" is a
  // month, not a hexadecimal number.
  struct DecimalNumbers {
    explicit DecimalNumbers(std::istream& s) : stream(s), flags(s.setf(std::ios_base::dec, std::ios_base::basefield)) {}
    ~DecimalNumbers() { stream.flags(flags); }
    std::istream& stream;
    std::ios_base::fmtflags flags;
  } const decimal(in);
  unsigned int a = 0;  // month, or day in the day-first form
  unsigned int b = 0;  // day
  unsigned int y = 0;
  SkipSeparators(in);
  in >> a;
  // The end of the input after a number is a short read, not a bad one.
  if (in.eof()) return in;
  if (in.fail()) {
    in.clear();
    a = MonthOfWord(ReadWord(in));
    SkipSeparators(in);
    in >> b;
  } else {
    SkipSeparators(in);
    in >> b;
    if (in.eof()) return in;
    if (in.fail()) {
      b = a;
      in.clear();
      a = MonthOfWord(ReadWord(in));
    }
  }
  SkipSeparators(in);
  in >> y;
  if (in.rdstate() == std::ios_base::goodbit) dayNumber = Jday(a, b, y);
  if (dayNumber == 0) in.clear(std::ios_base::badbit);
  return in;
}

std::istream& operator>>(std::istream& in, ADate& date) {
  return brindle::detail::CalendarAccess::ParseFrom(date, in);
}

std::ostream& operator<<(std::ostream& out, ADate const& date) { return brindle::detail::WriteDate(out, date); }
