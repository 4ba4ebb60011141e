// The date parser driven by arbitrary bytes. What must always hold: no crash
// or sanitizer report; the date is 0 or a valid date; the stream's state says
// which (good for a date; badbit alone, or an end of input, for 0); and a
// date read from the years 100 on reads back from each of its printed forms.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "brindle/calendar.h"

namespace {

constexpr unsigned int kLastExactDay = 1075462942;  // 4 June 2,939,805

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<char const*>(data), size));
  std::ios_base::iostate const eof = std::ios_base::eofbit;
  std::ios_base::iostate const bad = std::ios_base::badbit;
  // Read dates until the stream stops, as a client loop would.
  for (int round = 0; round < 8; ++round) {
    ADate date(1, 1, 2000);
    in >> date;
    std::ios_base::iostate const state = in.rdstate();
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
