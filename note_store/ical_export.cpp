#include "note_store/ical_export.h"

#include <fcntl.h>
#include <libical/ical.h>
#include <unistd.h>

#include <cerrno>
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

// "20020315".
std::string dateText(std::chrono::year_month_day day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                static_cast<unsigned>(day.day()));
  return text;
}

// DTSTART;VALUE=DATE of the day. Read from its text: libical's own dates
// reach only to the year 3000.
icalproperty* startOf(std::chrono::year_month_day day) {
  return icalproperty_new_from_string(("DTSTART;VALUE=DATE:" + dateText(day)).c_str());
}

icalcomponent* eventOf(const DatedNote& note, icaltimetype stamp) {
  icalcomponent* event = icalcomponent_new_vevent();
  icalcomponent_add_property(event, icalproperty_new_uid((dateText(note.date) + "@hiduke").c_str()));
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

// `text` as the whole content of `path`, put in place in one step.
StoreResult<void> writeFileAtomically(const std::string& path, std::string_view text) {
  std::string temporary = path + ".XXXXXX";
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) return exportFailed(errno);
  StoreResult<void> written;
  if (const int error = writeAll(fd.get(), text); error != 0) written = exportFailed(error);
  if (written && ::fsync(fd.get()) != 0) written = exportFailed(errno);
  if (const int closeError = fd.close(); written && closeError != 0) written = exportFailed(closeError);
  // A new file readable as a file the user made (0666 less the umask).
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (written && ::chmod(temporary.c_str(), 0666 & ~mask) != 0) written = exportFailed(errno);
  if (written && ::rename(temporary.c_str(), path.c_str()) != 0) written = exportFailed(errno);
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

StoreResult<ExportReport> exportICalendar(const NoteStore& store, const std::string& path) {
  StoreResult<AllNotes> notes = store.allNotes();
  if (!notes) return std::move(notes).error();
  const ICalendar calendar = iCalendarOf(*notes, std::chrono::system_clock::now());
  StoreResult<void> written;
  if (path != "-") {
    written = writeFileAtomically(path, calendar.text);
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
