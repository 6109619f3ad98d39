#pragma once

#include <cstring>
#include <string_view>

namespace hiduke {

// A content of the note file is a run of whole lines: lines end at LF, a CR
// right before the LF belongs to the terminator, and the last line may have
// no terminator at all.

struct NoteLine {
  std::string_view body;   // without the terminator
  std::string_view whole;  // with the terminator ("\r\n", "\n" or none)
};

// The line that starts at `start`, in a content that ends at `end`.
inline NoteLine lineAt(const char* start, const char* end) {
  const char* newline = static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(end - start)));
  const char* lineEnd = newline != nullptr ? newline + 1 : end;
  const char* bodyEnd = newline == nullptr ? end : newline != start && newline[-1] == '\r' ? newline - 1 : newline;
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
