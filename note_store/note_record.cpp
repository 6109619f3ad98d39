#include "note_store/note_record.h"

#include <algorithm>

namespace hiduke {

namespace {

std::string_view SkipSpaces(std::string_view s) {
  size_t start = s.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : s.substr(start);
}

// Reads a quoted text field starting at its opening quote. Appends the text
// to `text` when given. Returns false when the field is malformed.
bool ReadQuotedText(std::string_view field, std::string* text) {
  size_t pos = 1;
  for (;;) {
    size_t quote = field.find('"', pos);
    if (quote == std::string_view::npos) return false;  // never closed
    if (text != nullptr) text->append(field.substr(pos, quote - pos));
    if (quote + 1 < field.size() && field[quote + 1] == '"') {
      if (text != nullptr) text->push_back('"');
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

std::optional<std::string> ReadNoteText(std::string_view text_field) {
  std::string_view field = SkipSpaces(text_field);
  if (field.empty() || field.front() != '"') return std::string(field);
  std::string text;
  if (!ReadQuotedText(field, &text)) return std::nullopt;
  return text;
}

bool IsNoteText(std::string_view text_field) {
  std::string_view field = SkipSpaces(text_field);
  return field.empty() || field.front() != '"' || ReadQuotedText(field, nullptr);
}

std::optional<NoteRecord> ReadNoteRecord(std::string_view line) {
  std::string_view text_field;
  std::optional<NoteDate> date = ReadNoteDate(line, &text_field);
  if (!date) return std::nullopt;
  std::optional<std::string> text = ReadNoteText(text_field);
  if (!text) return std::nullopt;
  return NoteRecord{*date, std::move(*text)};
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
