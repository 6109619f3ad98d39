#include "note_store/note_store.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <unordered_set>
#include <utility>

#include "note_store/atomic_rewrite.h"
#include "note_store/cp932.h"
#include "note_store/huge_pages.h"
#include "note_store/in_place_writers.h"
#include "note_store/last_of_each_date.h"
#include "note_store/line_reader.h"
#include "note_store/note_content.h"
#include "note_store/note_record.h"

namespace hiduke {

namespace {

// Pieces a file is read in: small enough to stay in the processor's cache.
constexpr size_t kScanChunk = size_t{1} << 16;
// The record lines of a batch are kept in blocks of this size.
constexpr size_t kRecordBlock = size_t{1} << 20;

// A text field as the note it holds.
StoreResult<std::string> noteOfTextField(std::string_view textField) {
  StoreResult<std::string> text = decodeCp932(readNoteText(textField));
  if (!text) return text;
  return decodeNoteText(*text);
}

StoreResult<std::optional<std::string>> noteOfTextFieldIfAny(const std::optional<std::string>& textField) {
  if (!textField) return std::optional<std::string>();
  StoreResult<std::string> note = noteOfTextField(*textField);
  if (!note) return std::move(note).error();
  return std::optional<std::string>(std::move(*note));
}

// A note in the file's bytes, checked as every save checks it: a date the
// file can hold, no ";" (the file keeps it for a line break: a typed one
// would come back as one). The characters code page 932 cannot hold come
// back in the encoding, for the caller to refuse.
StoreResult<Cp932Encoding> encodedNote(std::chrono::year_month_day date, std::string_view note) {
  if (!isStorableDate(date)) return StoreError{.kind = StoreErrorKind::kDateOutOfRange, .date = date};
  if (note.find(';') != std::string_view::npos) return StoreError{.kind = StoreErrorKind::kSemicolon};
  return encodeCp932(note);
}

// Whether a file read is the one `expected` names, in the state it was in.
bool sameFileState(const FileIdentity& read, const FileIdentity& expected) {
  if (!read.exists || !expected.exists) return read.exists == expected.exists;
  return read.device == expected.device && read.inode == expected.inode && read.size == expected.size &&
         read.modifiedNs == expected.modifiedNs;
}

StoreError outOfMemory() { return StoreError{.kind = StoreErrorKind::kOutOfMemory, .errorNumber = ENOMEM}; }

}  // namespace

StoreResult<NoteStore> NoteStore::open(const std::string& path) {
  StoreResult<NoteDirectory> directory = NoteDirectory::open(path);
  if (!directory) {
    StoreError error = std::move(directory).error();
    if (error.path.empty()) error.path = path;
    return error;
  }
  // iconv reads its list of conversions once in a process: where that first
  // reading fails (all file descriptors in use) it never converts CP932
  // again. Read at start, a later shortage fails only the action it meets.
  [[maybe_unused]] const StoreResult<Cp932Decoder> converter = Cp932Decoder::open();
  return NoteStore(std::move(*directory));
}

template <typename Consume>
StoreResult<FileIdentity> NoteStore::readWhole(int passes, Reading reading, Consume&& consume) const {
  StoreResult<OpenedFile> file = directory_.openForReading();
  if (!file) return std::move(file).error();
  if (!file->fd) return FileIdentity{};
  std::optional<InPlaceWriterWatch> writers;
  if (reading == Reading::kApart) {
    // No busy hook: this may run on a thread of its own.
    const std::function<void()> noHook;
    BusyWait wait(noHook);
    StoreResult<InPlaceWriterWatch> watch = InPlaceWriterWatch::waitForWriters(file->fd.get(), wait);
    if (!watch) return std::move(watch).error();
    writers = *watch;
  }
  std::int64_t bytes = 0;
  bool stopped = false;
  bool writtenTo = false;
  for (int pass = 0; pass < passes && !stopped && !writtenTo; ++pass) {
    if (pass != 0 && ::lseek(file->fd.get(), 0, SEEK_SET) != 0) return readFailed(errno);
    StoreResult<void> read = readInLines(file->fd.get(), file->status.st_size, kScanChunk, [&](std::string_view lines) {
      if (pass == 0) bytes += static_cast<std::int64_t>(lines.size());
      stopped = !consume(LinesRead{.pass = pass, .lines = lines, .fileSize = file->status.st_size});
      // A writer that knocks on the lease waits until the file is closed:
      // the reading gives up at once rather than keep it waiting.
      writtenTo = writers && writers->writtenTo();
      return !stopped && !writtenTo;
    });
    if (!read) return std::move(read).error();
  }
  if (writtenTo) return StoreError{.kind = StoreErrorKind::kBeingWritten};
  if (reading == Reading::kKept) noteRead(file->status, bytes);
  return identityOf(file->status);
}

template <typename Scan>
StoreResult<FileIdentity> NoteStore::scanFile(Scan& scan) const {
  return readWhole(1, Reading::kKept, [&scan](const LinesRead& run) {
    scan.scan(run.lines);
    return true;
  });
}

StoreResult<MonthNotes> NoteStore::monthNotes(std::chrono::year_month month) const try {
  MonthScan scan(month);
  StoreResult<FileIdentity> file = scanFile(scan);
  if (!file) return completed(std::move(file).error(), StoreOperation::kRead);
  MonthNotes notes{.month = month, .file = *file};
  for (unsigned day = 1; day < notes.days.size(); ++day) {
    StoreResult<std::optional<std::string>> note = noteOfTextFieldIfAny(scan.textFields()[day]);
    if (!note) return completed(std::move(note).error(), StoreOperation::kRead);
    notes.days[day] = std::move(*note);
  }
  return notes;
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kRead);
}

