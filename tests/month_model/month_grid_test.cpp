#include "month_model/month_grid.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace hiduke {
namespace {

using namespace std::chrono;

std::string text(year_month month) {
  return std::to_string(int{month.year()}) + "-" + std::to_string(unsigned{month.month()});
}

struct ValidationCase {
  year_month month;
  bool showable;
};

TEST(MonthGrid, ShowableMonthsAreJanuary1583ToDecember32767) {
  const ValidationCase cases[] = {
      {year{1582} / 12, false}, {year{1582} / 1, false},   {year{1583} / 1, true},     {year{1583} / 0, false},
      {year{1583} / 13, false}, {year{2002} / 0, false},   {year{2002} / 13, false},   {year{2002} / 12, true},
      {year{26215} / 3, true},  {year{32767} / 12, true},  {year{0} / 1, false},       {year{-1} / 6, false},
      {year::min() / 1, false}, {year{-32768} / 1, false},  // what a step past December 32767 wraps round to
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isShowable(c.month), c.showable) << text(c.month);
    EXPECT_EQ(buildMonthGrid(c.month).has_value(), c.showable) << text(c.month);
  }
}

struct StepCase {
  year_month from;
  int months;
  bool showable;
};

// A month step is std::chrono's; past either end it must land on a month
// that is refused, not wrap round to one that is shown.
TEST(MonthGrid, StepsPastTheShowableEndsAreRefused) {
  const StepCase cases[] = {
      {year{1583} / 1, -1, false}, {year{1583} / 1, 1, true},   {year{1583} / 2, -1, true},
      {year{32767} / 12, 1, false}, {year{32767} / 12, -1, true}, {year{32767} / 11, 1, true},
      {year{32767} / 12, 12, false}, {year{1583} / 12, -12, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isShowable(c.from + months{c.months}), c.showable) << text(c.from) << " by " << c.months;
  }
}

struct LayoutCase {
  year_month month;
  int firstCell;
  unsigned lastDay;
};

TEST(MonthGrid, KnownMonthsLayOutAsOnTheCalendar) {
  const LayoutCase cases[] = {
      {year{2002} / 5, 3, 31},    // May 2002
      {year{2000} / 2, 2, 29},    // leap February
      {year{1900} / 2, 4, 28},    // century, not leap
      {year{2015} / 2, 0, 28},    // exactly four rows
      {year{2021} / 5, 6, 31},    // needs row 5
      {year{1583} / 1, 6, 31},    // first showable month
      {year{2004} / 2, 0, 29},
      {year{2100} / 2, 1, 28},
      {year{2018} / 9, 6, 30},    // 30 ends in row 5, column 0
      {year{32767} / 12, 5, 31},  // last showable month
      {year{1752} / 9, 5, 30},    // Gregorian throughout: no days dropped in 1752
      {year{2002} / 3, 5, 31},
      {year{2026} / 12, 2, 31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(text(c.month));
    const auto grid = buildMonthGrid(c.month);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->month(), c.month);
    EXPECT_EQ(grid->lastDay(), day{c.lastDay});
    const int lastCell = c.firstCell + static_cast<int>(c.lastDay) - 1;
    for (int cell = 0; cell < kCellCount; ++cell) {
      const unsigned want = cell >= c.firstCell && cell <= lastCell ? static_cast<unsigned>(cell - c.firstCell + 1) : 0;
      EXPECT_EQ(grid->dayOfCell(cell), want) << "cell " << cell;
      if (want == 0) continue;
      EXPECT_EQ(grid->dateOfCell(cell), c.month / day{want}) << "cell " << cell;
      EXPECT_EQ(grid->cellOf(day{want}), cell) << "cell " << cell;
    }
  }
}

// The cells before the 1st and after the last day, cells past either end,
// days the month lacks, and a grid of no month.
TEST(MonthGrid, NoDayOutsideTheMonth) {
  const MonthGrid grid = *buildMonthGrid(year{2015} / 2);  // Sunday the 1st, cells 0..27
  for (int cell : {std::numeric_limits<int>::min(), -1, 28, 41, 42, std::numeric_limits<int>::max()}) {
    EXPECT_EQ(grid.dayOfCell(cell), 0u) << "cell " << cell;
    EXPECT_EQ(grid.dateOfCell(cell), std::nullopt) << "cell " << cell;
  }
  for (unsigned missing : {0u, 29u, 32u, 255u}) EXPECT_EQ(grid.cellOf(day{missing}), -1) << missing;
  const MonthGrid empty;
  for (int cell = 0; cell < kCellCount; ++cell) EXPECT_EQ(empty.dayOfCell(cell), 0u) << "cell " << cell;
  EXPECT_EQ(empty.cellOf(day{1}), -1);
}

}  // namespace
}  // namespace hiduke
