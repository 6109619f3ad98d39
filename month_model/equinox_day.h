#pragma once

namespace hiduke {

// The day of March (month 3) or September (month 9) on which the vernal or
// autumnal equinox falls in Japan, by the standard approximation that the
// equinox days of 1948 to 2050 agree with. From 1900 on; the years after 2150
// are a projection.
int EquinoxDay(int year, int month);

}  // namespace hiduke
