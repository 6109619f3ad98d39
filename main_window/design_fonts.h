#pragma once

#include <QFont>

namespace hiduke {

// Maps the design's font names to the installed look-alikes. Call once,
// before any widget is created.
void installFontSubstitutes();

QFont cellFont();     // day cells and weekday headings
QFont headingFont();  // the note panel's heading

}  // namespace hiduke