StoreResult<std::optional<std::string>> NoteStore::note(std::chrono::year_month_day date) const try {
  MonthScan scan(date.year() / date.month());
  StoreResult<FileIdentity> file = scanFile(scan);
  if (!file) return completed(std::move(file).error(), StoreOperation::kRead);
  StoreResult<std::optional<std::string>> note =
      date.ok() ? noteOfTextFieldIfAny(scan.textFields()[static_cast<unsigned>(date.day())]) : std::optional<std::string>();
  if (!note) return completed(std::move(note).error(), StoreOperation::kRead);
  return note;
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kRead);
}

StoreResult<std::optional<std::chrono::year_month_day>> NoteStore::nextNoteDate(std::chrono::year_month_day from) const {
  return nearestNoteDate(from, true);
}

StoreResult<std::optional<std::chrono::year_month_day>> NoteStore::previousNoteDate(
    std::chrono::year_month_day from) const {
  return nearestNoteDate(from, false);
}

StoreResult<std::optional<std::chrono::year_month_day>> NoteStore::nearestNoteDate(std::chrono::year_month_day from,
                                                                                   bool later) const {
  NearestNoteScan scan(from, later ? NearestNoteScan::Direction::kLater : NearestNoteScan::Direction::kEarlier);
  StoreResult<FileIdentity> file = scanFile(scan);
  if (!file) return completed(std::move(file).error(), StoreOperation::kRead);
  return scan.found();
}

StoreResult<AllNotes> NoteStore::allNotes() const try {
  StoreResult<Cp932Decoder> decoder = Cp932Decoder::open();
  if (!decoder) return completed(std::move(decoder).error(), StoreOperation::kRead);
  AllNotes all;
  // Each record's text decoded as the file streams past, one after another
  // into buffers that never move: the first with room for the most the
  // file's size can make, a further one whenever the file turns out longer
  // than that size said (it grew, or was rewritten, meanwhile).
  size_t size = 0;
  const auto reserveFor = [&](std::int64_t fileSize) {
    size = static_cast<size_t>(std::max<std::int64_t>(fileSize, 0));
    // No record is shorter than "1,1,1," and its line end: room for all,
    // taken by the pages they fill.
    all.notes.reserve(size / 7 + 1);
    adviseHugePages(all.notes.data(), all.notes.capacity() * sizeof(DatedNote));
  };
  char* out = nullptr;
  size_t room = 0;
  const auto makeRoom = [&](size_t cp932Bytes) {
    if (room >= Cp932Decoder::room(cp932Bytes)) return;
    room = std::max(Cp932Decoder::room(cp932Bytes), all.texts.empty() ? Cp932Decoder::room(size) : 0);
    all.texts.push_back(std::make_unique_for_overwrite<char[]>(room));
    out = all.texts.back().get();
    adviseHugePages(out, room);
  };
  std::string unquoted;
  StoreResult<FileIdentity> file = readWhole(1, Reading::kKept, [&](const LinesRead& run) {
    const std::string_view lines = run.lines;
    if (all.texts.empty()) reserveFor(run.fileSize);  // the first run
    makeRoom(lines.size());
    char* const start = out;
    forEachNoteLine(lines, [&](const NoteLine& line) {
      const std::optional<RecordHead> head = readRecordHead(line.body);
      if (!head) {
        all.otherLines += !line.body.empty();
        return;
      }
      const std::string_view text = storedTextOf(head->textField, unquoted);
      char* const begin = out;
      out = decoder->decode(text, out);
      decodeLineBreaks({begin, out});
      all.notes.push_back({head->date, std::string_view(begin, static_cast<size_t>(out - begin))});
    });
    room -= static_cast<size_t>(out - start);
    return true;
  });
  if (!file) return completed(std::move(file).error(), StoreOperation::kRead);
  all.file = *file;
  keepLastOfEachDate(all.notes, &DatedNote::date);
  return all;
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kRead);
}

