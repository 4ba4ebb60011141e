// ADate's text: the four printed forms and the stream parser.
#include <cstdint>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>

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

namespace brindle::detail {
namespace {

// Numbers are decimal whatever the caller's stream is set to: "dec" is a
// month, not a hexadecimal number.
class DecimalNumbers {
 public:
  explicit DecimalNumbers(std::istream& s) : stream_(s), flags_(s.setf(std::ios_base::dec, std::ios_base::basefield)) {}
  DecimalNumbers(DecimalNumbers const&) = delete;
  DecimalNumbers& operator=(DecimalNumbers const&) = delete;
  ~DecimalNumbers() { stream_.flags(flags_); }

 private:
  std::istream& stream_;
  std::ios_base::fmtflags flags_;
};

// The one reader behind operator>> and ADate::Read, so that the two cannot
// drift apart. Three fields: month day year, month-name day year, or day
// month-name year; a number that fails to read is taken for the start of a
// month name. Notes in `r` what it reads and the first thing that goes
// wrong; returns the day number, 0 on failure.
std::uint32_t ReadDate(std::istream& in, ADate::Reading& r) {
  using Reading = ADate::Reading;
  if (!in.good()) return 0;
  DecimalNumbers const decimal(in);
  auto fail = [&r](Reading::Failure why) {
    if (r.failure == Reading::NoFailure) r.failure = why;
  };
  auto month_name = [&in, &r, &fail] {
    char const* const word = ReadWord(in);
    std::memcpy(r.month_word, word, sizeof r.month_word);
    unsigned int const month = MonthOfWord(word);
    if (month == 0) fail(Reading::UnknownMonth);
    return month;
  };
  SkipSeparators(in);
  in >> r.month;
  // The end of the input after a number is a short read, not a bad one.
  if (in.eof()) {
    fail(in.fail() ? Reading::EndBeforeDate : Reading::EndAfterFirstNumber);
    return 0;
  }
  if (in.fail()) {
    in.clear();
    r.form = Reading::MonthNameDayYear;
    r.month = month_name();
    SkipSeparators(in);
    in >> r.day;
    if (in.fail()) fail(in.eof() ? Reading::EndBeforeDay : Reading::NoDay);
  } else {
    SkipSeparators(in);
    in >> r.day;
    if (in.eof()) {
      fail(in.fail() ? Reading::EndAfterFirstNumber : Reading::EndAfterSecondNumber);
      return 0;
    }
    r.form = Reading::Numeric;
    if (in.fail()) {
      r.form = Reading::DayMonthNameYear;
      r.day = r.month;
      in.clear();
      r.month = month_name();
    }
  }
  SkipSeparators(in);
  in >> r.year;
  if (in.fail()) {
    fail(in.eof() ? Reading::EndBeforeYear : Reading::NoYear);
  } else if (in.eof()) {
    fail(Reading::YearAtEnd);
  }
  if (!in.fail() && r.year <= 99) r.century = 1900;
  std::uint32_t const day_number = in.rdstate() == std::ios_base::goodbit ? ADate::Jday(r.month, r.day, r.year) : 0;
  if (day_number == 0) {
    fail(Reading::NoSuchDate);
    in.clear(std::ios_base::badbit);
  }
  return day_number;
}

// Whether `word` (ASCII letters) is a leading part of `name`, in any case.
// Letters of either case differ by 0x20 at most; the name's NUL differs from
// every letter.
bool Fits(char const* word, char const* name) {
  for (; *word != '\0'; ++word, ++name) {
    if (((*word ^ *name) & ~0x20) != 0) return false;
  }
  return true;
}

char const* const kFormText[] = {"", "month day year", "month-name day year", "day month-name year"};
char const* const kFailureText[] = {"",
                                    "the input ended before the first field",
                                    "the input ended after the first number",
                                    "the input ended after the second number",
                                    "no month name",
                                    "the input ended before the day",
                                    "no day number where one was due",
                                    "the input ended before the year",
                                    "no year number where one was due",
                                    "the year ends the input: add a character after it",
                                    "no such date"};

}  // namespace
}  // namespace brindle::detail

std::istream& ADate::ParseFrom(std::istream& in) {
  dayNumber = 0;  // stays so should the stream throw
  Reading unused;
  dayNumber = brindle::detail::ReadDate(in, unused);
  return in;
}

ADate::Reading ADate::Read(std::string_view text) {
  std::istringstream in{std::string(text)};
  Reading r;
  r.date.dayNumber = brindle::detail::ReadDate(in, r);
  in.clear();
  r.stop = static_cast<std::size_t>(in.tellg());
  if (r.month_word[0] != '\0') {
    for (unsigned int m = 1; m <= 12; ++m) {
      if (brindle::detail::Fits(r.month_word, MonthName(m))) {
        r.months_fitting = static_cast<std::uint16_t>(r.months_fitting | 1u << (m - 1));
      }
    }
  }
  return r;
}

CString ADate::Reading::AsString() const {
  auto dmy = [](unsigned int d, unsigned int m, unsigned int y) {
    return std::to_string(d) + ' ' + MonthName(m) + ' ' + std::to_string(y);
  };
  std::string s = date.IsValid() != 0 ? dmy(date.DayOfMonth(), date.Month(), date.Year()) : "no date";
  if (form != NoForm) s += std::string(" (") + brindle::detail::kFormText[form] + ")";
  if (failure == UnknownMonth && month_word[0] != '\0') {
    s += ": no month matches \"" + std::string(month_word) + '"';
  } else if (failure == NoSuchDate) {
    s += ": there is no ";
    s += MonthName(month) != nullptr ? dmy(day, month, year + century) : "month " + std::to_string(month);
  } else if (failure != NoFailure) {
    s += std::string(": ") + brindle::detail::kFailureText[failure];
  }
  // A name that could stand for more than one month: each, and the one taken.
  if ((months_fitting & (months_fitting - 1)) != 0) {
    s += "; \"" + std::string(month_word) + "\" could name";
    char const* sep = " ";
    for (unsigned int m = 1; m <= 12; ++m) {
      if ((months_fitting >> (m - 1) & 1u) == 0) continue;
      s += sep + std::string(MonthName(m));
      sep = " or ";
    }
    s += std::string(": took ") + MonthName(month);
  }
  // Numbers that could be a day and a month either way round.
  if (form == Numeric && date.IsValid() != 0 && day <= 12 && day != month) {
    s += "; month first: not " + dmy(month, day, year + century);
  }
  if (century != 0) s += "; " + std::to_string(year) + " widened to " + std::to_string(year + century);
  s += "; stopped at offset " + std::to_string(stop);
  return CString(s.data(), static_cast<int>(s.size()));
}

std::istream& operator>>(std::istream& in, ADate& date) {
  return brindle::detail::CalendarAccess::ParseFrom(date, in);
}

std::ostream& operator<<(std::ostream& out, ADate const& date) { return brindle::detail::WriteDate(out, date); }
