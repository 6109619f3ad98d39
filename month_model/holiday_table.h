#pragma once

#include <chrono>
#include <span>

namespace hiduke {

// Which holiday a day is. The names are the window's business; a generic
// kOneOff lets a new one-off holiday be added as a table row alone.
enum class HolidayId {
  kNewYearsDay,
  kComingOfAgeDay,
  kFoundationDay,
  kEmperorsBirthday,
  kVernalEquinoxDay,
  kGreeneryDay,
  kShowaDay,
  kConstitutionDay,
  kChildrensDay,
  kMarineDay,
  kMountainDay,
  kRespectForTheAgedDay,
  kAutumnalEquinoxDay,
  kHealthAndSportsDay,
  kSportsDay,
  kCultureDay,
  kLabourThanksgivingDay,
  kCrownPrinceAkihitoWedding,
  kShowaEmperorFuneral,
  kEnthronementCeremony,
  kCrownPrinceNaruhitoWedding,
  kEnthronement,
  kOneOff,
  kSubstituteHoliday,
  kCitizensHoliday,
};

enum class HolidayRuleKind {
  kFixedDay,    // the same day of the month every year
  kNthMonday,   // the nth Monday of the month
  kEquinox,     // the vernal (March) or autumnal (September) equinox day
};

// One holiday of the Act on National Holidays over the years (inclusive) in
// which it fell on the day the rule gives. A one-off holiday is a fixed day
// whose first and last year are the same.
struct HolidayRule {
  HolidayId id;
  HolidayRuleKind kind;
  std::chrono::month month;
  unsigned number;  // the day for kFixedDay, n for kNthMonday, unused for kEquinox
  std::chrono::year firstYear;
  std::chrono::year lastYear;
};

inline constexpr std::chrono::year kStillInForce = std::chrono::year::max();

std::span<const HolidayRule> holidayTable();

// Substitute holiday: from 12 April 1973 a national holiday on a Sunday makes
// the next day a holiday; from 2007 the nearest following day that is not a
// national holiday.
inline constexpr std::chrono::year_month_day kSubstituteHolidaysFrom{std::chrono::year{1973} / 4 / 12};
inline constexpr std::chrono::year_month_day kSubstituteSkipsHolidaysFrom{std::chrono::year{2007} / 1 / 1};

// Citizens' holiday: from 27 December 1985 a day whose day before and day
// after are national holidays, and which is not one itself, is a holiday;
// until 2006 not when it is a Sunday or already a substitute holiday.
inline constexpr std::chrono::year_month_day kCitizensHolidaysFrom{std::chrono::year{1985} / 12 / 27};
inline constexpr std::chrono::year_month_day kCitizensHolidaysOnSundaysFrom{std::chrono::year{2007} / 1 / 1};

}  // namespace hiduke
