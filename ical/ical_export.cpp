#include "ical/ical_export.h"

#include <fcntl.h>
#include <libical/ical.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <optional>
#include <cstdio>
#include <memory>

#include "note_store/unique_fd.h"
#include "note_store/write_all.h"

namespace hiduke {

namespace {

constexpr const char* kProductId = "-//hiduke//hiduke//JA";

struct ComponentFree {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

// "20020315": the date as iCalendar writes it.
std::string basicDateText(std::chrono::year_month_day day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                static_cast<unsigned>(day.day()));
  return text;
}

// DTSTART;VALUE=DATE of the day. Read from its text: libical's own dates
// reach only to the year 3000.
icalproperty* startOf(std::chrono::year_month_day day) {
  return icalproperty_new_from_string(("DTSTART;VALUE=DATE:" + basicDateText(day)).c_str());
}

icalcomponent* eventOf(const DatedNote& note, icaltimetype stamp) {
  icalcomponent* event = icalcomponent_new_vevent();
  icalcomponent_add_property(event, icalproperty_new_uid((basicDateText(note.date) + "@hiduke").c_str()));
  icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
  icalcomponent_add_property(event, startOf(note.date));
  const std::string text(note.text);
  icalcomponent_add_property(event, icalproperty_new_summary(text.substr(0, text.find('\n')).c_str()));
  icalcomponent_add_property(event, icalproperty_new_description(text.c_str()));
  return event;
}

StoreError exportFailed(int errorNumber) {
  return StoreError{.kind = StoreErrorKind::kWriteFailed, .operation = StoreOperation::kExport, .errorNumber = errorNumber};
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

// `text` as the whole content of the target, put in place in one step.
StoreResult<void> writeFileAtomically(const ExportTarget& target, std::string_view text) {
  std::string temporary = target.path + ".XXXXXX";
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) return exportFailed(errno);
  StoreResult<void> written;
  if (const int error = writeAll(fd.get(), text); error != 0) written = exportFailed(error);
  // The owner where the user may give it (root, or a group of the user's
  // own); the permissions after it, as a change of owner clears some.
  if (target.replaced && ::fchown(fd.get(), target.replaced->st_uid, target.replaced->st_gid) != 0 &&
      ::fchown(fd.get(), static_cast<uid_t>(-1), target.replaced->st_gid) != 0) {
    // Not the user's to give: the new file stays the user's own.
  }
  if (written && ::fchmod(fd.get(), target.permissions) != 0) written = exportFailed(errno);
  if (written && ::fsync(fd.get()) != 0) written = exportFailed(errno);
  if (const int closeError = fd.close(); written && closeError != 0) written = exportFailed(closeError);
  if (written && ::rename(temporary.c_str(), target.path.c_str()) != 0) written = exportFailed(errno);
  if (!written) ::unlink(temporary.c_str());
  return written;
}

}  // namespace

ICalendar iCalendarOf(const AllNotes& notes, std::chrono::system_clock::time_point stamp) {
  Component calendar(icalcomponent_new_vcalendar());
  icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(kProductId));
  const icaltimetype stampTime =
      icaltime_from_timet_with_zone(std::chrono::system_clock::to_time_t(stamp), 0, icaltimezone_get_utc_timezone());
  ICalendar result;
  for (const DatedNote& note : notes.notes) {
    if (note.date.year() < std::chrono::year(1) || note.date.year() > std::chrono::year(9999)) {
      ++result.outsideYears;
      continue;
    }
    icalcomponent_add_component(calendar.get(), eventOf(note, stampTime));
    ++result.events;
  }
  char* text = icalcomponent_as_ical_string_r(calendar.get());
  result.text = text;
  icalmemory_free_buffer(text);
  return result;
}

StoreResult<ExportReport> exportICalendar(const NoteStore& store, const std::string& path,
                                          [[maybe_unused]] const ICalProgress& progress) {
  StoreResult<ExportTarget> target = path == "-" ? StoreResult<ExportTarget>(ExportTarget{}) : exportTargetOf(store, path);
  if (!target) {
    StoreError error = std::move(target).error();
    error.path = path;
    return error;
  }
  StoreResult<AllNotes> notes = store.allNotes();
  if (!notes) return std::move(notes).error();
  const ICalendar calendar = iCalendarOf(*notes, std::chrono::system_clock::now());
  StoreResult<void> written;
  if (path != "-") {
    written = writeFileAtomically(*target, calendar.text);
  } else if (const int error = writeAll(STDOUT_FILENO, calendar.text); error != 0) {
    written = exportFailed(error);
  }
  if (!written) {
    StoreError error = std::move(written).error();
    error.path = path;
    return error;
  }
  return ExportReport{.events = calendar.events, .otherLines = notes->otherLines, .outsideYears = calendar.outsideYears};
}

}  // namespace hiduke
