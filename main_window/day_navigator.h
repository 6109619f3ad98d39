#pragma once

#include <QObject>
#include <chrono>

namespace hiduke {

class MonthView;
class NoteBook;

// Moving between the days by keyboard and mouse wheel, across months and
// years: the arrows a day or a week, Page Up and Down a month (with Control
// a year), Home today, End the month's last day, Control with the arrows
// the day with a note before or after; Return and Space open the day. It
// watches the day grid of `view`.
class DayNavigator : public QObject {
  Q_OBJECT

 public:
  DayNavigator(MonthView& view, const NoteBook& book);

  // The same day a number of months on where that month has it, else its
  // last; false, with a message, where that month cannot be shown.
  bool stepMonths(std::chrono::months count);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool handleKey(int key, bool control);
  void moveToNote(bool later);

  MonthView& view_;
  const NoteBook& book_;
  int wheelAngle_ = 0;  // eighths of a degree not yet turned into a step
};

}  // namespace hiduke
