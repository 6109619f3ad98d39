#include "note_store/note_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace hiduke {

namespace {

constexpr int kMaxLinkHops = 40;

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The full path of `path` as the process sees it now, in the system's
// bytes, whatever encoding the directory names are in.
StoreResult<std::string> absolutePath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      // The current directory has been removed: there is no path to it.
      if (errno == ENOENT) return StoreError{.kind = StoreErrorKind::kDirectoryGone, .path = path};
      return readFailed(errno);
    }
    buffer.resize(buffer.size() * 2);
  }
  std::string cwd(buffer.data());
  return (cwd == "/" ? cwd : cwd + "/") + path;
}

// Whether a symbolic link may be followed, by the rule the kernel applies
// in shared directories (fs.protected_symlinks): in a directory that is
// sticky and writable by everyone, only a link of the user's own or of the
// directory's owner. Elsewhere every link is followed.
bool mayFollowLink(const struct stat& directory, const struct stat& link) {
  const bool shared = (directory.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
  return !shared || link.st_uid == ::geteuid() || link.st_uid == directory.st_uid;
}

StoreError failure(StoreErrorKind kind, int errorNumber) { return StoreError{.kind = kind, .errorNumber = errorNumber}; }

}  // namespace

StoreResult<NoteDirectory> NoteDirectory::open(const std::string& filePath) {
  StoreResult<std::string> display = absolutePath(filePath);
  if (!display) return std::move(display).error();
  UniqueFd fd(::open(directoryOf(filePath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) {
    StoreError error = readFailed(errno);
    error.path = std::move(*display);
    return error;
  }
  NoteDirectory directory(std::move(fd), nameOf(filePath), std::move(*display));
  if (StoreResult<void> present = directory.checkPresent(); !present) return std::move(present).error();
  return directory;
}

StoreResult<void> NoteDirectory::checkPresent() const {
  struct stat st;
  if (::fstat(fd_.get(), &st) != 0) return readFailed(errno);
  if (st.st_nlink == 0) return StoreError{.kind = StoreErrorKind::kDirectoryGone};
  return {};
}

StoreResult<LocatedFile> NoteDirectory::locate(StoreErrorKind ioKind) const {
  // A description of its own, not a duplicate: the lock a rewrite takes on
  // it must go when the rewrite closes it.
  UniqueFd directory(::openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory) return failure(ioKind, errno);
  std::string name = fileName_;
  for (int hops = 0;; ++hops) {
    struct stat link;
    // Anything but a link (a missing file too) ends the chain; the opening
    // of the file, without following, reports what else is wrong with it.
    if (::fstatat(directory.get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode)) {
      return LocatedFile{std::move(directory), std::move(name)};
    }
    if (hops == kMaxLinkHops) return failure(ioKind, ELOOP);
    struct stat directoryStatus;
    if (::fstat(directory.get(), &directoryStatus) != 0) return failure(ioKind, errno);
    if (!mayFollowLink(directoryStatus, link)) return StoreError{.kind = StoreErrorKind::kUnsafeLink};
    std::string target(static_cast<size_t>(std::max<off_t>(link.st_size, 0)) + 256, '\0');
    const ssize_t length = ::readlinkat(directory.get(), name.c_str(), target.data(), target.size());
    if (length < 0) return failure(ioKind, errno);
    if (static_cast<size_t>(length) == target.size()) return failure(ioKind, ENAMETOOLONG);
    target.resize(static_cast<size_t>(length));
    if (target.empty()) return failure(ioKind, ENOENT);
    // A relative target starts from the directory that holds the link.
    const int base = target.front() == '/' ? AT_FDCWD : directory.get();
    UniqueFd next(::openat(base, directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!next) return failure(ioKind, errno);
    directory = std::move(next);
    // A target that ends in "/" names its last directory itself, which is
    // then opened as "." there and found to be no file.
    name = target.back() == '/' ? "." : nameOf(target);
  }
}

StoreResult<OpenedFile> NoteDirectory::openForReading() const {
  if (StoreResult<void> present = checkPresent(); !present) return std::move(present).error();
  // Opened at once unless it is a symbolic link (or a loop of them).
  StoreResult<OpenedFile> opened = openFileForReading(fd_.get(), fileName_);
  if (opened || opened.error().errorNumber != ELOOP) return opened;
  StoreResult<LocatedFile> target = locate(StoreErrorKind::kReadFailed);
  if (!target) {
    // A link into a missing directory: an empty store.
    if (target.error().errorNumber == ENOENT) return OpenedFile{};
    return std::move(target).error();
  }
  return openFileForReading(target->directory.get(), target->name);
}

FileIdentity NoteDirectory::identity() const {
  struct stat st;
  if (::fstatat(fd_.get(), fileName_.c_str(), &st, 0) != 0) return {};
  return identityOf(st);
}

StoreResult<OpenedFile> openFileForReading(int directory, const std::string& name) {
  OpenedFile file;
  file.fd = UniqueFd(::openat(directory, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (!file.fd) {
    if (errno == ENOENT) return OpenedFile{};
    return readFailed(errno);
  }
  if (::fstat(file.fd.get(), &file.status) != 0) return readFailed(errno);
  if (S_ISDIR(file.status.st_mode)) return readFailed(EISDIR);
  if (!S_ISREG(file.status.st_mode)) return StoreError{.kind = StoreErrorKind::kNotRegularFile};
  return file;
}

}  // namespace hiduke
