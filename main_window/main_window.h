#pragma once

#include <QDate>
#include <QWidget>
#include <array>
#include <functional>

#include "month_model/month_grid.h"
#include "month_model/month_step.h"
#include "note_store/note_store.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace hiduke {

class DayCell;

// The calendar's only window: the month view on the left and, when the
// window is widened, the note panel on the right.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `today` reads the local date; it is asked once, by start().
  explicit MainWindow(std::function<QDate()> today = &QDate::currentDate, QWidget* parent = nullptr);

  // Narrows the window, takes today's date and shows today's month.
  void start();

 private:
  void buildMonthView();
  void buildNotePanel();
  void setWide(bool wide);

  // Redraws the month view for shown_. A month that cannot be shown gets a
  // message box and leaves the view as it was; returns false then.
  bool showMonth();
  void paintDayColours(const MonthGrid& grid);
  void stepMonth(YearMonth (*step)(YearMonth));
  void showPreviousMonth();
  void showNextMonth();

  void openDay(int cell);
  void saveOrDeleteNote();
  void deleteNote();
  void closeNotePanel();
  void setOpenedDayMark(bool hasNote);
  void setNoteMark(int cell, bool hasNote);

  void showMessage(const QString& text);
  void showStoreError(const StoreError& error);

  std::function<QDate()> today_;
  QDate todayDate_;
  YearMonth shown_{};
  MonthGrid grid_;
  // The day the note panel was opened for, and its cell; a save or delete
  // acts on that date even after the month shown has changed.
  NoteDate openedDay_{};
  int openedCell_ = 0;

  NoteStore notes_;

  std::array<QLabel*, kWeekdays> weekdayHeadings_{};
  std::array<DayCell*, kCellCount> dayCells_{};
  QLabel* noteHeading_ = nullptr;
  QPlainTextEdit* noteEdit_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QPushButton* nextMonthButton_ = nullptr;
  QPushButton* previousMonthButton_ = nullptr;
};

}  // namespace hiduke
