#pragma once

#include <QByteArray>
#include <QIcon>

namespace hiduke {

// The calendar-page icon of the window, drawn for 16, 32, 48, 64, 128 and
// 256 pixels.
QIcon appIcon();

// The same drawing as scalable SVG, for the desktop's icon theme.
QByteArray appIconSvg();

}  // namespace hiduke
