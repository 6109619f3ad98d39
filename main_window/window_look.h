#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "month_model/colours.h"

class QPushButton;
class QWidget;

namespace hiduke {

// What the window's parts share in how they look.

QColor toQColor(Rgb rgb);
Rgb toRgb(const QColor& colour);
void setTextColour(QWidget* widget, const QColor& colour);
void setBackColour(QWidget* widget, const QColor& colour);

// A button that Return presses as Space does; placed by its parent.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption);

}  // namespace hiduke
