// ADate's text: the printed forms and the stream parser.
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/calendar.h"
#include "tests/portable.h"

namespace {

// Restores the load-time print form after each test.
class DateText : public ::testing::Test {
 protected:
  void TearDown() override { ADate::SetPrintOption(ADate::MonthDayYear); }
};

TEST_F(DateText, PrintOptionAtLoad) { EXPECT_EQ(ADate::PrintOption, ADate::MonthDayYear); }

TEST_F(DateText, PrintedForms) {
  struct Row {
    ADate date;
    int option;
    char const* text;
  } const rows[] = {
      {ADate(5, 1, 1998), 0, "January 5, 1998\n"},
      {ADate(5, 1, 1998), 1, " 5-Jan-1998"},
      {ADate(5, 1, 1998), 2, "1/5/1998\n"},
      {ADate(5, 1, 1998), 3, "5 January 1998\n"},
      {ADate(25, 12, 2037), 0, "December 25, 2037\n"},
      {ADate(25, 12, 2037), 1, "25-Dec-2037"},
      {ADate(25, 12, 2037), 2, "12/25/2037\n"},
      {ADate(25, 12, 2037), 3, "25 December 2037\n"},
      {ADate(9, 9, 999), 1, " 9-Sep-0999"},
      {ADate(9, 9, 999), 0, "September 9, 999\n"},
      {ADate(31, 5, 2939805), 1, "31-May-2939805"},
      {ADate(0, 13, 1998), 0, "February 28, 2935093\n"},  // the invalid date, unguarded
      {ADate(5, 1, 1998), 4, ""},
      {ADate(5, 1, 1998), -1, ""},
      {ADate(5, 1, 1998), 0x7FFFFFFF, ""},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(testing::Message() << "option " << r.option << ", " << r.text);
    ADate::SetPrintOption(static_cast<ADate::HowToPrint>(r.option));
    EXPECT_STREQ(r.date.AsString(), r.text);
    std::ostringstream out;
    out << r.date;
    EXPECT_EQ(out.str(), r.text);
  }
}

TEST_F(DateText, SetPrintOptionReturnsThePrevious) {
  EXPECT_EQ(ADate::SetPrintOption(ADate::DayMonYear), ADate::MonthDayYear);
  EXPECT_EQ(ADate::SetPrintOption(static_cast<ADate::HowToPrint>(4)), ADate::DayMonYear);
  EXPECT_EQ(ADate::PrintOption, 4);
  EXPECT_STREQ(ADate(5, 1, 1998).AsString(), "");
  EXPECT_EQ(ADate::SetPrintOption(ADate::DayMonthYear), 4);
}

struct Parsed {
  ADate date;
  std::ios_base::iostate state;
  std::string rest;  // what the stream still holds
};

Parsed Parse(std::string const& text) {
  std::istringstream in(text);
  Parsed p{ADate(1, 1, 2000), {}, {}};
  in >> p.date;
  p.state = in.rdstate();
  in.clear();
  std::getline(in, p.rest, '\0');
  return p;
}

constexpr std::ios_base::iostate kGood = std::ios_base::goodbit;
constexpr std::ios_base::iostate kEof = std::ios_base::eofbit;
constexpr std::ios_base::iostate kFail = std::ios_base::failbit;
constexpr std::ios_base::iostate kBad = std::ios_base::badbit;

TEST_F(DateText, AcceptedInput) {
  struct Row {
    char const* text;
    unsigned int day, month, year;
    char const* rest;
  } const rows[] = {
      {"1/5/1998 ", 5, 1, 1998, " "},
      {"1-5-98;", 5, 1, 1998, ";"},
      {"1 5 1998\n", 5, 1, 1998, "\n"},
      {"January 5, 1998\n", 5, 1, 1998, "\n"},
      {"jan 5 98 ", 5, 1, 1998, " "},
      {"Jan5,1998x", 5, 1, 1998, "x"},
      {"5 January 1998\n", 5, 1, 1998, "\n"},
      {"5-Jan-1998 ", 5, 1, 1998, " "},
      {"5jan98.", 5, 1, 1998, "."},
      {"December 25, 2037\n", 25, 12, 2037, "\n"},
      {"  \t**12/25/2037 tail", 25, 12, 2037, " tail"},
      {"ma 1 98 ", 1, 5, 1998, " "},
      {"ju 1 98 ", 1, 7, 1998, " "},
      {"29 feb 2000 ", 29, 2, 2000, " "},
      {" 5-Jan-1998 ", 5, 1, 1998, " "},
      {"1/5/50 ", 5, 1, 1950, " "},
      {"1/5/0100 ", 5, 1, 100, " "},
      {"\xE9" "5\xE9jan\xE9" "1998\xE9", 5, 1, 1998, "\xE9"},  // bytes above 127 separate
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.text);
    Parsed const p = Parse(r.text);
    EXPECT_EQ(p.date, ADate(r.day, r.month, r.year));
    EXPECT_EQ(p.state, kGood);
    EXPECT_EQ(p.rest, r.rest);
  }
}

