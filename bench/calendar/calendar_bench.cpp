// The calendar against the standard library, a million dates a run:
//   day numbers  ADate::Jday and Mdy / std::chrono year_month_day <-> sys_days
//   parsing      operator>>(istream&, ADate&) / strptime, and std::get_time
//                (libstdc++ 12 has no std::chrono::parse)
//   printing     ADate and ATime AsString / strftime into a std::string
//                (libstdc++ 12 has no <format>)
//
// Run: build/bench/calendar_bench --benchmark_repetitions=3
// The ratios printed at the end are Brindle time / standard time. Runs with
// TZ=UTC0, so that both sides print the same clock.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "brindle/calendar.h"
#include "calendar/calendar_internal.h"

namespace {

using namespace std::chrono;
using brindle::detail::CalendarAccess;

constexpr int kDates = 1000000;
constexpr std::int64_t kUnixEpochDay = 2440588;        // 1 January 1970
constexpr std::int64_t kUnixEpochCount = 2177452800;   // the same, as an ATime count

struct Civil {
  unsigned int month, day, year;
};

// A million dates from 1901 to 2036, the same for every run.
struct Dates {
  std::vector<Civil> civil;
  std::vector<std::uint32_t> day_numbers;
  std::vector<std::uint32_t> counts;  // an instant on each date
  std::string text;                   // "January 5, 1998\n" each

  Dates() {
    std::mt19937 rng(1901);
    std::uniform_int_distribution<std::uint32_t> days(ADate::Jday(1, 1, 1901), ADate::Jday(12, 31, 2036));
    std::uniform_int_distribution<std::uint32_t> seconds(0, 86399);
    for (int i = 0; i < kDates; ++i) {
      std::uint32_t const n = days(rng);
      year_month_day const ymd{sys_days{::days{n - kUnixEpochDay}}};
      civil.push_back({static_cast<unsigned int>(ymd.month()), static_cast<unsigned int>(ymd.day()),
                       static_cast<unsigned int>(static_cast<int>(ymd.year()))});
      day_numbers.push_back(n);
      counts.push_back((n - 2415386u) * 86400u + seconds(rng));
      text += CalendarAccess::FromDayNumber(n).AsString();
    }
  }
};

Dates const& Data() {
  static Dates const* dates = new Dates;
  return *dates;
}

// --- Day numbers --------------------------------------------------------------

void Noop(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Data().civil.data());
}

