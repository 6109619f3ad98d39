#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "note_store/store_error.h"

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
