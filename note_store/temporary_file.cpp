#include "note_store/temporary_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace hiduke {

namespace {

constexpr int kRandomNameAttempts = 8;
constexpr std::size_t kRandomNameLength = 16;

// Sixteen hex digits that another user cannot predict (the clock stands in
// only while the system has no entropy yet, early in boot).
std::string randomName() {
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    bits = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  char text[kRandomNameLength + 1];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
  return text;
}

bool isRandomNameOf(std::string_view entry, std::string_view fixedName) {
  if (entry.size() != fixedName.size() + 1 + kRandomNameLength || !entry.starts_with(fixedName) ||
      entry[fixedName.size()] != '.') {
    return false;
  }
  for (const char c : entry.substr(fixedName.size() + 1)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Removes the user's own temporaries of the random pattern made before the
// lock was taken: no save is writing them, so a killed save left them.
void removeLeftovers(int directory, const std::string& fixedName, std::chrono::system_clock::time_point lockedAt) {
  const int listing = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* entries = ::fdopendir(listing);
  if (entries == nullptr) {
    ::close(listing);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    if (!isRandomNameOf(entry->d_name, fixedName)) continue;
    struct stat st;
    if (::fstatat(directory, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid()) {
      continue;
    }
    const auto modified = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    if (modified < lockedAt) ::unlinkat(directory, entry->d_name, 0);
  }
  ::closedir(entries);
}

// Creates `name` only if no entry of that name exists, not even a link.
StoreResult<int> createExclusive(int directory, const std::string& name, mode_t mode) {
  const int fd = ::openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return writeFailed(errno);
  return fd;
}

}  // namespace

StoreResult<TemporaryFile> TemporaryFile::create(int directory, const std::string& noteName, mode_t mode,
                                                 std::chrono::system_clock::time_point lockedAt) {
  const std::string fixedName = "." + noteName + ".tmp";
  const bool removable = ::unlinkat(directory, fixedName.c_str(), 0) == 0 || (errno != EPERM && errno != EACCES);
  if (removable) {
    StoreResult<int> fd = createExclusive(directory, fixedName, mode);
    if (fd) return TemporaryFile(directory, fixedName, *fd);
    if (fd.error().errorNumber != EEXIST) return std::move(fd).error();
  }
  removeLeftovers(directory, fixedName, lockedAt);
  for (int attempt = 1;; ++attempt) {
    std::string name = fixedName + "." + randomName();
    StoreResult<int> fd = createExclusive(directory, name, mode);
    if (fd) return TemporaryFile(directory, std::move(name), *fd);
    if (fd.error().errorNumber != EEXIST || attempt == kRandomNameAttempts) return std::move(fd).error();
  }
}

TemporaryFile::~TemporaryFile() {
  fd_ = UniqueFd();
  if (!name_.empty()) ::unlinkat(directory_, name_.c_str(), 0);
}

StoreResult<void> TemporaryFile::commit() {
  while (::fsync(fd_.get()) != 0) {
    if (errno != EINTR) return writeFailed(errno);
  }
  if (const int error = fd_.close(); error != 0) return writeFailed(error);
  return {};
}

}  // namespace hiduke
