#include "note_store/note_record.h"

#include <algorithm>

namespace hiduke {

namespace {

std::string_view SkipSpaces(std::string_view s) {
  size_t start = s.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : s.substr(start);
}

// Reads a quoted text field starting at its opening quote into `text`.
// Returns false when the field is not one quoted field and spaces.
bool ReadQuotedText(std::string_view field, std::string* text) {
  size_t pos = 1;
  for (;;) {
    size_t quote = field.find('"', pos);
    if (quote == std::string_view::npos) return false;  // never closed
    text->append(field.substr(pos, quote - pos));
    if (quote + 1 < field.size() && field[quote + 1] == '"') {
      text->push_back('"');
      pos = quote + 2;
      continue;
    }
    return field.find_first_not_of(' ', quote + 1) == std::string_view::npos;
  }
}

bool NeedsQuotes(std::string_view text) {
  return text.find(',') != std::string_view::npos ||
         (!text.empty() && (text.front() == ' ' || text.front() == '"'));
}

}  // namespace

std::string ReadNoteText(std::string_view text_field) {
  std::string_view field = SkipSpaces(text_field);
  std::string text;
  if (!field.empty() && field.front() == '"' && ReadQuotedText(field, &text)) return text;
  return std::string(field);
}

std::optional<NoteRecord> ReadNoteRecord(std::string_view line) {
  std::string_view text_field;
  std::optional<NoteDate> date = ReadNoteDate(line, &text_field);
  if (!date) return std::nullopt;
  return NoteRecord{*date, ReadNoteText(text_field)};
}

std::string FormatNoteRecord(const NoteDate& date, std::string_view text) {
  const std::string stored = EncodeNoteText(text);
  std::string line = std::to_string(date.year) + ',' + std::to_string(date.month) + ',' +
                     std::to_string(date.day) + ',';
  if (NeedsQuotes(stored)) {
    line.push_back('"');
    for (char c : stored) {
      if (c == '"') line.push_back('"');
      line.push_back(c);
    }
    line.push_back('"');
  } else {
    line += stored;
  }
  line += "\r\n";
  return line;
}

std::string EncodeNoteText(std::string_view note) {
  std::string stored;
  stored.reserve(note.size());
  for (size_t i = 0; i < note.size(); ++i) {
    if (note[i] == '\r' && i + 1 < note.size() && note[i + 1] == '\n') ++i;
    stored.push_back(note[i] == '\r' || note[i] == '\n' ? ';' : note[i]);
  }
  return stored;
}

std::string DecodeNoteText(std::string_view stored) {
  std::string note(stored);
  std::replace_if(note.begin(), note.end(), [](char c) { return c == ';' || c == '\r'; }, '\n');
  return note;
}

}  // namespace hiduke
