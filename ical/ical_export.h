#pragma once

#include <cstddef>
#include <string>

#include "ical/ical_progress.h"
#include "note_store/note_store.h"

namespace hiduke {

// What an export did, besides the events it wrote.
struct ExportReport {
  std::size_t events = 0;
  std::size_t otherLines = 0;    // lines of the note file that hold no note, left out
  std::size_t outsideYears = 0;  // notes of years a calendar cannot hold (outside 1 to 9999), left out
  std::size_t controlCharacters = 0;  // characters a calendar's text cannot hold, left out of the notes
};

// Writes every note of `store` to the file `path` ("-": standard output)
// as iCalendar (RFC 5545), for phones and other calendars: every note an
// all-day event on its day that leaves the day free, its summary the
// note's first line with something in it, its description the whole note.
// Its UID is made from the date, the computer and the note file's path, so
// that importing a later export of the same file updates the events
// instead of doubling them, while another person's export keeps apart. The
// notes stream from the note file to the target a few at a time. A
// calendar holds the years 1 to 9999 only: notes of other years are left
// out. The file is written whole and then put in place in one step (a
// temporary beside it, renamed over it), so a failure leaves what was
// there. A symbolic link at `path` is followed and the file it names
// replaced, keeping that file's permissions and, where the user may give
// it, its owner; a new file gets the note file's permissions. The note file
// is only read: a target that is the note file (under any name) is refused
// with kExportOverNoteFile, one that is no regular file with
// kNotRegularFile. Errors name `path`, with StoreOperation::kExport; a
// failure to read the note file names it, with kRead. `progress` hears of
// the note file's bytes read (it is read twice: `total` is twice its
// size); answering false stops the export with kCancelled, the target left
// as it was.
StoreResult<ExportReport> exportICalendar(const NoteStore& store, const std::string& path,
                                          const ICalProgress& progress = {});

}  // namespace hiduke