void BrindleJday(benchmark::State& state) {
  auto const& civil = Data().civil;
  for (auto _ : state) {
    std::uint32_t sum = 0;
    for (Civil const& c : civil) sum += ADate::Jday(c.month, c.day, c.year);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

void ChronoToSysDays(benchmark::State& state) {
  auto const& civil = Data().civil;
  for (auto _ : state) {
    std::uint32_t sum = 0;
    for (Civil const& c : civil) {
      year_month_day const ymd{year{static_cast<int>(c.year)}, month{c.month}, day{c.day}};
      // Validity is part of Jday's work; ask chrono for it too.
      if (ymd.ok()) sum += static_cast<std::uint32_t>(sys_days{ymd}.time_since_epoch().count() + kUnixEpochDay);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

void BrindleMdy(benchmark::State& state) {
  auto const& numbers = Data().day_numbers;
  for (auto _ : state) {
    std::uint32_t sum = 0;
    for (std::uint32_t n : numbers) {
      unsigned int m, d, y;
      CalendarAccess::Mdy(CalendarAccess::FromDayNumber(n), m, d, y);
      sum += m + d + y;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

void ChronoFromSysDays(benchmark::State& state) {
  auto const& numbers = Data().day_numbers;
  for (auto _ : state) {
    std::uint32_t sum = 0;
    for (std::uint32_t n : numbers) {
      year_month_day const ymd{sys_days{days{static_cast<std::int64_t>(n) - kUnixEpochDay}}};
      sum += static_cast<unsigned int>(ymd.month()) + static_cast<unsigned int>(ymd.day()) +
             static_cast<unsigned int>(static_cast<int>(ymd.year()));
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

// --- Parsing ------------------------------------------------------------------

void BrindleParse(benchmark::State& state) {
  std::istringstream in(Data().text);
  for (auto _ : state) {
    in.clear();
    in.seekg(0);
    std::uint32_t sum = 0;
    ADate d;
    for (int i = 0; i < kDates; ++i) {
      in >> d;
      sum += d.Hash();
    }
    if (!in.good()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

// strptime leaves fields; the day number comes from chrono, as Jday makes it
// for ADate.
void StrptimeParse(benchmark::State& state) {
  char const* const text = Data().text.c_str();
  for (auto _ : state) {
    char const* p = text;
    std::uint32_t sum = 0;
    for (int i = 0; i < kDates && p != nullptr; ++i) {
      struct tm fields {};
      p = strptime(p, "%B %d, %Y\n", &fields);
      year_month_day const ymd{year{fields.tm_year + 1900}, month{static_cast<unsigned int>(fields.tm_mon + 1)},
                               day{static_cast<unsigned int>(fields.tm_mday)}};
      sum += static_cast<std::uint32_t>(sys_days{ymd}.time_since_epoch().count() + kUnixEpochDay);
    }
    if (p == nullptr) state.SkipWithError("strptime failed");
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

// The standard stream-based reader, on the same stream as ours.
void GetTimeParse(benchmark::State& state) {
  std::istringstream in(Data().text);
  for (auto _ : state) {
    in.clear();
    in.seekg(0);
    std::uint32_t sum = 0;
    for (int i = 0; i < kDates; ++i) {
      struct tm fields {};
      in >> std::get_time(&fields, "%B %d, %Y");
      year_month_day const ymd{year{fields.tm_year + 1900}, month{static_cast<unsigned int>(fields.tm_mon + 1)},
                               day{static_cast<unsigned int>(fields.tm_mday)}};
      sum += static_cast<std::uint32_t>(sys_days{ymd}.time_since_epoch().count() + kUnixEpochDay);
    }
    if (!in.good()) state.SkipWithError("get_time failed");
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

// --- Printing -----------------------------------------------------------------

void BrindleDateAsString(benchmark::State& state) {
  auto const& numbers = Data().day_numbers;
  for (auto _ : state) {
    std::size_t sum = 0;
    for (std::uint32_t n : numbers) {
      CString const s = CalendarAccess::FromDayNumber(n).AsString();
      sum += static_cast<std::size_t>(s.GetLength());
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

void StrftimeDate(benchmark::State& state) {
  auto const& numbers = Data().day_numbers;
  for (auto _ : state) {
    std::size_t sum = 0;
    for (std::uint32_t n : numbers) {
      year_month_day const ymd{sys_days{days{static_cast<std::int64_t>(n) - kUnixEpochDay}}};
      struct tm fields {};
      fields.tm_year = static_cast<int>(ymd.year()) - 1900;
      fields.tm_mon = static_cast<int>(static_cast<unsigned int>(ymd.month())) - 1;
      fields.tm_mday = static_cast<int>(static_cast<unsigned int>(ymd.day()));
      char text[80];
      std::size_t const length = std::strftime(text, sizeof text, "%B %-d, %Y\n", &fields);
      std::string const s(text, length);
      sum += s.size();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

void BrindleTimeAsString(benchmark::State& state) {
  auto const& counts = Data().counts;
  for (auto _ : state) {
    std::size_t sum = 0;
    for (std::uint32_t c : counts) {
      CString const s = ATime(c).AsString();
      sum += static_cast<std::size_t>(s.GetLength());
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

void StrftimeTime(benchmark::State& state) {
  auto const& counts = Data().counts;
  for (auto _ : state) {
    std::size_t sum = 0;
    for (std::uint32_t c : counts) {
      std::time_t const t = static_cast<std::time_t>(c - kUnixEpochCount);
      struct tm fields {};
      localtime_r(&t, &fields);
      char text[80];
      std::size_t const length = std::strftime(text, sizeof text, "%B %-d, %Y\n %-I:%M:%S %P", &fields);
      std::string const s(text, length);
      sum += s.size();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDates);
}

BENCHMARK(Noop);
BENCHMARK(BrindleJday)->Unit(benchmark::kMillisecond);
BENCHMARK(ChronoToSysDays)->Unit(benchmark::kMillisecond);
BENCHMARK(BrindleMdy)->Unit(benchmark::kMillisecond);
BENCHMARK(ChronoFromSysDays)->Unit(benchmark::kMillisecond);
BENCHMARK(BrindleParse)->Unit(benchmark::kMillisecond);
BENCHMARK(StrptimeParse)->Unit(benchmark::kMillisecond);
BENCHMARK(GetTimeParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BrindleDateAsString)->Unit(benchmark::kMillisecond);
BENCHMARK(StrftimeDate)->Unit(benchmark::kMillisecond);
BENCHMARK(BrindleTimeAsString)->Unit(benchmark::kMillisecond);
BENCHMARK(StrftimeTime)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("TZ", "UTC0", 1);
  _tzset();
  benchmark::Initialize(&argc, argv);
  brindle::bench::RatioReporter reporter;
  Data();
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Ratio("Jday, a million dates", "BrindleJday", "ChronoToSysDays", "ADate / chrono");
  reporter.Ratio("Mdy, a million day numbers", "BrindleMdy", "ChronoFromSysDays", "ADate / chrono", 1.0);
  reporter.Ratio("parse a million dates", "BrindleParse", "StrptimeParse", "ADate / strptime");
  reporter.Ratio("parse a million dates, both streams", "BrindleParse", "GetTimeParse", "ADate / get_time");
  reporter.Ratio("print a million dates", "BrindleDateAsString", "StrftimeDate", "ADate / strftime");
  reporter.Ratio("print a million times with dates", "BrindleTimeAsString", "StrftimeTime", "ATime / strftime");
  benchmark::Shutdown();
  return 0;
}
