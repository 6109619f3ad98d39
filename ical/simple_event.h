#pragma once

#include <libical/ical.h>

#include <optional>
#include <string>
#include <string_view>

namespace hiduke {

// What an import takes from an event.
struct EventParts {
  std::string summary{};
  std::string description{};
  icaltimetype start;
  icaltimetype end;
};

// An event (its unfolded CR LF lines, BEGIN:VEVENT to END:VEVENT) that
// holds only what most calendars write for a single event — a start and
// end as a date, a UTC or a floating time, summary, description and
// properties the import does not use — read without libical's parser,
// which costs tens of microseconds an event. Nothing for any other event
// (repetition, an instance of a series, cancelled, time zones, durations,
// alarms ...): libical reads those.
std::optional<EventParts> readSimpleEvent(std::string_view text);

}  // namespace hiduke
