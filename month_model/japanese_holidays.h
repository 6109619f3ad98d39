#pragma once

#include <array>
#include <chrono>
#include <optional>

#include "month_model/holiday_table.h"

namespace hiduke {

// The national holiday of each day of a month, indexed by the day 1..31;
// index 0 and the days past the month's end are empty.
using MonthHolidays = std::array<std::optional<HolidayId>, 32>;

// The holidays of `month` under the law as it stood on each day: none before
// 20 July 1948; years after 2150 are a projection. Empty for a month that is
// not valid.
MonthHolidays holidaysOf(std::chrono::year_month month);

}  // namespace hiduke
