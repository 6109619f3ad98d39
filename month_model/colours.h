#pragma once

namespace hiduke {

struct Rgb {
  int red;
  int green;
  int blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kSundayColour{255, 51, 0};
inline constexpr Rgb kSaturdayColour{0, 192, 0};
inline constexpr Rgb kWeekdayColour{255, 255, 255};
inline constexpr Rgb kHolidayColour{255, 204, 0};

}  // namespace hiduke
