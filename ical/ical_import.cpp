#include "ical/ical_import.h"

#include <fcntl.h>
#include <libical/ical.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stop_token>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "ical/ical_text.h"
#include "ical/simple_event.h"
#include "note_store/cp932.h"
#include "note_store/huge_pages.h"
#include "note_store/last_of_each_date.h"
#include "note_store/note_record.h"
#include "note_store/unique_fd.h"

namespace hiduke {

ImportRange defaultImportRange(std::chrono::year_month_day today) {
  using std::chrono::years;
  const auto inYears = [&](int offset) {
    const std::chrono::year_month_day day = today + years(offset);
    return day.ok() ? day : std::chrono::year_month_day(day.year() / day.month() / std::chrono::last);
  };
  return {inYears(-1), inYears(2)};
}

ImportRange importRangeOf(std::chrono::year_month_day today, std::optional<std::chrono::year_month_day> first,
                          std::optional<std::chrono::year_month_day> last) {
  using std::chrono::sys_days;
  const ImportRange byDefault = defaultImportRange(today);
  const auto length = sys_days{byDefault.last} - sys_days{byDefault.first};
  ImportRange range{first.value_or(byDefault.first), last.value_or(byDefault.last)};
  if (sys_days{range.first} <= sys_days{range.last}) return range;
  if (first && !last) range.last = std::chrono::year_month_day{sys_days{range.first} + length};
  if (last && !first) range.first = std::chrono::year_month_day{sys_days{range.last} - length};
  return range;
}

namespace {

using std::chrono::sys_days;

// Lines read between two reports of progress.
constexpr std::size_t kLinesPerProgress = 4096;
constexpr std::size_t kReadChunk = std::size_t{1} << 20;
// A calendar read on two threads: below it, starting one costs more than it gains.
constexpr std::uint64_t kTwoThreadBytes = std::uint64_t{4} << 20;

struct ComponentFree {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

StoreError importError(StoreErrorKind kind, const std::string& path, int errorNumber = 0) {
  return StoreError{.kind = kind, .operation = StoreOperation::kImport, .errorNumber = errorNumber, .path = path};
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c) != prefix[i]) return false;
  }
  return true;
}

// Whether `text`, which is not UTF-8 throughout, reads as Shift_JIS: it
// has more bytes that begin no UTF-8 character than UTF-8 characters of
// several bytes (UTF-8 with a stray byte has fewer), and all of it is
// code page 932.
bool readsAsShiftJis(std::string_view text) {
  std::size_t wellFormed = 0;
  std::size_t illFormed = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceLength(text.substr(i));
    wellFormed += length > 1;
    illFormed += length == 0;
    i += std::max<std::size_t>(length, 1);
  }
  if (illFormed <= wellFormed) return false;
  const StoreResult<std::string> decoded = decodeCp932(text);
  return decoded && decoded->find("\uFFFD") == std::string::npos;
}

bool isWellFormedUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceLength(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// What the note file holds for a character other calendars write that
// code page 932 lacks (Outlook's no-break space, dashes), or nothing.
std::string_view lookAlikeOf(std::string_view character) {
  if (character == "\u00A0") return " ";
  if (character == "\u2013") return "-";
  if (character == "\u2014") return "\x81\x5C";  // ―
  return {};
}

// The lines of a text, at "\n", "\r\n" or a lone "\r".
template <typename Visit>
void forEachLine(std::string_view text, Visit&& visit) {
  while (true) {
    // Not find_first_of, which looks each byte up in the set with memchr.
    const auto found = std::find_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
    const std::size_t end = found == text.end() ? std::string_view::npos : static_cast<std::size_t>(found - text.begin());
    visit(text.substr(0, end));
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + (text.substr(end, 2) == "\r\n" ? 2 : 1));
  }
}

// Appends `lines` (a file's lines, each ended by "\n" with or without a
// "\r" before it) to `out` as content lines, each ended by "\r\n": a line
// that begins with a space or a tab goes on the one before it, empty or not.
void appendUnfolded(std::string& out, std::string_view lines) {
  for (bool first = true; !lines.empty(); first = false) {
    const std::size_t end = std::min(lines.find('\n'), lines.size());
    std::string_view line = lines.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.remove_prefix(std::min(end + 1, lines.size()));
    if (!first && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      out.resize(out.size() - 2);  // the line before goes on
      line.remove_prefix(1);
    }
    out.append(line).append("\r\n");
  }
}

// One event's text on one day: in a buffer shared by all, sorted at the
// end by day and start.
struct DayLine {
  std::int32_t day;      // days since 1970-01-01
  std::int16_t minutes;  // start in the day, -1 for all day (or begun on a day before)
  std::uint32_t offset;  // grows with the events' places in the file
  std::uint32_t length;
  bool before(const DayLine& other) const {
    if (day != other.day) return day < other.day;
    if (minutes != other.minutes) return minutes < other.minutes;
    return offset < other.offset;
  }
};

// The events of a calendar as lines of days, read one at a time.
class EventReader {
 public:
  EventReader(const ImportRange& range, Cp932Encoder encoder)
      : first_(sys_days(range.first)), last_(sys_days(range.last)), encoder_(encoder), calendar_(icalcomponent_new_vcalendar()) {}

