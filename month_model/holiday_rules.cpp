#include "month_model/holiday_rules.h"

#include <array>
#include <vector>

namespace hiduke {
namespace {

using enum HolidayRuleKind;

const std::array<std::vector<HolidayRule>, 12> kRulesByMonth = {{
    {{kDay, 1}, {kCell, 8}},                                                 // January
    {{kDayWithMondaySubstitute, 11}},                                        // February
    {{kDayWithMondaySubstitute, 21}},                                        // March
    {{kDayWithMondaySubstitute, 29}},                                        // April
    {{kDay, 3}, {kDay, 4}, {kDayWithMondaySubstitute, 5}},                   // May
    {},                                                                      // June
    {{kDayWithMondaySubstitute, 20}},                                        // July
    {},                                                                      // August
    {{kDayWithMondaySubstitute, 15}, {kDayWithMondaySubstitute, 23}},        // September
    {{kCell, 8}},                                                            // October
    {{kDayWithMondaySubstitute, 3}, {kDayWithMondaySubstitute, 23}},         // November
    {{kDayWithMondaySubstitute, 23}},                                        // December
}};

bool IsSundayCell(int cell) { return cell % kWeekdays == 0; }

}  // namespace

std::span<const HolidayRule> HolidayRulesOf(int month) {
  if (month < 1 || month > 12) return {};
  return kRulesByMonth[month - 1];
}

std::bitset<kCellCount> HolidayCells(int month, const MonthGrid& grid) {
  std::bitset<kCellCount> cells;
  for (const HolidayRule& rule : HolidayRulesOf(month)) {
    if (rule.kind == kCell) {
      cells.set(rule.number);
      continue;
    }
    for (int cell = 0; cell < kCellCount; ++cell) {
      if (grid.DayOfCell(cell) != rule.number) continue;
      cells.set(cell);
      // A Sunday holiday moves to the Monday of the same row; the next cell
      // always exists and shows a day, since no rule day ends its month.
      if (rule.kind == kDayWithMondaySubstitute && IsSundayCell(cell)) cells.set(cell + 1);
    }
  }
  return cells;
}

}  // namespace hiduke
