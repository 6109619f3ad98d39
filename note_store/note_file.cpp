#include "note_store/note_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <utility>

namespace hiduke {

namespace {

// Pieces a file is read in: small enough to stay in the processor's cache
// for a scan; larger for a rewrite, which writes each piece out again and
// pays per system call.
constexpr size_t kMinChunk = 4096;
constexpr size_t kScanChunk = size_t{1} << 16;
constexpr size_t kRewriteChunk = size_t{1} << 20;
constexpr std::string_view kTemporaryInfix = ".tmp";
constexpr size_t kTemporarySuffixLength = 6;
constexpr std::string_view kTemporaryAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kMaxLinkHops = 40;
constexpr auto kLockPatience = std::chrono::seconds(10);

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Why an operation failed: an errno value, or a phrase of our own.
struct Failure {
  std::string reason;
};

Failure FromErrno(int error_number) { return Failure{ErrnoReason(error_number)}; }
Failure FromErrno() { return FromErrno(errno); }
Failure NotRegular() { return Failure{"通常のファイルではありません"}; }

StoreError ReadError(const std::string& path, const Failure& failure, std::string_view notice = {}) {
  return StoreError{path + " を読み込めませんでした（" + failure.reason + "）。" + std::string(notice)};
}

StoreError WriteError(const std::string& path, const Failure& failure, std::string_view notice) {
  return StoreError{path + " に書き込めませんでした（" + failure.reason + "）。" + std::string(notice)};
}

// Opens `name` (relative to `dir_fd`) for reading. Returns an invalid fd and
// no failure when the file does not exist.
UniqueFd OpenForReading(int dir_fd, const char* name, int extra_flags, std::optional<Failure>* failure,
                        struct stat* st) {
  UniqueFd fd(::openat(dir_fd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | extra_flags));
  if (!fd) {
    if (errno != ENOENT) *failure = FromErrno();
    return fd;
  }
  if (::fstat(fd.get(), st) != 0) {
    *failure = FromErrno();
  } else if (S_ISDIR(st->st_mode)) {
    *failure = FromErrno(EISDIR);
  } else if (!S_ISREG(st->st_mode)) {
    *failure = NotRegular();
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
    if (n < 0) return FromErrno();
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
      return FromErrno();
    }
    if (n == 0) return FromErrno(EIO);
    data.remove_prefix(static_cast<size_t>(n));
  }
  return std::nullopt;
}

std::optional<Failure> Sync(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return FromErrno();
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

// Follows symbolic links at `path` to the file they finally name, which may
// not exist yet. Directories along the way are left as they are.
std::optional<Failure> ResolveLinks(const std::string& path, std::string* target) {
  std::string current = path;
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno == ENOENT) break;
      return FromErrno();
    }
    if (!S_ISLNK(st.st_mode)) break;
    if (hops == kMaxLinkHops) return FromErrno(ELOOP);
    std::string link(static_cast<size_t>(std::max<off_t>(st.st_size, 0)) + 256, '\0');
    ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
    if (length < 0) return FromErrno();
    if (static_cast<size_t>(length) == link.size()) return FromErrno(ENAMETOOLONG);
    link.resize(static_cast<size_t>(length));
    if (link.empty()) return FromErrno(ENOENT);
    if (link.front() != '/') {
      std::string dir = DirectoryOf(current);
      if (dir != ".") link = (dir == "/" ? dir : dir + "/") + link;
    }
    current = std::move(link);
  }
  *target = std::move(current);
  return std::nullopt;
}

