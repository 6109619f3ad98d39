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
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // today: reads the local date; called once, by Form_Load.
  explicit Form1(std::function<QDate()> today = &QDate::currentDate, QWidget* parent = nullptr);

  // Narrows the window, takes today's date and shows today's month.
  void Form_Load();

  // Redraws the month view for shownYear/shownMonth. A month that cannot be
  // shown gets a message box and leaves the view as it was; returns false then.
  bool ShowMonth();

  void cmdMae_Click();
  void cmdTugi_Click();
  void hinichi_Click(int index);
  void Command1_Click();
  void DeleteNote();
  void simeru_Click();

  DayCell* hinichi(int index) const { return hinichi_[index]; }
  int shownYear() const { return shownYear_; }
  int shownMonth() const { return shownMonth_; }

 private:
  void BuildMonthView();
  void BuildNotePanel();
  void SetOuterWidth(bool wide);
  void StepMonth(YearMonth (*step)(YearMonth));
  void PaintDayColours(const MonthGrid& grid);
  void SetSelectedUnderline(bool underlined);
  void SetNoteMark(int index, bool hasNote);
  void ShowMessage(const QString& text);
  void ShowStoreError(const StoreError& error);

  std::function<QDate()> today_;

  int shownYear_ = 0;
  int shownMonth_ = 0;
  int todayYear_ = 0;
  int todayMonth_ = 0;
  int todayDay_ = 0;
  // The date the note panel was opened for; a save or delete acts on it even
  // after the month shown has changed.
  int selYear_ = 0;
  int selMonth_ = 0;
  int selDay_ = 0;
  int selIndex_ = 0;

  NoteStore notes_;

  std::array<QLabel*, 7> weekdayHeadings_{};  // Label2 .. Label8
  std::array<DayCell*, kCellCount> hinichi_{};
  QLabel* Label1_ = nullptr;
  QPlainTextEdit* Text1_ = nullptr;
  QPushButton* Command1_ = nullptr;
  QPushButton* simeru_ = nullptr;
  QPushButton* cmdTugi_ = nullptr;
  QPushButton* cmdMae_ = nullptr;
};

}  // namespace hiduke
