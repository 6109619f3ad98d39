#pragma once

#include <QDateTime>
#include <QWidget>
#include <chrono>
#include <functional>

#include "main_window/note_panel.h"
#include "note_store/note_store.h"

namespace hiduke {

class ConflictBar;
class MonthView;
class NoteBook;
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
  // 今後の予定: the notes from today on, in the search's list.
  void showUpcomingNotes();
  void goToDate();
  // Writes every note to a file the user chooses, as iCalendar.
  void exportNotes();
  // Reads the notes of an iCalendar file the user chooses.
  void importNotes();
  // Reads the notes of the iCalendar file `path`: the range of days for
  // repeating events, what the import will do, and then, if the user
  // agrees, the notes in one save.
  void importFrom(const QString& path);
  // Draws the whole window at `percent` of its design size, and keeps it
  // for the next start.
  void setZoom(int percent);
  int zoom() const { return zoom_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void setWide(bool wide);
  // The window's size at 100%, narrow or wide.
  QSize sizeAtDefault() const;
  void fitZoomToSize();
  // The search's dialog, titled `title`; the day chosen is opened.
  void chooseFromNotes(const QString& title);
  void setTitle();
  void panelClosed(bool hadFocus);
  // Another program (a second copy, a sync tool) changed the note file,
  // or a merge or an import did.
  void noteFileChanged(NotePanel::ChangedBy changedBy);
  // The conflict copies beside the note file, as the owner of the notes
  // last found them: offered for merging, or the offer withdrawn.
  void showConflictCopies();
  void mergeConflictCopies();
  void hideConflictBar();

  NoteBook* book_ = nullptr;
  TodayClock* clock_ = nullptr;
  MonthView* monthView_ = nullptr;
  NotePanel* notePanel_ = nullptr;
  ConflictBar* conflictBar_ = nullptr;
  bool merging_ = false;
  bool wide_ = true;
  int zoom_ = 100;
  bool sizing_ = false;  // the window sets its own size: no zoom from it
};

}  // namespace hiduke