StoreResult<FileIdentity> NoteStore::readLines(int passes,
                                               const std::function<bool(const LinesRead&)>& consume) const try {
  // Not kept as read: this may run beside the store's other calls.
  StoreResult<FileIdentity> file = readWhole(passes, Reading::kApart, consume);
  if (!file) return completed(std::move(file).error(), StoreOperation::kRead);
  return file;
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kRead);
}

StoreResult<FileIdentity> NoteStore::forEachRecord(
    const std::function<void(std::chrono::year_month_day, std::string_view)>& visit) const try {
  struct RecordScan {
    const std::function<void(std::chrono::year_month_day, std::string_view)>& visit;
    std::string unquoted;
    void scan(std::string_view lines) {
      forEachNoteLine(lines, [&](const NoteLine& line) {
        const std::optional<RecordHead> head = readRecordHead(line.body);
        if (head) visit(head->date, storedTextOf(head->textField, unquoted));
      });
    }
  } scan{visit, {}};
  StoreResult<FileIdentity> file = scanFile(scan);
  if (!file) return completed(std::move(file).error(), StoreOperation::kRead);
  return file;
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kRead);
}

StoreResult<SaveReport> NoteStore::saveNote(std::chrono::year_month_day date, const std::string& note,
                                            const ExpectedNote& before) try {
  StoreResult<Cp932Encoding> encoded = encodedNote(date, note);
  if (!encoded) return completed(std::move(encoded).error(), StoreOperation::kSave);
  if (!encoded->unencodable.empty()) {
    return completed(StoreError{.kind = StoreErrorKind::kUnencodable, .characters = std::move(encoded->unencodable)},
                     StoreOperation::kSave);
  }
  // The note as a reader will find it: the look-alikes code page 932 holds
  // for some characters, every line break one "\n".
  StoreResult<std::string> stored = decodeCp932(encoded->bytes);
  if (!stored) return completed(std::move(stored).error(), StoreOperation::kSave);
  const Record record{.line = formatNoteRecord(date, encoded->bytes), .note = decodeNoteText(encodeNoteText(*stored))};
  return rewrite(date, record, before, StoreOperation::kSave);
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kSave);
}

StoreResult<SaveReport> NoteStore::deleteNote(std::chrono::year_month_day date, const ExpectedNote& before) try {
  return rewrite(date, std::nullopt, before, StoreOperation::kDelete);
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kDelete);
}

StoreResult<BatchReport> NoteStore::saveNotes(const NoteBatch& batch, const FileIdentity& readFrom) try {
  // Every record line is made before the file is touched, one after another
  // in blocks that never move: the batch is refused whole or written whole.
  std::vector<std::unique_ptr<char[]>> blocks;
  char* out = nullptr;
  std::size_t room = 0;
  // The record line of `text` on `date`, made in place.
  const auto keepRecord = [&](std::chrono::year_month_day date, std::string_view text) {
    if (const std::size_t most = maxRecordBytes(text.size()); most > room) {
      room = std::max(kRecordBlock, most);
      blocks.push_back(std::make_unique_for_overwrite<char[]>(room));
      out = blocks.back().get();
    }
    char* const start = out;
    out = writeNoteRecord(out, date, text);
    room -= static_cast<std::size_t>(out - start);
    return std::string_view(start, static_cast<std::size_t>(out - start));
  };
  std::vector<RecordChange> changes;
  changes.reserve(batch.size());
  std::vector<std::string> unencodable;
  std::unordered_set<std::string> seen;
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const NoteChange change = batch[i];
    if (!change.note) {
      changes.emplace_back(change.date, std::string_view());
      continue;
    }
    if (batch.isStored(i)) {
      // Already the file's bytes: only a line break would break the record.
      if (!isStorableDate(change.date)) {
        return completed(StoreError{.kind = StoreErrorKind::kDateOutOfRange, .date = change.date}, StoreOperation::kSave);
      }
      if (std::any_of(change.note->begin(), change.note->end(), [](char c) { return c == '\r' || c == '\n'; })) {
        return completed(writeFailed(EINVAL), StoreOperation::kSave);
      }
      changes.emplace_back(change.date, unencodable.empty() ? keepRecord(change.date, *change.note) : "");
      continue;
    }
    StoreResult<Cp932Encoding> encoded = encodedNote(change.date, *change.note);
    if (!encoded) return completed(std::move(encoded).error(), StoreOperation::kSave);
    for (std::string& character : encoded->unencodable) {
      if (seen.insert(character).second) unencodable.push_back(std::move(character));
    }
    changes.emplace_back(change.date, unencodable.empty() ? keepRecord(change.date, encoded->bytes) : "");
  }
  if (!unencodable.empty()) {
    return completed(StoreError{.kind = StoreErrorKind::kUnencodable, .characters = std::move(unencodable)},
                     StoreOperation::kSave);
  }
  // An added line is one line that holds no note: one that would break
  // into more could add notes to any day.
  for (const std::string& line : batch.addedLines) {
    if (line.find_first_of("\r\n") != std::string::npos) return completed(writeFailed(EINVAL), StoreOperation::kSave);
  }
  // Of two changes of one date the later counts.
  keepLastOfEachDate(changes, &RecordChange::date);

  std::size_t removed = 0;
  const NoteFileEdit edit{.makeEditor = [&] { return NoteEditor::batch(changes, batch.addedLines); },
                          .check = [&](const NoteEditor& editor, const FileIdentity& read) -> StoreResult<void> {
                            if (!sameFileState(read, readFrom)) return StoreError{.kind = StoreErrorKind::kChangedOnDisk};
                            removed = editor.removedDates();
                            return {};
                          }};
  StoreResult<Rewritten> rewritten = rewriteFile(edit, StoreOperation::kSave);
  if (!rewritten) return std::move(rewritten).error();
  BatchReport report{.removed = removed, .file = rewritten->file, .warnings = warningsOf(*rewritten, StoreOperation::kSave)};
  report.saved = static_cast<std::size_t>(
      std::count_if(changes.begin(), changes.end(), [](const RecordChange& change) { return !change.recordLine().empty(); }));
  return report;
} catch (const std::bad_alloc&) {
  return completed(outOfMemory(), StoreOperation::kSave);
}

