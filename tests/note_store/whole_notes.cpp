#include "whole_notes.h"

#include "note_store/note_record.h"

namespace hiduke {

std::optional<NoteRecord> readNoteRecord(std::string_view line) {
  const std::optional<RecordHead> head = readRecordHead(line);
  if (!head) return std::nullopt;
  return NoteRecord{head->date, readNoteText(head->textField)};
}

std::string editNotes(std::string_view content, NoteEditor editor) {
  std::string edited;
  edited.reserve(content.size() + 256);
  for (const std::string_view piece : editor.edit(content)) edited += piece;
  for (const std::string_view piece : editor.finish()) edited += piece;
  return edited;
}

}  // namespace hiduke
