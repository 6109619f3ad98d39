#pragma once

#include <cstddef>
#include <string_view>

namespace hiduke {

// Whether `s` begins with a well-formed three-byte sequence whose lead
// byte admits any continuation (kana, kanji and most other characters
// from U+1000 to U+CFFF and U+E000 to U+FFFF): told at once.
inline bool isCommonThreeBytes(std::string_view s) {
  if (s.size() < 3) return false;
  const auto lead = static_cast<unsigned char>(s[0]);
  return lead >= 0xE1 && lead != 0xED && lead <= 0xEF && (static_cast<unsigned char>(s[1]) & 0xC0) == 0x80 &&
         (static_cast<unsigned char>(s[2]) & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0.
inline std::size_t utf8SequenceLength(std::string_view s) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.empty()) return 0;
  const unsigned char lead = byte(0);
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// The code point of a well-formed sequence of one to three bytes.
inline char32_t codePoint(std::string_view utf8) {
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(utf8[i])); };
  switch (utf8.size()) {
    case 1: return byte(0);
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    default: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
  }
}

}  // namespace hiduke
