#include "note_store/atomic_rewrite.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <optional>
#include <string>

#include "note_store/directory_lock.h"
#include "note_store/file_attributes.h"
#include "note_store/in_place_writers.h"
#include "note_store/line_reader.h"
#include "note_store/temporary_file.h"
#include "note_store/write_all.h"

namespace hiduke {

namespace {

// A rewrite writes each piece it reads out again and pays per system call:
// it reads in large pieces.
constexpr size_t kRewriteChunk = size_t{1} << 20;

// Keeps SIGXFSZ from ending the program while a rewrite writes: a write
// beyond the file size limit then fails with EFBIG and is reported like any
// other. The signal such a write raises is taken back before the caller's
// signal mask returns; the caller's disposition is never touched.
class FileSizeSignalHold {
 public:
  FileSizeSignalHold() {
    ::sigemptyset(&signal_);
    ::sigaddset(&signal_, SIGXFSZ);
    ::pthread_sigmask(SIG_BLOCK, &signal_, &previousMask_);
    wasPending_ = isPending();
  }
  ~FileSizeSignalHold() {
    if (!wasPending_ && isPending()) {
      const timespec noWait{};
      while (::sigtimedwait(&signal_, nullptr, &noWait) < 0 && errno == EINTR) {
      }
    }
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
  }
  FileSizeSignalHold(const FileSizeSignalHold&) = delete;
  FileSizeSignalHold& operator=(const FileSizeSignalHold&) = delete;

 private:
  static bool isPending() {
    sigset_t pending;
    return ::sigpending(&pending) == 0 && ::sigismember(&pending, SIGXFSZ) == 1;
  }

  sigset_t signal_;
  sigset_t previousMask_;
  bool wasPending_ = false;
};

bool isPermissionError(int errorNumber) { return errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS; }

// Gathers the pieces of an edit into writes of about kRewriteChunk bytes:
// an edit of many dates makes many small pieces.
class PieceWriter {
 public:
  explicit PieceWriter(int fd) : fd_(fd) { buffer_.reserve(kRewriteChunk); }
  StoreResult<void> write(const ContentPieces& pieces) {
    for (const std::string_view piece : pieces) {
      if (buffer_.size() + piece.size() > kRewriteChunk) {
        if (StoreResult<void> flushed = flush(); !flushed) return flushed;
      }
      if (piece.size() < kRewriteChunk) {
        buffer_ += piece;
      } else if (const int error = writeAll(fd_, piece); error != 0) {
        return writeFailed(error);
      }
    }
    return {};
  }
  StoreResult<void> flush() {
    const int error = writeAll(fd_, buffer_);
    buffer_.clear();
    if (error != 0) return writeFailed(error);
    return {};
  }

