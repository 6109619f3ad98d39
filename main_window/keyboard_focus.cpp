#include "main_window/keyboard_focus.h"

#include <QApplication>
#include <QPainter>

namespace hiduke {

bool usesKeyboardFocus(const QWidget* widget) {
  return widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void noteKeyboardFocus(QWidget* widget) { widget->window()->setAttribute(Qt::WA_KeyboardFocusChange); }

RingedWidget::RingedWidget(QWidget* parent) : QWidget(parent) {
  connect(qApp, &QApplication::focusChanged, this, [this] { update(); });
}

void RingedWidget::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  for (const QWidget* child : ringed_) {
    if (!child->hasFocus() || !child->isVisible() || !child->isActiveWindow() || !usesKeyboardFocus(child)) continue;
    QPen pen(child->palette().color(QPalette::Highlight), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(child->geometry()).adjusted(-2, -2, 2, 2));
  }
}

}  // namespace hiduke
