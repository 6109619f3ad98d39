// libFuzzer target for the note file reader. The input is the content of a
// note file. Besides crashes and sanitizer reports it checks that
//  - the fast date scan agrees with the full record reader on every line;
//  - a record written again reads back the same;
//  - marks and the last note of a date agree with the records read;
//  - a rewrite copies every line it does not change byte for byte, so a save
//    or delete of a date the input holds no record of gives the input back;
//  - editing the content in runs of lines, as a rewrite streams the file,
//    gives the same as editing it whole;
//  - the input taken as a typed note makes a record of one line.

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

namespace {

using hiduke::NoteDate;
using hiduke::NoteLine;
using hiduke::NoteRecord;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "note_reader_fuzz: %s\n", what);
    std::abort();
  }
}

struct DateLess {
  bool operator()(const NoteDate& a, const NoteDate& b) const {
    if (a.year != b.year) return a.year < b.year;
    if (a.month != b.month) return a.month < b.month;
    return a.day < b.day;
  }
};

// The content as it must look after records of `date` are replaced by
// `replacement` (nullopt: dropped).
std::string Expected(const std::vector<NoteLine>& lines, const std::vector<std::optional<NoteRecord>>& records,
                     const NoteDate& date, const std::optional<std::string>& replacement) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (records[i] && records[i]->date == date) {
      if (replacement) out += *replacement;
    } else {
      out += lines[i].whole;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);

  std::vector<NoteLine> lines;
  hiduke::ForEachNoteLine(content, [&](const NoteLine& line) { lines.push_back(line); });
  std::string joined;
  for (const NoteLine& line : lines) joined += line.whole;
  Check(joined == content, "lines do not add up to the content");

  std::vector<std::optional<NoteRecord>> records;
  std::map<NoteDate, std::string, DateLess> last_text;
  for (const NoteLine& line : lines) {
    Check(line.body.find('\n') == std::string_view::npos, "line body holds LF");
    std::optional<NoteRecord> record = hiduke::ReadNoteRecord(line.body);
    std::string_view text_field;
    std::optional<NoteDate> date = hiduke::ReadNoteDate(line.body, &text_field);
    Check(record.has_value() == date.has_value(), "date scan disagrees");
    if (record) {
      Check(record->date == *date, "date scan reads another date");
      Check(record->date.year >= 0 && record->date.year <= hiduke::kMaxDateField, "year out of range");
      last_text[record->date] = record->text;
      if (record->text.find_first_of("\r\n") == std::string::npos) {
        std::string written = hiduke::FormatNoteRecord(record->date, record->text);
        Check(written.size() >= 2 && written.compare(written.size() - 2, 2, "\r\n") == 0, "no CR LF");
        Check(hiduke::ReadNoteRecord(std::string_view(written).substr(0, written.size() - 2)) == record,
              "record does not read back");
      }
      (void)hiduke::DecodeCp932(record->text);
    }
    records.push_back(std::move(record));
  }

  // Marks and the last note of a few of the dates present.
  int checked = 0;
  for (const auto& [date, text] : last_text) {
    if (++checked > 4) break;
    Check(hiduke::LastNoteIn(content, date) == text, "last note differs");
    std::bitset<32> marks = hiduke::MarkedDaysIn(content, date.year, date.month);
    if (date.day >= 1 && date.day <= 31) Check(marks.test(static_cast<size_t>(date.day)), "day not marked");
    for (size_t day = 1; day <= 31; ++day) {
      bool present = last_text.count(NoteDate{date.year, date.month, static_cast<int>(day)}) != 0;
      Check(marks.test(day) == present, "marks differ from records");
    }
    Check(!marks.test(0), "day 0 marked");
  }

  // A save and a delete of a date that is present change only its records.
  if (!last_text.empty()) {
    const NoteDate present = last_text.begin()->first;
    std::string line = hiduke::FormatNoteRecord(present, "new, \"text\"");
    Check(hiduke::SaveNoteIn(content, present, line) == Expected(lines, records, present, line), "save in place");
    Check(hiduke::DeleteNoteIn(content, present) == Expected(lines, records, present, std::nullopt), "delete");
  }

  // A date the input holds no record of: the content comes back unchanged.
  for (NoteDate absent : {NoteDate{2002, 3, 15}, NoteDate{32767, 12, 31}, NoteDate{0, 1, 1}}) {
    if (last_text.count(absent) != 0) continue;
    Check(hiduke::DeleteNoteIn(content, absent) == content, "delete of an absent date changed the content");
    std::string saved = hiduke::SaveNoteIn(content, absent, hiduke::FormatNoteRecord(absent, "new"));
    std::string_view prefix = std::string_view(saved).substr(0, content.size());
    Check(prefix == content, "save of an absent date changed existing lines");
    std::string expected_tail = (content.empty() || content.back() == '\n' ? "" : "\r\n") +
                                hiduke::FormatNoteRecord(absent, "new");
    Check(saved.substr(content.size()) == expected_tail, "appended record differs");
    break;
  }

  // Edited in two runs of whole lines, as a rewrite streams the file, the
  // content comes out the same as edited in one go.
  const size_t split = content.find('\n', content.size() / 2);
  if (split != std::string_view::npos) {
    for (const NoteDate& date : {NoteDate{2002, 3, 15}, last_text.empty() ? NoteDate{0, 1, 1} : last_text.begin()->first}) {
      const std::string line = hiduke::FormatNoteRecord(date, "streamed");
      for (hiduke::NoteEditor editor : {hiduke::NoteEditor::Save(date, line), hiduke::NoteEditor::Delete(date)}) {
        const hiduke::NoteEditor whole = editor;
        hiduke::ContentPieces pieces;
        editor.Edit(content.substr(0, split + 1), &pieces);
        editor.Edit(content.substr(split + 1), &pieces);
        editor.Finish(&pieces);
        std::string streamed;
        for (std::string_view piece : pieces) streamed += piece;
        Check(streamed == hiduke::EditNotes(content, whole), "streamed edit differs");
      }
    }
  }

  // The same bytes taken as a note typed in the window: however its lines
  // break, its record stays on one line and reads back in stored form.
  if (hiduke::StoreResult<hiduke::Cp932Encoding> typed = hiduke::EncodeCp932(content)) {
    const std::string line = hiduke::FormatNoteRecord({2002, 3, 15}, typed->bytes);
    Check(line.find('\n') == line.size() - 1, "a note's record spans several lines");
    std::optional<NoteRecord> record = hiduke::ReadNoteRecord(std::string_view(line).substr(0, line.size() - 2));
    Check(record && record->text == hiduke::EncodeNoteText(typed->bytes), "a note's record does not read back");
  }
  return 0;
}