  // A component of the calendar, read whole from its lines as the file
  // holds them (`folded`: some continued on the next), and the event they
  // are when it is a simple one and they were read unfolded: time zones
  // are kept, events turned into lines, anything else passed over.
  void take(std::string_view lines, bool folded, std::optional<EventParts>&& simple) {
    if (folded) simple = readSimpleEvent(unfolded(lines));
    if (simple) {
      ++events_;
      addEvent(*simple, nullptr, 0);
      return;
    }
    if (!folded) component_.assign(lines);
    Component component(icalparser_parse_string(component_.c_str()));
    const bool isEvent = startsWithNoCase(component_, "BEGIN:VEVENT");
    if (!component || (isEvent && icalcomponent_isa(component.get()) != ICAL_VEVENT_COMPONENT)) {
      if (isEvent) {
        ++events_;
        unreadable_.push_back({.problem = EventProblem::kUnreadable});
      }
      return;
    }
    switch (icalcomponent_isa(component.get())) {
      case ICAL_VTIMEZONE_COMPONENT:
        icalcomponent_add_component(calendar_.get(), component.release());
        break;
      case ICAL_VEVENT_COMPONENT: {
        ++events_;
        icalcomponent* const event = component.get();
        // Inside the calendar, so that its TZIDs find the time zones.
        icalcomponent_add_component(calendar_.get(), event);
        const char* uid = icalcomponent_get_uid(event);
        const std::uint64_t series = std::hash<std::string_view>{}(uid != nullptr ? uid : "");
        // An instance edited or cancelled on its own (as phones write it)
        // takes the place of the series' instance at that start, whichever
        // of the two the file holds first.
        // Read with its TZID, which icalcomponent_get_recurrenceid passes over.
        icalproperty* const recurrenceId = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
        if (recurrenceId != nullptr) {
          replaced_.push_back({series, instanceStart(icalproperty_get_datetime_with_component(recurrenceId, event))});
        }
        if (icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) {
          icalcomponent_remove_component(calendar_.get(), event);
          break;
        }
        const char* summary = icalcomponent_get_summary(event);
        const char* description = icalcomponent_get_description(event);
        const icaltimetype start = icalcomponent_get_dtstart(event);
        icalproperty* const startProperty = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        const EventParts parts{.summary = summary != nullptr ? summary : "",
                               .description = description != nullptr ? description : "",
                               .escaped = false,
                               .start = start,
                               .end = icalcomponent_get_dtend(event),
                               // A time zone defined after the events that use it is not known yet.
                               .unknownTimeZone = start.is_date == 0 && start.zone == nullptr && startProperty != nullptr &&
                                                  icalproperty_get_first_parameter(startProperty, ICAL_TZID_PARAMETER) != nullptr};
        const bool repeats = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
                             icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr;
        if (repeatsEndlesslyOften(event, start)) {
          // It fills every day from its start: told of where that falls in the range.
          const std::chrono::year_month_day day = localDay(start);
          if (!day.ok() || std::chrono::sys_days{day} <= last_) {
            unreadable_.push_back({.summary = std::string(parts.summary),
                                   .start = day.ok() ? std::chrono::year_month_day{std::max(std::chrono::sys_days{day}, first_)} : day,
                                   .problem = EventProblem::kTooManyLines});
          }
        } else {
          if (repeats) readRecurrenceDates(event, isWallClock(start));
          addEvent(parts, repeats ? event : nullptr, series, repeats || recurrenceId != nullptr);
        }
        icalcomponent_remove_component(calendar_.get(), event);
        break;
      }
      default:
        break;
    }
  }

  // A component the file ends inside: told of, with its summary and day
  // where libical reads them in what is there.
  void takeCutShort(std::string_view lines) {
    const std::string whole = std::string(lines) + "END:VEVENT\r\n";
    const Component event(icalparser_parse_string(whole.c_str()));
    const char* summary = event ? icalcomponent_get_summary(event.get()) : nullptr;
    unreadable_.push_back({.summary = summary != nullptr ? summary : "",
                           .start = localDay(event ? icalcomponent_get_dtstart(event.get()) : icaltime_null_time()),
                           .problem = EventProblem::kCutShort});
  }

  // The same for a simple event alone (read by a thread of its own, which
  // leaves every other component to the reader of the whole): false, with
  // nothing taken, when it is another.
  bool takeSimple(std::string_view lines, bool folded, std::optional<EventParts>&& simple) {
    if (folded) simple = readSimpleEvent(unfolded(lines));
    if (!simple) return false;
    take(lines, false, std::move(simple));
    return true;
  }

  // Takes the events `later` read, which follow those read here in the
  // calendar.
  void takeLater(EventReader& later) {
    const std::size_t shift = texts_.size();
    texts_ += later.texts_;
    if (texts_.size() > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    for (DayLine line : later.lines_) {
      line.offset += static_cast<std::uint32_t>(shift);
      lines_.push_back(line);
    }
    events_ += later.events_;
    unreadable_.reserve(unreadable_.size() + later.unreadable_.size());
    std::move(later.unreadable_.begin(), later.unreadable_.end(), std::back_inserter(unreadable_));
    // Its memory given back now, not after the plan.
    std::string().swap(later.texts_);
    std::vector<DayLine>().swap(later.lines_);
    std::vector<UnreadableEvent>().swap(later.unreadable_);
  }

  // Room taken at once for the lines and texts of a calendar of `bytes`:
  // more than it will need, which costs no memory until it is written, so
  // that they are never copied as they grow.
  void reserveFor(std::uint64_t bytes) {
    lines_.reserve(static_cast<std::size_t>(bytes / 32));
    texts_.reserve(static_cast<std::size_t>(bytes / 2));
    adviseHugePages(lines_.data(), lines_.capacity() * sizeof(DayLine));
    adviseHugePages(texts_.data(), texts_.capacity());
  }

  std::size_t events() const { return events_; }
  // What kept an event's text from being converted, if anything did.
  const std::optional<StoreError>& failure() const { return failure_; }
  std::vector<UnreadableEvent>& unreadable() { return unreadable_; }
  std::vector<DayLine>& lines() { return lines_; }

  // Leaves out the lines of the series' instances that an instance of its
  // own replaced or cancelled.
  void dropReplacedInstances() {
    if (replaced_.empty()) return;
    std::sort(replaced_.begin(), replaced_.end());
    constexpr std::uint32_t kDropped = std::numeric_limits<std::uint32_t>::max();
    for (const Instance& instance : instances_) {
      if (!std::binary_search(replaced_.begin(), replaced_.end(), instance.key)) continue;
      for (std::uint32_t i = instance.firstLine; i < instance.firstLine + instance.lineCount; ++i) lines_[i].length = kDropped;
    }
    std::erase_if(lines_, [](const DayLine& line) { return line.length == kDropped; });
  }
  const std::string& texts() const { return texts_; }

 private:
  // A series (its UID's hash) and the start of one of its instances, as
  // libical's seconds.
  using InstanceKey = std::pair<std::uint64_t, std::time_t>;
  // The lines one instance of a repeating event filled.
  struct Instance {
    InstanceKey key;
    std::uint32_t firstLine;
    std::uint32_t lineCount;
  };

  // Whether `time` is read on its own clock: a date, or a time of no zone.
  static bool isWallClock(const icaltimetype& time) {
    return time.is_date != 0 || (time.zone == nullptr && !icaltime_is_utc(time));
  }

  // The RDATEs of `event` with a TZID as UTC times, or on the local clock
  // for an event on its own clock, and periods as their starts: libical
  // expands an RDATE's time without its TZID, as if it were UTC, and
  // passes a period over.
  void readRecurrenceDates(icalcomponent* event, bool wallClock) {
    for (icalproperty* date = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); date != nullptr;
         date = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
      icaldatetimeperiodtype value = icalproperty_get_rdate(date);
      if (icaltime_is_null_time(value.time)) value.time = value.period.start;
      value.period = icalperiodtype_null_period();
      if (icalparameter* tzid = icalproperty_get_first_parameter(date, ICAL_TZID_PARAMETER); tzid != nullptr) {
        const char* name = icalparameter_get_tzid(tzid);
        icaltimezone* zone = name != nullptr ? icalcomponent_get_timezone(calendar_.get(), name) : nullptr;
        if (zone == nullptr && name != nullptr) zone = icaltimezone_get_builtin_timezone(name);
        if (zone != nullptr && value.time.is_date == 0) {
          value.time.zone = zone;
          value.time = wallClock ? floatingTime(localSeconds(value.time))
                                 : icaltime_convert_to_zone(value.time, icaltimezone_get_utc_timezone());
          icalproperty_remove_parameter_by_kind(date, ICAL_TZID_PARAMETER);
        }
      }
      icalproperty_set_rdate(date, value);
    }
  }

