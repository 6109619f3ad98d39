#pragma once

#include <cstring>
#include <string_view>

namespace hiduke {

// A content of the note file is a run of whole lines: lines end at CR LF,
// at LF or at a CR alone (files of old Macintosh editors), and the last line
// may have no terminator at all.

// The line end of the file's format, which every record written ends in
// unless it takes the place of a line that ended otherwise.
inline constexpr std::string_view kRecordTerminator = "\r\n";

struct NoteLine {
  std::string_view body;   // without the terminator
  std::string_view whole;  // with the terminator ("\r\n", "\n", "\r" or none)
  std::string_view terminator() const { return whole.substr(body.size()); }
};

// The line that starts at `start`, in a content that ends at `end`.
inline NoteLine lineAt(const char* start, const char* end) {
  const auto* newline = static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(end - start)));
  const char* bodyEnd = newline != nullptr ? newline : end;
  if (const void* cr = std::memchr(start, '\r', static_cast<size_t>(bodyEnd - start)); cr != nullptr) {
    bodyEnd = static_cast<const char*>(cr);
  }
  const char* lineEnd = bodyEnd == end ? end : bodyEnd + 1 + (bodyEnd + 1 == newline);
  return NoteLine{std::string_view(start, static_cast<size_t>(bodyEnd - start)),
                  std::string_view(start, static_cast<size_t>(lineEnd - start))};
}

// Calls `visit(const NoteLine&)` for every line of `content`, in order.
template <typename Visit>
void forEachNoteLine(std::string_view content, Visit&& visit) {
  const char* const end = content.data() + content.size();
  for (const char* p = content.data(); p != end;) {
    const NoteLine line = lineAt(p, end);
    visit(line);
    p = line.whole.data() + line.whole.size();
  }
}

}  // namespace hiduke