TEST_F(DateText, RejectedInput) {
  struct Row {
    char const* text;
    std::ios_base::iostate state;
  } const rows[] = {
      {"", kEof | kFail},                // nothing at all
      {" ,; ", kEof | kFail},            // separators only
      {"12", kEof},                      // end of input after the first number
      {"12 ", kEof | kFail},             // ... after separators
      {"12 25", kEof},                   // end of input after the second number
      {"December 25, 2037", kBad},       // the year runs to the end of the input
      {"12/25/2037", kBad},
      {"31 April 1998 ", kBad},
      {"29 feb 00 ", kBad},              // 1900 is not a leap year
      {"2/29/0 ", kBad},
      {"13/1/1998 ", kBad},
      {"0/1/1998 ", kBad},
      {"1/0/1998 ", kBad},
      {"Septembers 1 1998 ", kBad},      // ten letters, longer than any month
      {"Septembreee 1 1998 ", kBad},     // the eleventh letter is left for the day
      {"Smarch 1 1998 ", kBad},
      {"1998-01-05 ", kBad},             // year first: month 1998
      {"5th January 1998 ", kBad},
      {"jan feb 1998 ", kBad},
      {"jan 5 ", kBad},                  // the year is missing
      {"99999999999 1 1998 ", kBad},     // a number too large to hold is no month name
      {"5 99999999999 1998 ", kBad},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.text);
    Parsed const p = Parse(r.text);
    EXPECT_EQ(p.date.Hash(), 0u);
    EXPECT_EQ(p.state, r.state);
  }
}

TEST_F(DateText, LongWordsLeaveTheirTailInTheStream) {
  std::istringstream in("Septembers 1 1998 ");
  ADate d;
  in >> d;
  EXPECT_EQ(d.Hash(), 0u);
  EXPECT_EQ(in.rdstate(), kBad);

  // The eleventh letter of a word stays for the day field to choke on.
  std::istringstream in2("Decemberxyz 1 1998 ");
  in2 >> d;
  EXPECT_EQ(d.Hash(), 0u);
  in2.clear();
  std::string rest;
  std::getline(in2, rest);
  EXPECT_EQ(rest, "z 1 1998 ");
}

TEST_F(DateText, FailedStreamIsLeftAlone) {
  std::istringstream in("1/5/1998 ");
  in.setstate(std::ios_base::failbit);
  ADate d(1, 1, 2000);
  in >> d;
  EXPECT_EQ(d.Hash(), 0u);
  EXPECT_EQ(in.rdstate(), kFail);
  in.clear();
  EXPECT_EQ(in.tellg(), 0);
}

