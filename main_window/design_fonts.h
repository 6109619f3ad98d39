#pragma once

#include <QFont>

namespace hiduke {

// Maps the design's font names to the installed look-alikes. Call once,
// before any widget is created.
void installFontSubstitutes();

// At the window's zoom, in percent.
QFont cellFont(int zoom = 100);     // day cells and weekday headings
QFont headingFont(int zoom = 100);  // the note panel's heading
// The font of the note box and the buttons: the desktop's, at the zoom.
QFont textFont(int zoom = 100);

}  // namespace hiduke
