#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hiduke {

// The date of a note. Records are matched by comparing the three numbers as
// integers.
struct NoteDate {
  int year;
  int month;
  int day;
  friend bool operator==(const NoteDate&, const NoteDate&) = default;
};

// Largest value of a date field in the file (a 16-bit signed integer).
inline constexpr int kMaxDateField = 32767;

// One record of the note file: one line `year,month,day,text`.
struct NoteRecord {
  NoteDate date;
  // Stored form: code page 932 bytes with ";" for every line break.
  std::string text;
  friend bool operator==(const NoteRecord&, const NoteRecord&) = default;
};

// Reads one line of the note file, without its terminator. A line is a
// record when it starts with three date fields (spaces, decimal digits
// 0..32767, spaces, comma); the rest of it is the text field (see
// ReadNoteText). Anything else is nullopt: no note of any date.
std::optional<NoteRecord> ReadNoteRecord(std::string_view line);

// Reads one date field (spaces, digits, spaces, comma) starting at `p`;
// returns the position after the comma, or nullptr when the field is not a
// number within 0..kMaxDateField. Inline: scans call it for every line.
inline const char* ReadDateField(const char* p, const char* end, int* value) {
  while (p != end && *p == ' ') ++p;
  const char* const digits = p;
  int number = 0;
  while (p != end && static_cast<unsigned char>(*p - '0') < 10) {
    number = number * 10 + (*p - '0');
    if (number > kMaxDateField) return nullptr;
    ++p;
  }
  if (p == digits) return nullptr;
  while (p != end && *p == ' ') ++p;
  if (p == end || *p != ',') return nullptr;
  *value = number;
  return p + 1;
}

// The date fields only, for scans that look at the date of every line: the
// date, and in `text_field` the rest of the line after the third comma.
inline std::optional<NoteDate> ReadNoteDate(std::string_view line, std::string_view* text_field) {
  const char* p = line.data();
  const char* const end = p + line.size();
  NoteDate date{};
  if ((p = ReadDateField(p, end, &date.year)) == nullptr) return std::nullopt;
  if ((p = ReadDateField(p, end, &date.month)) == nullptr) return std::nullopt;
  if ((p = ReadDateField(p, end, &date.day)) == nullptr) return std::nullopt;
  *text_field = std::string_view(p, static_cast<size_t>(end - p));
  return date;
}

// The text field: leading spaces skipped; a field that is one quoted field
// (from a double quote to the closing one, "" inside being one quote)
// followed by spaces only is unquoted; any other field is the text exactly as
// written up to the end of the line, commas, quotes and trailing spaces
// included. So the lines of files written before quoting existed, whose
// notes may begin with a quote (`"quoted" text`, `"abc`), read as typed.
std::string ReadNoteText(std::string_view text_field);

// The record line `year,month,day,text` CR LF. Numbers in plain decimal; the
// date must lie within 0..kMaxDateField. `text` is the note's code page 932
// bytes, its line breaks either still as they were typed or already ";"
// (EncodeNoteText, run here, turns every one into ";" so that a record always
// stays on one line). The text is written as it is unless it would not read
// back exactly (it holds a comma, or begins with a space or a double quote):
// then it is written between double quotes with every inner quote doubled.
std::string FormatNoteRecord(const NoteDate& date, std::string_view text);

// Note text to stored form: every line break ("\n", "\r\n" or a lone "\r")
// becomes one ";". The line-break bytes never occur inside a double-byte
// code page 932 character, so this works on UTF-8 and CP932 alike.
std::string EncodeNoteText(std::string_view note);

// Stored form to note text: every ";" becomes "\n", as does a lone CR that a
// hand-edited file may hold inside a record.
std::string DecodeNoteText(std::string_view stored);

}  // namespace hiduke
