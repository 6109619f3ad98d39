#include "ical/simple_event.h"

#include <algorithm>
#include <array>
#include <utility>

namespace hiduke {

namespace {

// The longest name the import knows (LAST-MODIFIED).
constexpr std::size_t kLongestName = 13;

// `text` in capitals (ASCII: the names and values compared are), in
// `room`; empty when longer than kLongestName.
std::string_view capitals(std::string_view text, std::array<char, kLongestName>& room) {
  if (text.size() > room.size()) return {};
  for (std::size_t i = 0; i < text.size(); ++i) room[i] = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 32) : text[i];
  return {room.data(), text.size()};
}

// `a` is `upper` in any case; calendars mostly write capitals.
bool equalsNoCase(std::string_view a, std::string_view upper) {
  std::array<char, kLongestName> room;
  return a.size() == upper.size() && (a == upper || capitals(a, room) == upper);
}

// What a property is to the import.
enum class Property { kBegin, kEnd, kSummary, kDescription, kStart, kFinish, kStatus, kUnused, kOther };

// `name` in capitals; told apart by length first, as this is asked of
// every line.
Property propertyOf(std::string_view name) {
  switch (name.size()) {
    case 3: return name == "END" ? Property::kEnd : name == "UID" || name == "URL" ? Property::kUnused : Property::kOther;
    case 5: return name == "BEGIN" ? Property::kBegin : name == "DTEND" ? Property::kFinish
                 : name == "CLASS" ? Property::kUnused : Property::kOther;
    case 6: return name == "STATUS" ? Property::kStatus : name == "TRANSP" ? Property::kUnused : Property::kOther;
    case 7: return name == "SUMMARY" ? Property::kSummary : name == "DTSTART" ? Property::kStart
                 : name == "DTSTAMP" || name == "CREATED" ? Property::kUnused : Property::kOther;
    case 8: return name == "SEQUENCE" || name == "LOCATION" || name == "PRIORITY" ? Property::kUnused : Property::kOther;
    case 10: return name == "CATEGORIES" ? Property::kUnused : Property::kOther;
    case 11: return name == "DESCRIPTION" ? Property::kDescription : Property::kOther;
    case 13: return name == "LAST-MODIFIED" ? Property::kUnused : Property::kOther;
    default: return Property::kOther;
  }
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
// Written into `time` field by field: copied whole right after, it would
// wait for its fields to be stored.
bool readTime(std::string_view parameters, std::string_view value, icaltimetype& time) {
  time = {};  // libical's null time
  const bool date = equalsNoCase(parameters, ";VALUE=DATE");
  if (!date && !parameters.empty()) return false;
  if (value.size() != (date ? 8u : 15u) && (date || value.size() != 16 || value.back() != 'Z')) return false;
  if (!readDigits(value, 0, 4, time.year) || !readDigits(value, 4, 2, time.month) || !readDigits(value, 6, 2, time.day)) {
    return false;
  }
  if (date) {
    time.is_date = 1;
  } else if (value[8] != 'T' || !readDigits(value, 9, 2, time.hour) || !readDigits(value, 11, 2, time.minute) ||
             !readDigits(value, 13, 2, time.second)) {
    return false;
  } else if (value.size() == 16) {
    time.zone = icaltimezone_get_utc_timezone();
  }
  // Dates as libical takes them (its own leap years before 1753 too), to
  // year 9999.
  return isReadableTime(time) && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
         time.day <= icaltime_days_in_month(time.month, time.year) && time.hour <= 23 && time.minute <= 59 &&
         time.second <= 60;
}

}  // namespace

bool isReadableTime(const icaltimetype& time) {
  return time.year >= 0 && time.year <= 9999 && (time.is_date == 0 || time.is_date == 1);
}

std::string_view readableText(std::string_view value, bool escaped, std::string& room) {
  std::size_t slash = escaped ? value.find('\\') : std::string_view::npos;
  if (slash == std::string_view::npos || slash + 1 == value.size()) return value;
  room.clear();
  for (; slash != std::string_view::npos && slash + 1 < value.size(); slash = value.find('\\')) {
    room.append(value.substr(0, slash));
    const char next = value[slash + 1];
    room += next == 'n' || next == 'N' ? '\n' : next;
    value.remove_prefix(slash + 2);
  }
  room.append(value);
  return room;
}

std::string unescapedText(std::string_view text, bool escaped) {
  std::string room;
  return std::string(readableText(text, escaped, room));
}

void SimpleEventReader::line(std::string_view line, std::size_t offset) {
  if (!simple_) return;
  simple_ = false;  // until the line is known
  // The name ends at the first ";" or ":", the value after the first ":"
  // outside a quoted parameter.
  const auto found = std::find_if(line.begin(), line.end(), [](char c) { return c == ';' || c == ':'; });
  if (found == line.end()) return;
  const auto nameEnd = static_cast<std::size_t>(found - line.begin());
  // A ":" inside quotes belongs to a parameter's value.
  std::size_t colon = nameEnd;
  if (line[colon] == ';') {
    colon = line.find(':', nameEnd);
    if (line.substr(nameEnd, colon - nameEnd).find('"') != std::string_view::npos) {
      colon = nameEnd;
      for (bool quoted = false; colon < line.size() && (quoted || line[colon] != ':'); ++colon) {
        if (line[colon] == '"') quoted = !quoted;
      }
    }
  }
  if (colon >= line.size()) return;
  const std::string_view name = line.substr(0, nameEnd);
  const std::string_view parameters = line.substr(nameEnd, colon - nameEnd);
  const std::string_view value = line.substr(colon + 1);
  const Place valuePlace{offset + colon + 1, value.size()};
  Property property = propertyOf(name);
  if (property == Property::kOther) {
    std::array<char, kLongestName> room;
    property = propertyOf(capitals(name, room));
  }
  switch (property) {
    case Property::kBegin:
      if (++begins_ > 1 || !equalsNoCase(value, "VEVENT")) return;
      break;
    case Property::kEnd:
      if (!equalsNoCase(value, "VEVENT")) return;
      break;
    case Property::kSummary:
      summary_ = valuePlace;
      break;
    case Property::kDescription:
      description_ = valuePlace;
      break;
    case Property::kStart:
    case Property::kFinish: {
      if (!readTime(parameters, value, property == Property::kStart ? start_ : end_)) return;
      started_ = started_ || property == Property::kStart;
      break;
    }
    case Property::kStatus:
      if (equalsNoCase(value, "CANCELLED")) return;  // shows nothing, or cancels an instance of a series
      break;
    case Property::kUnused:
      break;
    case Property::kOther:
      if (!name.starts_with("X-") && !name.starts_with("x-")) return;
      break;
  }
  simple_ = true;
}

std::optional<EventParts> SimpleEventReader::finish(std::string_view text) {
  const bool simple = simple_ && started_;
  simple_ = true;
  started_ = false;
  begins_ = 0;
  if (!simple) {
    summary_ = description_ = {};
    start_ = end_ = {};
    return std::nullopt;
  }
  std::optional<EventParts> read(std::in_place, text.substr(summary_.offset, summary_.length),
                                 text.substr(description_.offset, description_.length), true, start_, end_);
  EventParts& parts = *read;
  // Without an end an all-day event lasts its day, a timed one is a
  // moment, as libical has it.
  if (icaltime_is_null_time(parts.end)) {
    parts.end = start_;
    if (start_.is_date) icaltime_adjust(&parts.end, 1, 0, 0, 0);
  }
  summary_ = description_ = {};
  start_ = end_ = {};
  return read;
}

std::optional<EventParts> readSimpleEvent(std::string_view text) {
  SimpleEventReader reader;
  for (std::size_t offset = 0; offset < text.size();) {
    const std::size_t end = std::min(text.find('\n', offset), text.size());
    std::string_view line = text.substr(offset, end - offset);
    if (line.ends_with('\r')) line.remove_suffix(1);
    reader.line(line, offset);
    offset = end + 1;
  }
  return reader.finish(text);
}

}  // namespace hiduke
