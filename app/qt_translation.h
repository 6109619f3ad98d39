#pragma once

class QCoreApplication;

namespace hiduke {

// Gives app Qt's own Japanese translation, whatever the locale, so that the
// standard menus and dialog buttons Qt supplies read in Japanese like the
// rest of the window.
void installQtJapanese(QCoreApplication& app);

}  // namespace hiduke
