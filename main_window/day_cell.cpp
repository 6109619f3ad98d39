#include "main_window/day_cell.h"

#include <QMouseEvent>
#include <QPainter>

namespace hiduke {

void DayCell::setFramed(bool framed) {
  if (framed == framed_) return;
  framed_ = framed;
  setAutoFillBackground(framed);
  update();
}

void DayCell::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QLabel::mousePressEvent(event);
}

void DayCell::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!framed_) return;
  // Drawn here rather than as a QFrame box, which would take the text colour.
  QPainter painter(this);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace hiduke
