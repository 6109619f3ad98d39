#include "main_window/day_grid.h"

#include <QKeyEvent>
#include <QWheelEvent>

namespace hiduke {
namespace {

constexpr int kWheelStep = 120;  // one notch of a common mouse wheel

}  // namespace

DayGrid::DayGrid(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }

void DayGrid::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & ~(Qt::KeypadModifier)) {
    QWidget::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Left: emit moveFocusBy(-1); break;
    case Qt::Key_Right: emit moveFocusBy(1); break;
    case Qt::Key_Up: emit moveFocusBy(-7); break;
    case Qt::Key_Down: emit moveFocusBy(7); break;
    case Qt::Key_PageUp: emit stepMonthsBy(-1); break;
    case Qt::Key_PageDown: emit stepMonthsBy(1); break;
    case Qt::Key_Home: emit goToToday(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: emit openFocusedDay(); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void DayGrid::wheelEvent(QWheelEvent* event) {
  // Turning the wheel away from the user goes back in time, as scrolling up does.
  wheelAngle_ += event->angleDelta().y();
  while (wheelAngle_ >= kWheelStep) {
    wheelAngle_ -= kWheelStep;
    emit stepMonthsBy(-1);
  }
  while (wheelAngle_ <= -kWheelStep) {
    wheelAngle_ += kWheelStep;
    emit stepMonthsBy(1);
  }
  event->accept();
}

void DayGrid::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  emit focusEntered();
}

void DayGrid::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  emit focusLeft();
}

}  // namespace hiduke
