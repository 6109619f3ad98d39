#pragma once

namespace hiduke {

// Lets assistive technology see the day grid as the days of the month shown
// (hidden cells are left out) and open a day through a cell's press action.
// Call before a window's days are first asked about; calling it again
// changes nothing.
void InstallDayAccessibility();

}  // namespace hiduke
