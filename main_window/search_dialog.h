#pragma once

#include <QDialog>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "main_window/note_search.h"
#include "main_window/search_results.h"

class QLabel;
class QLineEdit;
class QListView;

namespace hiduke {

// 「予定を検索」: a line to type in and the days whose note holds it, newest
// first, following the typing; while the line is empty, the notes from
// today on, nearest first (「今後の予定」). Return or a double-click chooses
// a day.
class SearchDialog : public QDialog {
  Q_OBJECT

 public:
  // Searches `notes`, every note as the file held it when the search began;
  // `title` names the dialog.
  SearchDialog(StoreResult<NoteSearch> notes, std::chrono::year_month_day today, const QString& title,
               QWidget* parent = nullptr);

  std::optional<std::chrono::year_month_day> chosenDay() const { return chosen_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void search();
  void choose();

  std::optional<NoteSearch> search_;
  std::vector<std::pair<QString, NoteSearch::Result>> typed_;  // each the start of the next
  std::chrono::year_month_day today_;
  std::optional<std::chrono::year_month_day> chosen_;
  QLineEdit* query_ = nullptr;
  SearchResults* results_ = nullptr;
  QListView* list_ = nullptr;
  QLabel* count_ = nullptr;
};

}  // namespace hiduke
