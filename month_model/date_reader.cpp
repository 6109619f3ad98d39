#include "month_model/date_reader.h"

#include <algorithm>
#include <optional>

#include "month_model/japanese_era.h"
#include "month_model/month_grid.h"

namespace hiduke {
namespace {

using namespace std::chrono;

// Larger than any year in question, and small enough that the arithmetic on
// it cannot overflow however many digits are typed.
constexpr long long kNumberCeiling = 1'000'000'000;

// Reads `text` from the front, one piece at a time; a piece that is not
// there leaves the text as it was.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : rest_(text) {}

  bool atEnd() const { return rest_.empty(); }

  bool take(std::string_view literal) {
    if (!rest_.starts_with(literal)) return false;
    rest_.remove_prefix(literal.size());
    return true;
  }

  std::optional<char> takeOneOf(std::string_view characters) {
    if (rest_.empty() || characters.find(rest_.front()) == std::string_view::npos) return std::nullopt;
    const char taken = rest_.front();
    rest_.remove_prefix(1);
    return taken;
  }

  // A run of at least `fewest` and at most `most` ASCII digits; a longer run
  // is not taken at all. The value stops growing at kNumberCeiling.
  std::optional<long long> number(std::size_t fewest, std::size_t most) {
    std::size_t length = 0;
    while (length < rest_.size() && rest_[length] >= '0' && rest_[length] <= '9') ++length;
    if (length < fewest || length > most) return std::nullopt;
    long long value = 0;
    for (std::size_t index = 0; index < length; ++index) {
      value = std::min(kNumberCeiling, value * 10 + (rest_[index] - '0'));
    }
    rest_.remove_prefix(length);
    return value;
  }

 private:
  std::string_view rest_;
};

constexpr std::size_t kAnyLength = std::string_view::npos;

struct MonthAndDay {
  long long month;
  long long day;
};

// "5/3" after the year's separator has been read as `separator`.
std::optional<MonthAndDay> monthAndDayAfter(Scanner& in, char separator) {
  const std::optional<long long> monthNumber = in.number(1, 2);
  if (!monthNumber || !in.take(std::string_view(&separator, 1))) return std::nullopt;
  const std::optional<long long> dayNumber = in.number(1, 2);
  if (!dayNumber || !in.atEnd()) return std::nullopt;
  return MonthAndDay{*monthNumber, *dayNumber};
}

// "5月3日" to the end.
std::optional<MonthAndDay> kanjiMonthAndDay(Scanner& in) {
  const std::optional<long long> monthNumber = in.number(1, 2);
  if (!monthNumber || !in.take("月")) return std::nullopt;
  const std::optional<long long> dayNumber = in.number(1, 2);
  if (!dayNumber || !in.take("日") || !in.atEnd()) return std::nullopt;
  return MonthAndDay{*monthNumber, *dayNumber};
}

// Month and day are one or two digits, so they fit the chrono types, which
// say whether the day exists.
DateReading gregorianDate(long long yearNumber, MonthAndDay monthAndDay) {
  if (yearNumber < int{kFirstShowableYear} || yearNumber > int{kLastShowableYear}) {
    return DateProblem::kOutsideShowableYears;
  }
  const year_month_day date{year{static_cast<int>(yearNumber)}, month{static_cast<unsigned>(monthAndDay.month)},
                            day{static_cast<unsigned>(monthAndDay.day)}};
  if (!date.ok()) return DateProblem::kNoSuchDay;
  return date;
}

// Era year 0 is the year before the era, so outside it like any other.
DateReading eraDate(const Era& era, long long eraYear, MonthAndDay monthAndDay) {
  const DateReading reading = gregorianDate(int{era.firstYear} + eraYear - 1, monthAndDay);
  const auto* date = std::get_if<year_month_day>(&reading);
  if (date == nullptr) return reading;
  const std::optional<year_month_day> inEra =
      gregorianDateOf(era.id, static_cast<int>(eraYear), date->month(), date->day());
  if (!inEra) return DateProblem::kOutsideEra;
  return *inEra;
}

std::optional<DateReading> readKanjiEraDate(Scanner in) {
  for (const Era& era : eraTable()) {
    if (!in.take(era.name)) continue;
    const std::optional<long long> eraYear = in.take("元") ? std::optional<long long>{1} : in.number(1, kAnyLength);
    if (!eraYear || !in.take("年")) return std::nullopt;
    const std::optional<MonthAndDay> monthAndDay = kanjiMonthAndDay(in);
    if (!monthAndDay) return std::nullopt;
    return eraDate(era, *eraYear, *monthAndDay);
  }
  return std::nullopt;
}

std::optional<DateReading> readLetterEraDate(Scanner in) {
  const std::optional<char> letter = in.takeOneOf("MTSHRmtshr");
  if (!letter) return std::nullopt;
  const char upper = *letter >= 'a' ? static_cast<char>(*letter - 'a' + 'A') : *letter;
  const auto era = std::ranges::find(eraTable(), upper, &Era::letter);
  const std::optional<long long> eraYear = in.number(1, kAnyLength);
  const std::optional<char> separator = in.takeOneOf("./-");
  if (!eraYear || !separator) return std::nullopt;
  const std::optional<MonthAndDay> monthAndDay = monthAndDayAfter(in, *separator);
  if (!monthAndDay) return std::nullopt;
  return eraDate(*era, *eraYear, *monthAndDay);
}

std::optional<DateReading> readEightDigits(Scanner in) {
  const std::optional<long long> digits = in.number(8, 8);
  if (!digits || !in.atEnd()) return std::nullopt;
  return gregorianDate(*digits / 10'000, {*digits / 100 % 100, *digits % 100});
}

std::optional<DateReading> readGregorianDate(Scanner in) {
  const std::optional<long long> yearNumber = in.number(1, kAnyLength);
  if (!yearNumber) return std::nullopt;
  std::optional<MonthAndDay> monthAndDay;
  if (in.take("年")) {
    monthAndDay = kanjiMonthAndDay(in);
  } else if (const std::optional<char> separator = in.takeOneOf("/-")) {
    monthAndDay = monthAndDayAfter(in, *separator);
  }
  if (!monthAndDay) return std::nullopt;
  return gregorianDate(*yearNumber, *monthAndDay);
}

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kSpaces = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpaces);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
}

}  // namespace

DateReading readDate(std::string_view text) {
  const Scanner in(trimmed(text));
  for (const auto read : {readKanjiEraDate, readLetterEraDate, readEightDigits, readGregorianDate}) {
    if (std::optional<DateReading> reading = read(in)) return *reading;
  }
  return DateProblem::kCannotRead;
}

}  // namespace hiduke
