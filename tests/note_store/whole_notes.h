#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "note_store/note_content.h"

// The note file read and edited whole, in memory: what the store's streaming
// readers and editor are checked against.
namespace hiduke {

// One record of the note file: one line `year,month,day,text`.
struct NoteRecord {
  std::chrono::year_month_day date;
  // Stored form: code page 932 bytes with ";" for every line break.
  std::string text;
  friend bool operator==(const NoteRecord&, const NoteRecord&) = default;
};

// Reads one line of the note file, without its terminator.
std::optional<NoteRecord> readNoteRecord(std::string_view line);

// A whole content edited in one go.
std::string editNotes(std::string_view content, NoteEditor editor);

}  // namespace hiduke
