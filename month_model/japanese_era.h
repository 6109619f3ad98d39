#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string_view>

namespace hiduke {

enum class EraId { kMeiji, kTaisho, kShowa, kHeisei, kReiwa };

// One era of the table. An era runs from its first day to the day before the
// next era's first day; the last runs on. Its years are counted from
// firstYear, its year 1 (元年), which for 明治 lies before the table covers
// it: 明治 began in 1868 under the old calendar, and the table starts on the
// Gregorian calendar's first day in Japan, 1873-01-01 (明治6年).
struct Era {
  EraId id;
  std::string_view name;  // in kanji, UTF-8: "明治"
  char letter;            // upper case: 'M'
  std::chrono::year_month_day firstDay;
  std::chrono::year firstYear;
};

// The eras in order, each at the index of its EraId.
std::span<const Era> eraTable();
const Era& eraOf(EraId id);

struct EraYear {
  EraId era;
  int year;  // 1 for 元年
  friend bool operator==(const EraYear&, const EraYear&) = default;
};

// The era and era year of a valid date; nothing before 1873-01-01.
std::optional<EraYear> eraYearOf(std::chrono::year_month_day date);

// The Gregorian date of a month and day of an era year, or nothing when that
// day does not exist or does not lie in the era (昭和64年1月8日 is already
// 平成, 明治5年 is before the table); also nothing for a year past 32767.
std::optional<std::chrono::year_month_day> gregorianDateOf(EraId era, int eraYear, std::chrono::month month,
                                                           std::chrono::day day);

}  // namespace hiduke
