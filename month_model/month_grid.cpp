#include "month_model/month_grid.h"

namespace hiduke {

bool IsShowableMonth(int year, int month) {
  return year >= kFirstShowableYear && year <= kLastShowableYear && month >= 1 && month <= 12;
}

int WeekdayOfFirst(int year, int month) {
  // Zeller-type congruence; January and February count as months 13 and 14
  // of the year before. int is wide enough for every showable year.
  int y = year;
  int m = month;
  if (m <= 2) {
    y -= 1;
    m += 12;
  }
  int h = y + y / 4;
  h -= y / 100;
  h += y / 400;
  h += (13 * m + 8) / 5;
  h += 1;  // the 1st of the month
  return h % 7;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 400 == 0 || (year % 100 != 0 && year % 4 == 0);
  if (leap && month == 2) return 29;
  return kDays[month - 1];
}

MonthGrid FillGrid(int weekdayOfFirst, int daysInMonth) {
  MonthGrid grid;
  int day = 1;
  for (int column = weekdayOfFirst; column < kWeekdays; ++column) grid.days[0][column] = day++;
  for (int row = 1; row < kWeekRows && day <= daysInMonth; ++row) {
    for (int column = 0; column < kWeekdays && day <= daysInMonth; ++column) {
      grid.days[row][column] = day++;
    }
  }
  return grid;
}

std::optional<MonthGrid> BuildMonthGrid(int year, int month) {
  if (!IsShowableMonth(year, month)) return std::nullopt;
  return FillGrid(WeekdayOfFirst(year, month), DaysInMonth(year, month));
}

}  // namespace hiduke
