// brindle/chrono.h against ADate's and ATime's own members on random values,
// then the ends of each range.

#include "brindle/chrono.h"
#include "tests/portable.h"

namespace {

using namespace std::chrono;
using brindle::to_date, brindle::to_time, brindle::to_local_seconds, brindle::to_sys_days, brindle::to_year_month_day;

constexpr std::uint32_t kLast = 4294967295u;  // the last day number, and the last count
constexpr sys_days kRef{1901y / 1 / 1};
constexpr local_days kLocalRef{1901y / 1 / 1};
ADate FromDayNumber(std::int64_t n) { return ADate(static_cast<unsigned int>(n - 2415386), 0u); }

// Days up to 31 December 32767 go there and back, and agree with ADate's
// fields where those are exact (from 1 March of the year 0) and with its
// constructor from the year 100 (below, it reads 1900 to 1999). Counts are
// seconds after 1901 began in UTC; any moment within one comes back to it.
TEST(Chrono, AgreesWithTheMembers) {
  std::mt19937 rng(20);
  for (int i = 0; i < 4000; ++i) {
    std::uint32_t const n = 1 + rng() % 13689325;
    ADate const d = FromDayNumber(n);
    std::optional<year_month_day> const ymd = to_year_month_day(d);
    std::optional<sys_days> const day = to_sys_days(d);
    ASSERT_TRUE(ymd && day && sys_days{*ymd} == *day && to_date(*ymd) == d && to_date(*day) == d) << n;
    unsigned int const y = static_cast<unsigned int>(static_cast<int>(ymd->year()));
    ASSERT_TRUE(n < 1721120 || (y == d.Year() && unsigned{ymd->month()} == d.Month() && unsigned{ymd->day()} ==
                                d.DayOfMonth() && (y < 100 || ADate(d.DayOfMonth(), d.Month(), y) == d))) << n;
    ATime const t(static_cast<std::uint32_t>(rng()) | 1u);
    std::optional<sys_seconds> const at = brindle::to_time_point(t);
    ASSERT_TRUE(at && *at - kRef == seconds{t.Seconds()} &&
                to_time(system_clock::time_point{*at} + nanoseconds{rng() % 1000000000}) == t) << t.Seconds();
  }
}

// A zone west of UTC, under the built-in daylight-saving rule; UTC again after.
struct ChronoZone : ::testing::Test {
  void SetUp() override { brindle::testing::SetEnv("TZ", "EST5EDT,M3.2.0,M11.1.0"); _tzset(); }
  void TearDown() override { brindle::testing::SetEnv("TZ", "UTC0"); _tzset(); }
};

// Instants at random and around each year's changes: the reading leads back
// to the instant (from the repeated hour's first pass, to its second) and
// agrees with the local members; a reading near it leads where ATime(date,
// hour, minute, second) does, and nowhere where that gives 0 (skipped). The
// first local day aside, where the members wrap around 2^32 seconds.
TEST_F(ChronoZone, LocalReadingsAgreeWithTheMembers) {
  std::mt19937 rng(22);
  for (int i = 0; i < 4000; ++i) {
    unsigned int const year = 1901 + rng() % 136;
    std::uint32_t const change = (i % 2 ? ATime::BeginDST(year) : ATime::EndDST(year)).Seconds();
    ATime const t(i % 3 ? change - 7200 + rng() % 14400 : static_cast<std::uint32_t>(rng()) | 1u);
    std::int64_t const s = (*to_local_seconds(t) - kLocalRef).count(), r = s - 3600 + std::int64_t(rng() % 7200);
    std::optional<ATime> const back = to_time(*to_local_seconds(t));
    ATime const built(FromDayNumber(2415386 + r / 86400), r % 86400 / 3600, r % 3600 / 60, r % 60);
    ASSERT_TRUE(back && (*back == t || (t.IsDST() && back->Seconds() == t.Seconds() + 3600))) << t.Seconds();
    ASSERT_TRUE(s < 86400 || (ADate(t) == FromDayNumber(2415386 + s / 86400) && t.Hour() == s % 86400 / 3600 &&
                              t.Minute() == s % 3600 / 60 && t.Second() == s % 60)) << t.Seconds();
    ASSERT_TRUE(r < 86400 || to_time(kLocalRef + seconds{r}).value_or(ATime(0u)) == built) << r;
  }
}

// The last values each side holds, then the first beyond them (under UTC-5).
TEST_F(ChronoZone, Ends) {
  EXPECT_TRUE(to_date(year{-4713} / 11 / 25) == FromDayNumber(1) && to_date(2000y / 2 / 29) == ADate(29, 2, 2000) &&
              to_year_month_day(FromDayNumber(13689325)) == year::max() / 12 / 31 &&
              to_sys_days(FromDayNumber(kLast)) == sys_days{days{kLast - 2440588}} &&
              to_date(sys_days{days{kLast - 2440588}}) == FromDayNumber(kLast) && to_time(kRef + 1s) == ATime(1u) &&
              to_time(kRef + seconds{kLast} + 999ms) == ATime(kLast) && to_time(kLocalRef - 5h + 1s) == ATime(1u) &&
              to_local_seconds(ATime(1u)) == kLocalRef - 5h + 1s &&
              to_time(kLocalRef + seconds{kLast} - 5h) == ATime(kLast) &&
              to_time(local_days{2020y / 11 / 1} + 90min) == ATime(ATime::EndDST(2020).Seconds() + 1800));  // repeated
  bool const refused[] = {
      to_date(year{-4713} / 11 / 24).has_value(), to_date(1900y / 2 / 29).has_value(),
      to_date(sys_days{days{-2440588}}).has_value(), to_date(sys_days{days{kLast - 2440587}}).has_value(),
      to_sys_days(FromDayNumber(0)).has_value(), to_year_month_day(FromDayNumber(0)).has_value(),
      to_year_month_day(FromDayNumber(13689326)).has_value(), brindle::to_time_point(ATime(0u)).has_value(),
      to_local_seconds(ATime(0u)).has_value(), to_time(kRef + 999ms).has_value(), to_time(kRef - 1ns).has_value(),
      to_time(kRef + seconds{kLast + 1ll}).has_value(), to_time(sys_days{year::max() / 1 / 1}).has_value(),
      to_time(kLocalRef - 5h + 999ms).has_value(), to_time(kLocalRef + seconds{kLast} - 5h + 1s).has_value(),
      to_time(local_days{2020y / 3 / 8} + 150min).has_value(),  // skipped
  };
  for (std::size_t i = 0; i < std::size(refused); ++i) EXPECT_FALSE(refused[i]) << i;
}

}  // namespace
