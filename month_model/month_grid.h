#pragma once

#include <array>
#include <optional>

namespace hiduke {

// The first and last year the calendar can show. Before 1583 the Gregorian
// calendar was not yet in use; years are kept to what a 16-bit field holds.
inline constexpr int kFirstShowableYear = 1583;
inline constexpr int kLastShowableYear = 32767;

inline constexpr int kWeekRows = 6;
inline constexpr int kWeekdays = 7;
inline constexpr int kCellCount = kWeekRows * kWeekdays;

// Six week rows of seven weekday columns, Sunday first. Each entry is the day
// of the month, or 0 for a cell before the 1st or after the last day.
struct MonthGrid {
  std::array<std::array<int, kWeekdays>, kWeekRows> days{};

  // The day shown in cell 0..41 (cell = 7 * row + column).
  int DayOfCell(int cell) const { return days[cell / kWeekdays][cell % kWeekdays]; }
  friend bool operator==(const MonthGrid&, const MonthGrid&) = default;
};

bool IsShowableMonth(int year, int month);

// 0 = Sunday .. 6 = Saturday. Only for showable months.
int WeekdayOfFirst(int year, int month);

// 28..31. Only for showable months.
int DaysInMonth(int year, int month);

MonthGrid FillGrid(int weekdayOfFirst, int daysInMonth);

// The grid of a month, or nothing when the month cannot be shown.
std::optional<MonthGrid> BuildMonthGrid(int year, int month);

}  // namespace hiduke
