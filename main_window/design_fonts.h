#pragma once

#include <QFont>

namespace hiduke {

// Maps the design's font names to the installed look-alikes. Call once,
// before any widget is created.
void InstallFontSubstitutes();

QFont CellFont();     // day cells and weekday headings
QFont HeadingFont();  // the note panel's heading

}  // namespace hiduke
