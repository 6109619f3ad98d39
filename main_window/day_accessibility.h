#pragma once

namespace hiduke {

// Lets assistive technology see the day grid as the days of the month shown
// (hidden cells are left out), each a button that can take the focus and be
// pressed to open its day; the main window as a frame named by its title;
// and what is announced as a notification. Call once QApplication exists
// and before a window's parts are first asked about; calling it again
// changes nothing.
void installWindowAccessibility();

}  // namespace hiduke
