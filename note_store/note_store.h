#pragma once

#include <sys/stat.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <optional>
#include <string>
#include <vector>

#include "note_store/file_identity.h"
#include "note_store/note_batch.h"
#include "note_store/note_directory.h"
#include "note_store/store_error.h"

namespace hiduke {

struct NoteFileEdit;
struct Rewritten;

// The day's note that a save or delete expects to find in the file: the one
// the caller last saw there (nothing: the day had none), or anything at all.
class ExpectedNote {
 public:
  static ExpectedNote anything() { return ExpectedNote(true, std::nullopt); }
  static ExpectedNote exactly(std::optional<std::string> note) { return ExpectedNote(false, std::move(note)); }
  bool admits(const std::optional<std::string>& note) const { return anything_ || note == note_; }
  bool admitsAnything() const { return anything_; }

 private:
  ExpectedNote(bool anything, std::optional<std::string> note) : anything_(anything), note_(std::move(note)) {}

  bool anything_;
  std::optional<std::string> note_;
};

// The notes of one month as the file held them when it was read.
struct MonthNotes {
  std::chrono::year_month month;
  // The note of each day (index = day 1..31): the text of its last record.
  std::array<std::optional<std::string>, 32> days{};
  FileIdentity file;  // the file read ({} when there was none)

  const std::optional<std::string>& of(std::chrono::day day) const { return days[static_cast<unsigned>(day)]; }
};

struct DatedNote {
  std::chrono::year_month_day date;
  std::string_view text;
  friend bool operator==(const DatedNote&, const DatedNote&) = default;
};

// Every note of the file. The notes' texts lie one after another in a few
// buffers (one, unless the file grew while it was read), so that a file of
// a million notes is read without a million strings; they move with them,
// and are not copied.
struct AllNotes {
  AllNotes() = default;
  AllNotes(std::vector<DatedNote> dated, std::size_t other) : notes(std::move(dated)), otherLines(other) {}
  AllNotes(AllNotes&&) = default;
  AllNotes& operator=(AllNotes&&) = default;
  AllNotes(const AllNotes&) = delete;
  AllNotes& operator=(const AllNotes&) = delete;

  std::vector<DatedNote> notes;  // in date order, one a day: the text of its last record
  std::size_t otherLines = 0;    // lines that are not empty and hold no note (hand edits)
  std::vector<std::unique_ptr<char[]>> texts;  // what the notes' texts point into
  FileIdentity file;             // the file read ({} when there was none)
};

// What a batch did.
struct BatchReport {
  std::size_t saved = 0;
  std::size_t removed = 0;
  FileIdentity file;
  std::vector<StoreError> warnings;  // as SaveReport's
};

// A save or delete that took effect.
struct SaveReport {
  // The day's note as the file now holds it (characters that code page 932
  // holds only as a look-alike, as that look-alike); nothing after a delete.
  std::optional<std::string> note;
  FileIdentity file;  // the new file, as it was put in place
  // Warnings: kNotDurable (the new file may not survive a crash of the
  // system), kHardLinksSeparated (the file's other names keep the old notes).
  std::vector<StoreError> warnings;
};

// The notes of all days, kept in one file (hiduke.dat, code page 932, one
// record `year,month,day,text` CR LF per note). Every call reads the file
// anew; nothing is cached. Failures come back as a StoreError that says
// what failed; a missing file is an empty store. Notes cross this interface
// in UTF-8 with "\n" line breaks; only the file holds them as ";". A save
// keeps the file's owner, permissions, ACLs and other extended attributes,
// and follows a symbolic link only where the kernel would (note_directory.h).
class NoteStore {
 public:
  // The store of the file `path`, a relative one against the current
  // directory. Its directory is opened now and held (NoteDirectory): the
  // notes stay with it when it is renamed. kDirectoryGone when the
  // directory has been removed.
  static StoreResult<NoteStore> open(const std::string& path = "hiduke.dat");

  // The note file's full path as it was at open(), for messages.
  const std::string& path() const { return directory_.displayPath(); }

  // The notes of `month`, found in one pass over the file.
  StoreResult<MonthNotes> monthNotes(std::chrono::year_month month) const;

  // The note of `date`: the text of its last record, with every ";"
  // turned into "\n"; nothing when the date has no record.
  StoreResult<std::optional<std::string>> note(std::chrono::year_month_day date) const;

  // The nearest date after (or before) `from` that has a note.
  StoreResult<std::optional<std::chrono::year_month_day>> nextNoteDate(std::chrono::year_month_day from) const;
  StoreResult<std::optional<std::chrono::year_month_day>> previousNoteDate(std::chrono::year_month_day from) const;

  StoreResult<AllNotes> allNotes() const;

  // A run of the file's whole lines, as readLines hands them on.
  struct LinesRead {
    int pass;               // 0 .. passes - 1
    std::string_view lines;
    std::int64_t fileSize;  // as the file was when it was opened
  };
  // The file's lines as they stream past, for a reader of every note that
  // keeps only a few of them in memory: `consume` stops the reading by
  // answering false. Every pass reads the same opened file again, so that a
  // reader that first looks over all of it (where the last record of each
  // date lies) finds the same lines after. The identity of the file read.
  // It changes nothing of the store, so it may run on a thread of its own
  // beside the store's other calls (a long export beside the window). A
  // program writing the file in place is waited for as a save waits;
  // kBeingWritten when it kept at it, or wrote to the file (or, where a
  // lease is held, opened it for writing) while it was read.
  StoreResult<FileIdentity> readLines(int passes, const std::function<bool(const LinesRead&)>& consume) const;

