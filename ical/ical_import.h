#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "ical/ical_progress.h"
#include "note_store/note_store.h"

namespace hiduke {

// The days an import fills: repeating events are expanded over them only.
struct ImportRange {
  std::chrono::year_month_day first;
  std::chrono::year_month_day last;
};

// One year back to two years ahead of `today`.
ImportRange defaultImportRange(std::chrono::year_month_day today);

// An event that was not imported, or only in part.
struct UnreadableEvent {
  std::string summary;                  // UTF-8, as the calendar wrote it
  std::chrono::year_month_day start{};  // its first day, where it has one
  std::vector<std::string> characters;  // characters the note file cannot hold (left out), UTF-8
  std::string problem;                  // what else was wrong, in the window's words; empty when none
};

// What an import will do, worked out from the calendar and the notes as
// they were read, before anything is written.
struct ImportPlan {
  NoteBatch batch;             // the days whose notes change
  std::size_t newDays = 0;     // days that had no note
  std::size_t addedToDays = 0; // days whose note gets lines added
  std::size_t unchangedDays = 0;  // days the calendar fills with nothing new
  std::vector<UnreadableEvent> unreadable;
  FileIdentity readFrom;       // the note file the plan was worked out from
};

// Reads the iCalendar file `path` ("-": standard input) and plans its
// import into `store`. Errors name `path`, with StoreOperation::kImport.
// Stopped (kCancelled) when `progress` answers false.
StoreResult<ImportPlan> planImport(const NoteStore& store, const std::string& path, const ImportRange& range,
                                   const ICalProgress& progress = {});

}  // namespace hiduke
