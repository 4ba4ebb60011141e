// Tour: ADate and ATime.
#include <brindle/brindle.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "examples/tour/tour.h"

namespace {

// The text with its line ends made visible.
std::string Visible(CString const& text) {
  std::string out;
  for (char const* p = text; *p != '\0'; ++p) out += *p == '\n' ? std::string("\\n") : std::string(1, *p);
  return out;
}

}  // namespace

void CalendarTour() {
  std::printf("\nADate and ATime: dates, local time and daylight-saving time\n");
  ADate const today;
  std::printf("  today is day %u of %u, a %s\n", today.Day(), today.Year(), today.NameOfDay());
  char const* const forms[] = {"MonthDayYear", "DayMonYear", "NumericMonthDayYear", "DayMonthYear"};
  for (int option = 0; option < 4; ++option) {
    ADate::SetPrintOption(static_cast<ADate::HowToPrint>(option));
    std::printf("  %-22s \"%s\"\n", forms[option], Visible(today.AsString()).c_str());
  }
  ADate::SetPrintOption(ADate::MonthDayYear);

  ATime const now;
  std::printf("  now                    \"%s\"\n", Visible(now.AsString()).c_str());
  ATime::PrintDate(0);
  std::printf("  now, time only         \"%s\"%s\n", Visible(now.AsString()).c_str(),
              now.IsDST() != 0 ? " (daylight-saving time)" : "");

  unsigned int const year = ADate(now).Year();
  ATime const changes[] = {ATime::BeginDST(year), ATime::EndDST(year), ATime::BeginDST(year + 1)};
  ATime::PrintDate(1);
  if (_daylight != 0) {
    for (ATime const& change : changes) {
      if (change > now) {
        std::printf("  next change of clock   \"%s\" (%s)\n", Visible(change.AsString()).c_str(),
                    change == changes[1] ? "daylight-saving time ends" : "daylight-saving time begins");
        break;
      }
    }
  } else {
    ADate const begin(changes[0]);
    ADate const end(changes[1]);
    std::printf("  no daylight-saving time in this zone; elsewhere the built-in rule for %u runs\n"
                "  from Sunday %u %s to Sunday %u %s\n",
                year, begin.DayOfMonth(), begin.NameOfMonth(), end.DayOfMonth(), end.NameOfMonth());
  }

  ADate parsed;
  std::istringstream("jan 5 98 ") >> parsed;
  ADate later = parsed;
  later += 30;
  std::printf("  \"jan 5 98\" reads as    \"%s\"; 30 days later \"%s\"\n", Visible(parsed.AsString()).c_str(),
              Visible(later.AsString()).c_str());

  // ADate::Read says how it read a text: here an abbreviation that fits two
  // months, a day that April lacks, and a year with nothing after it.
  for (char const* text : {"ma 1 98 ", "31 April 1998 ", "December 25, 2037"}) {
    std::printf("  Read(\"%s\"): %s\n", text, static_cast<char const*>(ADate::Read(text).AsString()));
  }
}
