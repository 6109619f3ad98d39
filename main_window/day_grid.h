#pragma once

#include <QWidget>

namespace hiduke {

// The area of the 42 day cells, one stop in the keyboard focus chain. It
// turns keys and the mouse wheel into requests; the window decides what
// they show.
class DayGrid : public QWidget {
  Q_OBJECT

 public:
  explicit DayGrid(QWidget* parent = nullptr);

 signals:
  void focusEntered();
  void focusLeft();
  void moveFocusBy(int days);        // arrow keys: a day or a week
  void stepMonthsBy(int months);     // Page Up / Page Down, the mouse wheel
  void goToToday();                  // Home
  void openFocusedDay();             // Return, Enter, Space

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int wheelAngle_ = 0;  // eighths of a degree not yet turned into a step
};

}  // namespace hiduke
