#pragma once

#include <chrono>
#include <functional>

#include "note_store/file_identity.h"
#include "note_store/store_error.h"

namespace hiduke {

// How long a save waits for another program to finish writing the note
// file in place.
inline constexpr auto kWriterPatience = std::chrono::seconds(5);

// Watch over the note file, open for reading, for programs that write it in
// place (a copy over it, a download, some sync tools) while a save reads it
// and writes its new file: renaming the new file into place then would throw
// away what they write after the read.
//
// Where the system grants a read lease on the file (the user's own file on a
// local file system), the lease tells exactly: it cannot be taken while any
// program has the file open for writing, and another program's opening it
// for writing (or truncating it) afterwards breaks the lease, and waits for
// the save to let go. Elsewhere the watch falls back on the file's state: a
// file changed in the last seconds whose last line has no line end is
// being written, and the file must not change while the save works.
class InPlaceWriterWatch {
 public:
  enum class Leases { kWhereGranted, kNever };

  // Waits, calling `busy` about every 20 ms, until no other program is
  // writing the file `fd`, and starts the watch; kBeingWritten when a
  // writer kept at it for kWriterPatience. kNever keeps to the file's
  // state, as where no lease is granted.
  static StoreResult<InPlaceWriterWatch> waitForWriters(int fd, const std::function<void()>& busy,
                                                        Leases leases = Leases::kWhereGranted);

  // Whether another program wrote to the file, or began to, since the watch
  // started.
  bool disturbed() const;

  bool hasLease() const { return leased_; }

 private:
  InPlaceWriterWatch(int fd, bool leased, FileIdentity state) : fd_(fd), leased_(leased), state_(state) {}

  int fd_;
  bool leased_;
  FileIdentity state_;
};

}  // namespace hiduke
