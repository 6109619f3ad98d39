#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/note_store.h"
#include "note_store/store_error.h"

namespace hiduke {

// The notes of one version of the note file (the file itself, or a
// conflict copy a sync tool left beside it), as the merge compares them: in the file's bytes, so that code page
// 932 text is compared exactly.
struct NoteFileText {
  // Per date the text of its last record: code page 932, ";" for a line
  // break, unquoted.
  std::map<std::chrono::year_month_day, std::string> notes;
  // Lines that are not empty and hold no note (hand edits), in order.
  std::vector<std::string> otherLines;
};

NoteFileText readNoteFileText(std::string_view content);

// What bringing conflict copies into the note file does.
struct ConflictMerge {
  NoteBatch batch;  // the changes to the note file
  // Days whose texts changed on both sides: the note now holds both, the
  // file's first, and the person chooses.
  std::vector<std::chrono::year_month_day> conflicts;
  std::vector<std::size_t> emptyCopies;  // indexes of the copies that added nothing
  std::size_t differingDays = 0;         // days whose text differs between the file and a copy
  std::size_t changedDays = 0;           // days whose note the merge changes
};

// Brings `copies` (oldest first) into `file`, day by day, losing no text:
// a day on one side only is kept (a deletion on the other side is not
// taken), the same text on both kept once, and two different texts are a
// conflict, for which the note keeps the file's text and adds the copy's
// lines it does not hold yet. There is no common version to tell which side
// changed a day: what this program last read may never have reached the
// other computer (saved offline, written by another program meanwhile), and
// taking a side by it deleted notes that only one computer had. Lines of a
// copy that hold no note and that the file lacks are added as they are.
// Fails only when a text cannot be converted.
StoreResult<ConflictMerge> mergeNoteFiles(const NoteFileText& file, const std::vector<NoteFileText>& copies);

}  // namespace hiduke
