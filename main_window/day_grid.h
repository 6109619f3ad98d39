#pragma once

#include <QWidget>

namespace hiduke {

// The area of the 42 day cells: what a screen reader sees as the month's
// days (day_accessibility.h). The month view handles its keys and wheel.
class DayGrid : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
};

}  // namespace hiduke
