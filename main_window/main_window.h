#pragma once

#include <QDate>
#include <QWidget>
#include <array>
#include <bitset>
#include <chrono>
#include <functional>
#include <optional>

#include "month_model/japanese_holidays.h"
#include "month_model/month_grid.h"
#include "note_store/note_store.h"

class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTimer;

namespace hiduke {

class DayCell;
class DayGrid;
class NotePanel;

// The calendar's only window: the month view on the left and, when the
// window is widened, the note panel on the right.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `today` reads the local date; it is asked once, by start().
  explicit MainWindow(std::function<QDate()> today = &QDate::currentDate, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Narrows the window, takes today's date and shows today's month.
  void start();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildMonthView();
  void buildNotePanel();
  void watchNoteFile();
  void setWide(bool wide);

  // Redraws the month view for shown_. A month that cannot be shown gets a
  // message box and leaves the view as it was; returns false then.
  bool showMonth();
  // Shows `month`, or keeps the month shown when it cannot be shown.
  bool goToMonth(std::chrono::year_month month);
  void paintDayColours();
  void showPreviousMonth();
  void showNextMonth();
  bool isTodaysMonth() const;

  // The keyboard in the day grid.
  void focusGrid();
  void moveFocusBy(int days);
  void stepMonthsBy(int months);
  void goToToday();
  void markFocusedDay();
  int cellOfDay(int day) const;

  void openDay(int cell);
  void notePanelClosed(bool hadFocus);
  void noteStored(const NoteDate& day, bool hasNote);
  // Another program (a second copy, a sync tool) changed the note file.
  void noteFileChanged();
  void setNoteMarks(const std::bitset<32>& markedDays);
  void nameDayCell(int cell);

  std::function<QDate()> today_;
  QDate todayDate_;
  std::chrono::year_month shown_{};
  MonthGrid grid_;
  MonthHolidays holidays_{};
  std::bitset<32> markedDays_;
  int focusedDay_ = 0;  // the day of the grid's focus mark in the month shown; 0 before the grid had focus

  NoteStore notes_;
  QFileSystemWatcher* noteFileWatcher_ = nullptr;
  QTimer* noteFileSettled_ = nullptr;  // lets a burst of changes settle before one refresh

  std::array<QLabel*, kWeekdays> weekdayHeadings_{};
  DayGrid* dayGrid_ = nullptr;
  std::array<DayCell*, kCellCount> dayCells_{};
  QPushButton* nextMonthButton_ = nullptr;
  QPushButton* previousMonthButton_ = nullptr;
  NotePanel* notePanel_ = nullptr;
};

}  // namespace hiduke
