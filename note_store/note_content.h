#pragma once

#include <bitset>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/note_record.h"

namespace hiduke {

// Operations on the bytes of the note file held in memory. A content is a
// run of whole lines: lines end at LF, a CR right before the LF belongs to
// the terminator, and the last line may have no terminator at all.

struct NoteLine {
  std::string_view body;   // without the terminator
  std::string_view whole;  // with the terminator ("\r\n", "\n" or none)
};

// Calls `visit(const NoteLine&)` for every line of `content`, in order.
template <typename Visit>
void ForEachNoteLine(std::string_view content, Visit&& visit) {
  const char* p = content.data();
  const char* const end = p + content.size();
  while (p != end) {
    const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* line_end = newline != nullptr ? newline + 1 : end;
    const char* body_end = newline != nullptr && newline != p && newline[-1] == '\r' ? newline - 1
                           : newline != nullptr                                   ? newline
                                                                                  : end;
    visit(NoteLine{std::string_view(p, static_cast<size_t>(body_end - p)),
                   std::string_view(p, static_cast<size_t>(line_end - p))});
    p = line_end;
  }
}

// Days 1..31 of the month that have at least one record in `content`.
std::bitset<32> MarkedDaysIn(std::string_view content, int year, int month);

// Stored text of the last record of `date` in `content`; nullopt when none.
std::optional<std::string> LastNoteIn(std::string_view content, const NoteDate& date);

// Output of a rewrite as consecutive pieces: views into the old content,
// into the new record line and of line terminators. Lets a rewrite write
// the file without copying it in memory first.
using ContentPieces = std::vector<std::string_view>;

// Rewrites a content as it streams past, in runs of whole lines: every
// record of one date is replaced in its place by a new record line (a save)
// or dropped (a delete). Every other line is kept byte for byte.
class NoteEditor {
 public:
  // A save: `record_line` (a FormatNoteRecord result, which must outlive
  // the editor's pieces) replaces the records of `date`, or is appended
  // when there is none.
  static NoteEditor Save(const NoteDate& date, std::string_view record_line) { return {date, record_line}; }
  // A delete: the records of `date` are dropped.
  static NoteEditor Delete(const NoteDate& date) { return {date, std::nullopt}; }

  // Appends to `out` the pieces for the next run of whole lines. Only the
  // content's last run may end in a line without terminator.
  void Edit(std::string_view lines, ContentPieces* out);

  // Appends to `out` what follows the last line: after a save that found no
  // record, the record line, preceded by CR LF when the content ends in a
  // line without terminator.
  void Finish(ContentPieces* out) const;

 private:
  NoteEditor(const NoteDate& date, std::optional<std::string_view> record_line)
      : date_(date), record_line_(record_line) {}

  NoteDate date_;
  std::optional<std::string_view> record_line_;
  bool found_ = false;
  bool ends_without_terminator_ = false;
};

// A whole content edited in one go.
std::string EditNotes(std::string_view content, NoteEditor editor);

inline std::string SaveNoteIn(std::string_view content, const NoteDate& date, std::string_view record_line) {
  return EditNotes(content, NoteEditor::Save(date, record_line));
}
inline std::string DeleteNoteIn(std::string_view content, const NoteDate& date) {
  return EditNotes(content, NoteEditor::Delete(date));
}

}  // namespace hiduke
