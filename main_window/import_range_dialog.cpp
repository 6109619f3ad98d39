#include "main_window/import_range_dialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "main_window/screen_reader.h"

namespace hiduke {
namespace {

QDate toQDate(std::chrono::year_month_day date) {
  return QDate(static_cast<int>(date.year()), static_cast<int>(unsigned{date.month()}), static_cast<int>(unsigned{date.day()}));
}

std::chrono::year_month_day toDate(QDate date) {
  return std::chrono::year(date.year()) / std::chrono::month(static_cast<unsigned>(date.month())) /
         std::chrono::day(static_cast<unsigned>(date.day()));
}

QDateEdit* dateField(std::chrono::year_month_day date, const QString& name, QWidget* parent) {
  auto* field = new QDateEdit(toQDate(date), parent);
  field->setObjectName(name);
  // The years an iCalendar file can hold.
  field->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
  field->setDisplayFormat(QStringLiteral("yyyy年M月d日"));
  field->setCalendarPopup(true);
  return field;
}

}  // namespace

ImportRangeDialog::ImportRangeDialog(std::chrono::year_month_day today, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("importRangeDialog"));
  setWindowTitle(QStringLiteral("iCalendar から読み込む"));
  const ImportRange range = defaultImportRange(today);
  auto* explanation = new QLabel(QStringLiteral("繰り返す予定は、次の期間の日に読み込みます。"), this);
  explanation->setWordWrap(true);
  first_ = dateField(range.first, QStringLiteral("importFirstDay"), this);
  last_ = dateField(range.last, QStringLiteral("importLastDay"), this);
  first_->setAccessibleName(QStringLiteral("最初の日"));
  last_->setAccessibleName(QStringLiteral("最後の日"));
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("最初の日(&F):"), first_);
  fields->addRow(QStringLiteral("最後の日(&L):"), last_);
  new Announcer(this);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("importRangeProblem"));
  problem_->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("次へ"));
  connect(buttons, &QDialogButtonBox::accepted, this, &ImportRangeDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ImportRangeDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation);
  layout->addLayout(fields);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
  // Room for the problem from the start: the dialog keeps its size.
  problem_->setFixedHeight(problem_->fontMetrics().lineSpacing() * 2);
  setFixedSize(sizeHint().width() * 3 / 2, sizeHint().height());
}

ImportRange ImportRangeDialog::range() const { return {.first = toDate(first_->date()), .last = toDate(last_->date())}; }

void ImportRangeDialog::accept() {
  if (first_->date() <= last_->date()) {
    QDialog::accept();
    return;
  }
  problem_->setText(QStringLiteral("最初の日が最後の日より後になっています。"));
  announce(this, problem_->text());
  first_->setFocus();
}

}  // namespace hiduke
