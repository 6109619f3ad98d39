#pragma once

#include <array>
#include <chrono>
#include <optional>
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

// Rewrites a content as it streams past, in runs of whole lines: the first
// record of one date is replaced in its place by a new record line (a save)
// and any further ones dropped (they held the same day's note), or all are
// dropped (a delete). Every other line is kept byte for byte.
class NoteEditor {
 public:
  // A save: `recordLine` (a formatNoteRecord result, which must outlive
  // the editor's pieces) replaces the records of `date`, or is appended
  // when there is none.
  static NoteEditor save(std::chrono::year_month_day date, std::string_view recordLine) { return {date, recordLine}; }
  // A delete: the records of `date` are dropped.
  static NoteEditor remove(std::chrono::year_month_day date) { return {date, std::nullopt}; }

  // The pieces for the next run of whole lines. Only the content's last
  // run may end in a line without terminator.
  ContentPieces edit(std::string_view lines);

  // What follows the last line: after a save that found no record, the
  // record line, preceded by CR LF when the content ends in a line without
  // terminator.
  ContentPieces finish() const;

  // The text field of the date's last record in the content seen so far,
  // in the file's bytes: the note the day had before the edit.
  const std::optional<std::string>& replacedTextField() const { return replacedTextField_; }

 private:
  NoteEditor(std::chrono::year_month_day date, std::optional<std::string_view> recordLine)
      : date_(date), prefilter_(date.year()), recordLine_(recordLine) {}

  std::chrono::year_month_day date_;
  YearPrefilter prefilter_;
  std::optional<std::string_view> recordLine_;
  std::optional<std::string> replacedTextField_;
  bool endsWithoutTerminator_ = false;
};

}  // namespace hiduke
