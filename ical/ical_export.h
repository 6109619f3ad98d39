#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "ical/ical_progress.h"
#include "note_store/note_store.h"

namespace hiduke {

// The notes as an iCalendar file (RFC 5545), for phones and other
// calendars: every note an all-day event on its day, whose summary is the
// note's first line and whose description the whole note; its UID is made
// from the date alone, so that importing a later export again updates the
// events instead of doubling them. A calendar holds the years 1 to 9999
// only: notes of other years are left out.
struct ICalendar {
  std::string text;               // CR LF lines, folded at 75 octets
  std::size_t events = 0;
  std::size_t outsideYears = 0;   // notes left out: years a calendar cannot hold
};

ICalendar iCalendarOf(const AllNotes& notes, std::chrono::system_clock::time_point stamp);

// What an export did, besides the events it wrote.
struct ExportReport {
  std::size_t events = 0;
  std::size_t otherLines = 0;    // lines of the note file that hold no note, left out
  std::size_t outsideYears = 0;
};

// Writes every note of `store` to the file `path` ("-": standard output)
// as iCalendar. The file is written whole and then put in place in one
// step (a temporary beside it, renamed over it), so a failure leaves what
// was there. A symbolic link at `path` is followed and the file it names
// replaced, keeping that file's permissions and, where the user may give
// it, its owner; a new file gets the note file's permissions. The note file
// is only read: a target that is the note file (under any name) is refused
// with kExportOverNoteFile, one that is no regular file with
// kNotRegularFile. Errors name `path`, with StoreOperation::kExport.
// `progress` hears of the note file's bytes read; answering false stops
// the export with kCancelled, the target left as it was.
StoreResult<ExportReport> exportICalendar(const NoteStore& store, const std::string& path,
                                          const ICalProgress& progress = {});

}  // namespace hiduke
