#pragma once

#include <QString>

class QWidget;

namespace hiduke {

// Tells a screen reader `text` as the widget's description: heard when it
// changes, and again when the same thing is said twice in a row. An empty
// text takes back what was said; nothing to take back is nothing to tell.
void announce(QWidget* widget, const QString& text);

}  // namespace hiduke
