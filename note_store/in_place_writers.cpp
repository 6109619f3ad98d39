#include "note_store/in_place_writers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <optional>

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

// File systems whose refusal of a lease says nothing of other writers: the
// network ones (an NFSv4 client without a delegation answers EAGAIN) and
// those served by a program (FUSE).
bool leasesCanTell(int fd) {
  constexpr unsigned long kNoLeases[] = {
      0x6969,      // NFS
      0x517B,      // SMB
      0xFF534D42,  // CIFS
      0xFE534D42,  // SMB2
      0x65735546,  // FUSE
      0x00C36400,  // Ceph
      0x01021997,  // 9P
      0x5346414F,  // AFS
      0x73757245,  // Coda
      0x0BD00BD0,  // Lustre
  };
  struct statfs fileSystem;
  if (::fstatfs(fd, &fileSystem) != 0) return false;
  const auto type = static_cast<unsigned long>(fileSystem.f_type) & 0xFFFFFFFFul;
  return std::find(std::begin(kNoLeases), std::end(kNoLeases), type) == std::end(kNoLeases);
}

// Whether the file's last line has no line end yet.
StoreResult<bool> endsInsideALine(int fd, const FileIdentity& state) {
  if (state.size == 0) return false;
  char last = 0;
  const ssize_t n = ::pread(fd, &last, 1, state.size - 1);
  if (n < 0) return readFailed(errno);
  return n == 1 && last != '\n' && last != '\r';
}

bool changedRecently(const FileIdentity& state) {
  const auto modified = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(state.modifiedNs)));
  return std::chrono::system_clock::now() - modified < kRecentWrite;
}

StoreError beingWritten() { return StoreError{.kind = StoreErrorKind::kBeingWritten}; }

}  // namespace

StoreResult<InPlaceWriterWatch> InPlaceWriterWatch::waitForWriters(int fd, BusyWait& wait, Leases leases) {
  bool askLease = leases == Leases::kWhereGranted && leasesCanTell(fd);
  std::optional<FileIdentity> seen;
  auto seenSince = std::chrono::steady_clock::now();
  bool suspect = false;  // changed recently or while looked at: a last line without line end is unfinished
  for (;;) {
    const Lease lease = askLease ? takeReadLease(fd) : Lease::kNotGranted;
    askLease = lease != Lease::kNotGranted;
    StoreResult<FileIdentity> state = stateOf(fd);
    if (!state) return std::move(state).error();
    if (lease == Lease::kTaken) return InPlaceWriterWatch(fd, true, *state);
    if (lease == Lease::kNotGranted) {
      if (seen != *state) {
        suspect = suspect || seen.has_value() || changedRecently(*state);
        seen = *state;
        seenSince = std::chrono::steady_clock::now();
      }
      StoreResult<bool> halfLine = suspect ? endsInsideALine(fd, *state) : StoreResult<bool>(false);
      if (!halfLine) return std::move(halfLine).error();
      if (!*halfLine && std::chrono::steady_clock::now() - seenSince >= kSettleTime) {
        return InPlaceWriterWatch(fd, false, *state);
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

bool InPlaceWriterWatch::writtenTo() const {
  if (leased_ && ::fcntl(fd_, F_GETLEASE) != F_RDLCK) return true;
  const StoreResult<FileIdentity> state = stateOf(fd_);
  return !state || state->size != state_.size || state->modifiedNs != state_.modifiedNs;
}

}  // namespace hiduke
