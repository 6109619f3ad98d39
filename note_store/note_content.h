#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/note_lines.h"
#include "note_store/note_record.h"
#include "note_store/year_lines.h"

namespace hiduke {

// Operations on the bytes of the note file held in memory, a run of whole
// lines (note_lines.h). The file is read in pieces of whole lines, so each
// scan below takes the pieces one after another and gives its answer at the
// end.

// The text field of the last record of each day of one month (index = day
// 1..31), in the file's bytes. A line whose year field cannot be the
// month's year is passed over without being read further.
class MonthScan {
 public:
  explicit MonthScan(std::chrono::year_month month);
  void scan(std::string_view lines);
  const std::array<std::optional<std::string>, 32>& textFields() const { return textFields_; }

 private:
  std::chrono::year_month month_;
  YearPrefilter prefilter_;
  std::array<std::optional<std::string>, 32> textFields_{};
};

// The nearest date after (or before) `from` that has a record.
class NearestNoteScan {
 public:
  enum class Direction { kLater, kEarlier };
  NearestNoteScan(std::chrono::year_month_day from, Direction direction) : from_(from), direction_(direction) {}
  void scan(std::string_view lines);
  std::optional<std::chrono::year_month_day> found() const { return found_; }

 private:
  std::chrono::year_month_day from_;
  Direction direction_;
  std::optional<std::chrono::year_month_day> found_;
};

// Output of a rewrite as consecutive pieces: views into the old content,
// into the new record line and of line terminators. Lets a rewrite write
// the file without copying it in memory first.
using ContentPieces = std::vector<std::string_view>;

// One date's part of an edit: the record line that takes the place of its
// records (a formatNoteRecord result), or none to drop them all.
// Sixteen bytes: a batch may hold millions.
class RecordChange {
 public:
  RecordChange() = default;
  // `recordLine` empty: a delete. A line of 4 GiB or more cannot be held
  // (std::bad_alloc).
  RecordChange(std::chrono::year_month_day date, std::string_view recordLine)
      : date(date), length_(static_cast<std::uint32_t>(recordLine.size())), line_(recordLine.data()) {
    if (recordLine.size() > UINT32_MAX) throw std::bad_alloc();
  }
  std::string_view recordLine() const { return {line_, length_}; }

  std::chrono::year_month_day date{};

 private:
  std::uint32_t length_ = 0;
  const char* line_ = nullptr;
};

// Rewrites a content as it streams past, in runs of whole lines: the first
// record of each changed date is replaced in its place by its new record
// line (a save) and any further ones dropped (they held the same day's
// note), or all are dropped (a delete). Every other line is kept byte for
// byte.
class NoteEditor {
 public:
  // A save: `recordLine` (a formatNoteRecord result, which must outlive
  // the editor's pieces) replaces the records of `date`, or is appended
  // when there is none.
  static NoteEditor save(std::chrono::year_month_day date, std::string_view recordLine) {
    return NoteEditor(RecordChange{date, recordLine});
  }
  // A delete: the records of `date` are dropped.
  static NoteEditor remove(std::chrono::year_month_day date) { return NoteEditor(RecordChange{date, {}}); }
  // Many dates in one pass: `changes` in date order, one a date; the record
  // lines of dates without a record are appended in that order, then
  // `addedLines`, each with CR LF. Both must outlive the editor's pieces.
  static NoteEditor batch(std::span<const RecordChange> changes, std::span<const std::string> addedLines) {
    return NoteEditor(changes, addedLines);
  }

  // The pieces for the next run of whole lines. Only the content's last
  // run may end in a line without terminator.
  ContentPieces edit(std::string_view lines);

  // What follows the last line: the record lines of the dates that had no
  // record and the added lines, preceded by CR LF when the content ends in
  // a line without terminator.
  ContentPieces finish() const;

  // The text field of the date's last record in the content seen so far,
  // in the file's bytes: the note the day had before the edit. Kept for an
  // edit of one date only.
  const std::optional<std::string>& replacedTextField() const { return replacedTextField_; }

  // The dates deleted that had records.
  std::size_t removedDates() const { return removedDates_; }

 private:
  explicit NoteEditor(RecordChange change)
      : single_(change), prefilter_(YearPrefilter(change.date.year())), found_(1, false) {}
  NoteEditor(std::span<const RecordChange> changes, std::span<const std::string> addedLines)
      : many_(changes), addedLines_(addedLines), found_(changes.size(), false) {}

  std::span<const RecordChange> changes() const { return single_ ? std::span(&*single_, 1) : many_; }
  // The index of the change of `date`, or changes().size().
  std::size_t changeOf(std::chrono::year_month_day date);
  void editLine(const NoteLine& line, ContentPieces& pieces, const char*& keptFrom);

  std::optional<RecordChange> single_;
  std::span<const RecordChange> many_;
  std::span<const std::string> addedLines_;
  std::optional<YearPrefilter> prefilter_;  // for one date: lines of other years passed over fast
  std::vector<bool> found_;                 // whether each change's date had a record
  std::size_t hint_ = 0;                    // the change found last: the file is mostly in date order
  std::optional<std::string> replacedTextField_;
  std::size_t removedDates_ = 0;
  bool endsWithoutTerminator_ = false;
};

}  // namespace hiduke
