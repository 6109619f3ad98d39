#pragma once

#include <chrono>
#include <string_view>
#include <variant>

namespace hiduke {

// Why a text is not a date the calendar can go to.
enum class DateProblem {
  kCannotRead,             // not one of the forms below
  kNoSuchDay,              // 2010/2/30, 2010/13/1
  kOutsideShowableYears,   // before 1583 or after 32767
  kOutsideEra,             // 平成31年5月1日, R1.4.30, 明治5年 (before the era table)
};

using DateReading = std::variant<std::chrono::year_month_day, DateProblem>;

// Reads a date typed as one of
//   2010/5/3   2010-05-03   2010年5月3日   20100503
//   令和8年12月7日   令和元年5月1日   R8.12.7   h14/3/1   S64-1-7
// in UTF-8 with ASCII digits (full-width ones are the caller's to fold),
// spaces around it allowed. Months and days take one or two digits; eight
// digits alone are YYYYMMDD; an era letter (M T S H R, either case) takes
// `.`, `/` or `-`, the same one twice, and 元年 is the kanji form's year 1.
DateReading readDate(std::string_view text);

}  // namespace hiduke
