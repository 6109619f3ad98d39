#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

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

// Calls `visit(const NoteLine&)`, in order, for every line of `content`
// that writes the prefilter's year's digits and that the prefilter passes:
// every record of the year is among them. The other lines are passed over
// without being looked at one by one: the places where the digits may
// stand are found many bytes at a time.
void forEachLineOfTheYear(std::string_view content, const YearPrefilter& prefilter,
                          const std::function<void(const NoteLine&)>& visit);

}  // namespace hiduke