  // The start of an instance as libical counts its repetitions' starts.
  static std::time_t instanceStart(icaltimetype time) {
    return icaltime_as_timet_with_zone(time, time.zone != nullptr ? time.zone : icaltimezone_get_utc_timezone());
  }

  struct Expansion {
    EventReader* reader;
    std::uint64_t series;
    bool wallClock;  // a date or floating time: its UTC reading is its clock's
    bool allDay;
    std::uint32_t offset;
    std::uint32_t length;
    std::chrono::sys_days first;  // the days it may fill
    std::chrono::sys_days last;
    std::size_t days = 0;  // lines so far, a line a day of each repetition
    std::chrono::sys_days firstFilled = std::chrono::sys_days::max();
  };

  // The longest a repetition is taken to last, for where libical begins.
  static constexpr std::chrono::days kLongestRepetition{366 * 100};

  // A rule of more than one repetition a day that goes on for more than
  // 100,000 of them: libical would go through each, for hours.
  static bool repeatsEndlesslyOften(icalcomponent* event, const icaltimetype& start) {
    constexpr double kMostRepetitions = 100'000;
    for (icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); rule != nullptr;
         rule = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
      const icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
      const double secondsApart = std::max<short>(recurrence.interval, 1) * (recurrence.freq == ICAL_SECONDLY_RECURRENCE   ? 1.0
                                                                             : recurrence.freq == ICAL_MINUTELY_RECURRENCE ? 60.0
                                                                             : recurrence.freq == ICAL_HOURLY_RECURRENCE   ? 3600.0
                                                                                                                           : 86400.0);
      if (secondsApart >= 86400) continue;
      if (recurrence.count != 0) {
        if (recurrence.count > kMostRepetitions) return true;
      } else if (icaltime_is_null_time(recurrence.until) || icaltime_is_null_time(start) ||
                 (localSeconds(recurrence.until) - localSeconds(start)).count() / secondsApart > kMostRepetitions) {
        return true;
      }
    }
    return false;
  }

  // An event on its days; `repeating` is the event when it repeats, for
  // libical to expand, `series` its UID's hash. The range bounds the days
  // of a series (`ofSeries`: repeating, or an instance of one edited on
  // its own); an event on its own fills every day it covers, so that no
  // note of an export is lost to the range, unless it lasts longer than
  // the bound.
  void addEvent(const EventParts& parts, icalcomponent* repeating, std::uint64_t series, bool ofSeries = false) {
    const icaltimetype& start = parts.start;
    if (icaltime_is_null_time(start) || !isReadableTime(start)) {
      unreadable_.push_back({.summary = unescapedText(parts.summary, parts.escaped), .problem = EventProblem::kNoStart});
      return;
    }
    const std::size_t textStart = texts_.size();
    characters_.clear();
    notUtf8_ = false;
    if (!appendText(parts)) return;
    // Kept compact with 32-bit offsets: 4 GB of events' text is beyond an import.
    if (texts_.size() > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    const std::chrono::sys_seconds startSeconds = localSeconds(start);
    const std::chrono::sys_seconds endSeconds = icaltime_is_null_time(parts.end) ? startSeconds : localSeconds(parts.end);
    // One longer than the bound fills the range, as a series does.
    const bool bound = ofSeries || endSeconds - startSeconds > std::chrono::days(kMaxLinesOfOneEvent);
    Expansion expansion{.reader = this,
                        .series = series,
                        .wallClock = isWallClock(start),
                        .allDay = start.is_date != 0,
                        .offset = static_cast<std::uint32_t>(textStart),
                        .length = static_cast<std::uint32_t>(texts_.size() - textStart),
                        .first = bound ? first_ : sys_days{std::chrono::year(0) / 1 / 1},
                        .last = bound ? last_ : sys_days{std::chrono::year(kMaxDateField) / 12 / 31}};
    const std::size_t linesBefore = lines_.size();
    const std::size_t instancesBefore = instances_.size();
    // A day on either side: the range is in local days, libical's in UTC.
    // Within years 1 to 9999, past which libical gives no repetition at
    // all (it gives none after 2582 either way).
    const auto edge = [](sys_days day) {
      icaltimetype time =
          floatingTime(std::clamp(day, sys_days{std::chrono::year(1) / 1 / 1}, sys_days{std::chrono::year(9999) / 12 / 31}));
      time.is_date = 1;
      return time;
    };
    if (repeating == nullptr) {
      addOccurrence(expansion, startSeconds, endSeconds);
    } else {
      // libical gives only the repetitions that start in its window: it
      // begins as long before the range as one lasts, so that a repetition
      // begun before the range still fills the range's first days.
      const auto lasting = std::clamp(std::chrono::ceil<std::chrono::days>(endSeconds - startSeconds), std::chrono::days(0),
                                      kLongestRepetition);
      icalcomponent_foreach_recurrence(repeating, edge(first_ - std::chrono::days(1) - lasting),
                                       edge(last_ + std::chrono::days(2)), &EventReader::addSpan, &expansion);
    }
    // An event that fills no day is told of only where it would fill too
    // many.
    EventProblem problem = EventProblem::kNone;
    if (expansion.days > kMaxLinesOfOneEvent) {
      problem = EventProblem::kTooManyLines;
    } else if (lines_.size() != linesBefore) {
      if (parts.unknownTimeZone) problem = EventProblem::kUnknownTimeZone;
      if (notUtf8_) problem = EventProblem::kNotUtf8;  // left out, which says more
    }
    // Its bytes read as UTF-8 would write other characters than it holds.
    if (problem == EventProblem::kTooManyLines || notUtf8_) {
      lines_.resize(linesBefore);
      instances_.resize(instancesBefore);
    }
    if (lines_.size() == linesBefore) {
      texts_.resize(textStart);
      if (problem != EventProblem::kTooManyLines) characters_.clear();
    }
    if (!characters_.empty() || problem != EventProblem::kNone) {
      unreadable_.push_back(
          {.summary = notUtf8_ ? summaryAsWritten(parts.summary) : unescapedText(parts.summary, parts.escaped),
           .start = expansion.firstFilled != std::chrono::sys_days::max() ? std::chrono::year_month_day{expansion.firstFilled}
                                                                          : localDay(start),
           .characters = characters_,
           .problem = problem});
    }
  }

  // The summary of an event whose text is not UTF-8, shown as written:
  // itself where it is UTF-8, else in code page 932 (a byte 0x5C there is
  // more often part of a character, 表, than an escape).
  static std::string summaryAsWritten(std::string_view summary) {
    if (isWellFormedUtf8(summary)) return std::string(summary);
    StoreResult<std::string> decoded = decodeCp932(summary);
    return decoded ? std::move(*decoded) : std::string();
  }

  // The event's text, as the note file will hold it: its summary, then the
  // description's lines, ";" as the full-width "；" that a note holds, and
  // characters code page 932 lacks left out, and control characters too (a
  // NUL would cut the note short). This program's export gives a note as
  // its first line with more than spaces (（予定） where none has), and the
  // whole note as the description: the description alone is then the note.
  // False when the text cannot be converted: the failure is kept.
  bool appendText(const EventParts& parts) {
    const std::string_view summary = readableText(parts.summary, parts.escaped, summaryRoom_);
    const std::string_view body = readableText(parts.description, parts.escaped, bodyRoom_);
    // A timed event's first line takes its time: its summary is left out
    // only where the description's first line is the summary.
    const bool allDay = parts.start.is_date != 0;
    std::optional<std::string_view> firstLine;
    forEachLine(body, [&](std::string_view line) {
      if (!firstLine && (!allDay || line.find_first_not_of(" \t") != std::string_view::npos)) firstLine = line;
    });
    const bool blankNote = allDay && !body.empty() && !firstLine && summary == kBlankEventSummary;
    const std::size_t start = texts_.size();
    if (!summary.empty() && summary != firstLine && !blankNote) {
      if (!appendNoteText(summary)) return false;
      if (!body.empty()) texts_ += '\n';
    }
    if (!appendNoteText(body)) return false;
    if (!characters_.empty()) {
      // "帰省 🚄" is kept as "帰省", not with the space that led to what was
      // left out. A space byte is never part of a double-byte character.
      const std::string text = texts_.substr(start);
      texts_.resize(start);
      bool first = true;
      forEachLine(text, [&](std::string_view line) {
        if (!std::exchange(first, false)) texts_ += '\n';
        texts_.append(line.substr(0, line.find_last_not_of(' ') + 1));
      });
    }
    // An all-day event with nothing to read in it still marks its day.
    if (allDay && !blankNote && texts_.find_first_not_of("\n\t ", start) == std::string::npos) {
      texts_.resize(start);
      return appendNoteText(kBlankEventSummary);
    }
    return true;
  }

  // Appends `text` (UTF-8) to texts_ in code page 932 with "\n" line
  // breaks, ";" made "；", control characters but the tab left out, and
  // characters code page 932 lacks left out and kept in characters_, in
  // one pass.
  bool appendNoteText(std::string_view text) {
    std::string& out = texts_;
    const auto plain = [](unsigned char c) { return c >= 0x20 && c < 0x7F && c != ';'; };
    for (std::size_t i = 0; i < text.size();) {
      if (static_cast<unsigned char>(text[i]) >= 0x80) {
        const std::size_t before = out.size();
        StoreResult<std::size_t> taken = encoder_.appendCharacter(text.substr(i), out, characters_);
        if (!taken) {
          failure_ = std::move(taken).error();
          return false;
        }
        const std::string_view character = text.substr(i, *taken);
        i += *taken;
        if (out.size() != before) continue;
        // Left out: a byte that begins no character. A text in code page
        // 932 throughout (Shift_JIS) is not UTF-8; in other text the byte
        // is left out as a character the file cannot hold.
        if (utf8SequenceLength(character) == 0 && readsAsShiftJis(text)) {
          notUtf8_ = true;
          return true;
        }
        if (const std::string_view alike = lookAlikeOf(character); !alike.empty()) {
          out += alike;
          std::erase(characters_, character);
        }
        continue;
      }
      std::size_t end = i;
      while (end < text.size() && plain(static_cast<unsigned char>(text[end]))) ++end;
      if (end != i) {
        out.append(text.substr(i, end - i));
        i = end;
        continue;
      }
      const char c = text[i++];
      if (c == ';') {
        out += "\x81\x47";  // ；
      } else if (c == '\r' || c == '\n') {
        if (c == '\r' && i < text.size() && text[i] == '\n') ++i;
        out += '\n';
      } else if (c == '\t') {
        out += c;
      }
    }
    return true;
  }

  std::string_view unfolded(std::string_view lines) {
    component_.clear();
    appendUnfolded(component_, lines);
    return component_;
  }

  // The seconds of `time` on the local clock, counted as if it were UTC:
  // a date or a floating time as it is written, a UTC or TZID time moved
  // to the local time zone. Worked out from its fields: libical's own
  // count of seconds drifts by days far from 1970.
  static std::chrono::sys_seconds localSeconds(const icaltimetype& time) {
    using namespace std::chrono;
    const auto secondsOf = [](const icaltimetype& t) {
      return sys_days(year(t.year) / static_cast<unsigned>(t.month) / static_cast<unsigned>(t.day)) + hours(t.hour) +
             minutes(t.minute) + seconds(t.second);
    };
    if (time.is_date != 0) return sys_days(year(time.year) / static_cast<unsigned>(time.month) / static_cast<unsigned>(time.day));
    if (time.zone == nullptr && !icaltime_is_utc(time)) return secondsOf(time);
    const std::time_t utc = secondsOf(icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone())).time_since_epoch().count();
    std::tm parts{};
    ::localtime_r(&utc, &parts);
    return sys_days(year(parts.tm_year + 1900) / static_cast<unsigned>(parts.tm_mon + 1) / static_cast<unsigned>(parts.tm_mday)) +
           hours(parts.tm_hour) + minutes(parts.tm_min) + seconds(parts.tm_sec);
  }

  // `clock` as a time of no zone.
  static icaltimetype floatingTime(std::chrono::sys_seconds clock) {
    const auto day = std::chrono::floor<std::chrono::days>(clock);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss time{clock - day};
    icaltimetype floating = icaltime_null_time();
    floating.year = static_cast<int>(date.year());
    floating.month = static_cast<int>(static_cast<unsigned>(date.month()));
    floating.day = static_cast<int>(static_cast<unsigned>(date.day()));
    floating.hour = static_cast<int>(time.hours().count());
    floating.minute = static_cast<int>(time.minutes().count());
    floating.second = static_cast<int>(time.seconds().count());
    return floating;
  }

  // The local day of `time`, where the event's first lines go; none for
  // a start that is missing or not a time.
  static std::chrono::year_month_day localDay(const icaltimetype& time) {
    if (icaltime_is_null_time(time) || !isReadableTime(time)) return {};
    return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(localSeconds(time))};
  }

  // One occurrence, from its local start to its local end (exclusive).
  void addOccurrence(Expansion& expansion, std::chrono::sys_seconds start, std::chrono::sys_seconds end) {
    using namespace std::chrono;
    const sys_days firstDay = floor<days>(start);
    // An event until midnight ends the day before.
    const sys_days lastDay = end > start ? floor<days>(end - seconds(1)) : firstDay;
    const auto minutesIn = static_cast<std::int16_t>(duration_cast<minutes>(start - firstDay).count());
    for (sys_days day = std::max(firstDay, expansion.first); day <= std::min(lastDay, expansion.last); day += days(1)) {
      if (++expansion.days > kMaxLinesOfOneEvent) return;
      expansion.firstFilled = std::min(expansion.firstFilled, day);
      lines_.push_back(DayLine{.day = static_cast<std::int32_t>(day.time_since_epoch().count()),
                               .minutes = day == firstDay && !expansion.allDay ? minutesIn : std::int16_t{-1},
                               .offset = expansion.offset,
                               .length = expansion.length});
    }
  }

  // A repetition of an event, as libical's seconds (UTC, or for a date or
  // floating time its own clock); the range is near enough to 1970 for them.
  static void addSpan(icalcomponent*, icaltime_span* span, void* data) {
    using namespace std::chrono;
    auto& expansion = *static_cast<Expansion*>(data);
    if (expansion.days > kMaxLinesOfOneEvent) return;
    const auto local = [&](std::time_t t) {
      std::tm parts{};
      expansion.wallClock ? ::gmtime_r(&t, &parts) : ::localtime_r(&t, &parts);
      return sys_days(year(parts.tm_year + 1900) / static_cast<unsigned>(parts.tm_mon + 1) / static_cast<unsigned>(parts.tm_mday)) +
             hours(parts.tm_hour) + minutes(parts.tm_min) + seconds(parts.tm_sec);
    };
    const sys_seconds start = local(span->start);
    // libical ends a span of days a second before the day after its end.
    const sys_seconds end = expansion.allDay ? local(span->end + 1) - days(1) : local(span->end);
    EventReader& reader = *expansion.reader;
    const auto firstLine = static_cast<std::uint32_t>(reader.lines_.size());
    reader.addOccurrence(expansion, start, end);
    reader.instances_.push_back({.key = {expansion.series, span->start},
                                 .firstLine = firstLine,
                                 .lineCount = static_cast<std::uint32_t>(reader.lines_.size() - firstLine)});
  }

  sys_days first_;
  sys_days last_;
  Cp932Encoder encoder_;
  Component calendar_;  // the time zones read so far
  std::size_t events_ = 0;
  std::optional<StoreError> failure_;
  std::vector<UnreadableEvent> unreadable_;
  std::vector<DayLine> lines_;
  std::string texts_;  // in code page 932, "\n" between lines
  std::string summaryRoom_;  // an event's summary with its escapes undone, kept for its room
  std::string bodyRoom_;     // the same for its description
  std::vector<std::string> characters_;  // those of an event that code page 932 lacks
  bool notUtf8_ = false;  // an event's text holds bytes that are not UTF-8
  std::string component_;  // an event unfolded, or for libical, kept for its room
  std::vector<Instance> instances_;   // of repeating events
  std::vector<InstanceKey> replaced_;  // instances replaced or cancelled by one of their own
};

