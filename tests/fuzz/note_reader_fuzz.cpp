// libFuzzer target for the note file reader. The input is the content of a
// note file. Besides crashes and sanitizer reports it checks that
//  - the year prefilter never holds back a record of the year, and the
//    fast walk over a year's lines visits exactly the lines that write the
//    year's digits and that it passes;
//  - a record written again reads back the same;
//  - the month scan agrees with the records read;
//  - a rewrite copies every line it does not change byte for byte, so a save
//    or delete of a date the input holds no record of gives the input back;
//  - editing the content in runs of lines, as a rewrite streams the file,
//    gives the same as editing it whole;
//  - the input taken as a typed note makes a record of one line.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/cp932.h"
#include "note_store/note_content.h"
#include "note_store/note_record.h"
#include "whole_notes.h"

namespace {

using hiduke::NoteLine;
using hiduke::NoteRecord;
using std::chrono::year_month_day;

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "note_reader_fuzz: %s\n", what);
    std::abort();
  }
}

// The content as it must look after an edit of `date`: its first record
// replaced by `replacement` and the others dropped, or all dropped
// (nullopt).
std::string expected(const std::vector<NoteLine>& lines, const std::vector<std::optional<NoteRecord>>& records,
                     year_month_day date, const std::optional<std::string>& replacement) {
  std::string out;
  bool replaced = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (records[i] && records[i]->date == date) {
      // The new record ends as the line it replaces did, or in CR LF.
      if (replacement && !replaced) out += replacement->substr(0, replacement->size() - 2);
      if (replacement && !replaced) out += lines[i].terminator().empty() ? "\r\n" : lines[i].terminator();
      replaced = true;
    } else {
      out += lines[i].whole;
    }
  }
  return out;
}

std::string edited(std::string_view content, hiduke::NoteEditor editor) { return hiduke::editNotes(content, editor); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);

  std::vector<NoteLine> lines;
  hiduke::forEachNoteLine(content, [&](const NoteLine& line) { lines.push_back(line); });
  std::string joined;
  for (const NoteLine& line : lines) joined += line.whole;
  check(joined == content, "lines do not add up to the content");

  std::vector<std::optional<NoteRecord>> records;
  std::map<year_month_day, std::string> lastText;
  for (const NoteLine& line : lines) {
    check(line.body.find('\n') == std::string_view::npos, "line body holds LF");
    std::optional<NoteRecord> record = hiduke::readNoteRecord(line.body);
    if (record) {
      check(hiduke::isStorableDate(record->date), "a record of a date that cannot be stored");
      check(hiduke::YearPrefilter(record->date.year()).mayBeOfTheYear(line.body), "prefilter held back a record");
      lastText[record->date] = record->text;
      if (record->text.find_first_of("\r\n") == std::string::npos) {
        const std::string written = hiduke::formatNoteRecord(record->date, record->text);
        check(written.size() >= 2 && written.compare(written.size() - 2, 2, "\r\n") == 0, "no CR LF");
        check(hiduke::readNoteRecord(std::string_view(written).substr(0, written.size() - 2)) == record,
              "record does not read back");
      }
      static_cast<void>(hiduke::decodeCp932(record->text));
    }
    records.push_back(std::move(record));
  }

  // The walk over the lines of a year passes over none the prefilter passes.
  for (const int year : {2002, 0, lastText.empty() ? 1 : static_cast<int>(lastText.begin()->first.year())}) {
    const hiduke::YearPrefilter prefilter{std::chrono::year(year)};
    std::vector<std::string_view> expectedLines;
    for (const NoteLine& line : lines) {
      if (prefilter.mayBeOfTheYear(line.body) && line.body.find(prefilter.digits()) != std::string_view::npos) {
        expectedLines.push_back(line.whole);
      }
    }
    std::vector<std::string_view> visited;
    hiduke::forEachLineOfTheYear(content, prefilter, [&](const NoteLine& line) { visited.push_back(line.whole); });
    check(visited == expectedLines, "the lines of a year differ from what the prefilter passes");
  }

  // The month scan of a few of the dates present.
  int checked = 0;
  for (const auto& [date, text] : lastText) {
    if (++checked > 4) break;
    hiduke::MonthScan scan(date.year() / date.month());
    scan.scan(content);
    for (unsigned day = 1; day <= 31; ++day) {
      const auto found = lastText.find(date.year() / date.month() / std::chrono::day(day));
      const std::optional<std::string>& field = scan.textFields()[day];
      check(field.has_value() == (found != lastText.end()), "month scan differs from records");
      if (field) check(hiduke::readNoteText(*field) == found->second, "month scan reads another text");
    }
    check(!scan.textFields()[0], "day 0 has a note");
  }

  // A save and a delete of a date that is present change only its records.
  if (!lastText.empty()) {
    const year_month_day present = lastText.begin()->first;
    const std::string line = hiduke::formatNoteRecord(present, "new, \"text\"");
    check(edited(content, hiduke::NoteEditor::save(present, line)) == expected(lines, records, present, line),
          "save in place");
    check(edited(content, hiduke::NoteEditor::remove(present)) == expected(lines, records, present, std::nullopt),
          "delete");
  }

  // A date the input holds no record of: the content comes back unchanged.
  using std::chrono::year;
  for (const year_month_day absent : {year(2002) / 3 / 15, year(32767) / 12 / 31, year(0) / 1 / 1}) {
    if (lastText.count(absent) != 0) continue;
    check(edited(content, hiduke::NoteEditor::remove(absent)) == content, "delete of an absent date changed the content");
    const std::string line = hiduke::formatNoteRecord(absent, "new");
    const std::string saved = edited(content, hiduke::NoteEditor::save(absent, line));
    check(std::string_view(saved).substr(0, content.size()) == content, "save of an absent date changed existing lines");
    const std::string expectedTail = (content.empty() || content.ends_with('\n') || content.ends_with('\r') ? "" : "\r\n") + line;
    check(saved.substr(content.size()) == expectedTail, "appended record differs");
    break;
  }

  // Edited in two runs of whole lines, as a rewrite streams the file, the
  // content comes out the same as edited in one go.
  const size_t split = content.find('\n', content.size() / 2);
  if (split != std::string_view::npos) {
    for (const year_month_day date : {year(2002) / 3 / 15, lastText.empty() ? year(0) / 1 / 1 : lastText.begin()->first}) {
      const std::string line = hiduke::formatNoteRecord(date, "streamed");
      for (hiduke::NoteEditor editor : {hiduke::NoteEditor::save(date, line), hiduke::NoteEditor::remove(date)}) {
        const hiduke::NoteEditor whole = editor;
        std::string streamed;
        for (const std::string_view piece : editor.edit(content.substr(0, split + 1))) streamed += piece;
        for (const std::string_view piece : editor.edit(content.substr(split + 1))) streamed += piece;
        for (const std::string_view piece : editor.finish()) streamed += piece;
        check(streamed == edited(content, whole), "streamed edit differs");
      }
    }
  }

  // The same bytes taken as a note typed in the window: however its lines
  // break, its record stays on one line and reads back in stored form.
  if (const hiduke::StoreResult<hiduke::Cp932Encoding> typed = hiduke::encodeCp932(content)) {
    const std::string line = hiduke::formatNoteRecord(year(2002) / 3 / 15, typed->bytes);
    check(line.find('\n') == line.size() - 1, "a note's record spans several lines");
    const std::optional<NoteRecord> record = hiduke::readNoteRecord(std::string_view(line).substr(0, line.size() - 2));
    check(record && record->text == hiduke::encodeNoteText(typed->bytes), "a note's record does not read back");
  }
  return 0;
}
