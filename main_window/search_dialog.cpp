#include "main_window/search_dialog.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "main_window/day_description.h"
#include "main_window/store_messages.h"

namespace hiduke {
namespace {

// More would only take time to list: the newest are shown, and the count.
constexpr std::size_t kMostShown = 1000;
constexpr int kDateRole = Qt::UserRole;

}  // namespace

SearchDialog::SearchDialog(StoreResult<AllNotes> notes, std::chrono::year_month_day today, const QString& title,
                           QWidget* parent)
    : QDialog(parent), today_(today) {
  setObjectName(QStringLiteral("searchDialog"));
  setWindowTitle(title);
  query_ = new QLineEdit(this);
  query_->setObjectName(QStringLiteral("searchQuery"));
  query_->setAccessibleName(QStringLiteral("検索する言葉"));
  query_->setPlaceholderText(QStringLiteral("検索する言葉"));
  results_ = new QListWidget(this);
  results_->setObjectName(QStringLiteral("searchResults"));
  results_->setAccessibleName(QStringLiteral("見つかった予定"));
  count_ = new QLabel(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(query_);
  layout->addWidget(results_);
  layout->addWidget(count_);
  resize(420, 320);

  connect(query_, &QLineEdit::textChanged, this, &SearchDialog::search);
  connect(results_, &QListWidget::itemActivated, this, &SearchDialog::choose);
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
  results_->clear();
  if (!search_) return;
  const NoteSearch::Result found =
      query_->text().isEmpty() ? search_->upcoming(today_, kMostShown) : search_->find(query_->text(), kMostShown);
  for (const NoteSearch::Match& match : found.matches) {
    auto* item = new QListWidgetItem(dateWithWeekday(match.date) + QStringLiteral("  ") + match.line, results_);
    item->setData(kDateRole, QVariant::fromValue(static_cast<qint64>(std::chrono::sys_days(match.date).time_since_epoch().count())));
  }
  if (query_->text().isEmpty()) {
    count_->setText(found.total == 0 ? QStringLiteral("今日から後の予定はありません") : QStringLiteral("今日から後の予定"));
  } else if (found.total > found.matches.size()) {
    count_->setText(QStringLiteral("%1 件（新しい %2 件を表示）").arg(QString::number(found.total), QString::number(found.matches.size())));
  } else {
    count_->setText(QStringLiteral("%1 件").arg(found.total));
  }
  results_->setCurrentRow(0);
}

void SearchDialog::choose() {
  const QListWidgetItem* item = results_->currentItem();
  if (item == nullptr) return;
  chosen_ = std::chrono::year_month_day(std::chrono::sys_days(std::chrono::days(item->data(kDateRole).toLongLong())));
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
      QCoreApplication::sendEvent(results_, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace hiduke
