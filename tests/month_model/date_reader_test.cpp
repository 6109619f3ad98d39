#include "month_model/date_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace hiduke {
namespace {

using enum DateProblem;
using namespace std::chrono;

std::string describe(const DateReading& reading) {
  if (const auto* date = std::get_if<year_month_day>(&reading)) {
    return std::to_string(int{date->year()}) + "-" + std::to_string(unsigned{date->month()}) + "-" +
           std::to_string(unsigned{date->day()});
  }
  return "problem " + std::to_string(static_cast<int>(std::get<DateProblem>(reading)));
}

struct ReadCase {
  std::string_view text;
  DateReading reading;
};

void expectReadings(const ReadCase* begin, const ReadCase* end) {
  for (const ReadCase* c = begin; c != end; ++c) {
    const DateReading reading = readDate(c->text);
    EXPECT_EQ(reading, c->reading) << "\"" << std::string(c->text) << "\": " << describe(reading) << ", not "
                                   << describe(c->reading);
  }
}

TEST(DateReader, ReadsEveryForm) {
  const ReadCase cases[] = {
      {"2010/5/3", year{2010} / 5 / 3},         {"2010/05/03", year{2010} / 5 / 3},
      {"2010-05-03", year{2010} / 5 / 3},       {"2010-5-3", year{2010} / 5 / 3},
      {"2010年5月3日", year{2010} / 5 / 3},     {"2010年05月03日", year{2010} / 5 / 3},
      {"20100503", year{2010} / 5 / 3},         {"2010/12/31", year{2010} / 12 / 31},
      {"令和8年12月7日", year{2026} / 12 / 7},  {"令和元年5月1日", year{2019} / 5 / 1},
      {"平成1年1月8日", year{1989} / 1 / 8},    {"昭和64年1月7日", year{1989} / 1 / 7},
      {"大正元年7月30日", year{1912} / 7 / 30}, {"明治6年1月1日", year{1873} / 1 / 1},
      {"R8.12.7", year{2026} / 12 / 7},         {"R08.12.07", year{2026} / 12 / 7},
      {"R8/12/7", year{2026} / 12 / 7},         {"R8-12-7", year{2026} / 12 / 7},
      {"H14.3.1", year{2002} / 3 / 1},          {"S64.1.7", year{1989} / 1 / 7},
      {"T1.7.30", year{1912} / 7 / 30},         {"M45.7.29", year{1912} / 7 / 29},
      {"r8.12.7", year{2026} / 12 / 7},         {"h14.3.1", year{2002} / 3 / 1},
      {"s1.12.25", year{1926} / 12 / 25},       {"t15.12.24", year{1926} / 12 / 24},
      {"m6.1.1", year{1873} / 1 / 1},           {"  2010/5/3  ", year{2010} / 5 / 3},
      {"\t20100503\n", year{2010} / 5 / 3},     {" R8.12.7 ", year{2026} / 12 / 7},
  };
  expectReadings(std::begin(cases), std::end(cases));
}

// Which reason a date that is read but refused gets; the eras' boundaries
// themselves are the era table's.
TEST(DateReader, RefusedDatesAreToldWhy) {
  const ReadCase cases[] = {
      {"1583/1/1", year{1583} / 1 / 1},          {"1582/12/31", kOutsideShowableYears},
      {"15821231", kOutsideShowableYears},       {"1582年12月31日", kOutsideShowableYears},
      {"32767/12/31", year{32767} / 12 / 31},    {"32768/1/1", kOutsideShowableYears},
      {"99999999999999999999/1/1", kOutsideShowableYears},
      {"R30750.1.1", kOutsideShowableYears},     {"令和99999999999年1月1日", kOutsideShowableYears},
      {"2012/2/29", year{2012} / 2 / 29},        {"2010/2/29", kNoSuchDay},
      {"2010/2/30", kNoSuchDay},                 {"2010/13/1", kNoSuchDay},
      {"2010/0/1", kNoSuchDay},                  {"20101301", kNoSuchDay},
      {"H31.2.30", kNoSuchDay},                  {"H31.5.1", kOutsideEra},
      {"R1.4.30", kOutsideEra},                  {"M5.1.1", kOutsideEra},
      {"平成元年1月7日", kOutsideEra},           {"R0.5.1", kOutsideEra},
  };
  expectReadings(std::begin(cases), std::end(cases));
}

TEST(DateReader, AnythingElseCannotBeRead) {
  const ReadCase cases[] = {
      {"", kCannotRead},           {"   ", kCannotRead},         {"abc", kCannotRead},
      {"2010", kCannotRead},       {"2010/5", kCannotRead},      {"2010/5/3/1", kCannotRead},
      {"2010/5-3", kCannotRead},   {"2010.5.3", kCannotRead},    // the dot only after an era letter
      {"2010/005/3", kCannotRead}, {"2010/5/003", kCannotRead},  {"2010 / 5 / 3", kCannotRead},
      {"2010/5/3x", kCannotRead},  {"-2010/5/3", kCannotRead},   {"2010/+5/3", kCannotRead},
      {"2010年5月3", kCannotRead}, {"2010年5/3", kCannotRead},
      {"2010503", kCannotRead},    {"201005030", kCannotRead},   // seven and nine digits
      {"X8.12.7", kCannotRead},    {"R.12.7", kCannotRead},      {"R8,12,7", kCannotRead},
      {"R8.12-7", kCannotRead},    {"RR8.12.7", kCannotRead},    {"R元.5.1", kCannotRead},
      {"令和8.12.7", kCannotRead}, {"令和年5月1日", kCannotRead}, {"令和元5年1月1日", kCannotRead},
      {"元年5月1日", kCannotRead}, {"天保3年1月1日", kCannotRead},
      {"２０１０/5/3", kCannotRead},  // full-width digits are folded before
      {"2010/5/3 2010/5/4", kCannotRead},
      {std::string_view("2010/5/3\0junk", 13), kCannotRead},
  };
  expectReadings(std::begin(cases), std::end(cases));
}

}  // namespace
}  // namespace hiduke
