#include "ical/ical_text.h"

#include <array>

namespace hiduke {

namespace {

constexpr std::size_t kLineOctets = 75;

bool isContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The bytes a TEXT value escapes or leaves out: all others are copied in runs.
constexpr auto kNotPlain = [] {
  std::array<bool, 256> notPlain{};
  for (unsigned byte = 0; byte < notPlain.size(); ++byte) {
    notPlain[byte] = byte == '\\' || byte == ';' || byte == ',' || byte == '\n' ||
                     isLeftOutControl(static_cast<unsigned char>(byte));
  }
  return notPlain;
}();

}  // namespace

void appendFoldedLine(std::string& out, std::string_view line) {
  std::size_t room = kLineOctets;
  while (line.size() > room) {
    std::size_t cut = room;
    while (cut > 0 && isContinuationByte(line[cut])) --cut;
    if (cut == 0) cut = room;  // no character starts here: not UTF-8, cut anywhere
    out.append(line.substr(0, cut));
    out.append("\r\n ");
    line.remove_prefix(cut);
    room = kLineOctets - 1;  // the space counts
  }
  out.append(line);
  out.append("\r\n");
}

std::size_t appendTextValue(std::string& out, std::string_view text) {
  std::size_t leftOut = 0;
  std::size_t plain = 0;  // start of the run not yet appended
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!kNotPlain[byte]) continue;
    const bool escaped = !isLeftOutControl(byte);
    out.append(text.substr(plain, i - plain));
    plain = i + 1;
    if (!escaped) {
      ++leftOut;
      continue;
    }
    out.push_back('\\');
    out.push_back(byte == '\n' ? 'n' : static_cast<char>(byte));
  }
  out.append(text.substr(plain));
  return leftOut;
}

}  // namespace hiduke
