#pragma once

#include <QWidget>
#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "month_model/japanese_holidays.h"
#include "month_model/month_grid.h"
#include "note_store/note_store.h"

class QLabel;
class QPushButton;

namespace hiduke {

class DayCell;
class DayGrid;

// The month on the left of the window: the weekday headings, the 42 day
// cells and the buttons for the month before and after. It reads the notes
// of the month it shows once, and shows them as underlines, tooltips and
// what a screen reader hears of each day. The keyboard moves a focus from
// day to day, across months and years.
class MonthView : public QWidget {
  Q_OBJECT

 public:
  MonthView(const NoteStore& notes, QWidget* parent = nullptr);

  // Shows `month`. A month that cannot be shown gets a message and leaves
  // the view as it was; false then.
  bool showMonth(std::chrono::year_month month);
  std::chrono::year_month shownMonth() const { return grid_.month(); }

  // Today's date: framed in its month, and what Home goes to.
  void setToday(std::chrono::year_month_day today);

  // Reads the notes of the month shown again: another program changed them.
  void reloadNotes();
  const MonthNotes& notes() const { return notes_; }
  // This program saved (nothing: deleted) the note of `day`.
  void setNote(std::chrono::year_month_day day, const std::optional<std::string>& note);

  // The day open in the note panel, marked while it is shown.
  void setOpenDay(std::optional<std::chrono::year_month_day> day);

  // Shows the month of `day` and gives its cell the keyboard focus.
  bool focusDay(std::chrono::year_month_day day);

  // The widgets that take the focus, in their order: the buttons, then the
  // days, of which the one with the focus mark is reached.
  QList<QWidget*> focusChain() const;
  QPushButton* nextMonthButton() const { return nextMonthButton_; }

 signals:
  void dayOpened(std::chrono::year_month_day day);
  void monthShown(std::chrono::year_month month);
  void notesRead(const FileIdentity& file);
  void goToDateRequested();
  void searchRequested();
  void exportRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildHeadings();
  void buildDays();
  void buildButtons();
  // Reads the notes of the month shown; the view's notes stay as they were
  // when they cannot be read.
  StoreResult<void> readNotes();
  void paintDays();
  void describeDays();
  // The day's name, description and tooltip, or none for a hidden cell.
  void describeDay(int index);
  int cellIndexOf(const QWidget* cell) const;
  void stepMonths(std::chrono::months months);
  void moveFocusBy(std::chrono::days days);
  void moveFocusToNote(bool later);
  void showMenu(QPoint at);
  // The day the focus mark is on: the one chosen, else today in its month,
  // else the 1st.
  std::chrono::year_month_day focusedDay() const;
  void placeFocusMark();
  void focusMarkedCell();
  void say(const QString& text);
  // The said cell described by its tooltip again.
  void unsay();

  const NoteStore& store_;
  MonthGrid grid_;
  MonthHolidays holidays_{};
  MonthNotes notes_;
  std::chrono::year_month_day today_{};
  std::optional<std::chrono::year_month_day> openDay_;
  std::optional<std::chrono::day> focusDay_;  // chosen with the keyboard in the month shown
  int wheelAngle_ = 0;                        // eighths of a degree not yet turned into a step
  const QWidget* describedLater_ = nullptr;   // a day the focus is leaving, described once it has left
  DayCell* saidCell_ = nullptr;               // whose description is what say() said, until the days are described again

  std::array<QLabel*, kWeekdays> weekdayHeadings_{};
  DayGrid* dayGrid_ = nullptr;
  std::array<DayCell*, kCellCount> dayCells_{};
  QPushButton* nextMonthButton_ = nullptr;
  QPushButton* previousMonthButton_ = nullptr;
};

}  // namespace hiduke
