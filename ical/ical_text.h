#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hiduke {

// iCalendar's content lines (RFC 5545) as the export writes them, without
// libical: its folding breaks a line that ends exactly at the fold point.

// The longest physical line, in octets, without its CR LF.
inline constexpr std::size_t kLineOctets = 75;

// The summary of an event with nothing to read in it: a calendar drops an
// event whose summary is empty, and an empty line marks no day.
inline constexpr std::string_view kBlankEventSummary = "（予定）";

// Appends `line` (a content line, without its end) to `out` folded:
// physical lines of at most 75 octets, each ending in CR LF, each after the
// first starting with one space; no UTF-8 character is split.
void appendFoldedLine(std::string& out, std::string_view line);

// Appends `text` (UTF-8, "\n" line breaks) as a TEXT value: "\\", ";", ","
// and line breaks escaped, control characters (U+0000 to U+001F but the
// line break and the tab, and U+007F) left out. Returns how many were left
// out.
std::size_t appendTextValue(std::string& out, std::string_view text);

// Whether the byte is a control character that a TEXT value cannot hold.
// The tab is one it can; a byte below 0x80 is a whole character in UTF-8.
constexpr bool isLeftOutControl(unsigned char byte) { return (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F; }

}  // namespace hiduke