std::optional<Failure> LockExclusive(int dir_fd) {
  auto give_up = std::chrono::steady_clock::now() + kLockPatience;
  auto pause = std::chrono::milliseconds(1);
  while (::flock(dir_fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return FromErrno();
    if (std::chrono::steady_clock::now() >= give_up) return FromErrno(EWOULDBLOCK);
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

// Removes temporary files of `file_name` that an interrupted rewrite left
// behind. Only called under the directory's lock, when no rewrite runs.
void RemoveStaleTemporaries(int dir_fd, std::string_view file_name) {
  int list_fd = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (list_fd < 0) return;
  DIR* dir = ::fdopendir(list_fd);
  if (dir == nullptr) {
    ::close(list_fd);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (IsRewriteTemporary(entry->d_name, file_name)) ::unlinkat(dir_fd, entry->d_name, 0);
  }
  ::closedir(dir);
}

// A new, empty temporary file in the directory; unlinked again when the
// rewrite fails.
class TemporaryFile {
 public:
  TemporaryFile(int dir_fd, const std::string& file_name) : dir_fd_(dir_fd), file_name_(file_name) {}
  ~TemporaryFile() {
    CloseQuietly();
    if (!name_.empty()) ::unlinkat(dir_fd_, name_.c_str(), 0);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  std::optional<Failure> Create(mode_t mode) {
    std::random_device random;
    std::uniform_int_distribution<size_t> pick(0, kTemporaryAlphabet.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = "." + file_name_ + std::string(kTemporaryInfix);
      for (size_t i = 0; i < kTemporarySuffixLength; ++i) name += kTemporaryAlphabet[pick(random)];
      int fd = ::openat(dir_fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (fd >= 0) {
        fd_ = fd;
        name_ = std::move(name);
        return std::nullopt;
      }
      if (errno != EEXIST) return FromErrno();
    }
    return FromErrno(EEXIST);
  }

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  // Closes the file, reporting a failure that close detects (for example a
  // delayed write error).
  std::optional<Failure> Close() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) return FromErrno();
    return std::nullopt;
  }

  // After a successful rename: the name now belongs to the note file.
  void Keep() { name_.clear(); }

  void CloseQuietly() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int dir_fd_;
  std::string file_name_;
  std::string name_;
  int fd_ = -1;
};

}  // namespace

bool IsRewriteTemporary(std::string_view entry, std::string_view file_name) {
  size_t prefix = 1 + file_name.size() + kTemporaryInfix.size();
  if (entry.size() != prefix + kTemporarySuffixLength) return false;
  if (entry.front() != '.' || entry.substr(1, file_name.size()) != file_name ||
      entry.substr(1 + file_name.size(), kTemporaryInfix.size()) != kTemporaryInfix) {
    return false;
  }
  return entry.substr(prefix).find_first_not_of(kTemporaryAlphabet) == std::string_view::npos;
}

StoreResult<void> ScanNoteFile(const std::string& path,
                               const std::function<void(std::string_view)>& consume) {
  std::optional<Failure> open_failure;
  struct stat st;
  UniqueFd fd = OpenForReading(AT_FDCWD, path.c_str(), 0, &open_failure, &st);
  if (open_failure) return ReadError(path, *open_failure);
  if (!fd) return {};  // missing: an empty store

  std::optional<Failure> failure = ReadInLines(fd.get(), st.st_size, kScanChunk, [&](std::string_view lines) {
    consume(lines);
    return true;
  });
  if (failure) return ReadError(path, *failure);
  return {};
}

StoreResult<void> RewriteNoteFile(const std::string& path, NoteEditor editor, std::string_view unchanged_notice) {
  std::string target;
  if (auto failure = ResolveLinks(path, &target)) return WriteError(path, *failure, unchanged_notice);
  const std::string dir = DirectoryOf(target);
  const std::string name = NameOf(target);
  if (name.empty() || name == "." || name == "..") {
    return WriteError(path, FromErrno(EISDIR), unchanged_notice);
  }

  UniqueFd dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir_fd) return WriteError(path, FromErrno(), unchanged_notice);
  if (auto failure = LockExclusive(dir_fd.get())) return WriteError(path, *failure, unchanged_notice);
  RemoveStaleTemporaries(dir_fd.get(), name);

  // Read the file again under the lock, as the rewrite streams it to the
  // temporary file: another copy of the program may have saved since this
  // one last read it.
  std::optional<Failure> failure;
  struct stat old_stat;
  UniqueFd old_fd = OpenForReading(dir_fd.get(), name.c_str(), O_NOFOLLOW, &failure, &old_stat);
  if (failure) return ReadError(path, *failure, unchanged_notice);
  const bool exists = static_cast<bool>(old_fd);
  // A write-protected note file stays unchanged, as if written in place.
  if (exists && ::faccessat(dir_fd.get(), name.c_str(), W_OK, AT_EACCESS) != 0) {
    return WriteError(path, FromErrno(), unchanged_notice);
  }

  TemporaryFile temporary(dir_fd.get(), name);
  if ((failure = temporary.Create(exists ? 0600 : 0666))) return WriteError(path, *failure, unchanged_notice);
  if (exists) {
    // The owner first: changing it may clear set-id bits that fchmod sets.
    if (old_stat.st_uid != ::geteuid() || old_stat.st_gid != ::getegid()) {
      [[maybe_unused]] int ignored = ::fchown(temporary.fd(), old_stat.st_uid, old_stat.st_gid);
    }
    if (::fchmod(temporary.fd(), old_stat.st_mode & 07777) != 0) failure = FromErrno();
  }

  ContentPieces pieces;
  auto write_pieces = [&]() {
    for (size_t i = 0; i < pieces.size() && !failure; ++i) failure = WriteAll(temporary.fd(), pieces[i]);
    pieces.clear();
    return !failure;
  };
  if (exists && !failure) {
    std::optional<Failure> read_failure = ReadInLines(old_fd.get(), old_stat.st_size, kRewriteChunk, [&](std::string_view lines) {
      editor.Edit(lines, &pieces);
      return write_pieces();
    });
    if (read_failure) return ReadError(path, *read_failure, unchanged_notice);
  }
  if (!failure) {
    editor.Finish(&pieces);
    write_pieces();
  }
  if (!failure) failure = Sync(temporary.fd());
  if (failure) {
    temporary.CloseQuietly();
    return WriteError(path, *failure, unchanged_notice);
  }
  if ((failure = temporary.Close())) return WriteError(path, *failure, unchanged_notice);
  if (::renameat(dir_fd.get(), temporary.name().c_str(), dir_fd.get(), name.c_str()) != 0) {
    return WriteError(path, FromErrno(), unchanged_notice);
  }
  temporary.Keep();

  // Make the rename itself durable. The new content is in place already, so
  // a failure here is reported without claiming the note was not saved.
  while (::fsync(dir_fd.get()) != 0) {
    if (errno == EINTR) continue;
    if (errno == EINVAL || errno == EROFS) break;  // directories that cannot be synced
    return StoreError{path + " を書き換えましたが、ディスクへの書き込みを確認できませんでした（" +
                      ErrnoReason(errno) + "）。"};
  }
  return {};
}

}  // namespace hiduke