 private:
  int fd_;
  std::string buffer_;
};

// Owner, group, extended attributes (ACLs among them) and permission bits
// of the old file, compared with what the new file got (a setgid directory
// gives it the directory's group). A file of another user is not silently
// taken over: a save that cannot give the new file to that user is refused.
// A group the user cannot give (one the user is not a member of) does not
// refuse the save: the file silently takes the group the new file was
// created with (the user's, or a setgid directory's), and the old group
// permission bits then apply to that group.
StoreResult<void> giveOldAttributes(const OpenedFile& old, int fd) {
  struct stat created;
  if (::fstat(fd, &created) != 0) return writeFailed(errno);
  // The owner first: changing it clears set-id bits and file capabilities.
  if (old.status.st_uid != created.st_uid) {
    if (::fchown(fd, old.status.st_uid, old.status.st_gid) != 0) {
      return StoreError{.kind = StoreErrorKind::kOwnerNotKept, .errorNumber = errno};
    }
  } else if (old.status.st_gid != created.st_gid) {
    [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.status.st_gid);
  }
  // The ACL before the permission bits: the new file never grants more
  // than the old one, and fchmod with the old bits leaves the ACL as it is.
  if (StoreResult<void> copied = copyExtendedAttributes(old.fd.get(), fd); !copied) return copied;
  if (::fchmod(fd, old.status.st_mode & 07777) != 0) return writeFailed(errno);
  return {};
}

// The temporary file beside the note file, with the old file's attributes;
// private until it has them.
StoreResult<TemporaryFile> createTemporary(const LocatedFile& target, const OpenedFile& old,
                                           std::chrono::system_clock::time_point lockedAt) {
  StoreResult<TemporaryFile> temporary =
      TemporaryFile::create(target.directory.get(), target.name, old.fd ? 0600 : 0666, lockedAt);
  if (!temporary) {
    StoreError error = std::move(temporary).error();
    // The file itself may be written (checked before), the directory that
    // must take the new file beside it not.
    if (old.fd && isPermissionError(error.errorNumber)) error.kind = StoreErrorKind::kDirectoryNotWritable;
    return error;
  }
  if (old.fd) {
    if (StoreResult<void> given = giveOldAttributes(old, temporary->fd()); !given) return std::move(given).error();
  }
  return temporary;
}

// Streams the old file through `editor` into the temporary file, a run of
// whole lines at a time, without holding the whole content in memory.
StoreResult<void> streamEdited(const OpenedFile& old, NoteEditor& editor, int to) {
  PieceWriter out(to);
  std::optional<StoreError> writeFailure;
  if (old.fd) {
    StoreResult<void> read = readInLines(old.fd.get(), old.status.st_size, kRewriteChunk, [&](std::string_view lines) {
      StoreResult<void> written = out.write(editor.edit(lines));
      if (!written) writeFailure = std::move(written).error();
      return !writeFailure;
    });
    if (!read) return read;
    if (writeFailure) return std::move(*writeFailure);
  }
  if (StoreResult<void> written = out.write(editor.finish()); !written) return written;
  return out.flush();
}

// Whether the name still stands for the file that was read.
bool stillTheFileRead(const LocatedFile& target, const OpenedFile& old) {
  struct stat now;
  if (::fstatat(target.directory.get(), target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return now.st_dev == old.status.st_dev && now.st_ino == old.status.st_ino;
}

// How a new file went into place: it is, the old file left its name without
// being watched yet (no exchange), or the file must be read again.
enum class Placed { kDone, kRenamedOver, kReadAgain };

// Puts the new file in place where there was none, only while there still
// is none; else the file made meanwhile must be read.
StoreResult<Placed> renameIntoPlace(const LocatedFile& target, TemporaryFile& temporary) {
  const int directory = target.directory.get();
  const char* const from = temporary.name().c_str();
  const char* const to = target.name.c_str();
  if (::renameat2(directory, from, directory, to, RENAME_NOREPLACE) == 0) {
    temporary.keep();
    return Placed::kDone;
  }
  if (errno == EEXIST) return Placed::kReadAgain;
  if (errno != EINVAL) return writeFailed(errno);
  // A file system that cannot refuse to replace: a look just before must do.
  struct stat existing;
  if (::fstatat(directory, to, &existing, AT_SYMLINK_NOFOLLOW) == 0) return Placed::kReadAgain;
  if (::renameat(directory, from, directory, to) != 0) return writeFailed(errno);
  temporary.keep();
  return Placed::kDone;
}

// Whether `name` in `directory` stands for the file `file`.
bool namesTheFile(int directory, const std::string& name, const FileIdentity& file) {
  struct stat now;
  return ::fstatat(directory, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == file.device &&
         now.st_ino == file.inode;
}

// Puts the new file in place over the old one by exchanging their names, so
// that the old file stays whole under the temporary's name (and is removed
// with it) while the watch looks once more: a program that opened it for
// writing just before, or still writes to it, gets it back under its name,
// and the file is read again. So is it when another program put a file of
// its own in place of either meanwhile. Where names cannot be exchanged
// (NFS, SMB ...), a plain rename, after the checks made before it.
StoreResult<Placed> exchangeIntoPlace(const LocatedFile& target, const InPlaceWriterWatch& watch,
                                      TemporaryFile& temporary, const FileIdentity& newFile, BusyWait& wait) {
  const int directory = target.directory.get();
  const std::string& parked = temporary.name();
  if (::renameat2(directory, parked.c_str(), directory, target.name.c_str(), RENAME_EXCHANGE) != 0) {
    if (errno != EINVAL) return writeFailed(errno);
    if (::renameat(directory, parked.c_str(), directory, target.name.c_str()) != 0) return writeFailed(errno);
    temporary.keep();
    return Placed::kRenamedOver;
  }
  const auto swapBack = [&] {
    return ::renameat2(directory, parked.c_str(), directory, target.name.c_str(), RENAME_EXCHANGE) == 0
               ? StoreResult<Placed>(Placed::kReadAgain)
               : StoreResult<Placed>(writeFailed(errno));
  };
  if (!namesTheFile(directory, parked, watch.state())) return swapBack();
  const auto settled = std::chrono::steady_clock::now() + watch.settleTime();
  do {
    if (watch.writtenTo()) return swapBack();
    if (!namesTheFile(directory, target.name, newFile)) return Placed::kReadAgain;
  } while (std::chrono::steady_clock::now() < settled && wait.pause(kWriterPatience));
  return Placed::kDone;
}

// Makes the rename itself durable: 0, or the errno of a failure;
// directories that cannot be synced (EINVAL, EROFS) count as synced.
int syncDirectory(int directory) {
  while (::fsync(directory) != 0) {
    if (errno == EINTR) continue;
    return errno == EINVAL || errno == EROFS ? 0 : errno;
  }
  return 0;
}

// Whether the file read is `largestRead` in place, shorter than this
// program once read it: a program that truncated it may be writing it anew.
bool shrankInPlace(const FileIdentity& now, const FileIdentity& largestRead) {
  return largestRead.exists && now.device == largestRead.device && now.inode == largestRead.inode &&
         now.size < largestRead.size;
}

// The new content: `old`, from where it is read now, streamed through a
// fresh editor into a temporary file beside the note file, checked (unless
// `checked` is false) and made durable.
StoreResult<TemporaryFile> writeEdited(const LocatedFile& target, const OpenedFile& old, const NoteFileEdit& edit,
                                       std::chrono::system_clock::time_point lockedAt, bool checked) {
  StoreResult<TemporaryFile> temporary = createTemporary(target, old, lockedAt);
  if (!temporary) return std::move(temporary).error();
  NoteEditor editor = edit.makeEditor();
  if (StoreResult<void> streamed = streamEdited(old, editor, temporary->fd()); !streamed) return std::move(streamed).error();
  if (checked) {
    const FileIdentity read = old.fd ? identityOf(old.status) : FileIdentity{};
    if (StoreResult<void> check = edit.check(editor, read); !check) return std::move(check).error();
  }
  if (StoreResult<void> committed = temporary->commit(); !committed) return std::move(committed).error();
  return temporary;
}

// Where names cannot be exchanged the old file leaves its name at once:
// what a program still writes to it within the settle time is taken up by
// making the edit again on it, as long as the name holds this save's file
// (false: another file took the name, and must be read). The day's note
// was checked on the file as read; a program's late lines are taken as
// they are. One that still writes when the patience is out has what it
// wrote so far taken up, and the save ends, done: the note is in the file.
StoreResult<bool> takeUpLateWrites(const LocatedFile& target, const OpenedFile& old, InPlaceWriterWatch watch,
                                   const NoteFileEdit& edit, std::chrono::system_clock::time_point lockedAt,
                                   BusyWait& wait) {
  const int directory = target.directory.get();
  for (;;) {
    struct stat placed;
    if (::fstatat(directory, target.name.c_str(), &placed, AT_SYMLINK_NOFOLLOW) != 0) return writeFailed(errno);
    const auto settled = std::chrono::steady_clock::now() + watch.settleTime();
    while (!watch.writtenTo()) {
      if (std::chrono::steady_clock::now() >= settled || !wait.pause(kWriterPatience)) return true;
    }
    StoreResult<InPlaceWriterWatch> quiet =
        InPlaceWriterWatch::waitForWriters(old.fd.get(), wait, InPlaceWriterWatch::Leases::kNever);
    if (!quiet && quiet.error().kind != StoreErrorKind::kBeingWritten) return std::move(quiet).error();
    if (quiet) watch = *quiet;
    // A writer that cut the old file short and has not written it back in
    // full would put less in place than the new file holds: the new file
    // stays.
    struct stat now;
    if (::fstat(old.fd.get(), &now) != 0) return readFailed(errno);
    if (now.st_size < old.status.st_size) return true;
    if (::lseek(old.fd.get(), 0, SEEK_SET) != 0) return readFailed(errno);
    StoreResult<TemporaryFile> temporary = writeEdited(target, old, edit, lockedAt, false);
    if (!temporary) return std::move(temporary).error();
    if (!namesTheFile(directory, target.name, identityOf(placed))) return false;
    if (::renameat(directory, temporary->name().c_str(), directory, target.name.c_str()) != 0) return writeFailed(errno);
    temporary->keep();
    if (!quiet) return true;
  }
}

// How long a file that was there may be missing while a sync tool puts its
// new version in place (Syncthing: well under a millisecond).
constexpr auto kMissingFilePatience = std::chrono::seconds(1);

// One reading of the file and the writing of its new content; nothing when
// another program changed the file meanwhile, so that it must be read again.
StoreResult<std::optional<Rewritten>> rewriteOnce(const LocatedFile& target, const NoteFileEdit& edit,
                                                  std::chrono::system_clock::time_point lockedAt, BusyWait& wait,
                                                  const FileIdentity& largestRead) {
  StoreResult<OpenedFile> old = openFileForReading(target.directory.get(), target.name);
  if (!old) return std::move(old).error();
  // A write-protected note file stays unchanged, as if written in place.
  if (old->fd && ::faccessat(target.directory.get(), target.name.c_str(), W_OK, AT_EACCESS) != 0) {
    return writeFailed(errno);
  }
  std::optional<InPlaceWriterWatch> watch;
  if (old->fd) {
    StoreResult<InPlaceWriterWatch> waited = InPlaceWriterWatch::waitForWriters(old->fd.get(), wait);
    if (!waited) return std::move(waited).error();
    watch = *waited;
    // Without a lease nothing tells whether such a program has finished:
    // the file is not written back without the person being told.
    if (!watch->hasLease() && shrankInPlace(watch->state(), largestRead)) {
      return StoreError{.kind = StoreErrorKind::kBeingWritten};
    }
  }
  StoreResult<TemporaryFile> temporary = writeEdited(target, *old, edit, lockedAt, true);
  if (!temporary) return std::move(temporary).error();
  if (watch && (watch->disturbed() || !stillTheFileRead(target, *old))) return std::optional<Rewritten>();
  struct stat newFile;
  if (::fstatat(target.directory.get(), temporary->name().c_str(), &newFile, AT_SYMLINK_NOFOLLOW) != 0) {
    return writeFailed(errno);
  }
  StoreResult<Placed> placed = watch ? exchangeIntoPlace(target, *watch, *temporary, identityOf(newFile), wait)
                                     : renameIntoPlace(target, *temporary);
  if (!placed) return std::move(placed).error();
  if (*placed == Placed::kRenamedOver && !watch->hasLease()) {
    StoreResult<bool> followed = takeUpLateWrites(target, *old, *watch, edit, lockedAt, wait);
    if (!followed) return std::move(followed).error();
    if (!*followed) return std::optional<Rewritten>();
  }
  if (*placed == Placed::kReadAgain) return std::optional<Rewritten>();

  Rewritten rewritten;
  rewritten.directorySyncError = syncDirectory(target.directory.get());
  // The last look at the name, after the sync: a file another program put
  // in place of the new one meanwhile is read, and the edit made on it.
  if (*placed == Placed::kDone && watch && !namesTheFile(target.directory.get(), target.name, identityOf(newFile))) {
    return std::optional<Rewritten>();
  }
  struct stat written;
  if (::fstatat(target.directory.get(), target.name.c_str(), &written, AT_SYMLINK_NOFOLLOW) == 0) {
    rewritten.file = identityOf(written);
  }
  if (old->fd && old->status.st_nlink > 1) rewritten.otherNames = old->status.st_nlink - 1;
  return std::optional<Rewritten>(rewritten);
}

}  // namespace

StoreResult<Rewritten> rewriteNoteFile(const NoteDirectory& directory, const NoteFileEdit& edit,
                                       const FileIdentity& largestRead, const std::function<void()>& busy) {
  const FileSizeSignalHold fileSizeSignalHeld;
  if (StoreResult<void> present = directory.checkPresent(); !present) return std::move(present).error();
  StoreResult<LocatedFile> target = directory.locate(StoreErrorKind::kWriteFailed);
  if (!target) return std::move(target).error();
  if (target->name.empty() || target->name == "." || target->name == "..") return writeFailed(EISDIR);
  if (StoreResult<void> locked = lockDirectory(target->directory.get(), busy); !locked) return std::move(locked).error();
  // A sync tool replaces the file by removing it and renaming its new one
  // in: a file that was read before and is missing now is looked for again
  // for a moment, under the lock, before the save writes one that holds
  // only its own note.
  if (largestRead.exists) {
    BusyWait missing(busy);
    struct stat present;
    while (::fstatat(target->directory.get(), target->name.c_str(), &present, AT_SYMLINK_NOFOLLOW) != 0 &&
           errno == ENOENT && missing.pause(kMissingFilePatience)) {
    }
  }
  const auto lockedAt = std::chrono::system_clock::now();
  BusyWait wait(busy);
  for (;;) {
    StoreResult<std::optional<Rewritten>> rewritten = rewriteOnce(*target, edit, lockedAt, wait, largestRead);
    if (!rewritten) return std::move(rewritten).error();
    if (*rewritten) return **rewritten;
    if (!wait.pause(kWriterPatience)) return StoreError{.kind = StoreErrorKind::kBeingWritten};
  }
}

}  // namespace hiduke
