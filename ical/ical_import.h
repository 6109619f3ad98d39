#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ical/ical_progress.h"
#include "note_store/note_store.h"

namespace hiduke {

// The days over which repeating events are expanded: an event on its own
// fills its days wherever they fall, unless it lasts more than
// kMaxLinesOfOneEvent days.
struct ImportRange {
  std::chrono::year_month_day first;
  std::chrono::year_month_day last;
};

// One year back to two years ahead of `today`.
ImportRange defaultImportRange(std::chrono::year_month_day today);

// The range of the days given, `first` or `last` or both; an end not given
// is the default's, or where that would come on the wrong side of the one
// given, as far from it as the default's ends are apart.
ImportRange importRangeOf(std::chrono::year_month_day today, std::optional<std::chrono::year_month_day> first,
                          std::optional<std::chrono::year_month_day> last);

// The most lines one event may give the notes (a repeating one, those of
// its repetitions in the range), a line on each day of each repetition:
// more than ten years of an event of every day, so that one fills the range
// a person chooses by default and more, while one that fills centuries, or
// repeats many times a day, is not imported.
inline constexpr std::size_t kMaxLinesOfOneEvent = 4000;

// What kept an event out, besides characters the note file cannot hold.
enum class EventProblem {
  kNone,
  kTooManyLines,  // it would give more than kMaxLinesOfOneEvent lines
  kNoStart,      // it has no start (DTSTART) that can be read
  kUnreadable,   // libical could not read it
  kNotUtf8,      // its text is not UTF-8, as iCalendar writes text: the summary is read as code page 932
  kUnknownTimeZone,  // imported, its times read on the local clock: its TZID names no time zone known
  kCutShort,     // the file ends inside it
};

// An event that was not imported, or only in part.
struct UnreadableEvent {
  std::string summary{};                // UTF-8, as the calendar wrote it
  std::chrono::year_month_day start{};  // its first day, where it has one
  std::vector<std::string> characters{};  // characters the note file cannot hold (left out), UTF-8
  EventProblem problem = EventProblem::kNone;  // the window words it
};

// What an import will do, worked out from the calendar and the notes as
// they were read, before anything is written.
struct ImportPlan {
  NoteBatch batch;             // the days whose notes change, in the file's bytes
  std::size_t events = 0;      // events the calendar holds
  std::size_t newDays = 0;     // days that had no note
  std::size_t addedToDays = 0; // days whose note gets lines added
  std::size_t unchangedDays = 0;  // days the calendar fills with nothing new
  std::vector<UnreadableEvent> unreadable;
  FileIdentity readFrom;       // the note file the plan was worked out from
};

// Reads the iCalendar file `path` ("-": standard input) and plans its
// import into `store`: each event becomes lines of the note of each day it
// covers (a repeating one's repetitions only in `range`), in the local
// time zone (an all-day event its summary, a timed one `HH:MM summary` on
// its first day; its description's lines follow), the events of a day in
// the order they start. Lines a day's note
// already holds are not added again, so a second import changes nothing.
// An instance of a repeating event edited on its own (the same UID, a
// RECURRENCE-ID) replaces the series' instance; a cancelled one shows
// nothing.
// The file is read as it streams past: one event in memory at a time, with
// the time zones it defines. Errors name `path`, with
// StoreOperation::kImport; stopped (kCancelled) when `progress`, told of
// the bytes read now and then, answers false.
StoreResult<ImportPlan> planImport(const NoteStore& store, const std::string& path, const ImportRange& range,
                                   const ICalProgress& progress = {});

}  // namespace hiduke
