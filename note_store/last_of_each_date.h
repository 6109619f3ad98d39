#pragma once

#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

namespace hiduke {

// Records in date order, of those of one date only the last: the note file's
// rule that the last record of a date is its note. `date` projects a record
// to its date. Records are mostly kept in date order already: sorting is
// then one look.
template <typename Record, typename Date>
void keepLastOfEachDate(std::vector<Record>& records, Date date) {
  const auto byDate = [&date](const Record& a, const Record& b) { return std::invoke(date, a) < std::invoke(date, b); };
  if (!std::is_sorted(records.begin(), records.end(), byDate)) std::stable_sort(records.begin(), records.end(), byDate);
  auto kept = records.begin();
  for (auto record = records.begin(); record != records.end(); ++record) {
    if (std::next(record) != records.end() && std::invoke(date, *std::next(record)) == std::invoke(date, *record)) continue;
    *kept++ = std::move(*record);
  }
  records.erase(kept, records.end());
}

}  // namespace hiduke
