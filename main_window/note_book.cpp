#include "main_window/note_book.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <utility>

#include "main_window/message_box.h"
#include "main_window/note_file_watcher.h"
#include "main_window/store_messages.h"

namespace hiduke {

NoteBook::NoteBook(NoteStore store, QWidget* window) : QObject(window), store_(std::move(store)), window_(window) {
  watcher_ = new NoteFileWatcher(path(), [this] { return store_.fileIdentity(); }, this);
  connect(watcher_, &NoteFileWatcher::changedOnDisk, this, &NoteBook::fileChanged);
}

QString NoteBook::path() const { return QFile::decodeName(QByteArray::fromStdString(store_.path())); }

void NoteBook::readMonth(std::chrono::year_month month) {
  StoreResult<MonthNotes> notes = store_.monthNotes(month);
  if (!notes) {
    showError(notes.error());
    monthNotes_ = MonthNotes{.month = month, .file = {}};
    return;
  }
  monthNotes_ = std::move(*notes);
  watcher_->setKnownFile(monthNotes_.file);
}

bool NoteBook::rereadMonth() {
  StoreResult<MonthNotes> notes = store_.monthNotes(monthNotes_.month);
  if (!notes) return false;
  monthNotes_ = std::move(*notes);
  watcher_->setKnownFile(monthNotes_.file);
  return true;
}

void NoteBook::fileChanged() {
  // Not in the middle of a save, which holds the file: after it.
  if (storing_) {
    changedWhileStoring_ = true;
    return;
  }
  // Errors wait for the next thing the user does; nothing pops up unasked.
  if (rereadMonth()) emit monthNotesChanged();
  emit changedOnDisk();
}

StoreResult<std::optional<std::string>> NoteBook::note(std::chrono::year_month_day day) const {
  if (day.year() / day.month() == monthNotes_.month) return monthNotes_.of(day.day());
  return store_.note(day);
}

StoreResult<std::optional<std::chrono::year_month_day>> NoteBook::nearestNoteDate(std::chrono::year_month_day from,
                                                                                  bool later) const {
  return later ? store_.nextNoteDate(from) : store_.previousNoteDate(from);
}

StoreResult<NoteSearch> NoteBook::noteSearch() const {
  // A million notes read in a fraction of a second, a gigabyte of them in
  // seconds: the cursor says that the window is busy meanwhile.
  QApplication::setOverrideCursor(Qt::BusyCursor);
  StoreResult<NoteSearch> search = NoteSearch::read(store_);
  QApplication::restoreOverrideCursor();
  return search;
}

StoreResult<SaveReport> NoteBook::store(std::chrono::year_month_day day, const std::string& note,
                                        const ExpectedNote& before) {
  // Another program's change since the month was read goes into the save;
  // the month is read again after it.
  const bool changedSinceRead = store_.fileIdentity() != monthNotes_.file;
  storing_ = true;
  bool busy = false;
  store_.setBusyHook([&busy] {
    if (!busy) QApplication::setOverrideCursor(Qt::BusyCursor);
    busy = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
  // An empty box deletes the note; anything else, spaces alone too, is saved.
  StoreResult<SaveReport> stored = note.empty() ? store_.deleteNote(day, before) : store_.saveNote(day, note, before);
  store_.setBusyHook({});
  if (busy) QApplication::restoreOverrideCursor();
  storing_ = false;
  if (std::exchange(changedWhileStoring_, false)) QMetaObject::invokeMethod(this, &NoteBook::fileChanged, Qt::QueuedConnection);
  if (!stored) return stored;
  watcher_->setKnownFile(stored->file);
  if (changedSinceRead && rereadMonth()) {
    emit monthNotesChanged();
  } else if (day.year() / day.month() == monthNotes_.month) {
    monthNotes_.days[unsigned{day.day()}] = stored->note;
    monthNotes_.file = stored->file;
    emit monthNotesChanged();
  }
  for (const StoreError& warning : stored->warnings) showError(warning);
  return stored;
}

void NoteBook::exportTo(const QString& path) {
  const StoreResult<ExportReport> report = exportICalendar(store_, QFile::encodeName(path).toStdString());
  showMessage(window_, QStringLiteral("iCalendar に書き出す"),
              report ? exportSummary(*report) : storeErrorMessage(report.error()));
}

void NoteBook::showError(const StoreError& error) const {
  showMessage(window_, QStringLiteral("予定のファイル"), storeErrorMessage(error));
}

}  // namespace hiduke
