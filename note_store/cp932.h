#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/store_error.h"
#include "note_store/utf8.h"

namespace hiduke {

// Conversion between the window's UTF-8 text and the code page 932 bytes of
// the note file, done by the C library's iconv ("CP932"): each thread opens
// its converter once and keeps it, and what iconv makes of each code page
// 932 character is asked once and kept, so that converting many short notes
// costs no more than converting one long one.

struct Cp932Encoding {
  // The CP932 bytes; complete only when `unencodable` is empty.
  std::string bytes;
  // Each character that CP932 cannot hold, as UTF-8, once and in order of
  // first appearance. Bytes that are not valid UTF-8 show as U+FFFD.
  std::vector<std::string> unencodable;
};

// UTF-8 to CP932. Characters that CP932 holds only as a look-alike (for
// example U+301C WAVE DASH) are converted to the look-alike's bytes; the yen
// sign and the backslash both become the byte 0x5C.
StoreResult<Cp932Encoding> encodeCp932(std::string_view utf8);

// The same for many texts, appended one after another, or a character at
// a time by a caller that reads the text itself.
class Cp932Encoder {
 public:
  static StoreResult<Cp932Encoder> open();
  // Appends the CP932 bytes of `utf8` to `out`; a character CP932 cannot
  // hold is left out and added to `unencodable` where it is not there yet.
  StoreResult<void> append(std::string_view utf8, std::string& out, std::vector<std::string>& unencodable) const;

  // The same for the character `utf8` begins with (or its first byte,
  // when it begins with none); returns how many bytes it took.
  StoreResult<std::size_t> appendCharacter(std::string_view utf8, std::string& out,
                                           std::vector<std::string>& unencodable) const {
    const std::size_t valid = isCommonThreeBytes(utf8) ? 3 : utf8SequenceLength(utf8);
    const std::size_t length = std::max<std::size_t>(valid, 1);
    // The bytes of a character below U+10000 that CP932 holds as it is
    // (below 0x100 one byte, else lead and trail byte), or 0.
    const std::uint16_t code = valid != 0 && valid < 4 ? codes_[codePoint(utf8.substr(0, valid))] : 0;
    if (code >= 0x100) out += static_cast<char>(code >> 8);
    if (code != 0) {
      out += static_cast<char>(code);
    } else if (StoreResult<void> appended = appendUncommon(utf8.substr(0, length), out, unencodable); !appended) {
      return std::move(appended).error();
    }
    return length;
  }

 private:
  // Appends a character that has no code of its own: its look-alike's
  // bytes, or nothing, adding it to `unencodable`.
  StoreResult<void> appendUncommon(std::string_view character, std::string& out, std::vector<std::string>& unencodable) const;

  explicit Cp932Encoder(const std::uint16_t* codes) : codes_(codes) {}
  const std::uint16_t* codes_;  // for each character below U+10000
};

// CP932 to UTF-8; every byte that does not start a valid CP932 character
// becomes one U+FFFD. The single byte 0x5C is the yen sign U+00A5, as in
// Japanese text and in the fonts made for code page 932.
StoreResult<std::string> decodeCp932(std::string_view cp932);

// The same for many notes into one buffer.
class Cp932Decoder {
 public:
  static StoreResult<Cp932Decoder> open();
  // No byte of code page 932 makes more than three bytes of UTF-8.
  static constexpr size_t room(size_t cp932Bytes) { return cp932Bytes * 3 + 1; }
  // Writes the UTF-8 of `cp932` at `out`, which has room(cp932.size())
  // bytes; returns the end of what it wrote.
  char* decode(std::string_view cp932, char* out) const;

 private:
  explicit Cp932Decoder(const void* characters) : characters_(characters) {}
  const void* characters_;
};

}  // namespace hiduke