// Where a second thread may begin to read a calendar of `total` bytes: the
// first line "BEGIN:VEVENT" after its middle, if one lies near it. Only a
// guess: the reader before it checks that an event can begin there.
std::optional<std::uint64_t> secondHalfStart(int fd, std::uint64_t total) {
  constexpr std::string_view kBegin = "\nBEGIN:VEVENT";
  std::string window(kReadChunk, '\0');
  const ssize_t n = ::pread(fd, window.data(), window.size(), static_cast<off_t>(total / 2));
  if (n <= 0) return std::nullopt;
  window.resize(static_cast<std::size_t>(n));
  for (std::size_t at = window.find(kBegin); at != std::string::npos; at = window.find(kBegin, at + 1)) {
    const std::string_view rest = std::string_view(window).substr(at + kBegin.size());
    if (rest.starts_with("\r\n") || rest.starts_with("\n")) return total / 2 + at + 1;
  }
  return std::nullopt;
}

// The events a second thread reads on its own from a place in the file
// on, while the calendar before it is read; it stops before anything but a
// simple event (time zones, repeating events, the calendar's end), which
// are left to the reader of the whole.
struct SecondHalf {
  SecondHalf(std::uint64_t from, EventReader&& events) : start(from), stoppedAt(from), reader(std::move(events)) {}
  const std::uint64_t start;
  std::atomic<std::uint64_t> bytesRead{0};  // told as it reads, for the progress
  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;  // under the mutex; what follows is read once it is set
  bool usable = false;    // read without a failure
  std::uint64_t stoppedAt;
  EventReader reader;
  std::jthread thread;  // last: stopped and joined first
};

