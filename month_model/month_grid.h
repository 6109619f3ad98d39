#pragma once

#include <chrono>
#include <optional>

namespace hiduke {

// The first and last year the calendar can show. Before 1583 the Gregorian
// calendar was not yet in use; 32767 is the last year std::chrono::year holds.
inline constexpr std::chrono::year kFirstShowableYear{1583};
inline constexpr std::chrono::year kLastShowableYear{32767};

inline constexpr int kWeekRows = 6;
inline constexpr int kWeekdays = 7;
inline constexpr int kCellCount = kWeekRows * kWeekdays;

// A valid month of a showable year. A step past December 32767 wraps
// std::chrono::year round to a year that is not valid, so it is refused too.
bool isShowable(std::chrono::year_month month);

// Six week rows of seven weekday columns, Sunday first: the 1st of the month
// in the column of its weekday, the other days after it. Cells are numbered
// 0..41, cell = 7 * row + column. A default grid has no days.
class MonthGrid {
 public:
  MonthGrid() = default;

  std::chrono::year_month month() const { return month_; }
  // The day of the month in `cell`, or 0 for a cell before the 1st or after
  // the last day (or outside 0..41).
  unsigned dayOfCell(int cell) const;
  std::optional<std::chrono::year_month_day> dateOfCell(int cell) const;
  // The cell that shows `day`, or -1 when the month has no such day.
  int cellOf(std::chrono::day day) const;
  std::chrono::day lastDay() const { return std::chrono::day{lastDay_}; }

  friend bool operator==(const MonthGrid&, const MonthGrid&) = default;

 private:
  friend std::optional<MonthGrid> buildMonthGrid(std::chrono::year_month month);
  MonthGrid(std::chrono::year_month month, int firstCell, unsigned lastDay)
      : month_(month), firstCell_(firstCell), lastDay_(lastDay) {}

  std::chrono::year_month month_{};
  int firstCell_ = 0;      // the cell of the 1st: its weekday, 0 = Sunday
  unsigned lastDay_ = 0;   // 28..31; 0 in a default grid
};

// The grid of a month, or nothing when the month cannot be shown.
std::optional<MonthGrid> buildMonthGrid(std::chrono::year_month month);

}  // namespace hiduke
