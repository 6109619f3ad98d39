#pragma once

#include <QString>

#include "month_model/holiday_table.h"

namespace hiduke {

// The Japanese name of a holiday, as the day cell's accessible name gives it.
QString HolidayName(HolidayId id);

}  // namespace hiduke
