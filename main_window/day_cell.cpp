#include "main_window/day_cell.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "main_window/keyboard_focus.h"
#include "main_window/window_look.h"
#include "month_model/colour_contrast.h"

namespace hiduke {

DayCell::DayCell(QWidget* parent) : QLabel(parent) {
  // Until the month view keeps only its marked day in the Tab order.
  setFocusPolicy(Qt::TabFocus);
}

void DayCell::setFramed(bool framed) {
  if (framed == framed_) return;
  framed_ = framed;
  update();
}

void DayCell::setOpenMarked(bool marked) {
  if (marked == openMarked_) return;
  openMarked_ = marked;
  update();
}

bool DayCell::showsFocusRing() const { return hasFocus() && usesKeyboardFocus(this); }

QColor DayCell::drawnTextColour() const {
  const QColor text = palette().color(QPalette::WindowText);
  if (!framed_) return text;
  return toQColor(legibleTextColour(toRgb(text), toRgb(palette().color(QPalette::Window))));
}

void DayCell::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QLabel::mousePressEvent(event);
}

void DayCell::focusInEvent(QFocusEvent* event) {
  QLabel::focusInEvent(event);
  update();
}

void DayCell::focusOutEvent(QFocusEvent* event) {
  QLabel::focusOutEvent(event);
  update();
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
  if (showsFocusRing()) {
    // Two pixels of the highlight colour inside the frame: distinct from
    // today's frame, and seen on the black window.
    QPen pen(palette().color(QPalette::Highlight), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(whole.adjusted(2, 2, -2, -2));
  }
  if (openMarked_) {
    // A white corner with a black edge in the top right: seen on the black
    // window and on every fill, and unlike a frame or a ring.
    const qreal size = whole.width() * 0.36;
    QPainterPath corner;
    corner.moveTo(whole.topRight());
    corner.lineTo(whole.topRight() + QPointF(-size, 0));
    corner.lineTo(whole.topRight() + QPointF(0, size));
    corner.closeSubpath();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawPath(corner);
    painter.setRenderHint(QPainter::Antialiasing, false);
  }
  painter.setPen(text);
  painter.setFont(font());
  painter.drawText(rect(), Qt::AlignCenter, this->text());
}

}  // namespace hiduke
