#include "main_window/import_preview_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "main_window/day_description.h"
#include "main_window/import_messages.h"

namespace hiduke {
namespace {

constexpr int kWidestList = 900;
// A calendar of a million events may have as many that cannot be read: the
// list, which someone reads, stops well before.
constexpr std::size_t kListedEvents = 1000;

QLabel* countLabel(std::size_t count, const QString& unit, const QString& name, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("%1%2").arg(count).arg(unit), parent);
  label->setObjectName(name);
  return label;
}

QTreeWidget* unreadableList(const std::vector<UnreadableEvent>& events, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QStringLiteral("unreadableEvents"));
  list->setAccessibleName(QStringLiteral("読み込めない予定"));
  list->setRootIsDecorated(false);
  list->setHeaderLabels({QStringLiteral("日付"), QStringLiteral("予定"), QStringLiteral("読み込めないもの")});
  const std::size_t listed = std::min(events.size(), kListedEvents);
  for (std::size_t index = 0; index < listed; ++index) {
    const UnreadableEvent& event = events[index];
    list->addTopLevelItem(new QTreeWidgetItem(
        {event.start.ok() ? dateWithWeekday(event.start) : QString(), QString::fromStdString(event.summary), eventLeftOutText(event)}));
  }
  if (listed < events.size()) {
    list->addTopLevelItem(new QTreeWidgetItem({QString(), QStringLiteral("ほか %1 件").arg(events.size() - listed)}));
  }
  for (int column = 0; column < list->columnCount(); ++column) list->resizeColumnToContents(column);
  // Every column in sight, up to a width that still fits a small screen.
  list->setMinimumWidth(
      std::min(list->header()->length() + list->frameWidth() * 2 + list->verticalScrollBar()->sizeHint().width(), kWidestList));
  return list;
}

}  // namespace

ImportPreviewDialog::ImportPreviewDialog(const ImportPlan& plan, bool replanned, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("importPreviewDialog"));
  setWindowTitle(QStringLiteral("iCalendar から読み込む"));
  auto* layout = new QVBoxLayout(this);
  if (replanned) {
    auto* notice = new QLabel(
        QStringLiteral("予定のファイルがほかのところで変更されたため、読み込む内容を確かめ直しました。"), this);
    notice->setWordWrap(true);
    layout->addWidget(notice);
  }
  auto* counts = new QFormLayout;
  const QString days = QStringLiteral(" 日");
  counts->addRow(QStringLiteral("新しく予定ができる日:"), countLabel(plan.newDays, days, QStringLiteral("newDays"), this));
  counts->addRow(QStringLiteral("予定が書き足される日:"), countLabel(plan.addedToDays, days, QStringLiteral("addedToDays"), this));
  counts->addRow(QStringLiteral("変わらない日:"), countLabel(plan.unchangedDays, days, QStringLiteral("unchangedDays"), this));
  counts->addRow(QStringLiteral("読み込めない予定:"),
                 countLabel(plan.unreadable.size(), QStringLiteral(" 件"), QStringLiteral("unreadableCount"), this));
  layout->addLayout(counts);
  if (!plan.unreadable.empty()) layout->addWidget(unreadableList(plan.unreadable, this));
  const bool anything = !plan.batch.empty() || !plan.batch.addedLines.empty();
  auto* question = new QLabel(anything ? QStringLiteral("読み込みますか？") : QStringLiteral("読み込む予定はありません。"), this);
  question->setObjectName(QStringLiteral("importQuestion"));
  layout->addWidget(question);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* first = nullptr;
  if (anything) {
    first = buttons->addButton(QStringLiteral("読み込む"), QDialogButtonBox::AcceptRole);
    first->setObjectName(QStringLiteral("importButton"));
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  } else {
    first = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
  }
  // A screen reader says the focused button and its description: the
  // counts and the question, which the person decides on.
  const QString said = QStringLiteral("新しく予定ができる日 %1 日、予定が書き足される日 %2 日、変わらない日 %3 日、読み込めない予定 %4 件。%5")
                           .arg(plan.newDays)
                           .arg(plan.addedToDays)
                           .arg(plan.unchangedDays)
                           .arg(plan.unreadable.size())
                           .arg(question->text());
  setAccessibleDescription(said);
  first->setAccessibleDescription(said);
  first->setDefault(true);
  first->setFocus();
  connect(buttons, &QDialogButtonBox::accepted, this, &ImportPreviewDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ImportPreviewDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace hiduke
