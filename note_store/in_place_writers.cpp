#include "note_store/in_place_writers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "note_store/directory_lock.h"

namespace hiduke {

namespace {

// A file changed this recently may still be in the middle of a write.
constexpr auto kRecentWrite = std::chrono::seconds(5);

enum class Lease { kTaken, kFileOpenForWriting, kNotGranted };

// A read lease on `fd`. The kernel tells the holder of a lease that another
// program wants to write by a signal, SIGIO unless set otherwise, which
// would end the program: the signal is made SIGURG, which nothing here
// handles and which is ignored unless handled, and the notice is turned off
// altogether; disturbed() asks instead.
Lease takeReadLease(int fd) {
  if (::fcntl(fd, F_SETSIG, SIGURG) != 0) return Lease::kNotGranted;
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) return errno == EAGAIN ? Lease::kFileOpenForWriting : Lease::kNotGranted;
  ::fcntl(fd, F_SETOWN, 0);
  return Lease::kTaken;
}

StoreResult<FileIdentity> stateOf(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return readFailed(errno);
  return identityOf(st);
}

// Without a lease: whether the file looks half written, changed a moment
// ago and ending inside a line.
StoreResult<bool> looksHalfWritten(int fd) {
  StoreResult<FileIdentity> state = stateOf(fd);
  if (!state) return std::move(state).error();
  const auto modified = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(state->modifiedNs)));
  if (state->size == 0 || std::chrono::system_clock::now() - modified > kRecentWrite) return false;
  char last = 0;
  const ssize_t n = ::pread(fd, &last, 1, state->size - 1);
  if (n < 0) return readFailed(errno);
  return n == 1 && last != '\n';
}

StoreError beingWritten() { return StoreError{.kind = StoreErrorKind::kBeingWritten}; }

}  // namespace

StoreResult<InPlaceWriterWatch> InPlaceWriterWatch::waitForWriters(int fd, const std::function<void()>& busy,
                                                                   Leases leases) {
  BusyWait wait(busy);
  for (;;) {
    const Lease lease = leases == Leases::kWhereGranted ? takeReadLease(fd) : Lease::kNotGranted;
    if (lease == Lease::kTaken || lease == Lease::kNotGranted) {
      StoreResult<bool> halfWritten = lease == Lease::kTaken ? StoreResult<bool>(false) : looksHalfWritten(fd);
      if (!halfWritten) return std::move(halfWritten).error();
      if (!*halfWritten) {
        StoreResult<FileIdentity> state = stateOf(fd);
        if (!state) return std::move(state).error();
        return InPlaceWriterWatch(fd, lease == Lease::kTaken, *state);
      }
    }
    if (!wait.pause(kWriterPatience)) return beingWritten();
  }
}

bool InPlaceWriterWatch::disturbed() const {
  if (leased_ && ::fcntl(fd_, F_GETLEASE) != F_RDLCK) return true;
  const StoreResult<FileIdentity> state = stateOf(fd_);
  return !state || *state != state_;
}

}  // namespace hiduke
