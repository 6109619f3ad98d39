#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <optional>
#include <string>

#include "ical/ical_export.h"
#include "ical/ical_import.h"
#include "main_window/note_search.h"
#include "note_store/conflict_copy_merge.h"
#include "note_store/note_store.h"

class QWidget;

namespace hiduke {

class NoteFileWatcher;
struct LongTask;

// The window's one owner of the notes: it holds the note store, the notes of
// the month shown and the watch on the note file, shows the busy cursor
// while a save waits for the file, and words every failure for the user.
// The widgets ask it and hear from it by signals; none of them holds the
// store.
//
// An export or import runs on a thread of its own (runLongTask), which then
// alone uses the store: the window's thread asks it nothing but
// fileIdentity() (a look at the directory, for the watch) and its path, and
// a change the watch sees is taken up after the task. The task's dialog is modal to the
// window, so the person can neither save nor show another month meanwhile;
// and the store's busy hook, which would paint from the task's thread, is
// left empty.
class NoteBook : public QObject {
  Q_OBJECT

 public:
  // `window` is where messages and the busy cursor show.
  NoteBook(NoteStore store, QWidget* window);

  // The note file's full path, for messages.
  QString path() const;

  // Reads the notes of `month`, which the month view is about to show. A
  // failure is shown to the user, and the month then shows no notes.
  void readMonth(std::chrono::year_month month);
  const MonthNotes& monthNotes() const { return monthNotes_; }

  // The note of `day`: from the month's notes where it is in the month
  // shown (the watch keeps them current), else read.
  StoreResult<std::optional<std::string>> note(std::chrono::year_month_day day) const;
  // The note of `day` as the file holds it now.
  StoreResult<std::optional<std::string>> readNote(std::chrono::year_month_day day) const { return store_.note(day); }
  StoreResult<std::optional<std::chrono::year_month_day>> nearestNoteDate(std::chrono::year_month_day from,
                                                                          bool later) const;
  // Every note, read now, to be searched.
  StoreResult<NoteSearch> noteSearch() const;

  // Saves `note` as the note of `day`, or deletes it when `note` is empty.
  // While the file is held by another program the window shows that it is
  // busy and keeps painting. What took effect is told (monthNotesChanged)
  // and its warnings shown; a failure is returned for the caller to settle
  // (kChangedOnDisk asks the user) or show.
  StoreResult<SaveReport> store(std::chrono::year_month_day day, const std::string& note, const ExpectedNote& before);

  // Writes every note to `path` as iCalendar and tells the user how it went.
  void exportTo(const QString& path);

  // What an import of the iCalendar file `path` would do.
  StoreResult<ImportPlan> planImport(const QString& path, const ImportRange& range);
  // Makes the changes of `plan` in one rewrite of the note file; the month
  // shown follows, and what took effect is told.
  StoreResult<BatchReport> importPlan(const ImportPlan& plan);

  // A save or a long task is under way, with the event loop running: the
  // store is in use.
  bool busy() const { return storing_; }

  // A message box with the failure in Japanese.
  void showError(const StoreError& error) const;

  // Conflict copies that a sync tool left beside the note file, and what
  // merging them would do, as last looked for (at start, and when the
  // directory changes); no copies: nothing to offer.
  void lookForConflictCopies();
  const ConflictPlan& conflictPlan() const { return conflictPlan_; }
  // Merges the copies into the note file (conflict_copy_merge.h) and reads
  // the month again; a failure is returned for the caller to show.
  StoreResult<ConflictMergeReport> mergeConflictCopies();

 signals:
  // The notes of the month shown changed: read again, or saved here.
  void monthNotesChanged();
  // Another program (a second copy, a sync tool) changed the note file.
  void changedOnDisk();
  // The conflict copies beside the note file, or what merging them would
  // do, changed.
  void conflictCopiesChanged();
  // A merge of conflict copies changed the notes.
  void conflictCopiesMerged();

 private:
  void fileChanged();
  // Runs a save, showing the busy cursor while it waits for the file.
  template <typename Save>
  auto whileStoring(Save save);
  // Reads the month shown again; false, saying nothing, when it cannot.
  bool rereadMonth();
  // After a save or a task: a change the watch saw meanwhile is taken up.
  void releaseStore();
  template <typename Work>
  auto runOnStore(const LongTask& task, Work work);

  NoteStore store_;
  QWidget* window_;
  MonthNotes monthNotes_;
  NoteFileWatcher* watcher_ = nullptr;
  bool storing_ = false;  // a save or a task is under way, with the event loop running
  bool changedWhileStoring_ = false;
  bool directoryChangedWhileStoring_ = false;  // a conflict copy may have come meanwhile
  ConflictPlan conflictPlan_;
};

}  // namespace hiduke
