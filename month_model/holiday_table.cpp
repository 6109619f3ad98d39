#include "month_model/holiday_table.h"

#include <array>

namespace hiduke {
namespace {

using enum HolidayId;
using enum HolidayRuleKind;

// The act came into force on 20 July 1948: the holidays of that year before
// the date are not in it.
constexpr std::array kHolidayTable = std::to_array<HolidayRule>({
    {kNewYearsDay, kFixedDay, 1, 1, 1949, kStillInForce},
    {kComingOfAgeDay, kFixedDay, 1, 15, 1949, 1999},
    {kComingOfAgeDay, kNthMonday, 1, 2, 2000, kStillInForce},
    {kFoundationDay, kFixedDay, 2, 11, 1967, kStillInForce},
    {kEmperorsBirthday, kFixedDay, 4, 29, 1949, 1988},
    {kEmperorsBirthday, kFixedDay, 12, 23, 1989, 2018},
    {kEmperorsBirthday, kFixedDay, 2, 23, 2020, kStillInForce},
    {kVernalEquinoxDay, kEquinox, 3, 0, 1949, kStillInForce},
    {kGreeneryDay, kFixedDay, 4, 29, 1989, 2006},
    {kGreeneryDay, kFixedDay, 5, 4, 2007, kStillInForce},
    {kShowaDay, kFixedDay, 4, 29, 2007, kStillInForce},
    {kConstitutionDay, kFixedDay, 5, 3, 1949, kStillInForce},
    {kChildrensDay, kFixedDay, 5, 5, 1949, kStillInForce},
    {kMarineDay, kFixedDay, 7, 20, 1996, 2002},
    {kMarineDay, kNthMonday, 7, 3, 2003, 2019},
    {kMarineDay, kNthMonday, 7, 3, 2022, kStillInForce},
    {kMountainDay, kFixedDay, 8, 11, 2016, 2019},
    {kMountainDay, kFixedDay, 8, 11, 2022, kStillInForce},
    {kRespectForTheAgedDay, kFixedDay, 9, 15, 1966, 2002},
    {kRespectForTheAgedDay, kNthMonday, 9, 3, 2003, kStillInForce},
    {kAutumnalEquinoxDay, kEquinox, 9, 0, 1948, kStillInForce},
    {kHealthAndSportsDay, kFixedDay, 10, 10, 1966, 1999},
    {kHealthAndSportsDay, kNthMonday, 10, 2, 2000, 2019},
    {kSportsDay, kNthMonday, 10, 2, 2022, kStillInForce},
    {kCultureDay, kFixedDay, 11, 3, 1948, kStillInForce},
    {kLabourThanksgivingDay, kFixedDay, 11, 23, 1948, kStillInForce},

    // Moved for the Tokyo Olympic and Paralympic Games; in these two years
    // the usual days of the three are ordinary days.
    {kMarineDay, kFixedDay, 7, 23, 2020, 2020},
    {kSportsDay, kFixedDay, 7, 24, 2020, 2020},
    {kMountainDay, kFixedDay, 8, 10, 2020, 2020},
    {kMarineDay, kFixedDay, 7, 22, 2021, 2021},
    {kSportsDay, kFixedDay, 7, 23, 2021, 2021},
    {kMountainDay, kFixedDay, 8, 8, 2021, 2021},

    // One-off holidays, each made by its own act.
    {kCrownPrinceAkihitoWedding, kFixedDay, 4, 10, 1959, 1959},
    {kShowaEmperorFuneral, kFixedDay, 2, 24, 1989, 1989},
    {kEnthronementCeremony, kFixedDay, 11, 12, 1990, 1990},
    {kCrownPrinceNaruhitoWedding, kFixedDay, 6, 9, 1993, 1993},
    {kEnthronement, kFixedDay, 5, 1, 2019, 2019},
    {kEnthronementCeremony, kFixedDay, 10, 22, 2019, 2019},
});

}  // namespace

std::span<const HolidayRule> HolidayTable() { return kHolidayTable; }

}  // namespace hiduke
