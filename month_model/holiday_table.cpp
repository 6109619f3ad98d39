#include "month_model/holiday_table.h"

#include <array>

namespace hiduke {
namespace {

using enum HolidayId;
using enum HolidayRuleKind;
using namespace std::chrono;  // year, and the months by name

// The act came into force on 20 July 1948: the holidays of that year before
// the date are not in it.
constexpr std::array kHolidayTable = std::to_array<HolidayRule>({
    {kNewYearsDay, kFixedDay, January, 1, year{1949}, kStillInForce},
    {kComingOfAgeDay, kFixedDay, January, 15, year{1949}, year{1999}},
    {kComingOfAgeDay, kNthMonday, January, 2, year{2000}, kStillInForce},
    {kFoundationDay, kFixedDay, February, 11, year{1967}, kStillInForce},
    {kEmperorsBirthday, kFixedDay, April, 29, year{1949}, year{1988}},
    {kEmperorsBirthday, kFixedDay, December, 23, year{1989}, year{2018}},
    {kEmperorsBirthday, kFixedDay, February, 23, year{2020}, kStillInForce},
    {kVernalEquinoxDay, kEquinox, March, 0, year{1949}, kStillInForce},
    {kGreeneryDay, kFixedDay, April, 29, year{1989}, year{2006}},
    {kGreeneryDay, kFixedDay, May, 4, year{2007}, kStillInForce},
    {kShowaDay, kFixedDay, April, 29, year{2007}, kStillInForce},
    {kConstitutionDay, kFixedDay, May, 3, year{1949}, kStillInForce},
    {kChildrensDay, kFixedDay, May, 5, year{1949}, kStillInForce},
    {kMarineDay, kFixedDay, July, 20, year{1996}, year{2002}},
    {kMarineDay, kNthMonday, July, 3, year{2003}, year{2019}},
    {kMarineDay, kNthMonday, July, 3, year{2022}, kStillInForce},
    {kMountainDay, kFixedDay, August, 11, year{2016}, year{2019}},
    {kMountainDay, kFixedDay, August, 11, year{2022}, kStillInForce},
    {kRespectForTheAgedDay, kFixedDay, September, 15, year{1966}, year{2002}},
    {kRespectForTheAgedDay, kNthMonday, September, 3, year{2003}, kStillInForce},
    {kAutumnalEquinoxDay, kEquinox, September, 0, year{1948}, kStillInForce},
    {kHealthAndSportsDay, kFixedDay, October, 10, year{1966}, year{1999}},
    {kHealthAndSportsDay, kNthMonday, October, 2, year{2000}, year{2019}},
    {kSportsDay, kNthMonday, October, 2, year{2022}, kStillInForce},
    {kCultureDay, kFixedDay, November, 3, year{1948}, kStillInForce},
    {kLabourThanksgivingDay, kFixedDay, November, 23, year{1948}, kStillInForce},

    // Moved for the Tokyo Olympic and Paralympic Games; in these two years
    // the usual days of the three are ordinary days.
    {kMarineDay, kFixedDay, July, 23, year{2020}, year{2020}},
    {kSportsDay, kFixedDay, July, 24, year{2020}, year{2020}},
    {kMountainDay, kFixedDay, August, 10, year{2020}, year{2020}},
    {kMarineDay, kFixedDay, July, 22, year{2021}, year{2021}},
    {kSportsDay, kFixedDay, July, 23, year{2021}, year{2021}},
    {kMountainDay, kFixedDay, August, 8, year{2021}, year{2021}},

    // One-off holidays, each made by its own act.
    {kCrownPrinceAkihitoWedding, kFixedDay, April, 10, year{1959}, year{1959}},
    {kShowaEmperorFuneral, kFixedDay, February, 24, year{1989}, year{1989}},
    {kEnthronementCeremony, kFixedDay, November, 12, year{1990}, year{1990}},
    {kCrownPrinceNaruhitoWedding, kFixedDay, June, 9, year{1993}, year{1993}},
    {kEnthronement, kFixedDay, May, 1, year{2019}, year{2019}},
    {kEnthronementCeremony, kFixedDay, October, 22, year{2019}, year{2019}},
});

}  // namespace

std::span<const HolidayRule> holidayTable() { return kHolidayTable; }

}  // namespace hiduke
