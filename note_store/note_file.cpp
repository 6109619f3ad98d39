#include "note_store/note_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include "note_store/file_attributes.h"

namespace hiduke {

namespace {

// Pieces a file is read in: small enough to stay in the processor's cache
// for a scan; larger for a rewrite, which writes each piece out again and
// pays per system call.
constexpr size_t kMinChunk = 4096;
constexpr size_t kScanChunk = size_t{1} << 16;
constexpr size_t kRewriteChunk = size_t{1} << 20;
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr int kRandomNameAttempts = 8;
constexpr int kMaxLinkHops = 40;
constexpr auto kLockPatience = std::chrono::seconds(10);
constexpr auto kLockWaitHookInterval = std::chrono::milliseconds(20);

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_;
};

// A failed step: what failed and its errno. The scan or rewrite that ran
// the step adds the operation and the path.
struct Failure {
  StoreErrorKind kind;
  int error_number = 0;
};

Failure ReadFailed(int error_number) { return Failure{StoreErrorKind::kReadFailed, error_number}; }
Failure WriteFailed(int error_number) { return Failure{StoreErrorKind::kWriteFailed, error_number}; }

StoreError ErrorOf(const Failure& failure, StoreOperation operation, const std::string& path) {
  return StoreError{.kind = failure.kind, .operation = operation, .error_number = failure.error_number, .path = path};
}

// Opens `name` (relative to `dir_fd`) for reading. Returns an invalid fd and
// no failure when the file does not exist.
UniqueFd OpenForReading(int dir_fd, const char* name, int extra_flags, std::optional<Failure>* failure,
                        struct stat* st) {
  UniqueFd fd(::openat(dir_fd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | extra_flags));
  if (!fd) {
    if (errno != ENOENT) *failure = ReadFailed(errno);
    return fd;
  }
  if (::fstat(fd.get(), st) != 0) {
    *failure = ReadFailed(errno);
  } else if (S_ISDIR(st->st_mode)) {
    *failure = ReadFailed(EISDIR);
  } else if (!S_ISREG(st->st_mode)) {
    *failure = Failure{StoreErrorKind::kNotRegularFile};
  }
  if (*failure) return UniqueFd();
  return fd;
}

// read() that retries after a signal.
ssize_t ReadSome(int fd, char* buffer, size_t size) {
  for (;;) {
    ssize_t n = ::read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

// Reads `fd` to its end and hands `consume` the bytes in runs of whole lines
// (the last run may end without a terminator), through a buffer of at most
// `chunk` bytes unless a single line is longer. Stops early when `consume`
// returns false. Returns the failure of a read.
std::optional<Failure> ReadInLines(int fd, off_t size_hint, size_t chunk,
                                   const std::function<bool(std::string_view)>& consume) {
  size_t capacity = std::clamp(static_cast<size_t>(std::max<off_t>(size_hint, 0)) + 1, kMinChunk, chunk);
  auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
  size_t filled = 0;
  for (;;) {
    if (filled == capacity) {  // one line longer than the buffer
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(bigger.get(), buffer.get(), filled);
      buffer = std::move(bigger);
      capacity *= 2;
    }
    ssize_t n = ReadSome(fd, buffer.get() + filled, capacity - filled);
    if (n < 0) return ReadFailed(errno);
    if (n == 0) break;
    size_t scanned_from = filled;
    filled += static_cast<size_t>(n);
    const void* last_newline = ::memrchr(buffer.get() + scanned_from, '\n', filled - scanned_from);
    if (last_newline == nullptr) continue;
    size_t whole = static_cast<size_t>(static_cast<const char*>(last_newline) - buffer.get()) + 1;
    if (!consume(std::string_view(buffer.get(), whole))) return std::nullopt;
    std::memmove(buffer.get(), buffer.get() + whole, filled - whole);
    filled -= whole;
  }
  if (filled != 0) consume(std::string_view(buffer.get(), filled));
  return std::nullopt;
}

std::optional<Failure> WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return WriteFailed(errno);
    }
    if (n == 0) return WriteFailed(EIO);
    data.remove_prefix(static_cast<size_t>(n));
  }
  return std::nullopt;
}

std::optional<Failure> Sync(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return WriteFailed(errno);
  }
  return std::nullopt;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether a symbolic link may be followed, by the rule the kernel applies
