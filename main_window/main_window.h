#pragma once

#include <QDateTime>
#include <QWidget>
#include <chrono>
#include <functional>

#include "note_store/note_store.h"

namespace hiduke {

class MonthView;
class NoteBook;
class NotePanel;
class TodayClock;

// The calendar's only window: the month view on the left and, when the
// window is widened, the note panel on the right. It composes them with the
// owner of the notes (NoteBook) and today's clock.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `now` reads the local date and time; today follows it.
  explicit MainWindow(NoteStore store, std::function<QDateTime()> now = &QDateTime::currentDateTime,
                      QWidget* parent = nullptr);
  ~MainWindow() override;

  // Narrows the window and shows today's month.
  void start();

  // Shows the month of `day` with the keyboard focus on it.
  void goToDay(std::chrono::year_month_day day);
  // Shows the month of `day` and opens its note.
  void openDay(std::chrono::year_month_day day);
  void searchNotes();
  void goToDate();
  // Writes every note to a file the user chooses, as iCalendar.
  void exportNotes();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void setWide(bool wide);
  void setTitle();
  void panelClosed(bool hadFocus);
  // Another program (a second copy, a sync tool) changed the note file.
  void noteFileChanged();

  NoteBook* book_ = nullptr;
  TodayClock* clock_ = nullptr;
  MonthView* monthView_ = nullptr;
  NotePanel* notePanel_ = nullptr;
};

}  // namespace hiduke
