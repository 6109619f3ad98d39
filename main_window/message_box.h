#pragma once

#include <QString>

class QWidget;

namespace hiduke {

// A plain message box with an OK button, titled with the program's name.
void showMessage(QWidget* parent, const QString& text);

}  // namespace hiduke
