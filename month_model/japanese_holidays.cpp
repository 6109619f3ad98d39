#include "month_model/japanese_holidays.h"

#include <vector>

#include "month_model/equinox_day.h"
#include "month_model/month_grid.h"
#include "month_model/month_step.h"

namespace hiduke {
namespace {

using MonthHolidays = std::array<std::optional<HolidayId>, 32>;

constexpr int kFirstHolidayYear = 1948;
constexpr int kSunday = 0;
constexpr int kMonday = 1;

int DayOfRule(const HolidayRule& rule, int year) {
  switch (rule.kind) {
    case HolidayRuleKind::kFixedDay:
      return rule.number;
    case HolidayRuleKind::kNthMonday: {
      const int firstMonday = 1 + (kMonday - WeekdayOfFirst(year, rule.month) + kWeekdays) % kWeekdays;
      return firstMonday + kWeekdays * (rule.number - 1);
    }
    case HolidayRuleKind::kEquinox:
      return EquinoxDay(year, rule.month);
  }
  return 0;
}

// The holidays that the table itself names; without substitute and
// citizens' holidays.
MonthHolidays NationalHolidaysOf(int year, int month) {
  MonthHolidays days{};
  for (const HolidayRule& rule : HolidayTable()) {
    if (rule.month == month && year >= rule.firstYear && year <= rule.lastYear) days[DayOfRule(rule, year)] = rule.id;
  }
  return days;
}

struct WindowDay {
  CivilDate date;
  int weekday;
  bool nationalHoliday;
};

// The days from the 1st of the month before to the 1st of the month after:
// a Sunday holiday late in the month before can move its substitute into the
// month, and the last day's citizens' holiday depends on the day after it.
std::vector<WindowDay> DaysAround(YearMonth shown, const MonthHolidays& holidays) {
  const YearMonth previous = PreviousMonth(shown);
  const YearMonth next = NextMonth(shown);
  const MonthHolidays previousHolidays = NationalHolidaysOf(previous.year, previous.month);
  const MonthHolidays nextHolidays = NationalHolidaysOf(next.year, next.month);

  std::vector<WindowDay> days;
  days.reserve(2 * 31 + 1);
  int weekday = WeekdayOfFirst(previous.year, previous.month);
  const auto add = [&](YearMonth month, int day, const MonthHolidays& monthHolidays) {
    days.push_back({{month.year, month.month, day}, weekday, monthHolidays[day].has_value()});
    weekday = (weekday + 1) % kWeekdays;
  };
  for (int day = 1; day <= DaysInMonth(previous.year, previous.month); ++day) add(previous, day, previousHolidays);
  for (int day = 1; day <= DaysInMonth(shown.year, shown.month); ++day) add(shown, day, holidays);
  add(next, 1, nextHolidays);
  return days;
}

// Walks back over the run of national holidays that ends the day before.
bool IsSubstituteHoliday(const std::vector<WindowDay>& days, int index) {
  for (int earlier = index - 1; earlier >= 0 && days[earlier].nationalHoliday; --earlier) {
    const WindowDay& day = days[earlier];
    const bool dayBefore = earlier == index - 1;
    if (day.weekday == kSunday && day.date >= kSubstituteHolidaysFrom &&
        (dayBefore || day.date >= kSubstituteSkipsHolidaysFrom)) {
      return true;
    }
  }
  return false;
}

// Only for a day that is neither a national nor a substitute holiday.
bool IsCitizensHoliday(const std::vector<WindowDay>& days, int index) {
  const WindowDay& day = days[index];
  return days[index - 1].nationalHoliday && days[index + 1].nationalHoliday && day.date >= kCitizensHolidaysFrom &&
         (day.weekday != kSunday || day.date >= kCitizensHolidaysOnSundaysFrom);
}

}  // namespace

MonthHolidays HolidaysOf(int year, int month) {
  // Also keeps the weekday arithmetic to years it holds for.
  if (year < kFirstHolidayYear || year > kLastShowableYear || month < 1 || month > 12) return {};
  MonthHolidays holidays = NationalHolidaysOf(year, month);
  const std::vector<WindowDay> days = DaysAround({year, month}, holidays);
  const YearMonth previous = PreviousMonth({year, month});
  const int indexOfDayZero = DaysInMonth(previous.year, previous.month) - 1;
  for (int day = 1; day <= DaysInMonth(year, month); ++day) {
    if (holidays[day]) continue;
    const int index = indexOfDayZero + day;
    if (IsSubstituteHoliday(days, index)) {
      holidays[day] = HolidayId::kSubstituteHoliday;
    } else if (IsCitizensHoliday(days, index)) {
      holidays[day] = HolidayId::kCitizensHoliday;
    }
  }
  return holidays;
}

}  // namespace hiduke
