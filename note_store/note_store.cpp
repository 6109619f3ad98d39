#include "note_store/note_store.h"

#include <cerrno>
#include <new>
#include <utility>

#include "note_store/cp932.h"
#include "note_store/note_content.h"
#include "note_store/note_file.h"

namespace hiduke {

namespace {

bool IsWritableDate(const NoteDate& date) {
  return date.year >= 0 && date.year <= kMaxDateField && date.month >= 1 && date.month <= 12 &&
         date.day >= 1 && date.day <= 31;
}

}  // namespace

NoteStore::NoteStore(std::string path) : path_(std::move(path)) {}

StoreResult<std::bitset<32>> NoteStore::MarkedDays(int year, int month) const try {
  std::bitset<32> days;
  StoreResult<void> scanned =
      ScanNoteFile(path_, [&](std::string_view lines) { days |= MarkedDaysIn(lines, year, month); });
  if (!scanned) return scanned.error();
  return days;
} catch (const std::bad_alloc&) {
  return OutOfMemory(StoreOperation::kRead);
}

StoreResult<std::optional<std::string>> NoteStore::ReadNote(const NoteDate& date) const try {
  std::optional<std::string> stored;
  StoreResult<void> scanned = ScanNoteFile(path_, [&](std::string_view lines) {
    if (std::optional<std::string> last = LastNoteIn(lines, date)) stored = std::move(last);
  });
  if (!scanned) return scanned.error();
  if (!stored) return std::optional<std::string>();
  StoreResult<std::string> text = DecodeCp932(*stored);
  if (!text) return WithPath(text.error());
  return std::optional<std::string>(DecodeNoteText(*text));
} catch (const std::bad_alloc&) {
  return OutOfMemory(StoreOperation::kRead);
}

StoreResult<SaveReport> NoteStore::SaveNote(const NoteDate& date, const std::string& note) try {
  if (!IsWritableDate(date)) {
    return StoreError{
        .kind = StoreErrorKind::kDateOutOfRange, .operation = StoreOperation::kSave, .path = path_, .date = date};
  }
  StoreResult<Cp932Encoding> encoded = EncodeCp932(note);
  if (!encoded) return WithPath(encoded.error());
  if (!encoded->unencodable.empty()) {
    return StoreError{.kind = StoreErrorKind::kUnencodable,
                      .operation = StoreOperation::kSave,
                      .path = path_,
                      .characters = std::move(encoded->unencodable)};
  }
  // The line breaks become ";" here, on the CP932 bytes, in the one pass
  // that also writes the record.
  const std::string record_line = FormatNoteRecord(date, encoded->bytes);
  return RewriteNoteFile(path_, NoteEditor::Save(date, record_line), StoreOperation::kSave, lock_wait_hook_);
} catch (const std::bad_alloc&) {
  return OutOfMemory(StoreOperation::kSave);
}

StoreResult<SaveReport> NoteStore::DeleteNote(const NoteDate& date) try {
  return RewriteNoteFile(path_, NoteEditor::Delete(date), StoreOperation::kDelete, lock_wait_hook_);
} catch (const std::bad_alloc&) {
  return OutOfMemory(StoreOperation::kDelete);
}

StoreError NoteStore::WithPath(StoreError error) const {
  error.path = path_;
  return error;
}

StoreError NoteStore::OutOfMemory(StoreOperation operation) const {
  return StoreError{
      .kind = StoreErrorKind::kOutOfMemory, .operation = operation, .error_number = ENOMEM, .path = path_};
}

}  // namespace hiduke
