#include "note_store/note_content.h"

namespace hiduke {

namespace {

// Reads the date fields of `body` only as far as they match `year` and
// `month`; when both match, the day and the text field.
inline bool ReadDayOfMonth(std::string_view body, int year, int month, int* day, std::string_view* text_field) {
  const char* p = body.data();
  const char* const end = p + body.size();
  int value;
  if ((p = ReadDateField(p, end, &value)) == nullptr || value != year) return false;
  if ((p = ReadDateField(p, end, &value)) == nullptr || value != month) return false;
  if ((p = ReadDateField(p, end, day)) == nullptr) return false;
  *text_field = std::string_view(p, static_cast<size_t>(end - p));
  return true;
}

bool IsRecordOf(std::string_view body, const NoteDate& date) {
  int day;
  std::string_view text_field;
  return ReadDayOfMonth(body, date.year, date.month, &day, &text_field) && day == date.day;
}

}  // namespace

std::bitset<32> MarkedDaysIn(std::string_view content, int year, int month) {
  std::bitset<32> days;
  ForEachNoteLine(content, [&](const NoteLine& line) {
    int day;
    std::string_view text_field;
    if (ReadDayOfMonth(line.body, year, month, &day, &text_field) && day >= 1 && day <= 31) {
      days.set(static_cast<size_t>(day));
    }
  });
  return days;
}

std::optional<std::string> LastNoteIn(std::string_view content, const NoteDate& date) {
  std::optional<std::string_view> last;
  ForEachNoteLine(content, [&](const NoteLine& line) {
    int day;
    std::string_view text_field;
    if (ReadDayOfMonth(line.body, date.year, date.month, &day, &text_field) && day == date.day) {
      last = text_field;
    }
  });
  if (!last) return std::nullopt;
  return ReadNoteText(*last);
}

void NoteEditor::Edit(std::string_view lines, ContentPieces* out) {
  if (lines.empty()) return;
  const char* kept_from = lines.data();
  ForEachNoteLine(lines, [&](const NoteLine& line) {
    if (!IsRecordOf(line.body, date_)) return;
    if (line.whole.data() != kept_from) out->emplace_back(kept_from, static_cast<size_t>(line.whole.data() - kept_from));
    if (record_line_) out->push_back(*record_line_);
    kept_from = line.whole.data() + line.whole.size();
    found_ = true;
  });
  const char* end = lines.data() + lines.size();
  if (kept_from != end) out->emplace_back(kept_from, static_cast<size_t>(end - kept_from));
  ends_without_terminator_ = lines.back() != '\n';
}

void NoteEditor::Finish(ContentPieces* out) const {
  if (!record_line_ || found_) return;
  if (ends_without_terminator_) out->push_back("\r\n");
  out->push_back(*record_line_);
}

std::string EditNotes(std::string_view content, NoteEditor editor) {
  ContentPieces pieces;
  editor.Edit(content, &pieces);
  editor.Finish(&pieces);
  std::string edited;
  edited.reserve(content.size() + 256);
  for (std::string_view piece : pieces) edited += piece;
  return edited;
}

}  // namespace hiduke
