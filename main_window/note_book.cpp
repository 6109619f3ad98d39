#include "main_window/note_book.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "main_window/message_box.h"
#include "main_window/note_file_watcher.h"
#include "main_window/store_messages.h"

namespace hiduke {

namespace {

// A note file larger than this is merged without a base (every difference
// is asked about, nothing is lost) rather than held in memory a second time.
constexpr std::int64_t kMaxBaseBytes = std::int64_t{32} << 20;

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
  rememberBase();
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
  storing_ = false;
  if (std::exchange(changedWhileStoring_, false)) QMetaObject::invokeMethod(this, &NoteBook::fileChanged, Qt::QueuedConnection);
  return result;
}

void NoteBook::rememberBase() {
  // The base must be a state that the other machines had too: this
  // program's own saves are not (they may not have reached them yet), and
  // neither is a change made while conflict copies lie beside the file (it
  // may be the sync tool's pick of one side, the other being the copy).
  // So the base stays as it was then; an older one errs towards asking.
  StoreResult<LocatedFile> located = store_.locate();
  if (!located) return;
  const StoreResult<std::vector<ConflictCopy>> copies = findConflictCopies(located->directory.get(), located->name);
  if (!copies || !copies->empty()) return;
  if (store_.fileIdentity().size > kMaxBaseBytes) {
    base_.reset();
    return;
  }
  StoreResult<FileContent> content = readWholeFile(located->directory.get(), located->name);
  if (!content) return;
  base_ = content->file.size > kMaxBaseBytes ? std::nullopt : std::optional(std::move(content->bytes));
}

void NoteBook::lookForConflictCopies() {
  if (storing_) return;  // the save's own files come and go; looked at after it
  StoreResult<ConflictPlan> plan = planConflictMerge(store_, base_);
  if (!plan) return;  // errors wait for the next thing the user does
  const bool same = sameCopies(plan->copies, conflictPlan_.copies) &&
                    plan->merge.differingDays == conflictPlan_.merge.differingDays;
  conflictPlan_ = std::move(*plan);
  if (!same) emit conflictCopiesChanged();
}

StoreResult<ConflictMergeReport> NoteBook::mergeConflictCopies() {
  StoreResult<ConflictMergeReport> report = whileStoring([this] { return hiduke::mergeConflictCopies(store_, base_); });
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
  rememberBase();
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

void NoteBook::exportTo(const QString& path) {
  const StoreResult<ExportReport> report = exportICalendar(store_, QFile::encodeName(path).toStdString());
  showMessage(window_, QStringLiteral("iCalendar に書き出す"),
              report ? exportSummary(*report) : storeErrorMessage(report.error()));
}

void NoteBook::showError(const StoreError& error) const {
  showMessage(window_, QStringLiteral("予定のファイル"), storeErrorMessage(error));
}

}  // namespace hiduke
