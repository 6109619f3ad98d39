#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "month_model/colours.h"

class QPushButton;
class QWidget;

namespace hiduke {

// What the window's parts share in how they look and speak.

QColor ToQColor(Rgb rgb);
Rgb ToRgb(const QColor& colour);
void SetTextColour(QWidget* widget, const QColor& colour);
void SetBackColour(QWidget* widget, const QColor& colour);

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry);

// "2002年3月" and "2002年3月15日".
QString MonthText(int year, int month);
QString DateText(int year, int month, int day);

// A plain message box with an OK button, titled with the program's name.
void ShowMessage(QWidget* parent, const QString& text);

}  // namespace hiduke
