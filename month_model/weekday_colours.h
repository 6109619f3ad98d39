#pragma once

#include "month_model/colours.h"

namespace hiduke {

// Text colour of a day cell by its weekday column: Sunday red, Saturday
// green, white otherwise. Holidays override it afterwards.
Rgb columnColour(int cell);

}  // namespace hiduke
