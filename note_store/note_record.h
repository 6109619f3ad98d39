#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace hiduke {

// Largest value of a date field in the file (a 16-bit signed integer).
inline constexpr int kMaxDateField = 32767;

// Whether a date can be written in the file: a real day of the calendar in
// the years 0..32767.
bool isStorableDate(std::chrono::year_month_day date);

// One date field (spaces, decimal digits 0..kMaxDateField, spaces, comma):
// its value and where the rest of the line starts.
struct DateField {
  int value;
  const char* rest;
};

// Reads the date field starting at `p`; nothing when it is not one.
// Inline: scans call it for every line.
inline std::optional<DateField> readDateField(const char* p, const char* end) {
  while (p != end && *p == ' ') ++p;
  const char* const digits = p;
  int number = 0;
  while (p != end && static_cast<unsigned char>(*p - '0') < 10) {
    number = number * 10 + (*p - '0');
    if (number > kMaxDateField) return std::nullopt;
    ++p;
  }
  if (p == digits) return std::nullopt;
  while (p != end && *p == ' ') ++p;
  if (p == end || *p != ',') return std::nullopt;
  return DateField{number, p + 1};
}

// The date of a record line and the rest of the line after the third
// comma, its text field.
struct RecordHead {
  std::chrono::year_month_day date;
  std::string_view textField;
};

// The month and day fields of a line, starting at `p` (after the year
// field), as a date of `year`; nothing unless they make a storable date.
inline std::optional<RecordHead> readMonthAndDay(std::chrono::year year, const char* p, const char* end) {
  const std::optional<DateField> month = readDateField(p, end);
  if (!month || month->value < 1 || month->value > 12) return std::nullopt;
  const std::optional<DateField> day = readDateField(month->rest, end);
  if (!day || day->value < 1 || day->value > 31) return std::nullopt;
  const std::chrono::year_month_day date{year, std::chrono::month(static_cast<unsigned>(month->value)),
                                         std::chrono::day(static_cast<unsigned>(day->value))};
  if (!date.ok()) return std::nullopt;
  return RecordHead{date, std::string_view(day->rest, static_cast<size_t>(end - day->rest))};
}

// A line is a record when it starts with three date fields that make a
// storable date; anything else (hand edits, a day that does not exist) is
// no note of any date and is kept as it is.
inline std::optional<RecordHead> readRecordHead(std::string_view line) {
  const char* const end = line.data() + line.size();
  const std::optional<DateField> year = readDateField(line.data(), end);
  if (!year) return std::nullopt;
  return readMonthAndDay(std::chrono::year(year->value), year->rest, end);
}

// The text field: leading spaces skipped; a field that is one quoted field
// (from a double quote to the closing one, "" inside being one quote)
// followed by spaces only is unquoted; any other field is the text exactly as
// written up to the end of the line, commas, quotes and trailing spaces
// included. So the lines of files written before quoting existed, whose
// notes may begin with a quote (`"quoted" text`, `"abc`), read as typed.
std::string readNoteText(std::string_view textField);
// The same as a view: into the field, or into `scratch` when the field is
// quoted. For reading many notes without a string for each.
std::string_view storedTextOf(std::string_view textField, std::string& scratch);

// The record line `year,month,day,text` CR LF, the numbers in plain
// decimal; `date` must be storable. `text` is the note's code page 932
// bytes, its line breaks either still as they were typed or already ";"
// (encodeNoteText, run here, turns every one into ";" so that a record
// always stays on one line). The text is written as it is unless it would
// not read back exactly (it holds a comma, or begins with a space or a
// double quote): then it is written between double quotes with every inner
// quote doubled.
std::string formatNoteRecord(std::chrono::year_month_day date, std::string_view text);
// The same, appended to `line`: many records made without a string each.
void appendNoteRecord(std::string& line, std::chrono::year_month_day date, std::string_view text);
// The most bytes the record of a text of `textBytes` bytes can take.
constexpr std::size_t maxRecordBytes(std::size_t textBytes) { return 3 * 12 + 2 + 2 * textBytes + 2; }
// The same, written at `out`, which has room for maxRecordBytes: the end
// of what was written.
char* writeNoteRecord(char* out, std::chrono::year_month_day date, std::string_view text);

// Note text to stored form: every line break ("\n", "\r\n" or a lone "\r")
// becomes one ";". The line-break bytes never occur inside a double-byte
// code page 932 character, so this works on UTF-8 and CP932 alike.
std::string encodeNoteText(std::string_view note);

// Stored form to note text: every ";" becomes "\n", as does a CR (which a
// record read from the file never holds: a CR there ends its line).
std::string decodeNoteText(std::string_view stored);
// The same, in place: ";" and CR are single bytes in code page 932 and
// UTF-8 alike, so the text may already be decoded from either.
void decodeLineBreaks(std::span<char> stored);

}  // namespace hiduke
