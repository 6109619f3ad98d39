#include "month_model/japanese_holidays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "month_model/equinox_day.h"
#include "month_model/month_grid.h"

namespace hiduke {
namespace {

using enum HolidayId;
using namespace std::chrono;

std::set<unsigned> daysOf(year_month month) {
  const MonthHolidays holidays = holidaysOf(month);
  std::set<unsigned> days;
  for (unsigned day = 0; day < holidays.size(); ++day) {
    if (holidays[day]) days.insert(day);
  }
  return days;
}

std::string text(year_month month) {
  return std::to_string(int{month.year()}) + "-" + std::to_string(unsigned{month.month()});
}

std::string text(year_month_day date) {
  return std::to_string(int{date.year()}) + "-" + std::to_string(unsigned{date.month()}) + "-" +
         std::to_string(unsigned{date.day()});
}

// One "YYYY-MM-DD<TAB>name" a line.
std::map<year_month_day, std::string> readHolidayList(const std::string& fileName) {
  std::ifstream in(std::string(HOLIDAY_DATA_DIR) + "/" + fileName);
  std::map<year_month_day, std::string> list;
  std::string line;
  while (std::getline(in, line)) {
    int y = 0;
    unsigned m = 0;
    unsigned d = 0;
    if (std::sscanf(line.c_str(), "%d-%u-%u", &y, &m, &d) != 3) continue;
    list[year{y} / m / d] = line.substr(line.find('\t') + 1);
  }
  return list;
}

// The names the lists give, and the holidays each may be.
const std::map<std::string, std::set<HolidayId>> kListedNames = {
    {"元日", {kNewYearsDay}},
    {"成人の日", {kComingOfAgeDay}},
    {"建国記念の日", {kFoundationDay}},
    {"天皇誕生日", {kEmperorsBirthday}},
    {"春分の日", {kVernalEquinoxDay}},
    {"みどりの日", {kGreeneryDay}},
    {"昭和の日", {kShowaDay}},
    {"憲法記念日", {kConstitutionDay}},
    {"こどもの日", {kChildrensDay}},
    {"海の日", {kMarineDay}},
    {"山の日", {kMountainDay}},
    {"敬老の日", {kRespectForTheAgedDay}},
    {"秋分の日", {kAutumnalEquinoxDay}},
    {"体育の日", {kHealthAndSportsDay}},
    {"体育の日（スポーツの日）", {kHealthAndSportsDay}},
    {"スポーツの日", {kSportsDay}},
    {"文化の日", {kCultureDay}},
    {"勤労感謝の日", {kLabourThanksgivingDay}},
    {"結婚の儀", {kCrownPrinceAkihitoWedding, kCrownPrinceNaruhitoWedding}},
    {"大喪の礼", {kShowaEmperorFuneral}},
    {"即位礼正殿の儀", {kEnthronementCeremony}},
    {"休日（祝日扱い）", {kEnthronement, kEnthronementCeremony}},
    {"休日", {kSubstituteHoliday, kCitizensHoliday}},
};

struct HolidayList {
  const char* file;
  int firstYear;
  int lastYear;
};

// Every day of the years a list covers is a holiday exactly when the list has
// it, and is the holiday the list names.
TEST(JapaneseHolidays, EveryDayMatchesTheHolidayLists) {
  const HolidayList lists[] = {
      {"jp-national-holidays-1948-1954.tsv", 1948, 1954},  // from the act's text
      {"jp-national-holidays-1955-2026.tsv", 1955, 2026},  // the Cabinet Office's list
      {"jp-national-holidays-2027-2030.tsv", 2027, 2030},  // the current law, equinox days computed
  };
  for (const HolidayList& list : lists) {
    const auto listed = readHolidayList(list.file);
    ASSERT_FALSE(listed.empty()) << list.file;
    std::size_t matched = 0;
    for (sys_days d{year{list.firstYear} / 1 / 1}; d <= sys_days{year{list.lastYear} / 12 / 31}; d += days{1}) {
      const year_month_day date{d};
      const auto holiday = holidaysOf(date.year() / date.month())[unsigned{date.day()}];
      const auto entry = listed.find(date);
      ASSERT_EQ(holiday.has_value(), entry != listed.end()) << text(date);
      if (!holiday) continue;
      ++matched;
      ASSERT_TRUE(kListedNames.contains(entry->second)) << entry->second;
      EXPECT_TRUE(kListedNames.at(entry->second).contains(*holiday)) << text(date) << " " << entry->second;
    }
    EXPECT_EQ(matched, listed.size()) << list.file << " lists days outside its years";
  }
}

struct MonthCase {
  year_month month;
  std::set<unsigned> days;
};

TEST(JapaneseHolidays, MonthsThatBreakNaiveRules) {
  const MonthCase cases[] = {
      {year{1947} / 11, {}},              // before the act
      {year{1948} / 5, {}},               // the act came into force on 20 July 1948
      {year{1948} / 9, {23}},
      {year{1973} / 2, {11}},             // a Sunday before substitute holidays existed
      {year{1973} / 4, {29, 30}},         // the first substitute holiday
      {year{1988} / 5, {3, 4, 5}},        // the first citizens' holiday
      {year{2003} / 5, {3, 5}},           // until 2006 no citizens' holiday on a Sunday
      {year{2008} / 5, {3, 4, 5, 6}},     // the 4th on a Sunday: the substitute passes the 5th
      {year{2019} / 2, {11}},
      {year{2019} / 4, {29, 30}},         // ten days off around the enthronement on 1 May
      {year{2019} / 5, {1, 2, 3, 4, 5, 6}},
      {year{2019} / 10, {14, 22}},
      {year{2019} / 12, {}},              // no emperor's birthday in 2019
      {year{2020} / 7, {23, 24}},         // moved for the Tokyo games
      {year{2020} / 8, {10}},
      {year{2020} / 10, {}},
      {year{2021} / 7, {22, 23}},
      {year{2021} / 8, {8, 9}},
      {year{2021} / 10, {}},
      {year{2026} / 1, {1, 12}},
      {year{2026} / 5, {3, 4, 5, 6}},
      {year{2026} / 9, {21, 22, 23}},
      {year{2026} / 12, {}},
      // Months whose holidays an every-year table of days got wrong, or nearly.
      {year{2002} / 6, {}},
      {year{2002} / 8, {}},
      {year{2001} / 1, {1, 8}},
      {year{2002} / 1, {1, 14}},          // the second Monday, not the Monday of the second row
      {year{2006} / 1, {1, 2, 9}},        // the 1st on a Sunday
      {year{2000} / 10, {9}},
      {year{2002} / 10, {14}},
      {year{2001} / 2, {11, 12}},
      {year{2003} / 2, {11}},
      {year{2002} / 3, {21}},
      {year{2001} / 4, {29, 30}},
      {year{2002} / 5, {3, 4, 5, 6}},
      {year{2003} / 7, {21}},
      {year{2001} / 9, {15, 23, 24}},
      {year{2002} / 9, {15, 16, 23}},
      {year{2001} / 11, {3, 23}},
      {year{2002} / 11, {3, 4, 23}},
      {year{2001} / 12, {23, 24}},
  };
  for (const MonthCase& c : cases) {
    EXPECT_EQ(daysOf(c.month), c.days) << text(c.month);
  }
}

// Years the lists do not reach, worked out by hand from the approximation in
// equinox_day.cpp's comment (C = 20.8431 / 23.2488 to 2099, 21.8510 / 24.2488
// from 2100; 0.242194 a year from 1980), its int((year − 1980) / 4) leap days
// less those 2200, 2300, 2500 skip. 2092 is the first 19 March since the act.
TEST(JapaneseHolidays, EquinoxDaysBeyondTheLists) {
  const struct { int year; unsigned march, september; } kCases[] = {
      {2092, 19, 22}, {2099, 20, 23}, {2100, 20, 23}, {2101, 21, 23}, {2199, 20, 23},
      {2200, 21, 23}, {2201, 21, 23}, {2300, 21, 23}, {2400, 20, 22}, {2500, 20, 23}};
  for (const auto& c : kCases) {
    EXPECT_EQ(unsigned{equinoxDay(year{c.year}, March)}, c.march) << c.year;
    EXPECT_EQ(unsigned{equinoxDay(year{c.year}, September)}, c.september) << c.year;
  }
}

struct DayCase {
  year_month_day date;
  HolidayId id;
};

// Days that the lists name alike; the window names them apart.
TEST(JapaneseHolidays, DaysNamedAlikeAreToldApart) {
  const DayCase cases[] = {
      {year{1973} / 4 / 30, kSubstituteHoliday},       {year{1988} / 5 / 4, kCitizensHoliday},
      {year{2002} / 5 / 4, kCitizensHoliday},          {year{2002} / 5 / 6, kSubstituteHoliday},
      {year{2008} / 5 / 6, kSubstituteHoliday},        {year{2019} / 4 / 30, kCitizensHoliday},
      {year{2019} / 5 / 2, kCitizensHoliday},          {year{2019} / 5 / 6, kSubstituteHoliday},
      {year{2026} / 5 / 6, kSubstituteHoliday},        {year{2026} / 9 / 22, kCitizensHoliday},
      {year{2019} / 5 / 1, kEnthronement},             {year{2019} / 10 / 22, kEnthronementCeremony},
      {year{1959} / 4 / 10, kCrownPrinceAkihitoWedding}, {year{1993} / 6 / 9, kCrownPrinceNaruhitoWedding},
  };
  for (const DayCase& c : cases) {
    const MonthHolidays holidays = holidaysOf(c.date.year() / c.date.month());
    EXPECT_EQ(holidays[unsigned{c.date.day()}], c.id) << text(c.date);
  }
}

// Only days of the month, none before 1948, and each equinox day once in its
// month and in no other however far the formula is carried.
TEST(JapaneseHolidays, AnswersForEveryShowableMonth) {
  for (int y = int{kFirstShowableYear}; y <= int{kLastShowableYear}; ++y) {
    for (unsigned m = 1; m <= 12; ++m) {
      const year_month month = year{y} / m;
      const MonthHolidays holidays = holidaysOf(month);
      ASSERT_FALSE(holidays[0]) << text(month);
      for (unsigned day = unsigned{(month / last).day()} + 1; day < holidays.size(); ++day) {
        ASSERT_FALSE(holidays[day]) << text(month / day);
      }
      if (y < 1948) {
        ASSERT_EQ(holidays, MonthHolidays{}) << text(month);
      }
      const std::optional equinox = m == 3 ? kVernalEquinoxDay : kAutumnalEquinoxDay;
      const bool hasEquinox = (m == 3 && y >= 1949) || (m == 9 && y >= 1948);
      ASSERT_EQ(std::ranges::count(holidays, equinox), hasEquinox ? 1 : 0) << text(month);
    }
  }
  // Months that are not valid, among them what a step past December 32767
  // wraps round to, and a year long before the act.
  for (const year_month month : {year{2026} / 0, year{2026} / 13, year{-32768} / 1, year{-1} / 5}) {
    EXPECT_EQ(daysOf(month), std::set<unsigned>{}) << text(month);
  }
}

}  // namespace
}  // namespace hiduke
