#include "ical/ical_text.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace hiduke {

namespace {

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

// Whether any of the eight bytes of `word` is one of kNotPlain, tested on
// all at once: notes are mostly plain, and most of their bytes are skipped
// eight at a time.
bool anyNotPlain(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = 0x8080808080808080u;
  const auto anyBelow = [](std::uint64_t bytes, std::uint64_t limit) { return ((bytes - kOnes * limit) & ~bytes & kHigh) != 0; };
  const auto anyEqual = [&](std::uint64_t value) { return anyBelow(word ^ (kOnes * value), 1); };
  return anyBelow(word, 0x20) || anyEqual(0x7F) || anyEqual(';') || anyEqual(',') || anyEqual('\\');
}

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
    for (std::uint64_t word; i + sizeof word <= text.size(); i += sizeof word) {
      std::memcpy(&word, text.data() + i, sizeof word);
      if (anyNotPlain(word)) break;
    }
    if (i == text.size()) break;
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