  // Hands `visit` every record's date and stored text (code page 932 as
  // the file holds it, ";" for each line break, unquoted) in the file's
  // order as the file streams past, for a reader that keeps the notes in a
  // form of its own; of the records of one date the last is its note.
  // The identity of the file read.
  StoreResult<FileIdentity> forEachRecord(
      const std::function<void(std::chrono::year_month_day, std::string_view)>& visit) const;

  // Stores `note` as the note of `date`: the first record of the date is
  // replaced in its place and any others of that date dropped, or one is
  // appended at the end. Each line break ("\n", and also "\r\n" or a lone
  // "\r") is stored as one ";". Refused, with the file untouched, when the
  // note holds ";" (kSemicolon: it would come back as a line break) or
  // characters that code page 932 cannot store, the date cannot
  // be written (isStorableDate), or the day's note in the file is not one
  // `before` admits (kChangedOnDisk): that is checked on the file as the
  // save reads it, under the lock that keeps other copies of the program
  // out.
  StoreResult<SaveReport> saveNote(std::chrono::year_month_day date, const std::string& note,
                                   const ExpectedNote& before = ExpectedNote::anything());

  // Removes every record of the date. The file is rewritten (and created
  // when missing) even when it holds no record of the date.
  StoreResult<SaveReport> deleteNote(std::chrono::year_month_day date,
                                     const ExpectedNote& before = ExpectedNote::anything());

  // Makes every change of `batch` in one rewrite of the file, the way
  // saveNote and deleteNote make one: each date's first record replaced in
  // its place and any others dropped, new dates appended in date order.
  // Refused whole, with the file untouched, for any reason saveNote would
  // refuse one of its notes (a kUnencodable lists the characters of all),
  // with kWriteFailed (EINVAL) for a line break in a note given in the
  // file's bytes or in an added line, and with kChangedOnDisk when the file
  // is no longer `readFrom` (the identity of the file the batch was worked
  // out from; {}: there was none).
  StoreResult<BatchReport> saveNotes(const NoteBatch& batch, const FileIdentity& readFrom);

  // What the note file's name stands for now, without reading the file.
  FileIdentity fileIdentity() const { return directory_.identity(); }

  // The directory that finally holds the note file (links followed), open,
  // and the file's name there: where sync tools leave their copies of it.
  StoreResult<LocatedFile> locate() const { return directory_.locate(StoreErrorKind::kReadFailed); }

  // Called about every 20 ms while a save or delete waits for another copy
  // of the program to finish its own (for up to 10 s) or for another
  // program to finish writing the file (for up to 5 s), so that the caller
  // can show that it is busy and keep its window painted. The hook must not
  // save or delete through any NoteStore; it may replace itself, and the
  // waiting save keeps calling the hook it started with.
  void setBusyHook(std::function<void()> hook) { busyHook_ = std::move(hook); }

 private:
  explicit NoteStore(NoteDirectory directory) : directory_(std::move(directory)) {}

  // kKept: a reading of the store's own, counted as the most read of the
  // file (noteRead). kApart: a long one beside the store's other calls,
  // which waits for programs writing the file in place, and fails if one
  // wrote to it meanwhile (what was read may be torn).
  enum class Reading { kKept, kApart };
  // Reads the whole file `passes` times, handing each run of its lines to
  // `consume` (bool(const LinesRead&)) until it answers false; the
  // identity of the file read.
  template <typename Consume>
  StoreResult<FileIdentity> readWhole(int passes, Reading reading, Consume&& consume) const;
  // Reads the file once through `scan`; the identity of the file read.
  template <typename Scan>
  StoreResult<FileIdentity> scanFile(Scan& scan) const;
  StoreResult<std::optional<std::chrono::year_month_day>> nearestNoteDate(std::chrono::year_month_day from,
                                                                          bool later) const;
  // What a save writes: the record line, and the note as a reader finds it there.
  struct Record {
    std::string line;
    std::string note;
  };
  StoreResult<SaveReport> rewrite(std::chrono::year_month_day date, const std::optional<Record>& record,
                                  const ExpectedNote& before, StoreOperation operation);
  // Runs `edit` through the atomic rewrite, with the busy hook.
  StoreResult<Rewritten> rewriteFile(const NoteFileEdit& edit, StoreOperation operation);
  std::vector<StoreError> warningsOf(const Rewritten& rewritten, StoreOperation operation) const;
  // Completes an error of a step that does not know what it was for.
  StoreError completed(StoreError error, StoreOperation operation) const;
  // Keeps the most read of the file `status` tells of.
  void noteRead(const struct stat& status, std::int64_t bytes) const;

  NoteDirectory directory_;
  // The note file as last read or written, with the most bytes read of it:
  // a file that a save finds shorter in place was truncated by a program
  // that may still be writing it.
  mutable FileIdentity largestRead_;
  std::function<void()> busyHook_;
};

}  // namespace hiduke
