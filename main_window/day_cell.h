#pragma once

#include <QLabel>

namespace hiduke {

// One of the 42 day labels of the month view; reports a mouse click. Every
// cell lets the black window show through, but for today's: that one is
// framed, filled with its own back colour, and its number drawn in a shade
// of its text colour that stays legible on that fill. The day open in the
// note panel carries a mark in its corner; the day with the keyboard focus
// a ring, while the keyboard is in use.
class DayCell : public QLabel {
  Q_OBJECT

 public:
  explicit DayCell(QWidget* parent = nullptr);

  void setFramed(bool framed);
  bool isFramed() const { return framed_; }
  void setOpenMarked(bool marked);
  bool isOpenMarked() const { return openMarked_; }
  // Whether the focus ring shows: the cell has the focus, and the user
  // moves with the keyboard rather than the mouse.
  bool showsFocusRing() const;

  // The colour the number is drawn in: the text colour, or on today's fill
  // its legible shade.
  QColor drawnTextColour() const;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool framed_ = false;
  bool openMarked_ = false;
};

}  // namespace hiduke
