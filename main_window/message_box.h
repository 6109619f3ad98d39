#pragma once

#include <QString>

class QWidget;

namespace hiduke {

// A plain message box with an OK button, titled by what it is about, which
// a screen reader says first.
void showMessage(QWidget* parent, const QString& title, const QString& text);

}  // namespace hiduke
