#include "note_store/note_content.h"

namespace hiduke {

MonthScan::MonthScan(std::chrono::year_month month) : month_(month), prefilter_(month.year()) {}

void MonthScan::scan(std::string_view lines) {
  forEachLineOfTheYear(lines, prefilter_, [&](const NoteLine& line) {
    const std::optional<RecordHead> head = readRecordHead(line.body);
    if (!head || head->date.year() != month_.year() || head->date.month() != month_.month()) return;
    textFields_[static_cast<unsigned>(head->date.day())] = std::string(head->textField);
  });
}

void NearestNoteScan::scan(std::string_view lines) {
  forEachNoteLine(lines, [&](const NoteLine& line) {
    const std::optional<RecordHead> head = readRecordHead(line.body);
    if (!head) return;
    const bool beyond = direction_ == Direction::kLater ? head->date > from_ : head->date < from_;
    const bool nearer =
        !found_ || (direction_ == Direction::kLater ? head->date < *found_ : head->date > *found_);
    if (beyond && nearer) found_ = head->date;
  });
}

ContentPieces NoteEditor::edit(std::string_view lines) {
  ContentPieces pieces;
  if (lines.empty()) return pieces;
  const char* keptFrom = lines.data();
  forEachLineOfTheYear(lines, prefilter_, [&](const NoteLine& line) {
    const std::optional<RecordHead> head = readRecordHead(line.body);
    if (!head || head->date != date_) return;
    if (line.whole.data() != keptFrom) pieces.emplace_back(keptFrom, static_cast<size_t>(line.whole.data() - keptFrom));
    // The new record ends as the line it replaces did: the file keeps its
    // own line ends.
    if (recordLine_ && !replacedTextField_) {
      const std::string_view terminator = line.terminator().empty() ? kRecordTerminator : line.terminator();
      pieces.push_back(recordLine_->substr(0, recordLine_->size() - kRecordTerminator.size()));
      pieces.push_back(terminator);
    }
    replacedTextField_ = std::string(head->textField);
    keptFrom = line.whole.data() + line.whole.size();
  });
  const char* const end = lines.data() + lines.size();
  if (keptFrom != end) pieces.emplace_back(keptFrom, static_cast<size_t>(end - keptFrom));
  endsWithoutTerminator_ = lines.back() != '\n' && lines.back() != '\r';
  return pieces;
}

ContentPieces NoteEditor::finish() const {
  if (!recordLine_ || replacedTextField_) return {};
  ContentPieces pieces;
  if (endsWithoutTerminator_) pieces.push_back(kRecordTerminator);
  pieces.push_back(*recordLine_);
  return pieces;
}

}  // namespace hiduke
