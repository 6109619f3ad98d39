#pragma once

#include <QString>

#include "month_model/holiday_table.h"

namespace hiduke {

// The Japanese name of a holiday, as tooltips and screen readers give it.
QString holidayName(HolidayId id);

}  // namespace hiduke
