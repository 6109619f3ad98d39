#include "month_model/equinox_day.h"

#include <array>
#include <cstdint>

namespace hiduke {
namespace {

// The approximation, for each span of years from its first year on:
//   day = int(C + 0.242194 × (year − 1980) − int((year − B) / 4)),
// int truncating toward zero. Worked in millionths, so no rounding of a
// binary fraction can move the day.
struct EquinoxConstants {
  int firstYear;
  std::int64_t marchMillionths;      // C for March
  std::int64_t septemberMillionths;  // C for September
  int leapBaseYear;                  // B
};

constexpr std::array kConstants = std::to_array<EquinoxConstants>({
    {1900, 20'835'700, 23'258'800, 1983},
    {1980, 20'843'100, 23'248'800, 1980},
    {2100, 21'851'000, 24'248'800, 1980},
});

constexpr std::int64_t kDriftMillionthsPerYear = 242'194;

// The int((year − B) / 4) term counts the leap days since B. The last span's
// constants allow for 2100 only; 2200, 2300, 2500 ... skip their leap day too.
int centuryLeapDaysSkippedAfter2100(int year) {
  if (year < 2200) return 0;
  return (year / 100 - 21) - (year / 400 - 5);
}

}  // namespace

std::chrono::day equinoxDay(std::chrono::year gregorianYear, std::chrono::month month) {
  const int year{gregorianYear};
  const EquinoxConstants* constants = &kConstants.front();
  for (const EquinoxConstants& span : kConstants) {
    if (year >= span.firstYear) constants = &span;
  }
  const std::int64_t leapDays = (year - constants->leapBaseYear) / 4 - centuryLeapDaysSkippedAfter2100(year);
  const std::int64_t base = month == std::chrono::March ? constants->marchMillionths : constants->septemberMillionths;
  return std::chrono::day{
      static_cast<unsigned>((base + kDriftMillionthsPerYear * (year - 1980) - 1'000'000 * leapDays) / 1'000'000)};
}

}  // namespace hiduke