// A calendar's components, read from a file as it comes, a megabyte at a
// time, and handed to an EventReader as the file holds them, from the
// buffer they were read into: most events are read where they lie.
class CalendarScan {
 public:

  CalendarScan(int fd, EventReader& reader, std::uint64_t from, bool simpleEventsOnly)
      : fd_(fd),
        reader_(reader),
        base_(from),
        simpleEventsOnly_(simpleEventsOnly),
        markLookedFor_(simpleEventsOnly),
        depth_(simpleEventsOnly ? 1 : 0) {}

  // Reads the whole calendar from where `fd` stands, telling `progress`;
  // the events from `second->start` on are those `second` read, where an
  // event begins there.
  StoreResult<void> readWhole(std::uint64_t total, const ICalProgress& progress, const std::string& path,
                              SecondHalf* second) {
    second_ = second;
    if (StoreResult<void> done = read(total, progress, path, nullptr); !done) return done;
    // A file cut short (a copy or download stopped) is not taken for whole.
    if (depth_ >= 2) reader_.takeCutShort(std::string_view(buffer_.data() + component_, filled_ - component_));
    // Events of another form (vCalendar 1.0 writes texts quoted-printable)
    // would be read as other text than they hold.
    if (!calendarSeen_ || versionOne_) return importError(StoreErrorKind::kNotICalendar, path);
    return {};
  }

