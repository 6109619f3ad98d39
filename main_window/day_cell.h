#pragma once

#include <QLabel>

namespace hiduke {

// One of the 42 day labels of the month view; reports a mouse click. A framed
// cell (today's) is opaque in its own back colour with a single dark line
// around it; every other cell lets the black window show through.
class DayCell : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  void setFramed(bool framed);
  bool isFramed() const { return framed_; }

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool framed_ = false;
};

}  // namespace hiduke
