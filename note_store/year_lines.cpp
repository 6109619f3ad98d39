#include "note_store/year_lines.h"

#include <cstring>

#include "note_store/byte_places.h"

namespace hiduke {

void forEachLineOfTheYear(std::string_view content, const YearPrefilter& prefilter,
                          const std::function<void(const NoteLine&)>& visit) {
  const std::string& digits = prefilter.digits();
  const char* const begin = content.data();
  const char* const end = begin + content.size();
  findPlaces(begin, end, digits, [&](const char* place) {
    if (std::memcmp(place, digits.data(), digits.size()) != 0) return place + 1;
    // The line the digits stand in, whatever precedes them there.
    const char* lineStart = place;
    while (lineStart != begin && lineStart[-1] != '\n' && lineStart[-1] != '\r') --lineStart;
    const NoteLine line = lineAt(lineStart, end);
    if (prefilter.mayBeOfTheYear(line.body)) visit(line);
    return line.whole.data() + line.whole.size();
  });
}

}  // namespace hiduke
