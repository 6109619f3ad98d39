#include "note_store/conflict_copies.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>

#include "note_store/line_reader.h"
#include "note_store/note_directory.h"

namespace hiduke {

namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 20;

// The number of `count` digits at the start of `text`.
std::optional<int> digitsAt(std::string_view text, size_t count) {
  if (text.size() < count) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// A local date and time as seconds since the epoch; nothing for a time
// that is none.
std::optional<std::int64_t> localSeconds(int year, int month, int day, int hour, int minute, int second) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  time.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&time);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

// "YYYYMMDD-HHMMSS" at the start of `text` (Syncthing, ownCloud).
std::optional<std::int64_t> compactTime(std::string_view text) {
  const auto date = digitsAt(text, 8);
  if (!date || text.size() < 15 || text[8] != '-') return std::nullopt;
  const auto time = digitsAt(text.substr(9), 6);
  if (!time) return std::nullopt;
  return localSeconds(*date / 10000, *date / 100 % 100, *date % 100, *time / 10000, *time / 100 % 100, *time % 100);
}

// The first "YYYY-MM-DD", and a " HHMMSS" after it, in `text` (Nextcloud,
// Dropbox).
std::optional<std::int64_t> dashedTime(std::string_view text) {
  for (size_t at = 0; at + 10 <= text.size(); ++at) {
    const auto year = digitsAt(text.substr(at), 4);
    if (!year || text[at + 4] != '-' || text[at + 7] != '-') continue;
    const auto month = digitsAt(text.substr(at + 5), 2);
    const auto day = digitsAt(text.substr(at + 8), 2);
    if (!month || !day) continue;
    std::optional<int> time;
    if (text.size() >= at + 17 && text[at + 10] == ' ') time = digitsAt(text.substr(at + 11), 6);
    const int hms = time.value_or(0);
    return localSeconds(*year, *month, *day, hms / 10000, hms / 100 % 100, hms % 100);
  }
  return std::nullopt;
}

bool sameFile(const struct stat& status, const FileIdentity& file) {
  return status.st_dev == file.device && status.st_ino == file.inode && status.st_size == file.size &&
         identityOf(status).modifiedNs == file.modifiedNs;
}

}  // namespace

std::optional<ConflictCopyName> readConflictCopyName(std::string_view name, std::string_view noteFileName) {
  const size_t dot = noteFileName.rfind('.');
  const std::string_view stem = dot == 0 || dot == std::string_view::npos ? noteFileName : noteFileName.substr(0, dot);
  const std::string_view extension = noteFileName.substr(stem.size());
  if (name.size() <= noteFileName.size() || !name.starts_with(stem) || !name.ends_with(extension)) return std::nullopt;
  const std::string_view middle = name.substr(stem.size(), name.size() - stem.size() - extension.size());
  for (const std::string_view marker : {std::string_view(".sync-conflict-"), std::string_view("_conflict-")}) {
    if (middle.starts_with(marker) && middle.size() > marker.size()) {
      return ConflictCopyName{compactTime(middle.substr(marker.size()))};
    }
  }
  if (middle.starts_with(" (") && middle.ends_with(")") &&
      middle.find("conflicted copy") != std::string_view::npos) {
    return ConflictCopyName{dashedTime(middle)};
  }
  return std::nullopt;
}

StoreResult<std::vector<ConflictCopy>> findConflictCopies(int directory, const std::string& noteFileName) {
  // A description of its own: readdir moves its position.
  const int listing = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return readFailed(errno);
  DIR* const entries = ::fdopendir(listing);
  if (entries == nullptr) {
    const int error = errno;
    ::close(listing);
    return readFailed(error);
  }
  std::vector<ConflictCopy> copies;
  errno = 0;
  while (const dirent* entry = ::readdir(entries)) {
    const std::optional<ConflictCopyName> copyName = readConflictCopyName(entry->d_name, noteFileName);
    struct stat status;
    if (!copyName || ::fstatat(directory, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode)) {
      errno = 0;
      continue;
    }
    const FileIdentity file = identityOf(status);
    // A name may say any year: kept within what nanoseconds can count.
    constexpr std::int64_t kLatestSeconds = std::numeric_limits<std::int64_t>::max() / 1'000'000'000;
    const std::int64_t made =
        copyName->madeSeconds ? std::clamp(*copyName->madeSeconds, -kLatestSeconds, kLatestSeconds) * 1'000'000'000
                              : file.modifiedNs;
    copies.push_back(ConflictCopy{.name = entry->d_name, .madeNs = made, .file = file});
  }
  const int listError = errno;
  ::closedir(entries);
  if (listError != 0) return readFailed(listError);
  std::sort(copies.begin(), copies.end(), [](const ConflictCopy& a, const ConflictCopy& b) {
    return a.madeNs != b.madeNs ? a.madeNs < b.madeNs : a.name < b.name;
  });
  return copies;
}

StoreResult<std::size_t> removeConflictCopies(int directory, const std::vector<ConflictCopy>& copies) {
  std::size_t removed = 0;
  for (const ConflictCopy& copy : copies) {
    struct stat status;
    if (::fstatat(directory, copy.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(status, copy.file)) {
      continue;
    }
    if (::unlinkat(directory, copy.name.c_str(), 0) != 0) {
      if (errno == ENOENT) continue;
      return writeFailed(errno);
    }
    ++removed;
  }
  return removed;
}

StoreResult<FileContent> readWholeFile(int directory, const std::string& name) {
  StoreResult<OpenedFile> opened = openFileForReading(directory, name);
  if (!opened) return std::move(opened).error();
  FileContent content;
  if (!opened->fd) return content;
  content.bytes.reserve(static_cast<size_t>(std::max<off_t>(opened->status.st_size, 0)));
  StoreResult<void> read =
      readInLines(opened->fd.get(), opened->status.st_size, kReadChunk, [&](std::string_view lines) {
        content.bytes += lines;
        return true;
      });
  if (!read) return std::move(read).error();
  content.file = identityOf(opened->status);
  return content;
}

}  // namespace hiduke
