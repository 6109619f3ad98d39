#include "main_window/note_book.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "main_window/long_task.h"
#include "main_window/message_box.h"
#include "main_window/note_file_watcher.h"
#include "main_window/store_messages.h"

namespace hiduke {

namespace {

bool sameCopies(const std::vector<ConflictCopy>& a, const std::vector<ConflictCopy>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const ConflictCopy& x, const ConflictCopy& y) {
    return x.name == y.name && x.file == y.file;
  });
}

}  // namespace

NoteBook::NoteBook(NoteStore store, QWidget* window) : QObject(window), store_(std::move(store)), window_(window) {
  watcher_ = new NoteFileWatcher(path(), [this] { return store_.fileIdentity(); }, this);
  connect(watcher_, &NoteFileWatcher::changedOnDisk, this, &NoteBook::fileChanged);
  connect(watcher_, &NoteFileWatcher::directoryChanged, this, &NoteBook::lookForConflictCopies);
}

template <typename Save>
auto NoteBook::whileStoring(Save save) {
  storing_ = true;
  bool busy = false;
  store_.setBusyHook([&busy] {
    if (!busy) QApplication::setOverrideCursor(Qt::BusyCursor);
    busy = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
  auto result = save();
  store_.setBusyHook({});
  if (busy) QApplication::restoreOverrideCursor();
  releaseStore();
  return result;
}

void NoteBook::lookForConflictCopies() {
  // The save's own files come and go: looked at after it.
  if (storing_) {
    directoryChangedWhileStoring_ = true;
    return;
  }
  StoreResult<ConflictPlan> plan = planConflictMerge(store_);
  if (!plan) return;  // errors wait for the next thing the user does
  const bool same = sameCopies(plan->copies, conflictPlan_.copies) &&
                    plan->merge.differingDays == conflictPlan_.merge.differingDays;
  conflictPlan_ = std::move(*plan);
  if (!same) emit conflictCopiesChanged();
}

StoreResult<ConflictMergeReport> NoteBook::mergeConflictCopies() {
  StoreResult<ConflictMergeReport> report = whileStoring([this] { return hiduke::mergeConflictCopies(store_); });
  if (report) {
    watcher_->setKnownFile(report->file);
    if (rereadMonth()) emit monthNotesChanged();
    emit conflictCopiesMerged();
    for (const StoreError& warning : report->warnings) showError(warning);
  }
  lookForConflictCopies();
  return report;
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
  // An empty box deletes the note; anything else, spaces alone too, is saved.
  StoreResult<SaveReport> stored = whileStoring(
      [&] { return note.empty() ? store_.deleteNote(day, before) : store_.saveNote(day, note, before); });
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

void NoteBook::releaseStore() {
  storing_ = false;
  if (std::exchange(changedWhileStoring_, false)) QMetaObject::invokeMethod(this, &NoteBook::fileChanged, Qt::QueuedConnection);
  if (std::exchange(directoryChangedWhileStoring_, false)) {
    QMetaObject::invokeMethod(this, &NoteBook::lookForConflictCopies, Qt::QueuedConnection);
  }
}

template <typename Work>
auto NoteBook::runOnStore(const LongTask& task, Work work) {
  storing_ = true;
  store_.setBusyHook({});  // the task's dialog shows that the window is busy
  auto result = runLongTask(window_, task, [&](const ICalProgress& progress) { return work(store_, progress); });
  releaseStore();
  return result;
}

void NoteBook::exportTo(const QString& path) {
  const QString title = QStringLiteral("iCalendar に書き出す");
  const std::string target = QFile::encodeName(path).toStdString();
  const StoreResult<ExportReport> report =
      runOnStore(LongTask{.title = title, .label = QStringLiteral("予定を書き出しています…")},
                 [&target](const NoteStore& store, const ICalProgress& progress) {
                   return exportICalendar(store, target, progress);
                 });
  showMessage(window_, title, report ? exportSummary(*report) : storeErrorMessage(report.error()));
}

StoreResult<ImportPlan> NoteBook::planImport(const QString& path, const ImportRange& range) {
  const std::string source = QFile::encodeName(path).toStdString();
  return runOnStore(LongTask{.title = QStringLiteral("iCalendar から読み込む"),
                             .label = QStringLiteral("iCalendar のファイルを読んでいます…")},
                    [&](const NoteStore& store, const ICalProgress& progress) {
                      return hiduke::planImport(store, source, range, progress);
                    });
}

StoreResult<BatchReport> NoteBook::importPlan(const ImportPlan& plan) {
  // One rewrite, which cannot stop halfway: no キャンセル.
  StoreResult<BatchReport> saved = runOnStore(
      LongTask{.title = QStringLiteral("iCalendar から読み込む"), .label = QStringLiteral("予定を保存しています…"),
               .cancellable = false},
      [&plan](NoteStore& store, const ICalProgress&) { return store.saveNotes(plan.batch, plan.readFrom); });
  if (!saved) {
    // Worded as the import's: nothing of it was written.
    StoreError error = std::move(saved).error();
    error.operation = StoreOperation::kImport;
    return error;
  }
  watcher_->setKnownFile(saved->file);
  readMonth(monthNotes_.month);
  emit monthNotesChanged();
  for (const StoreError& warning : saved->warnings) showError(warning);
  return saved;
}

void NoteBook::showError(const StoreError& error) const {
  showMessage(window_, QStringLiteral("予定のファイル"), storeErrorMessage(error));
}

}  // namespace hiduke
