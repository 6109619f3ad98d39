#include "main_window/window_look.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

namespace hiduke {

QColor toQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

Rgb toRgb(const QColor& colour) { return {colour.red(), colour.green(), colour.blue()}; }

void setTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

void setBackColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setAutoDefault(true);  // Return presses the focused button, as Space does
  return button;
}

bool usesKeyboardFocus(const QWidget* widget) {
  return widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void noteKeyboardFocus(QWidget* widget) { widget->window()->setAttribute(Qt::WA_KeyboardFocusChange); }

void paintFocusRing(QPainter& painter, const QWidget* child) {
  if (child == nullptr || !child->hasFocus() || !child->isVisible() || !child->isActiveWindow() ||
      !usesKeyboardFocus(child)) {
    return;
  }
  QPen pen(child->palette().color(QPalette::Highlight), 2);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(child->geometry()).adjusted(-2, -2, 2, 2));
}

void showMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace hiduke
