#pragma once

#include <QAbstractListModel>
#include <chrono>
#include <vector>

#include "main_window/note_search.h"

namespace hiduke {

// What a search found, as the rows of a list: each its date with the
// weekday and its line, made when the view asks for the row.
class SearchResults : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Shows `hits` of `search`, which outlives the rows.
  void show(const NoteSearch& search, std::vector<NoteSearch::Hit> hits);
  std::chrono::year_month_day date(int row) const { return search_->date(hits_[static_cast<std::size_t>(row)]); }

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const NoteSearch* search_ = nullptr;
  std::vector<NoteSearch::Hit> hits_;
};

}  // namespace hiduke