  // Reads simple events with pread from the place given on, until
  // anything else, the end of the file or `stop`, telling `bytesRead`:
  // where it stopped.
  StoreResult<std::uint64_t> readSimpleEvents(std::stop_token stop, std::atomic<std::uint64_t>& bytesRead) {
    told_ = &bytesRead;
    if (StoreResult<void> done = read(0, {}, {}, &stop); !done) return std::move(done).error();
    return stoppedAt_;
  }

 private:
  static constexpr std::size_t kNone = std::string::npos;

  StoreResult<void> read(std::uint64_t total, const ICalProgress& progress, const std::string& path,
                         std::stop_token* stop) {
    buffer_.assign(kReadChunk, '\0');
    std::size_t lines = 0;
    for (bool atEnd = false; !atEnd && !stopped_;) {
      // What is still needed moves to the front, and the rest is read after it.
      const std::size_t keep = std::min({component_, logical_, next_});
      if (keep != 0) {
        std::memmove(buffer_.data(), buffer_.data() + keep, filled_ - keep);
        filled_ -= keep;
        next_ -= keep;
        base_ += keep;
        if (logical_ != kNone) logical_ -= keep;
        if (component_ != kNone) component_ -= keep;
      }
      if (filled_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // one component larger than the buffer
      const ssize_t n = simpleEventsOnly_
                            ? ::pread(fd_, buffer_.data() + filled_, buffer_.size() - filled_, static_cast<off_t>(base_ + filled_))
                            : ::read(fd_, buffer_.data() + filled_, buffer_.size() - filled_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return importError(StoreErrorKind::kReadFailed, path, errno);
      done_ += static_cast<std::uint64_t>(n);
      if (told_ != nullptr) told_->store(done_, std::memory_order_relaxed);
      filled_ += static_cast<std::size_t>(n);
      atEnd = n == 0;
      // Some calendars begin their file with a UTF-8 byte order mark; a pipe
      // may bring it a byte at a time, and nothing is read before it is told.
      if (!markLookedFor_ && (filled_ >= 3 || atEnd)) {
        markLookedFor_ = true;
        if (filled_ >= 3 && std::string_view(buffer_.data(), 3) == "\xEF\xBB\xBF") next_ = 3;
      }
      if (!markLookedFor_) continue;
      if (atEnd && filled_ != next_ && buffer_[filled_ - 1] != '\n') buffer_[filled_++] = '\n';  // a last line without its end
      while (next_ < filled_ && !stopped_) {
        const void* newline = std::memchr(buffer_.data() + next_, '\n', filled_ - next_);
        if (newline == nullptr) break;
        const auto lineEnd = static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.data()) + 1;
        // A content line ends where the next line does not go on with it.
        if (logical_ != kNone && (buffer_[next_] == ' ' || buffer_[next_] == '\t')) {
          logicalFolded_ = true;
        } else {
          if (logical_ != kNone) endLogical(next_);
          if (second_ != nullptr && base_ + next_ == second_->start) {
            StoreResult<bool> moved = takeSecondHalf(total, progress, path);
            if (!moved) return std::move(moved).error();
            if (*moved) break;
          }
          logical_ = next_;
          logicalFolded_ = false;
        }
        next_ = lineEnd;
        if (++lines % kLinesPerProgress != 0) continue;
        if (stop != nullptr && stop->stop_requested()) stopAtUnread();
        if (progress && !progress(shown(), total)) return importError(StoreErrorKind::kCancelled, path);
      }
    }
    // The reader of the whole reads the end of the file.
    if (simpleEventsOnly_) {
      if (!stopped_) stopAtUnread();
      return {};
    }
    if (logical_ != kNone) endLogical(next_);
    if (progress && !progress(shown(), total)) return importError(StoreErrorKind::kCancelled, path);
    return {};
  }

  // Where the second thread began, this reader finds an event may begin
  // (it is within the calendar, between its components): the events that
  // thread read are taken, and reading goes on where it stopped. Else it
  // goes on as it is. True when it moved.
  StoreResult<bool> takeSecondHalf(std::uint64_t total, const ICalProgress& progress, const std::string& path) {
    SecondHalf& second = *second_;
    // Waited for as it reads on: the progress goes on, and may stop it.
    for (std::unique_lock lock(second.mutex); !second.finished;) {
      second.changed.wait_for(lock, std::chrono::milliseconds(100));
      lock.unlock();
      const bool goOn = !progress || progress(shown(), total);
      lock.lock();
      if (!goOn) return importError(StoreErrorKind::kCancelled, path);
    }
    second.thread.join();
    second_ = nullptr;
    if (depth_ != 1 || !second.usable || second.stoppedAt == second.start) return false;
    reader_.takeLater(second.reader);
    if (::lseek(fd_, static_cast<off_t>(second.stoppedAt), SEEK_SET) < 0) {
      return importError(StoreErrorKind::kReadFailed, path, errno);
    }
    done_ = second.stoppedAt;
    base_ = second.stoppedAt;
    filled_ = next_ = 0;
    logical_ = component_ = kNone;
    return true;
  }

  // The bytes read, as progress, by both threads while there are two:
  // never fewer than told before, though the second thread may have
  // stopped before where this one had read.
  std::uint64_t shown() {
    // While there are two, this one's bytes end where the second's begin.
    const std::uint64_t both = second_ != nullptr
                                   ? std::min(done_, second_->start) + second_->bytesRead.load(std::memory_order_relaxed)
                                   : done_;
    shown_ = std::max(shown_, both);
    return shown_;
  }

  void stopAt(std::size_t place) {
    stopped_ = true;
    stoppedAt_ = base_ + place;
  }
  // Before the first byte not yet read into an event.
  void stopAtUnread() { stopAt(std::min({component_, logical_, next_})); }

  // A line outside the calendar's components (few): what kind of
  // calendar it is.
  [[gnu::noinline]] void readCalendarLine(std::string_view line, bool begins) {
    if (begins && depth_ == 0) calendarSeen_ = calendarSeen_ || startsWithNoCase(line, "BEGIN:VCALENDAR");
    if (depth_ == 1 && startsWithNoCase(line, "VERSION:")) {
      const std::string_view version = line.substr(8);
      const std::size_t first = version.find_first_not_of(" \t");
      versionOne_ = first != std::string_view::npos && version.substr(first, version.find_last_not_of(" \t") + 1 - first) == "1.0";
    }
  }

  // The content line [logical_, end) read whole.
  [[gnu::always_inline]] void endLogical(std::size_t end) {
    std::string_view line(buffer_.data() + logical_, end - logical_);
    if (logicalFolded_) {
      unfolded_.clear();
      appendUnfolded(unfolded_, line);
      line = unfolded_;
    }
    line.remove_suffix(line.ends_with("\r\n") ? 2 : 1);
    // Most lines begin with neither: told apart by their first letter.
    const char first = line.empty() ? '\0' : static_cast<char>(line.front() | 0x20);
    const bool begins = first == 'b' && startsWithNoCase(line, "BEGIN:");
    const bool ends = first == 'e' && startsWithNoCase(line, "END:");
    if (simpleEventsOnly_ && depth_ == 1 && !begins) return stopAt(logical_);
    if (depth_ == 0 || (depth_ == 1 && !begins)) readCalendarLine(line, begins);
    if (begins && ++depth_ == 2) {
      component_ = logical_;
      componentFolded_ = false;
    }
    componentFolded_ = componentFolded_ || logicalFolded_;
    // Read as an event as it goes by, unless a line is folded: it is read
    // unfolded at its end.
    if (depth_ >= 2 && !componentFolded_) simple_.line(line, logical_ - component_);
    if (ends) {
      if (depth_ == 2) {
        const std::string_view lines(buffer_.data() + component_, end - component_);
        if (simpleEventsOnly_) {
          if (!reader_.takeSimple(lines, componentFolded_, simple_.finish(lines))) return stopAt(component_);
        } else {
          reader_.take(lines, componentFolded_, simple_.finish(lines));
        }
      }
      if (depth_ <= 2) component_ = kNone;
      depth_ = std::max(depth_ - 1, 0);
    }
    logical_ = kNone;
  }

  int fd_;
  EventReader& reader_;
  std::uint64_t base_;  // the file's offset of the buffer's first byte
  bool simpleEventsOnly_;
  bool markLookedFor_;
  std::string buffer_;
  std::size_t filled_ = 0;            // bytes of the buffer read
  std::size_t next_ = 0;              // where the next physical line begins
  std::size_t logical_ = kNone;       // where the content line being read begins
  bool logicalFolded_ = false;
  std::size_t component_ = kNone;     // where the component being read begins
  bool componentFolded_ = false;
  int depth_ = 0;  // 1 inside VCALENDAR, 2 and more inside one of its components
  bool calendarSeen_ = false;
  bool versionOne_ = false;  // the calendar says it is a vCalendar 1.0 one
  std::string unfolded_;
  SimpleEventReader simple_;
  std::uint64_t done_ = 0;
  std::uint64_t shown_ = 0;
  bool stopped_ = false;
  std::uint64_t stoppedAt_ = 0;
  SecondHalf* second_ = nullptr;
  std::atomic<std::uint64_t>* told_ = nullptr;  // of the bytes read, by a second thread
};

// A second thread started on the second half of a calendar of `total`
// bytes, if it is large and a place to start is found: none when it could
// not start, and the calendar is read on one.
std::unique_ptr<SecondHalf> startSecondHalf(int fd, std::uint64_t total, const ImportRange& range, Cp932Encoder encoder) try {
  const std::optional<std::uint64_t> start = total >= kTwoThreadBytes ? secondHalfStart(fd, total) : std::nullopt;
  if (!start) return nullptr;
  auto half = std::make_unique<SecondHalf>(*start, EventReader(range, encoder));
  half->reader.reserveFor(total - *start);
  icaltimezone_get_utc_timezone();  // made once, before two threads ask for it
  half->thread = std::jthread([half = half.get(), fd](std::stop_token stop) {
    try {
      CalendarScan scan(fd, half->reader, half->start, true);
      const StoreResult<std::uint64_t> stoppedAt = scan.readSimpleEvents(stop, half->bytesRead);
      half->usable = stoppedAt && !half->reader.failure();
      if (half->usable) half->stoppedAt = *stoppedAt;
    } catch (const std::bad_alloc&) {
      // Left to the reader of the whole.
    }
    const std::lock_guard lock(half->mutex);
    half->finished = true;
    half->changed.notify_all();
  });
  return half;
} catch (const std::bad_alloc&) {
  return nullptr;
} catch (const std::system_error&) {  // no thread to start
  return nullptr;
}

// "HH:MM " before a line.
std::string withTime(int minutes, std::string_view line) {
  std::string text(5, '\0');
  text[0] = static_cast<char>('0' + minutes / 600);
  text[1] = static_cast<char>('0' + minutes / 60 % 10);
  text[2] = ':';
  text[3] = static_cast<char>('0' + minutes % 60 / 10);
  text[4] = static_cast<char>('0' + minutes % 10);
  if (!line.empty()) text.append(" ").append(line);
  return text;
}

// The notes of the days a calendar fills, as the file holds them (code
// page 932), gathered as the file streams past: the store's other notes
// are never held, and none is decoded before its day is planned.
class StoredNotes {
 public:
  // `lines` sorted by day.
  StoredNotes(const std::vector<DayLine>& lines) : lines_(lines) {}

