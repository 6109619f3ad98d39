#pragma once

namespace hiduke {

// Lets assistive technology see the day grid as the days of the month shown
// (hidden cells are left out), each a button that can take the focus and be
// pressed to open its day. Call before a window's days are first asked
// about; calling it again changes nothing.
void installDayAccessibility();

}  // namespace hiduke
