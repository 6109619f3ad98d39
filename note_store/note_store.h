#ifndef HIDUKE_NOTE_STORE_NOTE_STORE_H
#define HIDUKE_NOTE_STORE_NOTE_STORE_H

#include <bitset>
#include <optional>
#include <string>

#include "note_store/note_record.h"
#include "note_store/store_error.h"

namespace hiduke {

// The notes of all days, kept in one file (hiduke.dat, code page 932, one
// record `year,month,day,text` CR LF per note). Every call reads the file
// anew; nothing is cached. Failures come back as StoreError with a message
// for the user; a missing file is an empty store.
class NoteStore {
 public:
  // `path` is used as given, a relative one against the current directory.
  explicit NoteStore(std::string path = "hiduke.dat");

  const std::string& path() const { return path_; }

  // Days 1..31 of the month that have at least one record, found in one
  // pass over the file.
  StoreResult<std::bitset<32>> MarkedDays(int year, int month) const;

  // Text of the last record of the date, in UTF-8 with every ";" turned into
  // "\r\n"; nullopt when the date has no record.
  StoreResult<std::optional<std::string>> ReadNote(const NoteDate& date) const;

  // Stores `note` (UTF-8, line breaks as "\r\n") as the note of the date:
  // every record of the date is replaced in its place, or one is appended
  // at the end. Refused, with the file untouched, when the note holds
  // characters that code page 932 cannot store or the date cannot be
  // written (year 0..32767, month 1..12, day 1..31).
  StoreResult<void> SaveNote(const NoteDate& date, const std::string& note);

  // Removes every record of the date. The file is rewritten (and created
  // when missing) even when it holds no record of the date.
  StoreResult<void> DeleteNote(const NoteDate& date);

 private:
  std::string path_;
};

}  // namespace hiduke

#endif  // HIDUKE_NOTE_STORE_NOTE_STORE_H
