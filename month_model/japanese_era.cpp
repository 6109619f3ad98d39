#include "month_model/japanese_era.h"

#include <array>

namespace hiduke {
namespace {

using namespace std::chrono;

constexpr std::array kEraTable = std::to_array<Era>({
    {EraId::kMeiji, "明治", 'M', year{1873} / January / 1, year{1868}},
    {EraId::kTaisho, "大正", 'T', year{1912} / July / 30, year{1912}},
    {EraId::kShowa, "昭和", 'S', year{1926} / December / 25, year{1926}},
    {EraId::kHeisei, "平成", 'H', year{1989} / January / 8, year{1989}},
    {EraId::kReiwa, "令和", 'R', year{2019} / May / 1, year{2019}},
});

constexpr bool isInIdOrder() {
  for (std::size_t index = 0; index < kEraTable.size(); ++index) {
    if (static_cast<std::size_t>(kEraTable[index].id) != index) return false;
    if (index > 0 && kEraTable[index - 1].firstDay >= kEraTable[index].firstDay) return false;
  }
  return true;
}
static_assert(isInIdOrder());

// The era's last day is the day before this one; nothing for the last era.
std::optional<year_month_day> firstDayAfter(EraId era) {
  const auto next = static_cast<std::size_t>(era) + 1;
  if (next == kEraTable.size()) return std::nullopt;
  return kEraTable[next].firstDay;
}

}  // namespace

std::span<const Era> eraTable() { return kEraTable; }

const Era& eraOf(EraId id) { return kEraTable[static_cast<std::size_t>(id)]; }

std::optional<EraYear> eraYearOf(year_month_day date) {
  if (!date.ok() || date < kEraTable.front().firstDay) return std::nullopt;
  const Era* era = &kEraTable.front();
  for (const Era& candidate : kEraTable) {
    if (date >= candidate.firstDay) era = &candidate;
  }
  return EraYear{era->id, int{date.year()} - int{era->firstYear} + 1};
}

std::optional<year_month_day> gregorianDateOf(EraId era, int eraYear, month eraMonth, day eraDay) {
  const Era& row = eraOf(era);
  // Worked in long long until it is known to fit std::chrono::year.
  const long long gregorianYear = static_cast<long long>(int{row.firstYear}) + eraYear - 1;
  if (eraYear < 1 || gregorianYear > int{year::max()}) return std::nullopt;
  const year_month_day date{year{static_cast<int>(gregorianYear)}, eraMonth, eraDay};
  if (!date.ok() || date < row.firstDay) return std::nullopt;
  const std::optional<year_month_day> after = firstDayAfter(era);
  if (after && date >= *after) return std::nullopt;
  return date;
}

}  // namespace hiduke
