#pragma once

#include <bitset>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "note_store/note_record.h"
#include "note_store/store_error.h"

namespace hiduke {

// The notes of all days, kept in one file (hiduke.dat, code page 932, one
// record `year,month,day,text` CR LF per note). Every call reads the file
// anew; nothing is cached. Failures come back as a StoreError that says
// what failed; a missing file is an empty store. Notes cross this interface
// in UTF-8 with "\n" line breaks; only the file holds them as ";". A save
// keeps the file's owner, permissions, ACLs and other extended attributes,
// and follows a symbolic link only where the kernel would (note_file.h).
class NoteStore {
 public:
  // `path` is used as given, a relative one against the current directory.
  explicit NoteStore(std::string path = "hiduke.dat");

  const std::string& path() const { return path_; }

  // Days 1..31 of the month that have at least one record, found in one
  // pass over the file.
  StoreResult<std::bitset<32>> MarkedDays(int year, int month) const;

  // Text of the last record of the date, with every ";" turned into "\n";
  // nullopt when the date has no record.
  StoreResult<std::optional<std::string>> ReadNote(const NoteDate& date) const;

  // Stores `note` as the note of the date: every record of the date is
  // replaced in its place, or one is appended at the end. Each line break
  // ("\n", and also "\r\n" or a lone "\r") is stored as one ";". Refused,
  // with the file untouched, when the note holds characters that code page
  // 932 cannot store or the date cannot be written (year 0..32767, month
  // 1..12, day 1..31).
  StoreResult<SaveReport> SaveNote(const NoteDate& date, const std::string& note);

  // Removes every record of the date. The file is rewritten (and created
  // when missing) even when it holds no record of the date.
  StoreResult<SaveReport> DeleteNote(const NoteDate& date);

  // Called about every 20 ms while a save or delete waits for another copy
  // of the program to finish its own (for up to 10 s), so that the caller
  // can show that it is busy and keep its window painted. The hook must not
  // save or delete through any NoteStore; it may replace itself, and the
  // waiting save keeps calling the hook it started with.
  void set_lock_wait_hook(std::function<void()> hook) { lock_wait_hook_ = std::move(hook); }

 private:
  // Completes an error of a step that does not know the file.
  StoreError WithPath(StoreError error) const;
  StoreError OutOfMemory(StoreOperation operation) const;

  std::string path_;
  std::function<void()> lock_wait_hook_;
};

}  // namespace hiduke
