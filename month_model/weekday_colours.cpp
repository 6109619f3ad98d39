#include "month_model/weekday_colours.h"

#include "month_model/month_grid.h"

namespace hiduke {

Rgb columnColour(int cell) {
  switch (cell % kWeekdays) {
    case 0: return kSundayColour;
    case 6: return kSaturdayColour;
    default: return kWeekdayColour;
  }
}

}  // namespace hiduke
