#include "note_store/conflict_merge.h"

#include <algorithm>
#include <optional>
#include <set>

#include "note_store/cp932.h"
#include "note_store/note_lines.h"
#include "note_store/note_record.h"

namespace hiduke {

namespace {

using Date = std::chrono::year_month_day;
using Text = std::optional<std::string>;

Text textOf(const NoteFileText& notes, Date date) {
  const auto found = notes.notes.find(date);
  return found == notes.notes.end() ? Text() : Text(found->second);
}

// The lines of a stored text: ";" is a line break, and no byte of a code
// page 932 character (trail bytes start at 0x40) is one.
std::vector<std::string_view> linesOf(std::string_view stored) {
  std::vector<std::string_view> lines;
  for (size_t from = 0;;) {
    const size_t semicolon = stored.find(';', from);
    lines.push_back(stored.substr(from, semicolon - from));
    if (semicolon == std::string_view::npos) return lines;
    from = semicolon + 1;
  }
}

// Both texts in one: `here` first, then each line of `there` that it does
// not hold yet.
std::string bothTexts(const std::string& here, const std::string& there) {
  std::string both = here;
  const std::vector<std::string_view> held = linesOf(here);
  std::set<std::string_view> present(held.begin(), held.end());
  for (const std::string_view line : linesOf(there)) {
    if (!present.insert(line).second) continue;
    both += ';';
    both += line;
  }
  return both;
}

}  // namespace

NoteFileText readNoteFileText(std::string_view content) {
  NoteFileText text;
  forEachNoteLine(content, [&](const NoteLine& line) {
    if (const std::optional<RecordHead> head = readRecordHead(line.body)) {
      text.notes[head->date] = readNoteText(head->textField);
    } else if (!line.body.empty()) {
      text.otherLines.emplace_back(line.body);
    }
  });
  return text;
}

StoreResult<ConflictMerge> mergeNoteFiles(const NoteFileText& file, const std::vector<NoteFileText>& copies) {
  ConflictMerge merge;
  std::map<Date, Text> merged;  // the days changed so far
  const auto current = [&](Date date) {
    const auto found = merged.find(date);
    return found != merged.end() ? found->second : textOf(file, date);
  };
  std::set<Date> conflicts;
  std::set<Date> differing;
  std::set<std::string> otherLines(file.otherLines.begin(), file.otherLines.end());
  for (size_t index = 0; index < copies.size(); ++index) {
    const NoteFileText& copy = copies[index];
    bool added = false;
    // A day the copy lacks stays as it is: no deletion is taken.
    for (const auto& [date, text] : copy.notes) {
      const Text here = current(date);
      const Text there(text);
      if (here == there) continue;
      differing.insert(date);
      Text result = there;
      if (here) {
        result = Text(bothTexts(*here, *there));
        // Nothing to choose where the note already holds every line of the copy's.
        if (result == here) continue;
        conflicts.insert(date);
      }
      merged[date] = result;
      added = true;
    }
    for (const std::string& line : copy.otherLines) {
      if (!otherLines.insert(line).second) continue;
      merge.batch.addedLines.push_back(line);
      added = true;
    }
    if (!added) merge.emptyCopies.push_back(index);
  }
  for (const auto& [date, text] : merged) {
    if (text == textOf(file, date)) continue;
    ++merge.changedDays;
    if (!text) {
      merge.batch.remove(date);
      continue;
    }
    StoreResult<std::string> note = decodeCp932(*text);
    if (!note) return std::move(note).error();
    StoreResult<Cp932Encoding> again = encodeCp932(*note);
    if (!again) return std::move(again).error();
    if (again->bytes != *text) {
      // Bytes that are no code page 932 text (a hand edit's) would not
      // survive the batch's conversion: the record goes in as it is, at
      // the end, where it is the day's last.
      const std::string line = formatNoteRecord(date, *text);
      merge.batch.addedLines.push_back(line.substr(0, line.size() - kRecordTerminator.size()));
      continue;
    }
    merge.batch.add(date, {decodeNoteText(*note)});
  }
  merge.conflicts.assign(conflicts.begin(), conflicts.end());
  merge.differingDays = differing.size();
  return merge;
}

}  // namespace hiduke
