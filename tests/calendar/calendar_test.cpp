// ADate and ATime: every day of 2,800 years against std::chrono, the fast
// day-number formulas against the plain 32-bit ones, printed forms read back,
// and local time against the C library under pinned zones, with the
// daylight-saving changes at their seconds; then the rows those leave open:
// invalid input, two-digit years, names, the parser's refusals, the texts.

#include "brindle/calendar.h"
#include "calendar/calendar_internal.h"
#include "tests/portable.h"

namespace {

constexpr std::int64_t kUnixEpoch = 2177452800;  // 1 January 1970 as a count
// Constant-initialised, so a client's static initialisers may use them.
ADate const early_ref = ATime::RefDate;
unsigned int const early_span = ATime::MaxDate - ATime::RefDate;

ADate FromDayNumber(std::uint32_t n) { return ADate(n - 2415386, 0); }
std::uint32_t Utc(ADate const& d, unsigned int h) { return (d - ATime::RefDate) * 86400 + h * 3600; }

// Fields, weekday, day of the year (in the years 1 to 100 as well), leap
// years and month ends of each day from 1 January of the year 1; day numbers
// through Jday (years below 100 read as 1900 to 1999) and both constructors.
TEST(Date, AgreesWithChronoDayByDay) {
  using namespace std::chrono;
  for (std::uint32_t n = 1721426; n < 1721426 + 2800 * 36525 / 100; ++n) {
    year_month_day const ymd{sys_days{days{static_cast<std::int64_t>(n) - 2440588}}};
    year_month const ym = ymd.year() / ymd.month();
    unsigned int const y = static_cast<unsigned int>(static_cast<int>(ymd.year())), leap = ymd.year().is_leap();
    unsigned int const m = static_cast<unsigned int>(ymd.month()), dd = static_cast<unsigned int>(ymd.day());
    unsigned int const first = static_cast<unsigned int>((sys_days{ym / 1} - sys_days{ymd.year() / 1 / 1}).count()) + 1;
    ADate const d = FromDayNumber(n);
    ASSERT_TRUE(d.Year() == y && d.Month() == m && d.DayOfMonth() == dd && d.WeekDay() == weekday{ymd}.iso_encoding() &&
                d.Day() == first + dd - 1 && d.FirstDayOfMonth() == first && d.FirstDayOfMonth(m) == first &&
                d.Leap() == static_cast<int>(leap) && ADate::DaysInYear(y) == 365 + leap &&
                ADate::DayWithinMonth(m, dd, y) && ADate::DayWithinMonth(m, dd + 1, y) != (ym / last == ymd))
        << n << ": " << d.Month() << "/" << d.DayOfMonth() << "/" << d.Year() << " weekday " << d.WeekDay();
    ASSERT_EQ(ADate::Jday(m, dd, y), y >= 100 ? n : ADate::Jday(m, dd, y + 1900)) << n;
    ASSERT_TRUE(y <= 100 || (ADate(dd, m, y) == d && ADate(d.Day(), d.Year()) == d)) << n;
  }
}

// Random day numbers over the whole unsigned domain, wrapping included
// (first the edge of the exact range): the fast formulas agree with the
// plain 32-bit ones, and from the year 100 on every printed form reads back
// as the date, two to a stream (form 1 ends without a line end, so a space
// follows).
TEST(Date, RandomDayNumbers) {
  using namespace brindle::detail;
  std::mt19937 rng(4);
  for (std::uint32_t i = 0; i < 300000; ++i) {
    std::uint32_t const n = i < 4 ? kFirstExactDay + kExactDays - 2 + i : static_cast<std::uint32_t>(rng());
    MonthDayYear const fast = FieldsOf(n), plain = FieldsWrapping(n);
    ASSERT_TRUE(fast.month == plain.month && fast.day == plain.day && fast.year == plain.year) << n;
    std::uint32_t const m = rng() % 14, d = rng() % 33, y = i % 2 ? static_cast<std::uint32_t>(rng()) : rng() % 3000000;
    std::uint32_t const full = y <= 99 ? y + 1900 : y;
    ASSERT_EQ(DayNumberOf(m, d, y), IsDayWithinMonth(m, d, full) ? DayNumberWrapping(m, d, full) : 0) << y << " " << m;
    if (n < ADate::Jday(1, 1, 100) || n > 1075462942 || i % 8 != 0) continue;
    ADate const a = FromDayNumber(n), b = FromDayNumber(n / 2 + 1757585 / 2);
    ADate::SetPrintOption(static_cast<ADate::HowToPrint>(i / 8 % 4));
    std::istringstream in(std::string(a.AsString()) + " " + std::string(b.AsString()) + " ");
    ADate c, e;
    in >> c >> e;
    ASSERT_TRUE(c == a && e == b && in.good()) << in.str();
  }
  ADate::SetPrintOption(ADate::MonthDayYear);
}

// Month ends and leap days are checked day by day, and every month and day
// against the plain formula; these rows pin what that comparison leans on
// (month 13, month 0 as an unknown name gives, day 0, year 0 read as 1900)
// and the other constructors.
TEST(Date, InvalidDatesTwoDigitYearsAndNames) {
  std::pair<ADate, std::uint32_t> const rows[] = {  // the date and its day number
      {ADate(29, 2, 0), 0},   {ADate(1, 13, 1998), 0}, {ADate(0, 1, 1998), 0},   {ADate(5, "xyz", 1998), 0},
      {ADate(0, 0), 2415386}, {ADate(1, 1), 2415386},  {ADate(1, 100), 2451545}, {ADate(366, 1999), 2451545},
      {ADate(5, "jAN", 98), 2450819},
  };
  for (auto const& [date, n] : rows) EXPECT_TRUE(date.Hash() == n && date.IsValid() == (n != 0)) << n;
  // Any leading part of a name in any case; when several fit, the later in
  // the year or week. Only ASCII letters fold.
  struct Name { char const* name; unsigned int month, weekday; } const names[] = {
      {nullptr, 0, 0}, {"", 12, 7}, {"sEPT", 9, 0}, {"Septembre", 0, 0}, {"Ma", 5, 0}, {"J", 7, 0},
      {"aug", 8, 0},   {"T", 0, 4}, {"sat", 0, 6},  {"M", 5, 1},         {"x", 0, 0},  {"\xE9", 0, 0}};
  for (Name const& r : names) {
    EXPECT_TRUE(ADate::IndexOfMonth(r.name) == r.month && ADate::DayOfWeek(r.name) == r.weekday) << r.month;
  }
  EXPECT_EQ(std::string(ADate::MonthName(1)) + ADate::MonthName(12) + ADate::DayName(1) + ADate::DayName(7),
            "JanuaryDecemberMondaySunday");
  struct Probe : ADate { using ADate::AssertIndexOfMonth, ADate::AssertWeekDayNumber; };  // protected
  EXPECT_TRUE(!ADate::MonthName(13) && !ADate::DayName(8) && !Probe::AssertIndexOfMonth(0) &&
              !Probe::AssertIndexOfMonth(13) && !Probe::AssertWeekDayNumber(0) && !Probe::AssertWeekDayNumber(8));
}

// Previous is strictly before, one to seven days back; a weekday outside
// 1..7 takes the same unsigned steps (0, what an unknown name gives, goes
// back w + 7 days; 9 goes a day forward). Both classes order their values
// alike: CompareTo gives -1, 0 or 1, Between includes both ends.
TEST(Date, PreviousAndOrder) {
  for (ADate d(1, 3, 2024); d < ADate(15, 3, 2024); ++d) {
    for (unsigned int w = 1; w <= 7; ++w) EXPECT_TRUE(d.Previous(w).WeekDay() == w && d - d.Previous(w) - 1 < 7) << w;
  }
  ADate const monday(5, 1, 1998);
  EXPECT_TRUE(monday.Previous("sun") == ADate(4, 1, 1998) && monday - monday.Previous("nosuchday") == 8 &&
              monday - monday.Previous(9) == 4294967295u);  // the day after, as the difference wraps
  auto expect_order = [](auto const& v) {
    for (int i = 0; i < 9; ++i) {  // each pair (a, b), equal ones included
      int const a = i / 3, b = i % 3;
      auto const &x = v[a], &y = v[b];
      EXPECT_TRUE(x.CompareTo(y) == (a > b) - (a < b) && (x < y) == (a < b) && (x <= y) == (a <= b) &&
                  (x > y) == (a > b) && (x >= y) == (a >= b) && (x == y) == (a == b) && (x != y) == (a != b) &&
                  x.Max(y) == v[std::max(a, b)] && x.Min(y) == v[std::min(a, b)] &&
                  v[1].Between(x, y) == (a <= 1 && 1 <= b)) << a << " " << b;
    }
  };
  expect_order(std::vector{ADate(1, 1, 2000), ADate(2, 1, 2000), ADate(3, 1, 2000)});
  expect_order(std::vector{ATime(100u), ATime(200u), ATime(300u)});
}

// Month day year, month-name day year or day month-name year, with any run
// of non-alphanumeric bytes between (bytes above 127 too); numbers decimal
// whatever the stream says. The end of the input after a number is a short
// read, which keeps the stream's own flags; any other failure leaves badbit
// alone. Most rows leave one space unread. ADate::Read runs the same reader
// and stops where the stream does; its report, where a row gives one.
TEST(DateText, ParserRows) {
  using State = std::ios_base::iostate;
  constexpr State good = std::ios_base::goodbit, bad = std::ios_base::badbit, eof = std::ios_base::eofbit;
  // The day number read, the stream's state, what it leaves unread, and the report if checked.
  struct Row { char const* text; std::uint32_t hash; State state = good; char const* rest = " ", *report = nullptr; };
  Row const rows[] = {
      {"Jan5,1998x", 2450819, good, "x"}, {"Decemberxyz 1 1998 ", 0, bad, "z 1 1998 "},  // the 11th letter is left
      {"\xE9" "5\xE9jAn\xE9" "1998\xE9", 2450819, good, "\xE9"},    {"  \t**12/25/2037 tail", 2465418, good, " tail"},
      {"1-12-98;", 2450826, good, ";",
       "12 January 1998 (month day year); month first: not 1 December 1998; 98 widened to 1998; stopped at offset 7"},
      {"ju 1 99 ", 2451361, good, " ",  // the last year widened, and the first not
       "1 July 1999 (month-name day year); \"ju\" could name June or July: took July; 99 widened to 1999; "
       "stopped at offset 7"},
      {"1/5/0100 ", 1757589, good, " ",
       "5 January 100 (month day year); month first: not 1 May 100; stopped at offset 8"},
      {"", 0, eof | std::ios_base::failbit, "", "no date: the input ended before the first field; stopped at offset 0"},
      {"12", 0, eof, "", "no date: the input ended after the first number; stopped at offset 2"},
      {"12 25", 0, eof, "", "no date: the input ended after the second number; stopped at offset 5"},
      {"December 25, 2037", 0, bad, "",
       "no date (month-name day year): the year ends the input: add a character after it; stopped at offset 17"},
      {"29 feb 00 ", 0, bad, " ",
       "no date (day month-name year): there is no 29 February 1900; 0 widened to 1900; stopped at offset 9"},
      {"13/1/1998 ", 0, bad, " ", "no date (month day year): there is no month 13; stopped at offset 9"},
      {"Septembers 1 1998 ", 0, bad, " ",
       "no date (month-name day year): no month matches \"Septembers\"; stopped at offset 17"},
      {"jan feb 1998 ", 0, bad, "feb 1998 ",
       "no date (month-name day year): no day number where one was due; stopped at offset 4"},
      {"jan 5", 0, bad, "", "no date (month-name day year): the input ended before the year; stopped at offset 5"},
      {"5 jan x ", 0, bad, "x ",
       "no date (day month-name year): no year number where one was due; stopped at offset 6"},
      // a number too large to hold is no month name
      {"99999999999 1 1998 ", 0, bad, " ", "no date (month-name day year): no month name; stopped at offset 18"},
  };
  auto read_rows = [&rows] {
    for (Row const& r : rows) {
      std::istringstream in(r.text);
      ADate d(1, 1, 2000);
      in >> std::hex >> d;
      std::ios_base::iostate const state = in.rdstate();
      in.clear();
      std::string rest;
      std::getline(in, rest, '\0');
      EXPECT_TRUE(d.Hash() == r.hash && state == r.state && rest == r.rest) << r.text << ": " << d.Hash();
      ADate::Reading const reading = ADate::Read(r.text);
      EXPECT_TRUE(reading.date == d && reading.stop + rest.size() == std::strlen(r.text)) << r.text;
      if (r.report != nullptr) {
        EXPECT_STREQ(reading.AsString(), r.report);
      }
    }
  };
  read_rows();
  // Each thread has its own word buffer: two threads read the rows at once.
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  auto other = std::async(std::launch::async, [&read_rows] { for (int i = 0; i < 300; ++i) read_rows(); });
  for (int i = 0; i < 300; ++i) read_rows();
  other.get();
}

// Pins the zone; UTC again after.
struct Zone : ::testing::Test {
  static void Use(char const* tz) { brindle::testing::SetEnv("TZ", tz); _tzset(); }
  void TearDown() override { Use("UTC0"); }
};

// Each form of a date through AsString and the stream writer alike. A
// time is the local clock, 0 to 12 then 1 to 11, after the local date while
// PrintDateFlag is set (as at load).
TEST_F(Zone, PrintedForms) {
  struct Row { ADate date; int option; char const* text; } const rows[] = {
      {ADate(5, 1, 1998), 0, "January 5, 1998\n"},  {ADate(5, 1, 1998), 1, " 5-Jan-1998"},
      {ADate(25, 12, 2037), 2, "12/25/2037\n"},    {ADate(25, 12, 2037), 3, "25 December 2037\n"},
      {ADate(25, 12, 999), 1, "25-Dec-0999"},       {ADate(31, 5, 2939805), 1, "31-May-2939805"},
      {ADate(0, 13, 1998), 0, "February 28, 2935093\n"}, {ADate(5, 1, 1998), 4, ""},  // the invalid date; no form
  };
  EXPECT_EQ(ADate::PrintOption, ADate::MonthDayYear);  // at load
  for (Row const& r : rows) {
    ADate::SetPrintOption(static_cast<ADate::HowToPrint>(r.option));
    std::ostringstream out;
    out << r.date;
    EXPECT_TRUE(std::string(r.date.AsString()) == r.text && out.str() == r.text) << r.option << ": " << r.text;
  }
  EXPECT_EQ(ADate::SetPrintOption(ADate::MonthDayYear), 4);  // the one it replaces
  Use("EST5EDT,M4.1.0,M10.5.0");
  EXPECT_STREQ(ATime(Utc(ADate(6, 1, 1998), 2)).AsString(), "January 5, 1998\n 9:00:00 pm");
  EXPECT_TRUE(ATime::PrintDate(0) == 1 && ATime::PrintDate(0) == 0 && ATime::PrintDateFlag == 0);
  ADate const day(5, 1, 1998);
  std::pair<ATime, char const*> const clocks[] = {
      {ATime(day, 15, 4, 5), "3:04:05 pm"}, {ATime(day, 0, 0, 0), "0:00:00 am"},
      {ATime(day, 12, 0, 0), "12:00:00 pm"}, {ATime(day, 10, 1, 2), "10:01:02 am"}};
  for (auto const& [time, text] : clocks) EXPECT_STREQ(time.AsString(), text);
  EXPECT_TRUE(ATime::PrintDate(5) == 0 && ATime::PrintDateFlag == 1);
}

// The built-in rule under the zone's offsets: 1974 and 1975 have dates of
// their own; then to 1986 the Sunday before 30 April (30 April 1978 was one),
// to 2006 the Sunday of 31 March to 6 April (1991: 31 March), and the Sunday
// of 24 to 30 October. A two-digit year is not expanded before the rule is
// chosen. From 2007 on the C library pins the changes (below), and
// chrono_test.cpp the readings that each change skips or repeats.
TEST_F(Zone, DaylightSavingRule) {
  Use("EST5EDT,M4.1.0,M10.5.0");
  ASSERT_TRUE(_timezone == 18000 && _daylight != 0);
  struct Row { unsigned int year, begin_day, begin_month, end_day; } const rows[] = {  // it ends in October
      {1974, 6, 1, 27}, {1975, 23, 2, 26}, {1978, 23, 4, 29}, {1986, 27, 4, 26},
      {1987, 5, 4, 25}, {1991, 31, 3, 27}, {2006, 2, 4, 29},  {98, 26, 4, 25},
  };
  for (Row const& r : rows) {
    std::uint32_t const begin = Utc(ADate(r.begin_day, r.begin_month, r.year), 7);  // 2:00 EST
    std::uint32_t const end = Utc(ADate(r.end_day, 10, r.year), 6);                  // 1:00 EST, which is 2:00 EDT
    EXPECT_TRUE(ATime::BeginDST(r.year).Seconds() == begin && ATime::EndDST(r.year).Seconds() == end) << r.year;
  }
  // The first hour of the range takes the zone's shift too: 01:00 EST is 06:00 UTC.
  EXPECT_EQ(ATime(ADate(1, 1, 1901), 1, 0, 0).Seconds(), 21600u);
}

// From 2007 on the C library reads the same rule: at each change, a second
// before it and at random instants, the local reading (daylight-saving time
// or not, hour, minute, date) agrees with localtime's and turns back into the
// same instant through CTime (the repeated hour aside, which names two). Now
// and today follow the clock. Zones that had daylight-saving time once but
// have none now keep standard time all year.
TEST_F(Zone, AgreesWithTheCLibrary) {
  std::mt19937 rng(7);
  std::vector<char const*> zones = {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "JST-9"};
  if (!brindle::testing::kWindows) zones.insert(zones.end(), {"America/New_York", "America/Phoenix", "Asia/Kolkata"});
  for (char const* zone : zones) {
    Use(zone);
    for (unsigned int i = 0; i < 3000; ++i) {
      unsigned int const year = 2007 + i % 30;
      std::uint32_t const end = ATime::EndDST(year).Seconds(), change = i % 2 ? ATime::BeginDST(year).Seconds() : end;
      std::uint32_t const count = i % 3 == 2 ? Utc(ADate(1, 1, 2007), 0) + rng() % 946080000 : change - 1 + i % 3;
      std::time_t const t = static_cast<std::time_t>(count - kUnixEpoch);
      struct tm fields {};
      ASSERT_NE(localtime_r(&t, &fields), nullptr);
      ATime const time(count);
      CTime const c = time;
      bool const repeated = _daylight != 0 && count + 3600 >= end && count < end + 3600;
      ASSERT_TRUE(time.IsDST() == (fields.tm_isdst > 0) && time.Hour() == static_cast<unsigned int>(fields.tm_hour) &&
                  time.Minute() == static_cast<unsigned int>(fields.tm_min) && ADate(time) == ADate(CTime(t)) &&
                  (repeated || (c.GetTime() == t && ATime(c) == time))) << zone << " " << count;
    }
    std::int64_t const before = std::time(nullptr) + kUnixEpoch;
    ATime const now, noon(12, 0, 0);
    ADate const today;
    std::time_t const after = std::time(nullptr);
    EXPECT_TRUE(now.Seconds() >= before && now.Seconds() <= after + kUnixEpoch + (_daylight ? 3600 : 0)) << zone;
    ADate const local{CTime(after)};  // midnight may pass while the clock is read
    EXPECT_TRUE((today == local || local - today == 1) && ADate(noon) == today && noon.Hour() == 12) << zone;
  }
}

// The built-in rule against the C library over whole UTC years: spans of
// disagreement to the second, bounded by either side's changes and the year's
// ends (2037's is the count's, in Sydney's summer), merged where they meet.
// Windows' C runtime reads only the zone's names and offsets from TZ, with
// the United States' rule of each year (before 2007 the old one), so the
// zones of other rules run here only; the Windows suite runs this once more
// under Europe/Berlin (tests/CMakeLists.txt) to check its system zone.
TEST_F(Zone, CheckDSTFindsEveryDisagreement) {
  struct Span { std::uint32_t from, to; int rule; };
  struct Row { char const* zone; unsigned int year; int checked; std::vector<Span> spans; bool posix_only = false; };
  auto const at = [](unsigned int d, unsigned int m, unsigned int y, unsigned int h) { return Utc(ADate(d, m, y), h); };
  char const* const us = "EST5EDT,M3.2.0,M11.1.0";
  char const* const sydney = "AEST-10AEDT,M10.1.0,M4.1.0/3";
  bool const system_zone = std::getenv("BRINDLE_SYSTEM_ZONE") != nullptr;
  std::vector<Span> const europe = {{at(10, 3, 2024, 1), at(31, 3, 2024, 1), 1},
                                    {at(27, 10, 2024, 1), at(3, 11, 2024, 0), 1}};
  Row const rows[] = {
      {us, 2024, 1, {}}, {"UTC0", 2024, 1, {}}, {"JST-9", 2036, 1, {}}, {us, 1900, 0, {}}, {us, 2038, 0, {}},
      // Before 2007 the rule starts on 31 March when that is a Sunday and
      // ends on 24 October when the 31st is one.
      {"EST5EDT,M4.1.0,M10.5.0", 2002, 1, {{at(31, 3, 2002, 7), at(7, 4, 2002, 7), 1}}},
      {"EST5EDT,M4.1.0,M10.5.0", 2004, 1, {{at(24, 10, 2004, 6), at(31, 10, 2004, 6), 0}}},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 2024, 1, europe, true}, {nullptr, 2024, 1, europe},  // null: no TZ
      {sydney, 2024, 1,
       {{at(1, 1, 2024, 0), at(9, 3, 2024, 16), 0}, {at(6, 4, 2024, 16), at(5, 10, 2024, 16), 1},
        {at(2, 11, 2024, 15), at(1, 1, 2025, 0), 0}}, true},
      {sydney, 2037, 1, {{at(1, 1, 2037, 0), 0xFFFFFFFFu, 0}}, true},
      // No daylight-saving time now (_daylight 0), but in 2018: the rule's
      // end, which changes nothing here, falls inside the platform's summer.
      {"America/Sao_Paulo", 2018, 1,
       {{at(1, 1, 2018, 0), at(18, 2, 2018, 2), 0}, {at(4, 11, 2018, 3), at(1, 1, 2019, 0), 0}}, true},
  };
  for (Row const& r : rows) {
    if ((r.zone == nullptr) != system_zone || (r.posix_only && brindle::testing::kWindows)) continue;
    SCOPED_TRACE(std::string(r.zone != nullptr ? r.zone : "system") + " " + std::to_string(r.year));
    Use(r.zone);
    ATime::DstCheck const check = ATime::CheckDST(r.year);
    EXPECT_TRUE(check.checked == r.checked && check.mismatches.size() == r.spans.size() &&
                (!r.checked || (check.sawStandardTime == (r.year < 2037) && check.platformTimezone == _timezone)));
    for (std::size_t i = 0; i < std::min(r.spans.size(), check.mismatches.size()); ++i) {
      ATime::DstMismatch const& m = check.mismatches[i];
      EXPECT_TRUE(m.from.Seconds() == r.spans[i].from && m.to.Seconds() == r.spans[i].to &&
                  m.ruleSaysDST == r.spans[i].rule) << i << ": " << m.from.Seconds() << ".." << m.to.Seconds();
    }
  }
  if (system_zone) return;
  std::ostringstream text;
  text << ATime::CheckDST(2038);
  Use("EST5EDT,M4.1.0,M10.5.0");
  text << ATime::CheckDST(2004);
  EXPECT_EQ(text.str(),
            "2038: not checked (outside 1901..2037, or the platform cannot convert it)\n"
            "2004: standard time UTC-05:00, as _timezone says\n"
            "  2004-10-24 06:00:00 UTC to 2004-10-31 06:00:00 UTC: the platform says daylight-saving time, "
            "the built-in rule standard time\n");
}

TEST(Time, CountsAndRange) {
  struct Probe : ATime { using ATime::AssertDate; };
  EXPECT_TRUE(early_ref == ADate(1, 1, 1901) && early_span == 49709 && ATime::MaxDate == ADate(5, 2, 2037));
  EXPECT_TRUE(Probe::AssertDate(ATime::RefDate) && Probe::AssertDate(ATime::MaxDate) &&
              !Probe::AssertDate(FromDayNumber(2415385)) && !Probe::AssertDate(FromDayNumber(2465096)));
  ATime const first(ADate(1, 1, 1901), 0, 0, 1), last(ATime::MaxDate, 23, 59, 59);  // the second before first is 0
  EXPECT_TRUE(first.Seconds() == 1 && first.IsValid() && !ATime(ADate(1, 1, 1901), 0, 0, 0).IsValid() &&
              last.Seconds() == 4294943999u && !ATime(ADate(31, 4, 1998), 1, 0, 0).IsValid() &&
              !ADate(ATime(0u)).IsValid());
  // Fields are not validated: hour 25 is 1:00 the next day.
  EXPECT_TRUE(ATime(ADate(5, 1, 1998), 25, 4, 5) == ATime(ADate(6, 1, 1998), 1, 4, 5));
}

}  // namespace
