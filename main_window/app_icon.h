#pragma once

#include <QIcon>

namespace hiduke {

// The calendar-page icon of the window, drawn for 16 and 32 pixels.
QIcon AppIcon();

}  // namespace hiduke
