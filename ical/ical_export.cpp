#include "ical/ical_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "ical/background_writer.h"
#include "ical/ical_text.h"
#include "note_store/cp932.h"
#include "note_store/note_lines.h"
#include "note_store/note_record.h"
#include "note_store/unique_fd.h"

namespace hiduke {

namespace {

constexpr std::string_view kProductId = "-//hiduke//hiduke//JA";
// The name a calendar program shows for the imported calendar.
constexpr std::string_view kCalendarName = "hiduke の予定";
// Bytes gathered before they are handed over to be written.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

// "20020315": the date as iCalendar writes it (a year of the calendar's,
// 1 to 9999).
std::array<char, 8> basicDate(std::chrono::year_month_day day) {
  const auto year = static_cast<unsigned>(static_cast<int>(day.year()));
  const unsigned month = static_cast<unsigned>(day.month());
  const unsigned dayOfMonth = static_cast<unsigned>(day.day());
  const auto digit = [](unsigned value) { return static_cast<char>('0' + value % 10); };
  return {digit(year / 1000), digit(year / 100),  digit(year / 10),       digit(year),
          digit(month / 10),  digit(month),       digit(dayOfMonth / 10), digit(dayOfMonth)};
}

// What tells this computer apart from another: its machine id, or its
// host name where it has none.
std::string machineId() {
  std::string id;
  std::getline(std::ifstream("/etc/machine-id"), id);
  if (!id.empty()) return id;
  std::array<char, HOST_NAME_MAX + 1> host{};
  if (::gethostname(host.data(), host.size() - 1) == 0) id = host.data();
  return id;
}

// The part of the UIDs that belongs to one note file on one computer, so
// that two people's exports in one calendar keep apart while a later
// export of the same file updates its events: 16 hex digits of an FNV-1a
// hash of the machine id and the file's full path.
std::string noteFileTag(const std::string& notePath) {
  std::uint64_t hash = 14695981039346656037u;
  for (const char byte : machineId() + '\0' + notePath) {
    hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211u;
  }
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// The first line of `note` with something to read in it; empty when none.
std::string_view summaryLine(std::string_view note) {
  while (!note.empty()) {
    const std::size_t end = note.find('\n');
    const std::string_view line = note.substr(0, end);
    for (const char byte : line) {
      if (byte != ' ' && byte != '\t' && !isLeftOutControl(static_cast<unsigned char>(byte))) return line;
    }
    if (end == std::string_view::npos) break;
    note.remove_prefix(end + 1);
  }
  return {};
}

// Dates as indexes of a table of every date the file can hold.
constexpr std::size_t kDateSlots = std::size_t{kMaxDateField + 1} * 12 * 31;
std::size_t dateSlot(std::chrono::year_month_day date) {
  return (static_cast<std::size_t>(static_cast<int>(date.year())) * 12 + static_cast<unsigned>(date.month()) - 1) * 31 +
         static_cast<unsigned>(date.day()) - 1;
}

// For each date, the number (from 1, in file order) of its last record:
// the one whose text is its note. Taken from the system as untouched
// zero pages, so that only the dates the file holds take memory (4 bytes
// each, 48 MB at most).
struct FreeTable {
  void operator()(std::uint32_t* table) const { std::free(table); }
};
using LastRecordTable = std::unique_ptr<std::uint32_t[], FreeTable>;

StoreError exportFailed(int errorNumber) {
  return StoreError{.kind = StoreErrorKind::kWriteFailed, .operation = StoreOperation::kExport, .errorNumber = errorNumber};
}

StoreError exportOutOfMemory(const std::string& path) {
  return StoreError{.kind = StoreErrorKind::kOutOfMemory, .operation = StoreOperation::kExport, .errorNumber = ENOMEM,
                    .path = path};
}

// Where an export writes: the file that `path` finally names, links
// followed as the note file's own save follows them, and the permissions
// and owner that the new file takes in its place.
struct ExportTarget {
  std::string path;
  mode_t permissions = 0;
  std::optional<struct stat> replaced;  // the file there now, if any
};

// `path` with its symbolic links followed, up to the kernel's own limit.
StoreResult<std::string> linkTarget(std::string path) {
  for (int links = 0; links < 40; ++links) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? StoreResult<std::string>(path) : exportFailed(errno);
    if (!S_ISLNK(status.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return exportFailed(errno);
    target.resize(static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    path = target.starts_with('/') || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
  }
  return exportFailed(ELOOP);
}

StoreResult<ExportTarget> exportTargetOf(const NoteStore& store, const std::string& path) {
  StoreResult<std::string> target = linkTarget(path);
  if (!target) return std::move(target).error();
  ExportTarget result{.path = std::move(*target), .replaced = std::nullopt};
  struct stat status {};
  if (::stat(result.path.c_str(), &status) == 0) {
    if (!S_ISREG(status.st_mode)) {
      return StoreError{.kind = StoreErrorKind::kNotRegularFile, .operation = StoreOperation::kExport};
    }
    const FileIdentity noteFile = store.fileIdentity();
    if (noteFile.exists && noteFile.device == status.st_dev && noteFile.inode == status.st_ino) {
      return StoreError{.kind = StoreErrorKind::kExportOverNoteFile, .operation = StoreOperation::kExport};
    }
    result.permissions = status.st_mode & 07777;
    result.replaced = status;
  } else if (errno != ENOENT) {
    return exportFailed(errno);
  } else if (const FileIdentity noteFile = store.fileIdentity(); noteFile.exists) {
    // Private notes make a private export.
    result.permissions = noteFile.permissions;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    result.permissions = 0666 & ~mask;
  }
  return result;
}

// The file an export writes, a temporary beside the target until it is
// complete and put in the target's place in one step; removed unless it
// got there.
class PendingFile {
 public:
  static StoreResult<PendingFile> create(const ExportTarget& target) {
    std::string temporary = target.path + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd) return exportFailed(errno);
    return PendingFile(std::move(temporary), std::move(fd));
  }
  PendingFile(PendingFile&& other) noexcept : path_(std::exchange(other.path_, {})), fd_(std::move(other.fd_)) {}
  PendingFile& operator=(PendingFile&&) = delete;
  ~PendingFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int fd() const { return fd_.get(); }

  // Gives the written file the target's owner and permissions and puts it
  // in the target's place.
  StoreResult<void> putInPlace(const ExportTarget& target) {
    // The owner where the user may give it (root, or a group of the user's
    // own); the permissions after it, as a change of owner clears some.
    if (target.replaced && ::fchown(fd_.get(), target.replaced->st_uid, target.replaced->st_gid) != 0 &&
        ::fchown(fd_.get(), static_cast<uid_t>(-1), target.replaced->st_gid) != 0) {
      // Not the user's to give: the new file stays the user's own.
    }
    if (::fchmod(fd_.get(), target.permissions) != 0) return exportFailed(errno);
    if (::fsync(fd_.get()) != 0) return exportFailed(errno);
    if (const int closeError = fd_.close(); closeError != 0) return exportFailed(closeError);
    if (::rename(path_.c_str(), target.path.c_str()) != 0) return exportFailed(errno);
    path_.clear();
    return {};
  }

 private:
  PendingFile(std::string path, UniqueFd fd) : path_(std::move(path)), fd_(std::move(fd)) {}
  std::string path_;
  UniqueFd fd_;
};

// The calendar's text as the notes stream past, written out in chunks.
class CalendarWriter {
 public:
  CalendarWriter(int fd, bool toFile, const std::string& uidTag, std::chrono::system_clock::time_point stamp)
      : writer_(fd, toFile), uidEnd_('-' + uidTag + "@hiduke\r\n") {
    const std::time_t time = std::chrono::system_clock::to_time_t(stamp);
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "DTSTAMP:%Y%m%dT%H%M%SZ\r\n", &utc);
    stampLine_ = text;
    out_.reserve(kWriteChunk * 2);
    out_ += "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    appendFoldedLine(out_, "PRODID:" + std::string(kProductId));
    appendFoldedLine(out_, "X-WR-CALNAME:" + std::string(kCalendarName));
  }

  // One note as an all-day event on its day; false once a write has failed.
  bool addEvent(std::chrono::year_month_day date, std::string_view note) {
    const std::array<char, 8> day = basicDate(date);
    out_ += "BEGIN:VEVENT\r\nUID:";
    out_.append(day.data(), day.size());
    out_ += uidEnd_;
    out_ += stampLine_;
    out_ += "DTSTART;VALUE=DATE:";
    out_.append(day.data(), day.size());
    out_ += "\r\n";
    const std::string_view summary = summaryLine(note);
    const std::size_t leftOut = appendTextProperty("SUMMARY:", summary.empty() ? kBlankEventSummary : summary);
    // The whole note where it says more than its summary.
    if (note.size() == summary.size()) {
      controlCharacters_ += leftOut;
    } else {
      controlCharacters_ += appendTextProperty("DESCRIPTION:", note);
    }
    // A note reminds; it does not make the day busy.
    out_ += "TRANSP:TRANSPARENT\r\nEND:VEVENT\r\n";
    ++events_;
    return out_.size() < kWriteChunk || writer_.write(out_);
  }

  // Ends the calendar and waits for it to be written: 0, or the errno of
  // the write that failed.
  int finish() {
    out_ += "END:VCALENDAR\r\n";
    writer_.write(out_);
    return writer_.finish();
  }

  // Stops, what is not written yet left out: 0, or the errno of a write
  // or sync that failed.
  int abandon() { return writer_.abandon(); }

  std::size_t events() const { return events_; }
  std::size_t controlCharacters() const { return controlCharacters_; }

 private:
  // The property `name` (with its ":") of the TEXT value `text`, made in
  // place and folded only where it is longer than a line, as most are not:
  // the characters left out.
  std::size_t appendTextProperty(std::string_view name, std::string_view text) {
    const std::size_t start = out_.size();
    out_ += name;
    const std::size_t leftOut = appendTextValue(out_, text);
    if (out_.size() - start > kLineOctets) {
      line_.assign(out_, start);
      out_.resize(start);
      appendFoldedLine(out_, line_);
    } else {
      out_ += "\r\n";
    }
    return leftOut;
  }

  BackgroundWriter writer_;
  std::string uidEnd_;  // what follows the date in each UID line
  std::string stampLine_;
  std::string out_;
  std::string line_;
  std::size_t events_ = 0;
  std::size_t controlCharacters_ = 0;
};

}  // namespace

StoreResult<ExportReport> exportICalendar(const NoteStore& store, const std::string& path,
                                          const ICalProgress& progress) try {
  const auto named = [&](StoreError error) {
    error.operation = StoreOperation::kExport;
    error.path = path;
    return error;
  };
  StoreResult<ExportTarget> target = path == "-" ? StoreResult<ExportTarget>(ExportTarget{}) : exportTargetOf(store, path);
  if (!target) return named(std::move(target).error());
  StoreResult<Cp932Decoder> decoder = Cp932Decoder::open();
  if (!decoder) return named(std::move(decoder).error());
  std::optional<PendingFile> file;
  if (path != "-") {
    StoreResult<PendingFile> created = PendingFile::create(*target);
    if (!created) return named(std::move(created).error());
    file.emplace(std::move(*created));
  }
  const LastRecordTable lastRecords(static_cast<std::uint32_t*>(std::calloc(kDateSlots, sizeof(std::uint32_t))));
  if (!lastRecords) throw std::bad_alloc();

  const int fd = file ? file->fd() : STDOUT_FILENO;
  const std::string uidTag = noteFileTag(store.path());
  const auto stamp = std::chrono::system_clock::now();
  std::optional<CalendarWriter> calendar(std::in_place, fd, file.has_value(), uidTag, stamp);
  ExportReport report;
  int pass = 0;
  std::uint32_t records = 0;  // of the pass so far
  bool tooManyRecords = false;  // for the table: a file of more than 32 GB
  // A note file holds each date once, as this program writes it: the
  // notes are then written on the first pass, as they come. A date found
  // twice takes that back, and the second pass writes them.
  bool writingFirstPass = file.has_value();
  int failure = 0;  // errno of a write that failed
  std::uint64_t bytesRead = 0;
  std::uint64_t bytesShown = 0;
  bool cancelled = false;
  std::string unquoted;
  std::string utf8;
  const auto writeEvent = [&](const RecordHead& head) {
    if (head.date.year() < std::chrono::year(1) || head.date.year() > std::chrono::year(9999)) {
      ++report.outsideYears;
      return true;
    }
    const std::string_view text = storedTextOf(head.textField, unquoted);
    // Only grown: each resize would fill what it adds.
    if (const std::size_t room = Cp932Decoder::room(text.size()); utf8.size() < room) utf8.resize(room);
    char* const end = decoder->decode(text, utf8.data());
    decodeLineBreaks({utf8.data(), end});
    return calendar->addEvent(head.date, std::string_view(utf8.data(), static_cast<std::size_t>(end - utf8.data())));
  };
  // Where the first pass's writing was taken back: the bytes read then and
  // the progress shown, from which the rest of the reading fills the bar.
  std::uint64_t takenBackAt = 0;
  std::uint64_t shownThen = 0;
  const auto takeBackFirstPass = [&] {
    writingFirstPass = false;
    takenBackAt = bytesRead;
    shownThen = bytesShown;
    // A failure the disk told of is the export's, though what failed is
    // taken back: it would not be told again.
    failure = calendar->abandon();
    calendar.reset();
    report.outsideYears = 0;
    if (failure == 0 && (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)) failure = errno;
    if (failure != 0) return false;
    calendar.emplace(fd, true, uidTag, stamp);
    return true;
  };
  // The first pass finds the last record of each date, the second writes
  // those records' notes as they come.
  StoreResult<FileIdentity> read = store.readLines(2, [&](const NoteStore::LinesRead& run) {
    if (run.pass != pass) {
      if (writingFirstPass) return false;  // every note is written
      pass = run.pass;
      records = 0;
    }
    bool written = true;
    forEachNoteLine(run.lines, [&](const NoteLine& line) {
      const std::optional<RecordHead> head = readRecordHead(line.body);
      if (!head) {
        report.otherLines += run.pass == 0 && !line.body.empty();
        return;
      }
      if (records == UINT32_MAX) {
        tooManyRecords = true;
        return;
      }
      const std::uint32_t record = ++records;
      std::uint32_t& last = lastRecords[dateSlot(head->date)];
      if (run.pass == 0) {
        const bool seenBefore = last != 0;
        last = record;
        if (!writingFirstPass || !written) return;
        written = seenBefore ? takeBackFirstPass() : writeEvent(*head);
        return;
      }
      if (last != record || !written) return;
      written = writeEvent(*head);
    });
    bytesRead += run.lines.size();
    if (!written || tooManyRecords) return false;
    const std::uint64_t total = 2 * static_cast<std::uint64_t>(std::max<std::int64_t>(run.fileSize, 0));
    // A note written on the first pass is done with.
    if (writingFirstPass) {
      bytesShown = std::min(2 * bytesRead, total);
    } else if (total > takenBackAt) {
      // In floating point: the product of two sizes overflows 64 bits.
      const double rest = static_cast<double>(std::min(bytesRead, total) - takenBackAt) / static_cast<double>(total - takenBackAt);
      bytesShown = std::max(bytesShown, shownThen + static_cast<std::uint64_t>(rest * static_cast<double>(total - shownThen)));
    }
    if (progress && !progress(bytesShown, total)) {
      cancelled = true;
      return false;
    }
    return true;
  });
  if (!read) return std::move(read).error();
  if (cancelled) return named(StoreError{.kind = StoreErrorKind::kCancelled});
  if (tooManyRecords) return named(exportFailed(EFBIG));
  if (failure == 0) failure = calendar->finish();
  if (failure != 0) return named(exportFailed(failure));
  if (file) {
    if (StoreResult<void> placed = file->putInPlace(*target); !placed) return named(std::move(placed).error());
  }
  report.events = calendar->events();
  report.controlCharacters = calendar->controlCharacters();
  return report;
} catch (const std::bad_alloc&) {
  return exportOutOfMemory(path);
} catch (const std::system_error&) {  // a thread that could not start: the system is short of what it takes
  return exportOutOfMemory(path);
}

}  // namespace hiduke
