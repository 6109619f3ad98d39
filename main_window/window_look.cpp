#include "main_window/window_look.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace hiduke {

QColor ToQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

Rgb ToRgb(const QColor& colour) { return {colour.red(), colour.green(), colour.blue()}; }

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

void SetBackColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setAutoDefault(true);  // Return presses the focused button, as Space does
  return button;
}

QString MonthText(int year, int month) { return QStringLiteral("%1年%2月").arg(year).arg(month); }

QString DateText(int year, int month, int day) { return MonthText(year, month) + QStringLiteral("%1日").arg(day); }

void ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace hiduke
