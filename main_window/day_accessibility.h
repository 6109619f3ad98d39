#pragma once

namespace hiduke {

// Lets assistive technology see the day grid as the days of the month shown
// (hidden cells are left out) and open a day through a cell's press action.
// Call once, before the first window is created.
void InstallDayAccessibility();

}  // namespace hiduke
