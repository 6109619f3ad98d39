#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "note_store/note_lines.h"

namespace hiduke {

// Tells from its first bytes whether a line's year field can be `year`: a
// year field that starts with a digit other than 0 is written without
// spaces or leading zeros, so its digits must be the year's. Lines that
// start with a space or a 0 (hand edits) may be of any year; lines that
// start otherwise (empty ones too) are no records at all.
class YearPrefilter {
 public:
  explicit YearPrefilter(std::chrono::year year) : digits_(std::to_string(static_cast<int>(year))) {}
  const std::string& digits() const { return digits_; }
  bool mayBeOfTheYear(std::string_view body) const {
    if (body.empty()) return false;
    if (body.front() == ' ' || body.front() == '0') return true;
    return body.starts_with(digits_) &&
           (body.size() == digits_.size() || static_cast<unsigned char>(body[digits_.size()] - '0') >= 10);
  }

 private:
  std::string digits_;
};

// Calls `visit(const NoteLine&)` for every line of `content` that may hold
// a record of the prefilter's year, in order; the others are passed over
// without being looked at one by one: sixteen bytes at a time, the places
// where a line starts with the year's first digits, a space or a 0 are
// found together.
template <typename Visit>
void forEachLineOfTheYear(std::string_view content, const YearPrefilter& prefilter, Visit&& visit) {
  const char* const begin = content.data();
  const char* const end = begin + content.size();
  const auto visitLineAt = [&](const char* start) {
    const NoteLine line = lineAt(start, end);
    if (prefilter.mayBeOfTheYear(line.body)) visit(line);
  };
  if (begin == end) return;
  visitLineAt(begin);
  const char* p = begin;  // line starts after the line ends before p are visited
#if defined(__SSE2__)
  const std::string& digits = prefilter.digits();
  const size_t compared = std::min<size_t>(digits.size(), 4);
  const __m128i lineEnds = _mm_set1_epi8('\n');
  const __m128i spaces = _mm_set1_epi8(' ');
  const __m128i zeros = _mm_set1_epi8('0');
  __m128i digitsAt[4];
  for (size_t i = 0; i < compared; ++i) digitsAt[i] = _mm_set1_epi8(digits[i]);
  // Each step looks at the line ends among 16 bytes and the 4 bytes after
  // each.
  for (; end - p >= 16 + 4; p += 16) {
    const __m128i atLineEnd = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), lineEnds);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    __m128i year = _mm_cmpeq_epi8(first, digitsAt[0]);
    for (size_t i = 1; i < compared; ++i) {
      year = _mm_and_si128(year, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1 + i)), digitsAt[i]));
    }
    const __m128i handMade = _mm_or_si128(_mm_cmpeq_epi8(first, spaces), _mm_cmpeq_epi8(first, zeros));
    unsigned starts = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(atLineEnd, _mm_or_si128(year, handMade))));
    for (; starts != 0; starts &= starts - 1) visitLineAt(p + __builtin_ctz(starts) + 1);
  }
#endif
  for (;;) {
    const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (newline == nullptr || newline + 1 == end) return;
    visitLineAt(newline + 1);
    p = newline + 1;
  }
}

}  // namespace hiduke
