#pragma once

#include <bitset>
#include <span>

#include "month_model/month_grid.h"

namespace hiduke {

enum class HolidayRuleKind {
  kDay,                      // the cell showing the day
  kDayWithMondaySubstitute,  // ... and, when that cell is a Sunday, the Monday after it
  kCell,                     // a fixed cell, whatever day it shows
};

struct HolidayRule {
  HolidayRuleKind kind;
  int number;  // a day of the month, or a cell index for kCell
};

// The fixed rules of a month (1..12); the same every year. Empty otherwise.
std::span<const HolidayRule> HolidayRulesOf(int month);

// The cells (0..41) of the grid that take the holiday colour.
std::bitset<kCellCount> HolidayCells(int month, const MonthGrid& grid);

}  // namespace hiduke
