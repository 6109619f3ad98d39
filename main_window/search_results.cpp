#include "main_window/search_results.h"

#include "main_window/day_description.h"

namespace hiduke {

void SearchResults::show(const NoteSearch& search, std::vector<NoteSearch::Hit> hits) {
  beginResetModel();
  search_ = &search;
  hits_ = std::move(hits);
  endResetModel();
}

int SearchResults::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(hits_.size());
}

QVariant SearchResults::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const NoteSearch::Hit hit = hits_[static_cast<std::size_t>(index.row())];
  return dateWithWeekday(search_->date(hit)) + QStringLiteral("  ") + search_->line(hit);
}

}  // namespace hiduke
