#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "month_model/colours.h"

class QPainter;
class QPushButton;
class QWidget;

namespace hiduke {

// What the window's parts share in how they look.

QColor toQColor(Rgb rgb);
Rgb toRgb(const QColor& colour);
void setTextColour(QWidget* widget, const QColor& colour);
void setBackColour(QWidget* widget, const QColor& colour);

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry);

// Whether the user moves through the window with the keyboard just now:
// focus rings show then, not after a mouse click.
bool usesKeyboardFocus(const QWidget* widget);
// Marks that the user moved with the keyboard, for moves Qt does not see
// as such (the arrows between days).
void noteKeyboardFocus(QWidget* widget);

// A ring around `child` on its parent, when it has the focus that the
// keyboard gave it: the buttons' own look does not show on the black window.
void paintFocusRing(QPainter& painter, const QWidget* child);

// A plain message box with an OK button, titled with the program's name.
void showMessage(QWidget* parent, const QString& text);

}  // namespace hiduke
