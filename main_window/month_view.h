#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "main_window/keyboard_focus.h"
#include "month_model/japanese_holidays.h"
#include "month_model/month_grid.h"

class QLabel;
class QPushButton;

namespace hiduke {

class DayCell;
class DayGrid;
class DaySpeech;
class NoteBook;

// The month on the left of the window: the weekday headings, the 42 day
// cells and the buttons for the month before and after. It paints the
// notes of the month it shows as underlines, tooltips and what a screen
// reader hears of each day (DaySpeech); the keyboard and the wheel move a
// focus from day to day, across months and years (DayNavigator).
class MonthView : public RingedWidget {
  Q_OBJECT

 public:
  MonthView(NoteBook& book, QWidget* parent = nullptr);

  // Shows `month`. A month that cannot be shown gets a message and leaves
  // the view as it was; false then.
  bool showMonth(std::chrono::year_month month);
  std::chrono::year_month shownMonth() const { return grid_.month(); }

  // Lays the view out at `zoom` percent of its design size.
  void setZoom(int zoom);

  // Today's date: framed in its month, and what Home goes to.
  void setToday(std::chrono::year_month_day today);

  std::chrono::year_month_day today() const { return today_; }

  // Whether the menu's 元に戻す has something to take back.
  void setUndoAvailable(bool available) { undoAvailable_ = available; }

  // The day open in the note panel, marked while it is shown.
  void setOpenDay(std::optional<std::chrono::year_month_day> day);

  // Gives the marked day (today, in its month) the focus, without a ring
  // until the keyboard is used.
  void takeFocus();
  // Shows the month of `day` and gives its cell the keyboard focus.
  bool focusDay(std::chrono::year_month_day day);
  // The day the focus mark is on: the one chosen, else today in its month,
  // else the 1st.
  std::chrono::year_month_day focusedDay() const;
  // Tells `text` on the focused day, to the eye and to a screen reader.
  void sayOnFocusedDay(const QString& text);
  // 「入力値が間違っています。」: a month that cannot be shown.
  void rejectMonth();

  // The widgets that take the focus, in their order: the buttons, then the
  // days, of which the one with the focus mark is reached.
  QList<QWidget*> focusChain() const;

 signals:
  void dayOpened(std::chrono::year_month_day day);
  void monthShown(std::chrono::year_month month);
  void goToDateRequested();
  void searchRequested();
  void upcomingRequested();
  void undoRequested();
  void exportRequested();
  void importRequested();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void buildHeadings();
  void buildDays();
  void buildButtons();
  void paintDays();
  // The notes of the month shown; none while the book holds another month's.
  const std::optional<std::string>& noteOf(unsigned day) const;
  void showMenu(QPoint at);
  void placeFocusMark();
  void focusMarkedCell();

  NoteBook& book_;
  MonthGrid grid_;
  MonthHolidays holidays_{};
  std::chrono::year_month_day today_{};
  std::optional<std::chrono::year_month_day> openDay_;
  std::optional<std::chrono::day> focusDay_;  // chosen with the keyboard in the month shown
  DaySpeech* speech_ = nullptr;
  bool undoAvailable_ = false;

  std::array<QLabel*, kWeekdays> weekdayHeadings_{};
  DayGrid* dayGrid_ = nullptr;
  std::array<DayCell*, kCellCount> dayCells_{};
  QPushButton* nextMonthButton_ = nullptr;
  QPushButton* previousMonthButton_ = nullptr;
};

}  // namespace hiduke