  void take(std::chrono::year_month_day date, std::string_view text) {
    const auto day = static_cast<std::int32_t>(sys_days(date).time_since_epoch().count());
    const auto line = std::lower_bound(lines_.begin(), lines_.end(), day,
                                       [](const DayLine& l, std::int32_t d) { return l.day < d; });
    if (line == lines_.end() || line->day != day) return;
    if (text.size() > room_) {
      room_ = std::max(kBlock, text.size());
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(room_));
      out_ = blocks_.back().get();
    }
    std::copy(text.begin(), text.end(), out_);
    notes_.push_back({day, static_cast<std::uint32_t>(text.size()), out_});
    out_ += text.size();
    room_ -= text.size();
  }

  // In date order, the last record of each date its note.
  void finish() { keepLastOfEachDate(notes_, &Stored::day); }

  // The stored text of `day` (days rising from call to call), if it has a note.
  std::optional<std::string_view> next(std::int32_t day) {
    while (next_ != notes_.size() && notes_[next_].day < day) ++next_;
    if (next_ == notes_.size() || notes_[next_].day != day) return std::nullopt;
    return std::string_view(notes_[next_].text, notes_[next_].length);
  }
  std::size_t bytes() const {
    std::size_t total = 0;
    for (const Stored& note : notes_) total += note.length;
    return total;
  }
  std::size_t size() const { return notes_.size(); }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
  struct Stored {
    std::int32_t day;
    std::uint32_t length;  // a record line is read whole, far below 4 GiB
    const char* text;
  };
  const std::vector<DayLine>& lines_;
  std::vector<Stored> notes_;
  std::vector<std::unique_ptr<char[]>> blocks_;  // never move: the notes point into them
  char* out_ = nullptr;
  std::size_t room_ = 0;
  std::size_t next_ = 0;
};

