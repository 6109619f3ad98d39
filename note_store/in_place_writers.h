#pragma once

#include <chrono>
#include <functional>

#include "note_store/directory_lock.h"
#include "note_store/file_identity.h"
#include "note_store/store_error.h"

namespace hiduke {

// How long a save waits for another program to finish writing the note
// file in place.
inline constexpr auto kWriterPatience = std::chrono::seconds(5);

// Without a lease: how long the file must stay as it is, seen by this
// program's clock, before a save takes it as finished; and how long the
// replaced file is watched after the new one is put in place.
inline constexpr auto kSettleTime = std::chrono::milliseconds(100);
// With a lease: how long a program whose opening found the old file just
// before the new one was put in place is given to reach the lease.
inline constexpr auto kLeaseSettleTime = std::chrono::milliseconds(10);

// Watch over the note file, open for reading, for programs that write it in
// place (a copy over it, a download, some sync tools) while a save reads it
// and writes its new file: renaming the new file into place then would throw
// away what they write after the read.
//
// Where the system grants a read lease on the file (the user's own file on a
// local file system), the lease tells exactly: it cannot be taken while any
// program has the file open for writing, and another program's opening it
// for writing (or truncating it) afterwards breaks the lease, and waits for
// the save to let go. Network and user-space file systems (NFS, SMB, FUSE
// ...) are never asked: there a refused lease says nothing of writers.
// Elsewhere the watch falls back on the file's state: it must stay the same
// for kSettleTime, and a file changed in the last seconds, or while the
// save looked, whose last line has no line end is being written until it
// has one.
class InPlaceWriterWatch {
 public:
  enum class Leases { kWhereGranted, kNever };

  // Waits, through `wait`, until no other program is writing the file
  // `fd`, and starts the watch; kBeingWritten when a writer kept at it
  // beyond kWriterPatience. kNever keeps to the file's state, as where no
  // lease is granted.
  static StoreResult<InPlaceWriterWatch> waitForWriters(int fd, BusyWait& wait, Leases leases = Leases::kWhereGranted);

  // Whether another program wrote to the file, or began to, since the watch
  // started.
  bool disturbed() const;
  // The same, blind to a rename of the file (which moves its status change
  // time): its lease broken, or its size or modification time changed.
  bool writtenTo() const;

  bool hasLease() const { return leased_; }
  // The file as the watch started.
  const FileIdentity& state() const { return state_; }
  // How long the replaced file is watched once the new one is in place.
  std::chrono::milliseconds settleTime() const { return leased_ ? kLeaseSettleTime : kSettleTime; }

 private:
  InPlaceWriterWatch(int fd, bool leased, FileIdentity state) : fd_(fd), leased_(leased), state_(state) {}

  int fd_;
  bool leased_;
  FileIdentity state_;
};

}  // namespace hiduke
