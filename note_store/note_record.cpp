#include "note_store/note_record.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "note_store/note_lines.h"

namespace hiduke {

namespace {

std::string_view skipSpaces(std::string_view s) {
  const size_t start = s.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : s.substr(start);
}

// Whether a field that starts at its opening quote is one quoted field and
// spaces.
bool isQuotedField(std::string_view field) {
  size_t pos = 1;
  for (;;) {
    const size_t quote = field.find('"', pos);
    if (quote == std::string_view::npos) return false;  // never closed
    if (quote + 1 < field.size() && field[quote + 1] == '"') {
      pos = quote + 2;
      continue;
    }
    return field.find_first_not_of(' ', quote + 1) == std::string_view::npos;
  }
}

// The text of a quoted field, appended to `text`: between the quotes, each
// doubled quote one.
void appendUnquoted(std::string_view field, std::string& text) {
  const size_t closing = field.find_last_of('"');
  for (size_t pos = 1; pos < closing; ++pos) {
    text.push_back(field[pos]);
    if (field[pos] == '"') ++pos;
  }
}

bool needsQuotes(std::string_view text) {
  return text.find(',') != std::string_view::npos || (!text.empty() && (text.front() == ' ' || text.front() == '"'));
}

}  // namespace

bool isStorableDate(std::chrono::year_month_day date) {
  return date.ok() && date.year() >= std::chrono::year(0) && date.year() <= std::chrono::year(kMaxDateField);
}

std::string_view storedTextOf(std::string_view textField, std::string& scratch) {
  const std::string_view field = skipSpaces(textField);
  if (field.empty() || field.front() != '"' || !isQuotedField(field)) return field;
  scratch.clear();
  appendUnquoted(field, scratch);
  return scratch;
}

std::string readNoteText(std::string_view textField) {
  std::string scratch;
  return std::string(storedTextOf(textField, scratch));
}

void appendNoteRecord(std::string& line, std::chrono::year_month_day date, std::string_view text) {
  const std::size_t start = line.size();
  line.resize(start + maxRecordBytes(text.size()));
  line.resize(static_cast<std::size_t>(writeNoteRecord(line.data() + start, date, text) - line.data()));
}

char* writeNoteRecord(char* out, std::chrono::year_month_day date, std::string_view text) {
  // A line break does not change whether the text needs its quotes.
  const bool quoted = needsQuotes(text);
  for (const int field : {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                          static_cast<int>(static_cast<unsigned>(date.day()))}) {
    out = std::to_chars(out, out + 12, field).ptr;
    *out++ = ',';
  }
  if (quoted) *out++ = '"';
  // Most texts are written as they are, a run at a time.
  const auto special = [quoted](char c) { return c == '\r' || c == '\n' || (c == '"' && quoted); };
  for (auto c = text.begin(); c != text.end(); ++c) {
    const auto run = std::find_if(c, text.end(), special);
    out = std::copy(c, run, out);
    if ((c = run) == text.end()) break;
    if (*c == '"') {
      *out++ = '"';
      *out++ = '"';
    } else {
      if (*c == '\r' && c + 1 != text.end() && *(c + 1) == '\n') ++c;
      *out++ = ';';
    }
  }
  if (quoted) *out++ = '"';
  return std::copy(kRecordTerminator.begin(), kRecordTerminator.end(), out);
}

std::string formatNoteRecord(std::chrono::year_month_day date, std::string_view text) {
  std::string line;
  line.reserve(text.size() + 16);
  appendNoteRecord(line, date, text);
  return line;
}

std::string encodeNoteText(std::string_view note) {
  std::string stored;
  stored.reserve(note.size());
  for (size_t i = 0; i < note.size(); ++i) {
    if (note[i] == '\r' && i + 1 < note.size() && note[i + 1] == '\n') ++i;
    stored.push_back(note[i] == '\r' || note[i] == '\n' ? ';' : note[i]);
  }
  return stored;
}

void decodeLineBreaks(std::span<char> stored) {
  // A note has few line breaks: memchr finds them looking at many bytes at once.
  char* const end = stored.data() + stored.size();
  for (const char lineBreak : {';', '\r'}) {
    for (char* p = stored.data(); (p = static_cast<char*>(std::memchr(p, lineBreak, static_cast<size_t>(end - p)))) != nullptr;) {
      *p++ = '\n';
    }
  }
}

std::string decodeNoteText(std::string_view stored) {
  std::string note(stored);
  decodeLineBreaks(note);
  return note;
}

}  // namespace hiduke