TEST_F(DateText, NumbersAreDecimalWhateverTheStreamSays) {
  std::istringstream in("dec 10 1998 ");
  in >> std::hex;
  ADate d;
  in >> d;
  EXPECT_EQ(d, ADate(10, 12, 1998));
  EXPECT_EQ(in.flags() & std::ios_base::basefield, std::ios_base::hex);
}

TEST_F(DateText, SuccessiveDatesFromOneStream) {
  std::istringstream in("1/5/1998 5-Jan-1999, March 3 2000\n");
  ADate a, b, c;
  in >> a >> b >> c;
  EXPECT_TRUE(a == ADate(5, 1, 1998) && b == ADate(5, 1, 1999) && c == ADate(3, 3, 2000) && in.good());
}

// Every printed form reads back as the same date from the year 100 on; form
// 1 has no line end, so a space follows it.
TEST_F(DateText, PrintedFormsReadBack) {
  std::mt19937 rng(1998);
  std::uniform_int_distribution<unsigned int> day_numbers(ADate::Jday(1, 1, 100), ADate::Jday(12, 31, 99999));
  for (int i = 0; i < 4000; ++i) {
    ADate const original(day_numbers(rng) - 2415386u, 0);
    for (int option = 0; option < 4; ++option) {
      ADate::SetPrintOption(static_cast<ADate::HowToPrint>(option));
      std::string const text = std::string(original.AsString()) + " ";
      ADate back;
      std::istringstream in(text);
      in >> back;
      ASSERT_EQ(back, original) << text;
      ASSERT_TRUE(in.good()) << text;
    }
  }
  ADate::SetPrintOption(ADate::NumericMonthDayYear);
  std::istringstream in(std::string(ADate(1, 6, 1950).AsString()));
  ADate back;
  in >> back;
  EXPECT_EQ(back, ADate(1, 6, 1950));
}

// Arbitrary input, seeded: the date is 0 or a valid date, and the stream's
// state says which.
TEST_F(DateText, RandomInputKeepsItsPromises) {
  static char const* const kPieces[] = {"jan", "FEB", "ma", "sept", "December", "x", "Septembers",
                                        "1",   "31",  "29", "98",   "2000",     "0", "4294967296",
                                        " ",   "/",   "-",  ",",    "\n",       "\t", "\xE9",
                                        "+",   "#"};
  std::mt19937 rng(42);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> count(0, 8);
  int valid = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = count(rng); n > 0; --n) text += kPieces[piece(rng)];
    std::istringstream in(text);
    ADate d(1, 1, 2000);
    in >> d;
    std::ios_base::iostate const state = in.rdstate();
    if (d.IsValid() != 0) {
      ++valid;
      ASSERT_EQ(state, kGood) << text;
      // Past the exact range (years above 2,939,899) day numbers wrap.
      if (d.Hash() <= 1075462942u) {
        ASSERT_EQ(ADate::Jday(d.Month(), d.DayOfMonth(), d.Year()), d.Hash()) << text;
      }
    } else {
      ASSERT_TRUE(state == kBad || (state & kEof) != 0) << text << " state " << state;
      if ((state & kEof) != 0) {
        ASSERT_EQ(state & kBad, kGood) << text;
      }
    }
  }
  EXPECT_GT(valid, 100);
}

// Each thread has its own word buffer, so parsing runs on several at once.
TEST_F(DateText, ThreadsParseAtOnce) {
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  auto work = [](char const* text, ADate expected, int* failures) {
    for (int i = 0; i < 20000; ++i) {
      std::istringstream in(text);
      ADate d;
      in >> d;
      if (d != expected) ++*failures;
    }
  };
  int failures[2] = {0, 0};
  std::thread a(work, "September 9, 1999\n", ADate(9, 9, 1999), &failures[0]);
  std::thread b(work, "5 January 1998\n", ADate(5, 1, 1998), &failures[1]);
  a.join();
  b.join();
  EXPECT_EQ(failures[0], 0);
  EXPECT_EQ(failures[1], 0);
}

}  // namespace
