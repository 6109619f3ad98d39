#include "month_model/japanese_holidays.h"

#include <gtest/gtest.h>

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

std::set<int> DaysOf(int year, int month) {
  const auto holidays = HolidaysOf(year, month);
  std::set<int> days;
  for (int day = 0; day < static_cast<int>(holidays.size()); ++day) {
    if (holidays[day]) days.insert(day);
  }
  return days;
}

// One "YYYY-MM-DD<TAB>name" a line.
std::map<CivilDate, std::string> ReadHolidayList(const std::string& fileName) {
  std::ifstream in(std::string(HOLIDAY_DATA_DIR) + "/" + fileName);
  std::map<CivilDate, std::string> list;
  std::string line;
  while (std::getline(in, line)) {
    CivilDate date{};
    if (std::sscanf(line.c_str(), "%d-%d-%d", &date.year, &date.month, &date.day) != 3) continue;
    list[date] = line.substr(line.find('\t') + 1);
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
    const auto listed = ReadHolidayList(list.file);
    ASSERT_FALSE(listed.empty()) << list.file;
    std::size_t matched = 0;
    for (int year = list.firstYear; year <= list.lastYear; ++year) {
      for (int month = 1; month <= 12; ++month) {
        const auto holidays = HolidaysOf(year, month);
        for (int day = 1; day <= DaysInMonth(year, month); ++day) {
          const auto entry = listed.find({year, month, day});
          ASSERT_EQ(holidays[day].has_value(), entry != listed.end()) << year << "-" << month << "-" << day;
          if (!holidays[day]) continue;
          ++matched;
          ASSERT_TRUE(kListedNames.contains(entry->second)) << entry->second;
          EXPECT_TRUE(kListedNames.at(entry->second).contains(*holidays[day]))
              << year << "-" << month << "-" << day << " " << entry->second;
        }
      }
    }
    EXPECT_EQ(matched, listed.size()) << list.file << " lists days outside its years";
  }
}

struct MonthCase {
  int year;
  int month;
  std::set<int> days;
};

TEST(JapaneseHolidays, MonthsThatBreakNaiveRules) {
  const MonthCase cases[] = {
      {1947, 11, {}},                  // before the act
      {1948, 5, {}},                   // the act came into force on 20 July 1948
      {1948, 9, {23}},
      {1973, 2, {11}},                 // a Sunday before substitute holidays existed
      {1973, 4, {29, 30}},             // the first substitute holiday
      {1988, 5, {3, 4, 5}},            // the first citizens' holiday
      {2003, 5, {3, 5}},               // until 2006 no citizens' holiday on a Sunday
      {2008, 5, {3, 4, 5, 6}},         // the 4th on a Sunday: the substitute passes the 5th
      {2019, 2, {11}},
      {2019, 4, {29, 30}},             // ten days off around the enthronement on 1 May
      {2019, 5, {1, 2, 3, 4, 5, 6}},
      {2019, 10, {14, 22}},
      {2019, 12, {}},                  // no emperor's birthday in 2019
      {2020, 7, {23, 24}},             // moved for the Tokyo games
      {2020, 8, {10}},
      {2020, 10, {}},
      {2021, 7, {22, 23}},
      {2021, 8, {8, 9}},
      {2021, 10, {}},
      {2026, 1, {1, 12}},
      {2026, 5, {3, 4, 5, 6}},
      {2026, 9, {21, 22, 23}},
      {2026, 12, {}},
      // Months whose holidays an every-year table of days got wrong, or nearly.
      {2002, 6, {}},
      {2002, 8, {}},
      {2001, 1, {1, 8}},
      {2002, 1, {1, 14}},              // the second Monday, not the Monday of the second row
      {2006, 1, {1, 2, 9}},            // the 1st on a Sunday
      {2000, 10, {9}},
      {2002, 10, {14}},
      {2001, 2, {11, 12}},
      {2003, 2, {11}},
      {2002, 3, {21}},
      {2001, 4, {29, 30}},
      {2002, 5, {3, 4, 5, 6}},
      {2003, 7, {21}},
      {2001, 9, {15, 23, 24}},
      {2002, 9, {15, 16, 23}},
      {2001, 11, {3, 23}},
      {2002, 11, {3, 4, 23}},
      {2001, 12, {23, 24}},
  };
  for (const MonthCase& c : cases) {
    EXPECT_EQ(DaysOf(c.year, c.month), c.days) << c.year << "-" << c.month;
  }
}

struct DayCase {
  CivilDate date;
  HolidayId id;
};

// Days that the lists name alike; the window names them apart.
TEST(JapaneseHolidays, DaysNamedAlikeAreToldApart) {
  const DayCase cases[] = {
      {{1973, 4, 30}, kSubstituteHoliday}, {{1988, 5, 4}, kCitizensHoliday},   {{2002, 5, 4}, kCitizensHoliday},
      {{2002, 5, 6}, kSubstituteHoliday},  {{2008, 5, 6}, kSubstituteHoliday},  {{2019, 4, 30}, kCitizensHoliday},
      {{2019, 5, 2}, kCitizensHoliday},    {{2019, 5, 6}, kSubstituteHoliday},  {{2026, 5, 6}, kSubstituteHoliday},
      {{2026, 9, 22}, kCitizensHoliday},   {{2019, 5, 1}, kEnthronement},       {{2019, 10, 22}, kEnthronementCeremony},
      {{1959, 4, 10}, kCrownPrinceAkihitoWedding}, {{1993, 6, 9}, kCrownPrinceNaruhitoWedding},
  };
  for (const DayCase& c : cases) {
    const auto holidays = HolidaysOf(c.date.year, c.date.month);
    EXPECT_EQ(holidays[c.date.day], c.id) << c.date.year << "-" << c.date.month << "-" << c.date.day;
  }
}

// Only days of the month, none before 1948, and both equinox days inside
// their months however far the formula is carried.
TEST(JapaneseHolidays, AnswersForEveryShowableMonth) {
  for (int year = kFirstShowableYear; year <= kLastShowableYear; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const auto holidays = HolidaysOf(year, month);
      ASSERT_FALSE(holidays[0]) << year << "-" << month;
      for (int day = DaysInMonth(year, month) + 1; day < static_cast<int>(holidays.size()); ++day) {
        ASSERT_FALSE(holidays[day]) << year << "-" << month << "-" << day;
      }
      if (year < 1948) {
        ASSERT_EQ(holidays, decltype(holidays){}) << year << "-" << month;
      }
    }
    if (year < 1949) continue;
    for (int month : {3, 9}) {
      const int day = EquinoxDay(year, month);
      ASSERT_TRUE(day >= 1 && day <= 30 && HolidaysOf(year, month)[day]) << year << "-" << month << "-" << day;
    }
  }
  for (const auto& [year, month] : {std::pair{2026, 0}, {2026, 13}, {32768, 1}, {-1, 5}}) {
    EXPECT_EQ(DaysOf(year, month), std::set<int>{}) << year << "-" << month;
  }
}

}  // namespace
}  // namespace hiduke