// The plan: each day's lines in start order, added where the day's note
// lacks them; compared and written in the file's bytes, never converted again.
StoreResult<ImportPlan> planOf(EventReader& reader, const NoteStore& store) {
  ImportPlan plan;
  plan.events = reader.events();
  plan.unreadable = std::move(reader.unreadable());
  reader.dropReplacedInstances();
  std::vector<DayLine>& lines = reader.lines();
  const auto byStart = [](const DayLine& a, const DayLine& b) { return a.before(b); };
  if (!std::is_sorted(lines.begin(), lines.end(), byStart)) std::sort(lines.begin(), lines.end(), byStart);
  const std::string_view texts = reader.texts();
  StoredNotes notes(lines);
  StoreResult<FileIdentity> read = store.forEachRecord(
      [&](std::chrono::year_month_day date, std::string_view text) { notes.take(date, text); });
  if (!read) return std::move(read).error();
  plan.readFrom = *read;
  notes.finish();
  // Room for every day at once: grown step by step, the batch would for a
  // moment take its size twice over beside the lines.
  std::size_t days = 0;
  std::size_t textBytes = notes.bytes() + notes.size();  // at most: every note, each line timed
  for (std::size_t i = 0; i < lines.size(); ++i) {
    days += i == 0 || lines[i].day != lines[i - 1].day;
    textBytes += lines[i].length + sizeof "HH:MM \n";
  }
  plan.batch.reserve(days, textBytes);
  std::vector<std::string_view> noteLines;
  std::string added;
  for (std::size_t i = 0, j = 0; i < lines.size(); i = j) {
    while (j < lines.size() && lines[j].day == lines[i].day) ++j;
    const std::chrono::year_month_day date{sys_days(std::chrono::days(lines[i].day))};
    const std::optional<std::string_view> stored = notes.next(lines[i].day);
    noteLines.clear();
    for (std::string_view rest = stored.value_or(""); stored;) {
      const std::size_t end = rest.find(';');
      noteLines.push_back(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    std::sort(noteLines.begin(), noteLines.end());
    added.clear();
    for (std::size_t k = i; k < j; ++k) {
      bool first = true;
      forEachLine(texts.substr(lines[k].offset, lines[k].length), [&](std::string_view line) {
        const std::string timed = first && lines[k].minutes >= 0 ? withTime(lines[k].minutes, line) : std::string();
        const std::string_view text = timed.empty() ? line : timed;
        first = false;
        if (!std::binary_search(noteLines.begin(), noteLines.end(), text)) added.append(text).push_back(';');
      });
    }
    // Empty lines are added to a note only beside others; a new day's
    // note may be nothing else (a blank note exported).
    if (added.empty() || (stored && added.find_first_not_of(';') == std::string::npos)) {
      ++plan.unchangedDays;
      continue;
    }
    added.pop_back();
    if (stored) {
      ++plan.addedToDays;
      if (stored->empty()) {
        plan.batch.addStored(date, {added});
      } else {
        plan.batch.addStored(date, {*stored, ";", added});
      }
    } else {
      ++plan.newDays;
      plan.batch.addStored(date, {added});
    }
  }
  return plan;
}

}  // namespace

StoreResult<ImportPlan> planImport(const NoteStore& store, const std::string& path, const ImportRange& range,
                                   const ICalProgress& progress) try {
  UniqueFd file;
  if (path != "-") {
    file = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) return importError(StoreErrorKind::kReadFailed, path, errno);
  }
  const int fd = path == "-" ? STDIN_FILENO : file.get();
  struct stat status {};
  if (::fstat(fd, &status) != 0) return importError(StoreErrorKind::kReadFailed, path, errno);
  if (S_ISDIR(status.st_mode)) return importError(StoreErrorKind::kNotRegularFile, path);
  const std::uint64_t total = S_ISREG(status.st_mode) ? static_cast<std::uint64_t>(status.st_size) : 0;
  // A conversion's failure, told as the import's.
  const auto failed = [&path](StoreError failure) {
    failure.operation = StoreOperation::kImport;
    failure.path = path;
    return failure;
  };
  StoreResult<Cp932Encoder> encoder = Cp932Encoder::open();
  if (!encoder) return failed(std::move(encoder).error());
  EventReader reader(range, *encoder);
  reader.reserveFor(total);
  // A large file is read on two threads: a second one reads the simple
  // events of its second half while the first half is read. (A file
  // named, read from its start: standard input may stand anywhere.)
  std::unique_ptr<SecondHalf> second = path != "-" ? startSecondHalf(fd, total, range, *encoder) : nullptr;
  CalendarScan scan(fd, reader, 0, false);
  StoreResult<void> read = scan.readWhole(total, progress, path, second.get());
  second.reset();  // stopped, if its start was never reached (the file changed as it was read)
  if (!read) return std::move(read).error();
  if (reader.failure()) return failed(*reader.failure());
  return planOf(reader, store);
} catch (const std::bad_alloc&) {
  return importError(StoreErrorKind::kOutOfMemory, path, ENOMEM);
}

}  // namespace hiduke
