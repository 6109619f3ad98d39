#pragma once

#include <QString>
#include <chrono>
#include <optional>
#include <string>

#include "month_model/holiday_table.h"

namespace hiduke {

// How the window names months and days, in words and for screen readers.

// "2002年3月", "2002年3月15日".
QString monthText(std::chrono::year_month month);
QString dateText(std::chrono::year_month_day date);

// "土曜日".
QString weekdayName(std::chrono::weekday weekday);

// "2002年3月21日（木）": a date as a list or a heading shows it.
QString dateWithWeekday(std::chrono::year_month_day date);

// "平成14年", "令和元年"; empty before the first era (1873).
QString eraYearText(std::chrono::year_month_day date);

// What a screen reader hears of a day: "2002年3月16日 土曜日", followed by
// 今日, the holiday's name and 予定あり where they apply.
QString dayName(std::chrono::year_month_day date, bool today, const std::optional<HolidayId>& holiday, bool hasNote);

// The day's tooltip, as plain text: the date with its weekday and era year
// ("2002年3月21日（木） 平成14年"), the holiday's name, then the first three
// lines of the note, each cut at 40 characters with "…", and "ほか N 行"
// when it has more.
QString dayDescription(std::chrono::year_month_day date, const std::optional<HolidayId>& holiday,
                       const std::optional<std::string>& note);

// Plain text as rich text that shows it as it is: a tooltip takes text that
// looks like markup (a note holding <b>) for markup.
QString asShownRichText(const QString& plain);

}  // namespace hiduke
