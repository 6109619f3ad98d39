#include "ical/simple_event.h"

#include <algorithm>
#include <array>

namespace hiduke {

namespace {

// Properties that can be passed over: the import does not use them.
constexpr std::array<std::string_view, 12> kUnused = {"UID",    "DTSTAMP", "CREATED",  "LAST-MODIFIED", "SEQUENCE", "TRANSP",
                                                      "CLASS", "STATUS",  "LOCATION", "PRIORITY",      "URL",      "CATEGORIES"};

// `a` is `upper` in any case (ASCII: the names and values compared are).
bool equalsNoCase(std::string_view a, std::string_view upper) {
  if (a.size() != upper.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((a[i] >= 'a' && a[i] <= 'z' ? a[i] - 32 : a[i]) != upper[i]) return false;
  }
  return true;
}

// TEXT as RFC 5545 escapes it, as libical reads it back.
std::string unescaped(std::string_view value) {
  std::string text;
  text.reserve(value.size());
  for (std::size_t slash; (slash = value.find('\\')) != std::string_view::npos && slash + 1 < value.size();) {
    text.append(value.substr(0, slash));
    const char next = value[slash + 1];
    text += next == 'n' || next == 'N' ? '\n' : next;
    value.remove_prefix(slash + 2);
  }
  text.append(value);
  return text;
}

bool readDigits(std::string_view text, std::size_t from, std::size_t count, int& number) {
  number = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + (text[i] - '0');
  }
  return true;
}

// 20240131 (a date, with VALUE=DATE), 20240131T100000 (floating) or
// 20240131T100000Z (UTC).
std::optional<icaltimetype> readTime(std::string_view parameters, std::string_view value) {
  icaltimetype time = icaltime_null_time();
  const bool date = equalsNoCase(parameters, ";VALUE=DATE");
  if (!date && !parameters.empty()) return std::nullopt;
  if (value.size() != (date ? 8u : 15u) && (date || value.size() != 16 || value.back() != 'Z')) return std::nullopt;
  if (!readDigits(value, 0, 4, time.year) || !readDigits(value, 4, 2, time.month) || !readDigits(value, 6, 2, time.day)) {
    return std::nullopt;
  }
  if (date) {
    time.is_date = 1;
  } else if (value[8] != 'T' || !readDigits(value, 9, 2, time.hour) || !readDigits(value, 11, 2, time.minute) ||
             !readDigits(value, 13, 2, time.second)) {
    return std::nullopt;
  } else if (value.size() == 16) {
    time.zone = icaltimezone_get_utc_timezone();
  }
  if (!icaltime_is_valid_time(time) || time.month < 1 || time.month > 12 || time.day < 1 ||
      time.day > icaltime_days_in_month(time.month, time.year) || time.hour > 23 || time.minute > 59 || time.second > 60) {
    return std::nullopt;
  }
  return time;
}

}  // namespace

std::optional<EventParts> readSimpleEvent(std::string_view text) {
  EventParts parts{.start = icaltime_null_time(), .end = icaltime_null_time()};
  bool started = false;
  int begins = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    // The name ends at the first ";" or ":", the value after the first ":"
    // outside a quoted parameter.
    const auto found = std::find_if(line.begin(), line.end(), [](char c) { return c == ';' || c == ':'; });
    if (found == line.end()) return std::nullopt;
    const auto nameEnd = static_cast<std::size_t>(found - line.begin());
    std::size_t colon = nameEnd;
    for (bool quoted = false; colon < line.size() && (quoted || line[colon] != ':'); ++colon) {
      if (line[colon] == '"') quoted = !quoted;
    }
    if (colon == line.size()) return std::nullopt;
    const std::string_view name = line.substr(0, nameEnd);
    const std::string_view parameters = line.substr(nameEnd, colon - nameEnd);
    const std::string_view value = line.substr(colon + 1);
    if (equalsNoCase(name, "BEGIN")) {
      if (++begins > 1 || !equalsNoCase(value, "VEVENT")) return std::nullopt;
    } else if (equalsNoCase(name, "END")) {
      if (!equalsNoCase(value, "VEVENT")) return std::nullopt;
    } else if (equalsNoCase(name, "SUMMARY")) {
      parts.summary = unescaped(value);
    } else if (equalsNoCase(name, "DESCRIPTION")) {
      parts.description = unescaped(value);
    } else if (equalsNoCase(name, "DTSTART") || equalsNoCase(name, "DTEND")) {
      const std::optional<icaltimetype> time = readTime(parameters, value);
      if (!time) return std::nullopt;
      const bool start = name.size() == 7;
      (start ? parts.start : parts.end) = *time;
      started = started || start;
    } else if (equalsNoCase(name, "STATUS") && equalsNoCase(value, "CANCELLED")) {
      return std::nullopt;  // shows nothing, or cancels an instance of a series
    } else if (!name.starts_with("X-") && !name.starts_with("x-")) {
      bool unused = false;
      for (const std::string_view known : kUnused) unused = unused || equalsNoCase(name, known);
      if (!unused) return std::nullopt;
    }
  }
  if (!started) return std::nullopt;
  // Without an end an all-day event lasts its day, a timed one is a
  // moment, as libical has it.
  if (icaltime_is_null_time(parts.end)) {
    parts.end = parts.start;
    if (parts.start.is_date) icaltime_adjust(&parts.end, 1, 0, 0, 0);
  }
  return parts;
}

}  // namespace hiduke
