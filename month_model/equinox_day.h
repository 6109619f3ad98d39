#pragma once

#include <chrono>

namespace hiduke {

// The day of March or September on which the vernal or autumnal equinox
// falls in Japan, by the standard approximation that the equinox days of 1948
// to 2050 agree with. From 1900 on; the years after 2150 are a projection.
std::chrono::day equinoxDay(std::chrono::year year, std::chrono::month month);

}  // namespace hiduke
