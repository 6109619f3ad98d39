#include "main_window/search_dialog.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "main_window/store_messages.h"

namespace hiduke {
namespace {

// More would only take time to list: the newest are shown, and the count.
constexpr std::size_t kMostShown = 1000;
// Longer than anyone types to find a note: a paste is cut there, so that
// a stray megabyte in the field costs no more than a sentence.
constexpr int kLongestQuery = 200;

}  // namespace

SearchDialog::SearchDialog(StoreResult<NoteSearch> notes, std::chrono::year_month_day today, const QString& title,
                           QWidget* parent)
    : QDialog(parent), today_(today) {
  setObjectName(QStringLiteral("searchDialog"));
  setWindowTitle(title);
  query_ = new QLineEdit(this);
  query_->setObjectName(QStringLiteral("searchQuery"));
  query_->setAccessibleName(QStringLiteral("検索する言葉"));
  query_->setPlaceholderText(QStringLiteral("検索する言葉"));
  query_->setMaxLength(kLongestQuery);
  results_ = new SearchResults(this);
  list_ = new QListView(this);
  list_->setObjectName(QStringLiteral("searchResults"));
  list_->setAccessibleName(QStringLiteral("見つかった予定"));
  list_->setUniformItemSizes(true);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setModel(results_);
  count_ = new QLabel(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(query_);
  layout->addWidget(list_);
  layout->addWidget(count_);
  resize(420, 320);

  connect(query_, &QLineEdit::textChanged, this, &SearchDialog::search);
  connect(list_, &QListView::activated, this, &SearchDialog::choose);
  query_->installEventFilter(this);

  if (notes) {
    search_.emplace(std::move(*notes));
    search();
  } else {
    count_->setText(storeErrorMessage(notes.error()));
    count_->setWordWrap(true);
  }
}

void SearchDialog::search() {
  if (!search_) return;
  // A line pasted whole keeps its line break, which no line of a note
  // holds: its first line with something in it is searched.
  static const QRegularExpression kLineBreaks(QStringLiteral("[\\r\\n]+"));
  const QStringList lines = query_->text().split(kLineBreaks, Qt::SkipEmptyParts);
  const QString query = lines.isEmpty() ? QString() : lines.front();
  // Backspace goes back to a query typed on the way here: its results are
  // kept, and only those of the start of what is typed now.
  std::erase_if(typed_, [&query](const auto& typed) { return !query.startsWith(typed.first); });
  if (typed_.empty() || typed_.back().first != query) {
    typed_.emplace_back(query, query.isEmpty() ? search_->upcoming(today_, kMostShown) : search_->find(query, kMostShown));
  }
  const NoteSearch::Result& found = typed_.back().second;
  const std::size_t shown = found.hits.size();
  results_->show(*search_, found.hits);
  if (query.isEmpty()) {
    count_->setText(found.total == 0 ? QStringLiteral("今日から後の予定はありません") : QStringLiteral("今日から後の予定"));
  } else if (found.total > shown) {
    count_->setText(QStringLiteral("%1 件（新しい %2 件を表示）").arg(QString::number(found.total), QString::number(shown)));
  } else {
    count_->setText(QStringLiteral("%1 件").arg(found.total));
  }
  list_->setCurrentIndex(results_->index(0));
}

void SearchDialog::choose() {
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid()) return;
  chosen_ = results_->date(current.row());
  accept();
}

bool SearchDialog::eventFilter(QObject* watched, QEvent* event) {
  // Return while typing chooses the day selected in the list; the arrows
  // move through the list without leaving the line.
  if (watched == query_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      choose();
      return true;
    }
    if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up || key->key() == Qt::Key_PageDown ||
        key->key() == Qt::Key_PageUp) {
      QCoreApplication::sendEvent(list_, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace hiduke
