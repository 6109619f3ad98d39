#pragma once

#include <QLabel>

namespace hiduke {

// One of the 42 day labels of the month view; reports a mouse click. Every
// cell lets the black window show through, but for today's: that one is
// framed, filled with its own back colour, and its number drawn in a shade
// of its text colour that stays legible on that fill. The day that has the
// keyboard focus carries a focus mark.
class DayCell : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  void setFramed(bool framed);
  bool isFramed() const { return framed_; }
  void setFocusMarked(bool marked);
  bool isFocusMarked() const { return focusMarked_; }

  // The colour the number is drawn in: the text colour, or on today's fill
  // its legible shade.
  QColor drawnTextColour() const;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool framed_ = false;
  bool focusMarked_ = false;
};

}  // namespace hiduke
