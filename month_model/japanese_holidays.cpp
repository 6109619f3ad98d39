#include "month_model/japanese_holidays.h"

#include "month_model/equinox_day.h"

namespace hiduke {
namespace {

using namespace std::chrono;

constexpr year kFirstHolidayYear{1948};

day dayOfRule(const HolidayRule& rule, year ruleYear) {
  switch (rule.kind) {
    case HolidayRuleKind::kFixedDay:
      return day{rule.number};
    case HolidayRuleKind::kNthMonday:
      return year_month_day{ruleYear / rule.month / Monday[rule.number]}.day();
    case HolidayRuleKind::kEquinox:
      return equinoxDay(ruleYear, rule.month);
  }
  return day{0};
}

// The holidays that the table itself names; without substitute and
// citizens' holidays.
MonthHolidays nationalHolidaysOf(year_month month) {
  MonthHolidays days{};
  for (const HolidayRule& rule : holidayTable()) {
    if (rule.month == month.month() && month.year() >= rule.firstYear && month.year() <= rule.lastYear) {
      days[unsigned{dayOfRule(rule, month.year())}] = rule.id;
    }
  }
  return days;
}

struct WindowDay {
  year_month_day date;
  weekday dayOfWeek;
  bool nationalHoliday;
};

// The days from the 1st of the month before to the 1st of the month after:
// a Sunday holiday late in the month before can move its substitute into the
// month, and the last day's citizens' holiday depends on the day after it.
struct DaysAround {
  std::array<WindowDay, 31 + 31 + 1> days;
  int count = 0;
  int indexOfFirst = 0;  // of the 1st of the month shown
};

DaysAround daysAround(year_month shown, const MonthHolidays& holidays) {
  // After December 32767 the year wraps round to one before any holiday;
  // only the day's holiday flag is read there, and it is false either way.
  const year_month previous = shown - months{1};
  const year_month next = shown + months{1};
  DaysAround around;
  weekday dayOfWeek{sys_days{previous / 1}};
  const auto add = [&](year_month month, unsigned lastDay, const MonthHolidays& monthHolidays) {
    for (unsigned number = 1; number <= lastDay; ++number) {
      around.days[around.count++] = {month / day{number}, dayOfWeek, monthHolidays[number].has_value()};
      dayOfWeek += days{1};
    }
  };
  add(previous, unsigned{(previous / last).day()}, nationalHolidaysOf(previous));
  around.indexOfFirst = around.count;
  add(shown, unsigned{(shown / last).day()}, holidays);
  add(next, 1, nationalHolidaysOf(next));
  return around;
}

// Walks back over the run of national holidays that ends the day before.
bool isSubstituteHoliday(const DaysAround& around, int index) {
  for (int earlier = index - 1; earlier >= 0 && around.days[earlier].nationalHoliday; --earlier) {
    const WindowDay& day = around.days[earlier];
    const bool dayBefore = earlier == index - 1;
    if (day.dayOfWeek == Sunday && day.date >= kSubstituteHolidaysFrom &&
        (dayBefore || day.date >= kSubstituteSkipsHolidaysFrom)) {
      return true;
    }
  }
  return false;
}

// Only for a day that is neither a national nor a substitute holiday.
bool isCitizensHoliday(const DaysAround& around, int index) {
  const WindowDay& day = around.days[index];
  return around.days[index - 1].nationalHoliday && around.days[index + 1].nationalHoliday &&
         day.date >= kCitizensHolidaysFrom && (day.dayOfWeek != Sunday || day.date >= kCitizensHolidaysOnSundaysFrom);
}

}  // namespace

MonthHolidays holidaysOf(year_month month) {
  if (!month.ok() || month.year() < kFirstHolidayYear) return {};
  MonthHolidays holidays = nationalHolidaysOf(month);
  const DaysAround around = daysAround(month, holidays);
  const unsigned lastDay{(month / last).day()};
  for (unsigned day = 1; day <= lastDay; ++day) {
    if (holidays[day]) continue;
    const int index = around.indexOfFirst + static_cast<int>(day) - 1;
    if (isSubstituteHoliday(around, index)) {
      holidays[day] = HolidayId::kSubstituteHoliday;
    } else if (isCitizensHoliday(around, index)) {
      holidays[day] = HolidayId::kCitizensHoliday;
    }
  }
  return holidays;
}

}  // namespace hiduke