// in shared directories (fs.protected_symlinks): in a directory that is
// sticky and writable by everyone, only a link of the user's own or of the
// directory's owner. Elsewhere every link is followed.
bool MayFollowLink(const struct stat& dir, const struct stat& link) {
  const bool shared = (dir.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
  return !shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

// The file a path finally names: its directory, open, and its name there.
struct LocatedFile {
  UniqueFd dir_fd;
  std::string name;
};

// Follows symbolic links at `path` to the file they finally name, which may
// not exist yet, and opens its directory. A link that MayFollowLink refuses
// stops it with kUnsafeLink; other failures have `io_kind`. Directories
// along the way are left to the kernel.
std::optional<Failure> LocateFile(std::string path, StoreErrorKind io_kind, LocatedFile* located) {
  for (int hops = 0;; ++hops) {
    std::string name = NameOf(path);
    UniqueFd dir_fd(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir_fd) return Failure{io_kind, errno};
    struct stat link;
    // Anything but a link (a missing file too) ends the chain; the opening
    // of the file, without following, reports what else is wrong with it.
    if (::fstatat(dir_fd.get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode)) {
      *located = LocatedFile{std::move(dir_fd), std::move(name)};
      return std::nullopt;
    }
    if (hops == kMaxLinkHops) return Failure{io_kind, ELOOP};
    struct stat dir;
    if (::fstat(dir_fd.get(), &dir) != 0) return Failure{io_kind, errno};
    if (!MayFollowLink(dir, link)) return Failure{StoreErrorKind::kUnsafeLink};
    std::string target(static_cast<size_t>(std::max<off_t>(link.st_size, 0)) + 256, '\0');
    ssize_t length = ::readlinkat(dir_fd.get(), name.c_str(), target.data(), target.size());
    if (length < 0) return Failure{io_kind, errno};
    if (static_cast<size_t>(length) == target.size()) return Failure{io_kind, ENAMETOOLONG};
    target.resize(static_cast<size_t>(length));
    if (target.empty()) return Failure{io_kind, ENOENT};
    if (target.front() != '/') {
      std::string dir_path = DirectoryOf(path);
      if (dir_path != ".") target = (dir_path == "/" ? dir_path : dir_path + "/") + target;
    }
    path = std::move(target);
  }
}

// Waits up to kLockPatience for another copy of the program to finish its
// rewrite, calling `waiting` (when set) about every kLockWaitHookInterval.
std::optional<Failure> LockExclusive(int dir_fd, const std::function<void()>& waiting) {
  const auto give_up = std::chrono::steady_clock::now() + kLockPatience;
  auto hook_due = std::chrono::steady_clock::now() + kLockWaitHookInterval;
  auto pause = std::chrono::milliseconds(1);
  while (::flock(dir_fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return WriteFailed(errno);
    const auto now = std::chrono::steady_clock::now();
    if (now >= give_up) return WriteFailed(EWOULDBLOCK);
    if (waiting && now >= hook_due) {
      waiting();
      hook_due = std::chrono::steady_clock::now() + kLockWaitHookInterval;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

// Keeps SIGXFSZ from ending the program while a rewrite writes: a write
// beyond the file size limit then fails with EFBIG and is reported like any
// other. The signal such a write raises is taken back before the caller's
// signal mask returns; the caller's disposition is never touched.
class FileSizeSignalHold {
 public:
  FileSizeSignalHold() {
    ::sigemptyset(&signal_);
    ::sigaddset(&signal_, SIGXFSZ);
    ::pthread_sigmask(SIG_BLOCK, &signal_, &previous_mask_);
    was_pending_ = IsPending();
  }
  ~FileSizeSignalHold() {
    if (!was_pending_ && IsPending()) {
      const timespec no_wait{};
      while (::sigtimedwait(&signal_, nullptr, &no_wait) < 0 && errno == EINTR) {
      }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
  }
  FileSizeSignalHold(const FileSizeSignalHold&) = delete;
  FileSizeSignalHold& operator=(const FileSizeSignalHold&) = delete;

 private:
  static bool IsPending() {
    sigset_t pending;
    return ::sigpending(&pending) == 0 && ::sigismember(&pending, SIGXFSZ) == 1;
  }

  sigset_t signal_;
  sigset_t previous_mask_;
  bool was_pending_ = false;
};

bool IsPermissionError(int error_number) {
  return error_number == EACCES || error_number == EPERM || error_number == EROFS;
}

// Sixteen hex digits that another user cannot predict (the clock stands in
// only while the system has no entropy yet, early in boot).
std::string RandomName() {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    bits = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
  return text;
}

// A new temporary file beside the note file; closed and unlinked again
// unless the rewrite renames it into place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlinkat(dir_fd_, name_.c_str(), 0);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates the file `name` in `dir_fd`. The name is the one rewrite of the
  // note file's own and is only used under the directory's lock, so an
  // entry of that name is what an interrupted rewrite left: it is removed
  // (a link as the link, never followed) and the file created anew. In a
  // sticky directory the entry may be another user's, which cannot be
  // removed: then a random name beside it is taken instead.
  std::optional<Failure> Create(int dir_fd, const std::string& name, mode_t mode) {
    const bool removable = ::unlinkat(dir_fd, name.c_str(), 0) == 0 || (errno != EPERM && errno != EACCES);
    if (removable) {
      std::optional<Failure> failure = CreateExclusive(dir_fd, name, mode);
      if (!failure || failure->error_number != EEXIST) return failure;
    }
    for (int attempt = 1;; ++attempt) {
      std::optional<Failure> failure = CreateExclusive(dir_fd, name + "." + RandomName(), mode);
      if (!failure || failure->error_number != EEXIST || attempt == kRandomNameAttempts) return failure;
    }
  }

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  // Makes the content durable and closes the file, reporting a failure that
  // only close detects (for example a delayed write error).
  std::optional<Failure> Commit() {
    if (auto failure = Sync(fd_)) return failure;
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) return WriteFailed(errno);
    return std::nullopt;
  }

  // After a successful rename: the name now belongs to the note file.
  void Keep() { name_.clear(); }

 private:
  // Creates `name` only if no entry of that name exists, not even a link.
  std::optional<Failure> CreateExclusive(int dir_fd, std::string name, mode_t mode) {
    int fd = ::openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return WriteFailed(errno);
    dir_fd_ = dir_fd;
    fd_ = fd;
    name_ = std::move(name);
    return std::nullopt;
  }

  int dir_fd_ = -1;
  std::string name_;
  int fd_ = -1;
};

// One save or delete as the steps of an atomic rewrite, each run only when
// the ones before it succeeded. The members are declared in the order the
// steps make them, so a temporary file left by a failure is unlinked while
// the directory is still locked.
class NoteFileRewrite {
 public:
  // Follows symbolic links at `path` to the file to replace, opens its
  // directory and locks it against other rewrites.
  std::optional<Failure> LockTarget(const std::string& path, const std::function<void()>& lock_waiting) {
    LocatedFile target;
    if (auto failure = LocateFile(path, StoreErrorKind::kWriteFailed, &target)) return failure;
    name_ = std::move(target.name);
    if (name_.empty() || name_ == "." || name_ == "..") return WriteFailed(EISDIR);
    dir_fd_ = std::move(target.dir_fd);
    return LockExclusive(dir_fd_.get(), lock_waiting);
  }

  // Opens the file again under the lock: another copy of the program may
  // have saved since this one last read it. A missing file reads as empty.
  std::optional<Failure> OpenOldFile() {
    std::optional<Failure> failure;
    old_fd_ = OpenForReading(dir_fd_.get(), name_.c_str(), O_NOFOLLOW, &failure, &old_stat_);
    if (failure) return failure;
    // A write-protected note file stays unchanged, as if written in place.
    if (old_fd_ && ::faccessat(dir_fd_.get(), name_.c_str(), W_OK, AT_EACCESS) != 0) return WriteFailed(errno);
    return std::nullopt;
  }

  // The temporary file beside the note file (`.hiduke.dat.tmp` for
  // hiduke.dat), with the old file's attributes; private until it has them.
  // A new file gets 0666 less the umask.
  std::optional<Failure> CreateTemporary() {
    const std::string name = "." + name_ + std::string(kTemporarySuffix);
    if (auto failure = temporary_.Create(dir_fd_.get(), name, old_fd_ ? 0600 : 0666)) {
      // The file itself may be written (OpenOldFile checked), the directory
      // that must take the new file beside it not.
      if (old_fd_ && IsPermissionError(failure->error_number)) failure->kind = StoreErrorKind::kDirectoryNotWritable;
      return failure;
    }
    if (!old_fd_) return std::nullopt;
    return GiveOldAttributes();
  }

  // Owner, group, extended attributes (ACLs among them) and permission bits
  // of the old file, compared with what the new file got (a setgid
  // directory gives it the directory's group). A file of another user is not
  // silently taken over: a save that cannot give the new file to that user
  // is refused. A group the user cannot give (one the user is not a member
  // of) does not refuse the save: the file silently takes the group the new
  // file was created with (the user's, or a setgid directory's), and the old
  // group permission bits then apply to that group.
  std::optional<Failure> GiveOldAttributes() {
    const int fd = temporary_.fd();
    struct stat created;
    if (::fstat(fd, &created) != 0) return WriteFailed(errno);
    // The owner first: changing it clears set-id bits and file capabilities.
    if (old_stat_.st_uid != created.st_uid) {
      if (::fchown(fd, old_stat_.st_uid, old_stat_.st_gid) != 0) return Failure{StoreErrorKind::kOwnerNotKept, errno};
    } else if (old_stat_.st_gid != created.st_gid) {
      [[maybe_unused]] int ignored = ::fchown(fd, static_cast<uid_t>(-1), old_stat_.st_gid);
    }
    // The ACL before the permission bits: the new file never grants more
    // than the old one, and fchmod with the old bits leaves the ACL as it is.
    if (int error = CopyExtendedAttributes(old_fd_.get(), fd); error != 0) {
      return Failure{StoreErrorKind::kAttributesNotCopied, error};
    }
    if (::fchmod(fd, old_stat_.st_mode & 07777) != 0) return WriteFailed(errno);
    return std::nullopt;
  }

  // Streams the old file through `editor` into the temporary file, a run of
  // whole lines at a time, without holding the whole content in memory.
  std::optional<Failure> StreamEdited(NoteEditor& editor) {
    ContentPieces pieces;
    std::optional<Failure> write_failure;
    auto write_pieces = [&]() {
      for (size_t i = 0; i < pieces.size() && !write_failure; ++i) write_failure = WriteAll(temporary_.fd(), pieces[i]);
      pieces.clear();
      return !write_failure;
    };
    if (old_fd_) {
      std::optional<Failure> read_failure =
          ReadInLines(old_fd_.get(), old_stat_.st_size, kRewriteChunk, [&](std::string_view lines) {
            editor.Edit(lines, &pieces);
            return write_pieces();
          });
      if (read_failure) return read_failure;
      if (write_failure) return write_failure;
    }
    editor.Finish(&pieces);
    write_pieces();
    return write_failure;
  }

  std::optional<Failure> Commit() { return temporary_.Commit(); }

  std::optional<Failure> Rename() {
    if (::renameat(dir_fd_.get(), temporary_.name().c_str(), dir_fd_.get(), name_.c_str()) != 0) {
      return WriteFailed(errno);
    }
    temporary_.Keep();
    return std::nullopt;
  }

  // Makes the rename itself durable. Returns the errno of a failure, else 0;
  // directories that cannot be synced (EINVAL, EROFS) count as synced.
  int SyncDirectory() const {
    std::optional<Failure> failure = Sync(dir_fd_.get());
    if (!failure || failure->error_number == EINVAL || failure->error_number == EROFS) return 0;
    return failure->error_number;
  }

 private:
  UniqueFd dir_fd_;
  std::string name_;
  UniqueFd old_fd_;
  struct stat old_stat_ {};
  TemporaryFile temporary_;
};

}  // namespace

StoreResult<void> ScanNoteFile(const std::string& path,
                               const std::function<void(std::string_view)>& consume) {
  std::optional<Failure> failure;
  struct stat st;
  // Opened at once unless it is a symbolic link (or a loop of them).
  UniqueFd fd = OpenForReading(AT_FDCWD, path.c_str(), O_NOFOLLOW, &failure, &st);
  if (failure && failure->error_number == ELOOP) {
    LocatedFile target;
    failure = LocateFile(path, StoreErrorKind::kReadFailed, &target);
    if (!failure) {
      fd = OpenForReading(target.dir_fd.get(), target.name.c_str(), O_NOFOLLOW, &failure, &st);
    } else if (failure->error_number == ENOENT) {
      failure.reset();  // a link into a missing directory: an empty store
    }
  }
  if (fd) {  // else missing (an empty store) or failed
    failure = ReadInLines(fd.get(), st.st_size, kScanChunk, [&](std::string_view lines) {
      consume(lines);
      return true;
    });
  }
  if (failure) return ErrorOf(*failure, StoreOperation::kRead, path);
  return {};
}

StoreResult<SaveReport> RewriteNoteFile(const std::string& path, NoteEditor editor, StoreOperation operation,
                                        std::function<void()> lock_waiting) {
  const FileSizeSignalHold file_size_signal_held;
  NoteFileRewrite rewrite;
  std::optional<Failure> failure = rewrite.LockTarget(path, lock_waiting);
  if (!failure) failure = rewrite.OpenOldFile();
  if (!failure) failure = rewrite.CreateTemporary();
  if (!failure) failure = rewrite.StreamEdited(editor);
  if (!failure) failure = rewrite.Commit();
  if (!failure) failure = rewrite.Rename();
  if (failure) return ErrorOf(*failure, operation, path);

  // The new content is in place: a failed directory sync only warns that
  // it may not survive a crash of the system.
  SaveReport report;
  if (int error_number = rewrite.SyncDirectory(); error_number != 0) {
    report.warning = ErrorOf(Failure{StoreErrorKind::kNotDurable, error_number}, operation, path);
  }
  return report;
}

}  // namespace hiduke
