#include "month_model/holiday_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "month_model/weekday_colours.h"

namespace hiduke {
namespace {

std::set<int> HolidayDays(int year, int month) {
  const MonthGrid grid = *BuildMonthGrid(year, month);
  const auto cells = HolidayCells(month, grid);
  std::set<int> days;
  for (int cell = 0; cell < kCellCount; ++cell) {
    if (cells.test(cell)) days.insert(grid.DayOfCell(cell));
  }
  return days;
}

struct HolidayCase {
  int year;
  int month;
  std::set<int> days;
};

TEST(HolidayRules, DaysOfKnownMonths) {
  const HolidayCase cases[] = {
      {2002, 6, {}},
      {2002, 8, {}},
      {2001, 1, {1, 8}},         // 1st on a Monday
      {2002, 1, {1, 7}},         // cell 8 shows the 7th, not the second Monday
      {2006, 1, {1, 9}},         // the 1st on a Sunday has no substitute
      {2000, 10, {9}},
      {2002, 10, {7}},
      {2001, 2, {11, 12}},
      {2003, 2, {11}},
      {2002, 3, {21}},
      {2001, 4, {29, 30}},
      {2002, 5, {3, 4, 5, 6}},
      {2003, 5, {3, 4, 5}},      // the 4th on a Sunday has no substitute
      {2003, 7, {20, 21}},
      {2001, 9, {15, 23, 24}},
      {2002, 9, {15, 16, 23}},
      {2001, 11, {3, 23}},       // the 3rd on a Saturday stays the 3rd
      {2002, 11, {3, 4, 23}},
      {2001, 12, {23, 24}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HolidayDays(c.year, c.month), c.days) << c.year << "-" << c.month;
  }
}

TEST(HolidayRules, CellEightOfJanuaryAndOctoberWhateverItShows) {
  for (int year = 2000; year < 2007; ++year) {
    for (int month : {1, 10}) {
      const auto cells = HolidayCells(month, *BuildMonthGrid(year, month));
      EXPECT_TRUE(cells.test(8)) << year << "-" << month;
    }
  }
}

// Over many years: the rules only ever colour visible cells, a substitute is
// always the Monday right after a Sunday-column rule day, and June and August
// have no holidays.
TEST(HolidayRules, PropertiesHoldForEveryMonthFrom1583To3000) {
  for (int year = 1583; year <= 3000; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const MonthGrid grid = *BuildMonthGrid(year, month);
      const auto cells = HolidayCells(month, grid);
      std::set<int> ruleDays;
      for (const HolidayRule& rule : HolidayRulesOf(month)) {
        if (rule.kind != HolidayRuleKind::kCell) ruleDays.insert(rule.number);
      }
      for (int cell = 0; cell < kCellCount; ++cell) {
        if (!cells.test(cell)) continue;
        const int day = grid.DayOfCell(cell);
        ASSERT_NE(day, 0) << year << "-" << month << " cell " << cell;
        const bool ruleDay = ruleDays.contains(day) || cell == 8;
        if (!ruleDay) {
          // Only a substitute: Monday, after a rule day shown on the Sunday.
          ASSERT_EQ(cell % kWeekdays, 1) << year << "-" << month << " day " << day;
          ASSERT_TRUE(ruleDays.contains(grid.DayOfCell(cell - 1))) << year << "-" << month << " day " << day;
        }
      }
      if (month == 6 || month == 8) {
        ASSERT_TRUE(cells.none());
      }
    }
  }
}

TEST(HolidayRules, TheSameDaysEveryYear) {
  // May 2002 and May 2030 both begin on a Wednesday: the year plays no part.
  EXPECT_EQ(HolidayCells(5, *BuildMonthGrid(2002, 5)), HolidayCells(5, *BuildMonthGrid(2030, 5)));
  EXPECT_TRUE(HolidayCells(0, *BuildMonthGrid(2002, 5)).none());
  EXPECT_TRUE(HolidayCells(13, *BuildMonthGrid(2002, 5)).none());
}

TEST(WeekdayColours, SundayRedSaturdayGreenOthersWhite) {
  for (int cell = 0; cell < kCellCount; ++cell) {
    const Rgb expected = cell % 7 == 0 ? Rgb{255, 51, 0} : cell % 7 == 6 ? Rgb{0, 192, 0} : Rgb{255, 255, 255};
    EXPECT_EQ(ColumnColour(cell), expected) << "cell " << cell;
  }
}

}  // namespace
}  // namespace hiduke
