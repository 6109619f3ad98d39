#include "main_window/holiday_names.h"

namespace hiduke {

QString holidayName(HolidayId id) {
  switch (id) {
    case HolidayId::kNewYearsDay: return QStringLiteral("元日");
    case HolidayId::kComingOfAgeDay: return QStringLiteral("成人の日");
    case HolidayId::kFoundationDay: return QStringLiteral("建国記念の日");
    case HolidayId::kEmperorsBirthday: return QStringLiteral("天皇誕生日");
    case HolidayId::kVernalEquinoxDay: return QStringLiteral("春分の日");
    case HolidayId::kGreeneryDay: return QStringLiteral("みどりの日");
    case HolidayId::kShowaDay: return QStringLiteral("昭和の日");
    case HolidayId::kConstitutionDay: return QStringLiteral("憲法記念日");
    case HolidayId::kChildrensDay: return QStringLiteral("こどもの日");
    case HolidayId::kMarineDay: return QStringLiteral("海の日");
    case HolidayId::kMountainDay: return QStringLiteral("山の日");
    case HolidayId::kRespectForTheAgedDay: return QStringLiteral("敬老の日");
    case HolidayId::kAutumnalEquinoxDay: return QStringLiteral("秋分の日");
    case HolidayId::kHealthAndSportsDay: return QStringLiteral("体育の日");
    case HolidayId::kSportsDay: return QStringLiteral("スポーツの日");
    case HolidayId::kCultureDay: return QStringLiteral("文化の日");
    case HolidayId::kLabourThanksgivingDay: return QStringLiteral("勤労感謝の日");
    case HolidayId::kCrownPrinceAkihitoWedding: return QStringLiteral("皇太子明仁親王の結婚の儀");
    case HolidayId::kShowaEmperorFuneral: return QStringLiteral("昭和天皇の大喪の礼");
    case HolidayId::kEnthronementCeremony: return QStringLiteral("即位礼正殿の儀");
    case HolidayId::kCrownPrinceNaruhitoWedding: return QStringLiteral("皇太子徳仁親王の結婚の儀");
    case HolidayId::kEnthronement: return QStringLiteral("天皇の即位の日");
    case HolidayId::kOneOff: return QStringLiteral("祝日");
    case HolidayId::kSubstituteHoliday: return QStringLiteral("振替休日");
    case HolidayId::kCitizensHoliday: return QStringLiteral("国民の休日");
  }
  return {};
}

}  // namespace hiduke
