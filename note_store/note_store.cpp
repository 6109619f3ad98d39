#include "note_store/note_store.h"

#include <cerrno>
#include <new>
#include <utility>

#include "note_store/cp932.h"
#include "note_store/note_content.h"
#include "note_store/note_file.h"

namespace hiduke {

namespace {

constexpr std::string_view kNotSaved = "予定は保存されていません。";
constexpr std::string_view kNotDeleted = "予定は削除されていません。";

StoreError OutOfMemory(const std::string& path, std::string_view notice) {
  return StoreError{path + " を処理できませんでした（" + ErrnoReason(ENOMEM) + "）。" + std::string(notice)};
}

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
  return OutOfMemory(path_, {});
}

StoreResult<std::optional<std::string>> NoteStore::ReadNote(const NoteDate& date) const try {
  std::optional<std::string> stored;
  StoreResult<void> scanned = ScanNoteFile(path_, [&](std::string_view lines) {
    if (std::optional<std::string> last = LastNoteIn(lines, date)) stored = std::move(last);
  });
  if (!scanned) return scanned.error();
  if (!stored) return std::optional<std::string>();
  StoreResult<std::string> text = DecodeCp932(*stored);
  if (!text) return text.error();
  return std::optional<std::string>(DecodeNoteText(*text));
} catch (const std::bad_alloc&) {
  return OutOfMemory(path_, {});
}

StoreResult<void> NoteStore::SaveNote(const NoteDate& date, const std::string& note) try {
  if (!IsWritableDate(date)) {
    return StoreError{std::to_string(date.year) + "年" + std::to_string(date.month) + "月" +
                      std::to_string(date.day) + "日の予定は " + path_ + " に保存できません（日付が範囲外です）。" +
                      std::string(kNotSaved)};
  }
  StoreResult<Cp932Encoding> encoded = EncodeCp932(EncodeNoteText(note));
  if (!encoded) return encoded.error();
  if (!encoded->unencodable.empty()) {
    std::string message = "次の文字は保存できません:";
    for (const std::string& character : encoded->unencodable) message += " " + character;
    return StoreError{message + "\n" + std::string(kNotSaved)};
  }
  const std::string record_line = FormatNoteRecord(date, encoded->bytes);
  return RewriteNoteFile(path_, NoteEditor::Save(date, record_line), kNotSaved);
} catch (const std::bad_alloc&) {
  return OutOfMemory(path_, kNotSaved);
}

StoreResult<void> NoteStore::DeleteNote(const NoteDate& date) try {
  return RewriteNoteFile(path_, NoteEditor::Delete(date), kNotDeleted);
} catch (const std::bad_alloc&) {
  return OutOfMemory(path_, kNotDeleted);
}

}  // namespace hiduke
