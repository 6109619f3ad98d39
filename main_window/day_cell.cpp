#include "main_window/day_cell.h"

#include <QMouseEvent>
#include <QPainter>

#include "main_window/window_look.h"
#include "month_model/colour_contrast.h"

namespace hiduke {

void DayCell::setFramed(bool framed) {
  if (framed == framed_) return;
  framed_ = framed;
  update();
}

void DayCell::setFocusMarked(bool marked) {
  if (marked == focusMarked_) return;
  focusMarked_ = marked;
  update();
}

QColor DayCell::drawnTextColour() const {
  const QColor text = palette().color(QPalette::WindowText);
  if (!framed_) return text;
  return ToQColor(legibleTextColour(ToRgb(text), ToRgb(palette().color(QPalette::Window))));
}

void DayCell::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QLabel::mousePressEvent(event);
}

void DayCell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor text = drawnTextColour();
  const QRectF whole = rect();
  if (framed_) {
    // The frame is the whole cell in the text colour with the fill laid
    // inside it, so that at any scale the outermost pixels are frame, never
    // fill.
    painter.fillRect(whole, text);
    painter.fillRect(whole.adjusted(1, 1, -1, -1), palette().color(QPalette::Window));
  }
  if (focusMarked_) {
    // Two pixels of the highlight colour inside the frame: distinct from
    // today's frame, and seen on the black window.
    QPen pen(palette().color(QPalette::Highlight), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(whole.adjusted(2, 2, -2, -2));
  }
  painter.setPen(text);
  painter.setFont(font());
  painter.drawText(rect(), Qt::AlignCenter, this->text());
}

}  // namespace hiduke
