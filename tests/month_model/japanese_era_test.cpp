#include "month_model/japanese_era.h"

#include <gtest/gtest.h>

#include <string>

namespace hiduke {
namespace {

using enum EraId;
using namespace std::chrono;

std::string text(year_month_day date) {
  return std::to_string(int{date.year()}) + "-" + std::to_string(unsigned{date.month()}) + "-" +
         std::to_string(unsigned{date.day()});
}

struct DateCase {
  year_month_day date;
  std::optional<EraYear> eraYear;
};

// The last day of each era and the first of the next, both ways round.
TEST(JapaneseEra, EachBoundaryBelongsToTheRightEra) {
  const DateCase cases[] = {
      {year{1872} / 12 / 31, std::nullopt},  // before the Gregorian calendar in Japan
      {year{1868} / 10 / 23, std::nullopt},  // 明治元年, but not covered
      {year{1873} / 1 / 1, EraYear{kMeiji, 6}},
      {year{1912} / 7 / 29, EraYear{kMeiji, 45}},
      {year{1912} / 7 / 30, EraYear{kTaisho, 1}},
      {year{1913} / 1 / 1, EraYear{kTaisho, 2}},
      {year{1926} / 12 / 24, EraYear{kTaisho, 15}},
      {year{1926} / 12 / 25, EraYear{kShowa, 1}},
      {year{1989} / 1 / 7, EraYear{kShowa, 64}},
      {year{1989} / 1 / 8, EraYear{kHeisei, 1}},
      {year{2019} / 4 / 30, EraYear{kHeisei, 31}},
      {year{2019} / 5 / 1, EraYear{kReiwa, 1}},
      {year{2020} / 1 / 1, EraYear{kReiwa, 2}},
      {year{2026} / 12 / 7, EraYear{kReiwa, 8}},
      {year{32767} / 12 / 31, EraYear{kReiwa, 30749}},  // far future, still the last era
      {year{2019} / 2 / 29, std::nullopt},              // no such day
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(text(c.date));
    const std::optional<EraYear> found = eraYearOf(c.date);
    ASSERT_EQ(found.has_value(), c.eraYear.has_value());
    if (!found) continue;
    EXPECT_EQ(found->era, c.eraYear->era);
    EXPECT_EQ(found->year, c.eraYear->year);
    // And back again.
    EXPECT_EQ(gregorianDateOf(found->era, found->year, c.date.month(), c.date.day()), c.date);
  }
}

struct EraDateCase {
  EraId era;
  int year;
  unsigned month;
  unsigned day;
};

// Era dates that name a day of another era, or no day, have no Gregorian
// date; the days inside each era are turned back above.
TEST(JapaneseEra, EraDatesOutsideTheirEraAreRefused) {
  const EraDateCase cases[] = {
      {kShowa, 64, 1, 8},          // 平成元年
      {kHeisei, 1, 1, 7},          // 昭和64年
      {kHeisei, 31, 5, 1},         {kReiwa, 1, 4, 30},
      {kMeiji, 5, 12, 31},         // before the table
      {kMeiji, 1, 10, 23},         {kMeiji, 45, 7, 30},   {kTaisho, 1, 7, 29},
      {kTaisho, 15, 12, 25},       {kShowa, 1, 12, 24},
      {kReiwa, 30750, 1, 1},       // past the last year std::chrono holds
      {kReiwa, 2147483647, 1, 1},  {kReiwa, 0, 5, 1},     {kReiwa, -5, 5, 1},
      {kReiwa, 7, 2, 29},          // no such day
      {kHeisei, 10, 13, 1},
  };
  for (const EraDateCase& c : cases) {
    SCOPED_TRACE(eraOf(c.era).name);
    SCOPED_TRACE(::testing::Message() << c.year << "." << c.month << "." << c.day);
    EXPECT_EQ(gregorianDateOf(c.era, c.year, month{c.month}, day{c.day}), std::nullopt);
  }
}

}  // namespace
}  // namespace hiduke
