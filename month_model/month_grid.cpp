#include "month_model/month_grid.h"

namespace hiduke {

using namespace std::chrono;

bool isShowable(year_month month) {
  return month.ok() && month.year() >= kFirstShowableYear && month.year() <= kLastShowableYear;
}

unsigned MonthGrid::dayOfCell(int cell) const {
  if (cell < 0 || cell >= kCellCount) return 0;
  const int day = cell - firstCell_ + 1;
  return day >= 1 && static_cast<unsigned>(day) <= lastDay_ ? static_cast<unsigned>(day) : 0;
}

std::optional<year_month_day> MonthGrid::dateOfCell(int cell) const {
  const unsigned day = dayOfCell(cell);
  if (day == 0) return std::nullopt;
  return month_ / std::chrono::day{day};
}

int MonthGrid::cellOf(std::chrono::day day) const {
  const unsigned number{day};
  if (number < 1 || number > lastDay_) return -1;
  return firstCell_ + static_cast<int>(number) - 1;
}

std::optional<MonthGrid> buildMonthGrid(year_month month) {
  if (!isShowable(month)) return std::nullopt;
  const weekday first{sys_days{month / 1}};
  const year_month_day_last last{month / std::chrono::last};
  return MonthGrid(month, static_cast<int>(first.c_encoding()), unsigned{last.day()});
}

}  // namespace hiduke
