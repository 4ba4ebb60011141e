// The date parser driven by arbitrary bytes. What must always hold: no crash
// or sanitizer report; the date is 0 or a valid date; the stream's state says
// which (good for a date; badbit alone, or an end of input, for 0); a date
// read from the years 100 on reads back from each of its printed forms; and
// ADate::Read of the rest of the text reads what the stream operator reads
// and stops where it does, failing with a reason exactly when it fails.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "brindle/calendar.h"

namespace {

constexpr unsigned int kLastExactDay = 1075462942;  // 4 June 2,939,805

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string const text(reinterpret_cast<char const*>(data), size);
  std::istringstream in(text);
  std::ios_base::iostate const eof = std::ios_base::eofbit;
  std::ios_base::iostate const bad = std::ios_base::badbit;
  // Read dates until the stream stops, as a client loop would.
  for (int round = 0; round < 8; ++round) {
    auto const from = static_cast<std::size_t>(in.tellg());
    ADate date(1, 1, 2000);
    in >> date;
    std::ios_base::iostate const state = in.rdstate();
    in.clear();
    ADate::Reading const reading = ADate::Read(std::string_view(text).substr(from));
    Require(reading.date == date && from + reading.stop == static_cast<std::size_t>(in.tellg()) &&
            (reading.failure == ADate::Reading::NoFailure) == (date.IsValid() != 0) && reading.AsString()[0] != '\0');
    in.setstate(state);
    if (date.IsValid() != 0) {
      Require(state == std::ios_base::goodbit);
      // Years past 2,939,899 give day numbers that have wrapped; within the
      // exact range the fields name the date back.
      if (date.Hash() >= ADate::Jday(1, 1, 100) && date.Hash() <= kLastExactDay) {
        Require(ADate::Jday(date.Month(), date.DayOfMonth(), date.Year()) == date.Hash());
        for (int option = 0; option < 4; ++option) {
          ADate::SetPrintOption(static_cast<ADate::HowToPrint>(option));
          std::istringstream back(std::string(date.AsString()) + " ");
          ADate again;
          back >> again;
          Require(again == date && back.good());
        }
        ADate::SetPrintOption(ADate::MonthDayYear);
      }
    } else {
      Require(state == bad || ((state & eof) != 0 && (state & bad) == 0));
      if (state != bad) break;  // the end of the input
      in.clear();
    }
  }
  return 0;
}
