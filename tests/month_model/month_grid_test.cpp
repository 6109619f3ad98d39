#include "month_model/month_grid.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace hiduke {
namespace {

struct ValidationCase {
  int year;
  int month;
  bool showable;
};

TEST(MonthGrid, ShowableMonthsAreJanuary1583ToDecember32767) {
  const ValidationCase cases[] = {
      {1582, 12, false}, {1582, 1, false}, {1583, 1, true},   {1583, 0, false},
      {1583, 13, false}, {2002, 0, false}, {2002, 13, false}, {2002, 12, true},
      {26215, 3, true},  {32767, 12, true}, {32768, 1, false}, {0, 1, false},
      {-1, 6, false},    {2002, -1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsShowableMonth(c.year, c.month), c.showable) << c.year << "-" << c.month;
    EXPECT_EQ(BuildMonthGrid(c.year, c.month).has_value(), c.showable) << c.year << "-" << c.month;
  }
}

struct LayoutCase {
  int year;
  int month;
  int weekdayOfFirst;
  int days;
  int lastCell;
};

TEST(MonthGrid, KnownMonthsLayOutAsOnTheCalendar) {
  const LayoutCase cases[] = {
      {2002, 5, 3, 31, 33},   // May 2002
      {2000, 2, 2, 29, 30},   // leap February
      {1900, 2, 4, 28, 31},   // century, not leap
      {2015, 2, 0, 28, 27},   // exactly four rows
      {2021, 5, 6, 31, 36},   // needs row 5
      {1583, 1, 6, 31, 36},   // first showable month
      {2000, 1, 6, 31, 36},   // January uses the previous year in the congruence
      {2004, 2, 0, 29, 28},
      {2100, 2, 1, 28, 28},
      {2018, 9, 6, 30, 35},   // 30 ends in row 5, column 0
      {26214, 12, -1, 31, -1},
      {26215, 3, -1, 31, -1},  // past the old 16-bit limit
      {32767, 12, -1, 31, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month));
    if (c.weekdayOfFirst >= 0) {
      EXPECT_EQ(WeekdayOfFirst(c.year, c.month), c.weekdayOfFirst);
    }
    EXPECT_EQ(DaysInMonth(c.year, c.month), c.days);
    const auto grid = BuildMonthGrid(c.year, c.month);
    ASSERT_TRUE(grid);
    if (c.lastCell >= 0) {
      EXPECT_EQ(grid->DayOfCell(c.lastCell), c.days);
      for (int cell = c.lastCell + 1; cell < kCellCount; ++cell) EXPECT_EQ(grid->DayOfCell(cell), 0);
    }
  }
}

TEST(MonthGrid, RowsFourAndFiveStayEmptyForAFourRowFebruary) {
  const MonthGrid grid = *BuildMonthGrid(2015, 2);
  for (int cell = 0; cell < 28; ++cell) EXPECT_EQ(grid.DayOfCell(cell), cell + 1);
  for (int cell = 28; cell < kCellCount; ++cell) EXPECT_EQ(grid.DayOfCell(cell), 0);
}

// Every showable month against the standard library's calendar: the weekday
// of the 1st, the length, and each day exactly once in its weekday column.
TEST(MonthGrid, EveryShowableMonthMatchesTheStandardCalendar) {
  using namespace std::chrono;
  for (int y = kFirstShowableYear; y <= kLastShowableYear; ++y) {
    for (unsigned m = 1; m <= 12; ++m) {
      const year_month_day first{year{y}, month{m}, day{1}};
      const unsigned firstWeekday = weekday{sys_days{first}}.c_encoding();
      const int length = static_cast<int>(unsigned{year_month_day_last{year{y}, month_day_last{month{m}}}.day()});
      const auto grid = BuildMonthGrid(y, static_cast<int>(m));
      ASSERT_TRUE(grid) << y << "-" << m;
      ASSERT_EQ(WeekdayOfFirst(y, static_cast<int>(m)), static_cast<int>(firstWeekday)) << y << "-" << m;
      ASSERT_EQ(DaysInMonth(y, static_cast<int>(m)), length) << y << "-" << m;
      for (int cell = 0; cell < kCellCount; ++cell) {
        const int expected = cell - static_cast<int>(firstWeekday) + 1;
        const int want = expected >= 1 && expected <= length ? expected : 0;
        ASSERT_EQ(grid->DayOfCell(cell), want) << y << "-" << m << " cell " << cell;
      }
    }
  }
}

}  // namespace
}  // namespace hiduke
