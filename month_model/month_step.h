#pragma once

namespace hiduke {

struct YearMonth {
  int year;
  int month;
  friend bool operator==(const YearMonth&, const YearMonth&) = default;
};

// One month back or forward, rolling over the year. The result may lie
// outside the showable range; whether it can be shown is decided elsewhere.
YearMonth PreviousMonth(YearMonth current);
YearMonth NextMonth(YearMonth current);

}  // namespace hiduke