StoreResult<SaveReport> NoteStore::rewrite(std::chrono::year_month_day date, const std::optional<Record>& record,
                                           const ExpectedNote& before, StoreOperation operation) {
  const NoteFileEdit edit{
      .makeEditor = [&] { return record ? NoteEditor::save(date, record->line) : NoteEditor::remove(date); },
      .check = [&](const NoteEditor& editor, const FileIdentity&) -> StoreResult<void> {
        if (before.admitsAnything()) return {};
        StoreResult<std::optional<std::string>> onDisk = noteOfTextFieldIfAny(editor.replacedTextField());
        if (!onDisk) return std::move(onDisk).error();
        if (!before.admits(*onDisk)) return StoreError{.kind = StoreErrorKind::kChangedOnDisk};
        return {};
      }};
  StoreResult<Rewritten> rewritten = rewriteFile(edit, operation);
  if (!rewritten) return std::move(rewritten).error();
  SaveReport report;
  report.file = rewritten->file;
  if (record) report.note = record->note;
  report.warnings = warningsOf(*rewritten, operation);
  return report;
}

StoreResult<Rewritten> NoteStore::rewriteFile(const NoteFileEdit& edit, StoreOperation operation) {
  // A copy: the hook may replace itself while the save still calls it.
  const std::function<void()> busy = busyHook_;
  StoreResult<Rewritten> rewritten = rewriteNoteFile(directory_, edit, largestRead_, busy);
  // The file as it now is counts as read: a refused save, tried again,
  // takes it as it is then.
  largestRead_ = rewritten ? rewritten->file : directory_.identity();
  if (!rewritten) return completed(std::move(rewritten).error(), operation);
  return rewritten;
}

std::vector<StoreError> NoteStore::warningsOf(const Rewritten& rewritten, StoreOperation operation) const {
  std::vector<StoreError> warnings;
  if (rewritten.directorySyncError != 0) {
    warnings.push_back(completed(
        StoreError{.kind = StoreErrorKind::kNotDurable, .errorNumber = rewritten.directorySyncError}, operation));
  }
  if (rewritten.otherNames != 0) {
    warnings.push_back(completed(
        StoreError{.kind = StoreErrorKind::kHardLinksSeparated, .otherNames = rewritten.otherNames}, operation));
  }
  return warnings;
}

void NoteStore::noteRead(const struct stat& status, std::int64_t bytes) const {
  const bool sameFile = largestRead_.exists && largestRead_.device == status.st_dev && largestRead_.inode == status.st_ino;
  if (sameFile && largestRead_.size >= bytes) return;
  largestRead_ = identityOf(status);
  largestRead_.size = bytes;
}

StoreError NoteStore::completed(StoreError error, StoreOperation operation) const {
  error.operation = operation;
  error.path = path();
  return error;
}

}  // namespace hiduke
