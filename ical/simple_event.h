#pragma once

#include <libical/ical.h>

#include <optional>
#include <string>
#include <string_view>

namespace hiduke {

// What an import takes from an event: its texts where the event holds
// them, valid while it is held.
struct EventParts {
  std::string_view summary{};
  std::string_view description{};
  bool escaped = false;  // the texts as the file writes TEXT (RFC 5545), else as they read
  icaltimetype start;
  icaltimetype end;
  bool unknownTimeZone = false;  // the start's TZID names no time zone the file (so far) or libical knows
};

// Whether `time` is one libical takes (icaltime_is_valid_time), but for
// years 3001 to 9999, which libical refuses while the note file holds them
// and the export writes them.
bool isReadableTime(const icaltimetype& time);

// A text of `parts` as it reads: the text itself, or with its escapes
// undone in `room`.
std::string_view readableText(std::string_view text, bool escaped, std::string& room);
std::string unescapedText(std::string_view text, bool escaped);

// An event (its unfolded lines, BEGIN:VEVENT to END:VEVENT) that
// holds only what most calendars write for a single event — a start and
// end as a date, a UTC or a floating time, summary, description and
// properties the import does not use — read without libical's parser,
// which costs tens of microseconds an event. Nothing for any other event
// (repetition, an instance of a series, cancelled, time zones, durations,
// alarms ...): libical reads those.
std::optional<EventParts> readSimpleEvent(std::string_view text);

// The same, told the event's content lines one at a time as they are
// found in its text, so that the text is gone through once.
class SimpleEventReader {
 public:
  // A content line (unfolded, without its end) that begins at `offset`
  // in the event's text.
  void line(std::string_view line, std::size_t offset);
  // The event read, its texts within `text`, the event's text; ready for
  // the next event.
  std::optional<EventParts> finish(std::string_view text);

 private:
  struct Place {
    std::size_t offset = 0;
    std::size_t length = 0;
  };
  bool simple_ = true;
  bool started_ = false;
  int begins_ = 0;
  Place summary_;
  Place description_;
  icaltimetype start_{};
  icaltimetype end_{};
};

}  // namespace hiduke
