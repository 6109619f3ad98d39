#pragma once

#include <QDate>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "month_model/japanese_holidays.h"
#include "month_model/month_grid.h"
#include "month_model/month_step.h"
#include "note_store/note_store.h"

class QFileSystemWatcher;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace hiduke {

class DayCell;
class DayGrid;

// The calendar's only window: the month view on the left and, when the
// window is widened, the note panel on the right.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `today` reads the local date; it is asked once, by start().
  explicit MainWindow(std::function<QDate()> today = &QDate::currentDate, QWidget* parent = nullptr);

  // Narrows the window, takes today's date and shows today's month.
  void start();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildMonthView();
  void buildNotePanel();
  void buildShortcuts();
  void watchNoteFile();
  void setWide(bool wide);
  bool isPanelOpen() const;

  // Redraws the month view for shown_. A month that cannot be shown gets a
  // message box and leaves the view as it was; returns false then.
  bool showMonth();
  // Shows `month`, or keeps the month shown when it cannot be shown.
  bool goToMonth(YearMonth month);
  void paintDayColours();
  void showPreviousMonth();
  void showNextMonth();

  // The keyboard in the day grid.
  void focusGrid();
  void moveFocusBy(int days);
  void stepMonthsBy(int months);
  void goToToday();
  void markFocusedDay();
  int cellOfDay(int day) const;

  void openDay(int cell);
  void loadOpenedNote();
  void saveOrDeleteNote();
  void requestClosePanel();
  void closeNotePanel();
  // Whether the box's text may be left: it is unchanged, or the user saved
  // it (successfully) or chose to discard it.
  bool settleUnsavedNote();
  bool hasUnsavedNote() const;
  // Whether the note on disk is still the one opened; asks what to do when
  // it changed. Returns false when the save should not go ahead.
  bool confirmOverwrite();
  bool storeNote(const std::string& note);
  void noteStored(bool hasNote, const SaveReport& report);

  // Another program (a second copy, a sync tool) changed the note file.
  void noteFileChanged();
  void setNoteMark(int cell, bool hasNote);
  void nameDayCell(int cell);

  void showMessage(const QString& text);
  void showStoreError(const StoreError& error);

  std::function<QDate()> today_;
  QDate todayDate_;
  YearMonth shown_{};
  MonthGrid grid_;
  std::array<std::optional<HolidayId>, 32> holidays_{};
  std::bitset<32> markedDays_;
  int focusedDay_ = 0;  // the day of the grid's focus mark in the month shown; 0 before the grid had focus

  // The day the note panel was opened for, and its cell; a save or delete
  // acts on that date even after the month shown has changed.
  NoteDate openedDay_{};
  int openedCell_ = 0;
  std::optional<std::string> openedNote_;  // the note on disk as the box last showed or saved it
  QString openedText_;                     // the box's text as loaded or last saved

  NoteStore notes_;
  QFileSystemWatcher* noteFileWatcher_ = nullptr;
  QTimer* noteFileSettled_ = nullptr;  // lets a burst of changes settle before one refresh

  std::array<QLabel*, kWeekdays> weekdayHeadings_{};
  DayGrid* dayGrid_ = nullptr;
  std::array<DayCell*, kCellCount> dayCells_{};
  QLabel* noteHeading_ = nullptr;
  QPlainTextEdit* noteEdit_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QPushButton* nextMonthButton_ = nullptr;
  QPushButton* previousMonthButton_ = nullptr;
};

}  // namespace hiduke
