#include "note_store/note_content.h"

#include <algorithm>

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

std::size_t NoteEditor::changeOf(std::chrono::year_month_day date) {
  if (single_) return date == single_->date ? 0 : 1;
  const std::span<const RecordChange> all = changes();
  auto from = all.begin();
  auto to = all.end();
  // From the change found last, forward in growing steps: a file in date
  // order finds each date a step or two on.
  if (hint_ < all.size() && all[hint_].date <= date) {
    std::size_t step = 1;
    while (hint_ + step < all.size() && all[hint_ + step].date < date) step *= 2;
    from = all.begin() + static_cast<std::ptrdiff_t>(hint_);
    to = all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), hint_ + step + 1));
  }
  const auto found =
      std::lower_bound(from, to, date, [](const RecordChange& change, auto d) { return change.date < d; });
  const auto index = static_cast<std::size_t>(found - all.begin());
  const bool exact = found != all.end() && found->date == date;
  hint_ = exact || index == 0 ? index : index - 1;
  return exact ? index : all.size();
}

void NoteEditor::editLine(const NoteLine& line, ContentPieces& pieces, const char*& keptFrom) {
  const std::optional<RecordHead> head = readRecordHead(line.body);
  if (!head) return;
  const std::size_t index = changeOf(head->date);
  if (index == changes().size()) return;
  if (line.whole.data() != keptFrom) pieces.emplace_back(keptFrom, static_cast<size_t>(line.whole.data() - keptFrom));
  const std::string_view recordLine = changes()[index].recordLine();
  if (!found_[index]) {
    found_[index] = true;
    if (recordLine.empty()) {
      ++removedDates_;
    } else {
      // The new record ends as the line it replaces did: the file keeps its
      // own line ends.
      const std::string_view terminator = line.terminator().empty() ? kRecordTerminator : line.terminator();
      pieces.push_back(recordLine.substr(0, recordLine.size() - kRecordTerminator.size()));
      pieces.push_back(terminator);
    }
  }
  if (single_) replacedTextField_ = std::string(head->textField);
  keptFrom = line.whole.data() + line.whole.size();
}

ContentPieces NoteEditor::edit(std::string_view lines) {
  ContentPieces pieces;
  if (lines.empty()) return pieces;
  const char* keptFrom = lines.data();
  const auto visit = [&](const NoteLine& line) { editLine(line, pieces, keptFrom); };
  if (prefilter_) {
    forEachLineOfTheYear(lines, *prefilter_, visit);
  } else {
    forEachNoteLine(lines, visit);
  }
  const char* const end = lines.data() + lines.size();
  if (keptFrom != end) pieces.emplace_back(keptFrom, static_cast<size_t>(end - keptFrom));
  endsWithoutTerminator_ = lines.back() != '\n' && lines.back() != '\r';
  return pieces;
}

ContentPieces NoteEditor::finish() const {
  ContentPieces pieces;
  const std::span<const RecordChange> all = changes();
  bool appends = !addedLines_.empty();
  for (std::size_t i = 0; i < all.size() && !appends; ++i) appends = !found_[i] && !all[i].recordLine().empty();
  if (!appends) return pieces;
  if (endsWithoutTerminator_) pieces.push_back(kRecordTerminator);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (found_[i] || all[i].recordLine().empty()) continue;
    // Lines that lie one after another in memory go as one piece.
    const std::string_view line = all[i].recordLine();
    if (!pieces.empty() && pieces.back().data() + pieces.back().size() == line.data()) {
      pieces.back() = std::string_view(pieces.back().data(), pieces.back().size() + line.size());
    } else {
      pieces.push_back(line);
    }
  }
  for (const std::string& line : addedLines_) {
    pieces.push_back(line);
    pieces.push_back(kRecordTerminator);
  }
  return pieces;
}

}  // namespace hiduke
