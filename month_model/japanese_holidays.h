#pragma once

#include <array>
#include <optional>

#include "month_model/holiday_table.h"

namespace hiduke {

// The national holiday of each day of the month (index = day 1..31; index 0
// and days past the month's end are empty), under the law as it stood on
// that day: none before 20 July 1948; years after 2150 are a projection.
// Empty for a month outside 1..12 or a year past the last showable one.
std::array<std::optional<HolidayId>, 32> HolidaysOf(int year, int month);

}  // namespace hiduke
