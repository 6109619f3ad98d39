#include "main_window/go_to_date_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "main_window/screen_reader.h"
#include "month_model/date_reader.h"

namespace hiduke {
namespace {

constexpr int kLongestDate = 32;

QString problemText(DateProblem problem, const QString& typed) {
  switch (problem) {
    case DateProblem::kCannotRead: return QStringLiteral("「%1」は日付として読めません。").arg(typed);
    case DateProblem::kNoSuchDay: return QStringLiteral("「%1」という日はありません。").arg(typed);
    case DateProblem::kOutsideShowableYears:
      return QStringLiteral("「%1」は表示できる範囲（1583年1月から32767年12月まで）の外です。").arg(typed);
    case DateProblem::kOutsideEra: return QStringLiteral("「%1」はその元号の期間の外です。").arg(typed);
  }
  return QString();
}

}  // namespace

GoToDateDialog::GoToDateDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("goToDateDialog"));
  setWindowTitle(QStringLiteral("日付へ移動"));
  auto* prompt = new QLabel(QStringLiteral("日付（2010/5/3、令和8年12月7日、R8.12.7 など）:"), this);
  date_ = new QLineEdit(this);
  date_->setObjectName(QStringLiteral("dateField"));
  date_->setAccessibleName(QStringLiteral("日付"));
  // The longest way of writing a date, with room to spare: a paste is cut
  // there, and the problem that quotes it stays short.
  date_->setMaxLength(kLongestDate);
  prompt->setBuddy(date_);
  new Announcer(this);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("dateProblem"));
  problem_->setWordWrap(true);
  // Room for the problem from the start: the dialog keeps its size, and
  // the text never runs over the field.
  problem_->setFixedHeight(problem_->fontMetrics().lineSpacing() * 3);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &GoToDateDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &GoToDateDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addWidget(date_);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
  const int width = sizeHint().width() * 3 / 2;
  setFixedSize(width, sizeHint().height());
}

void GoToDateDialog::accept() {
  const QString typed = date_->text().trimmed();
  // Full-width digits and letters, as an input method types them, read as
  // their plain forms.
  const QByteArray text = typed.normalized(QString::NormalizationForm_KC).toUtf8();
  const DateReading reading = readDate(std::string_view(text.constData(), static_cast<size_t>(text.size())));
  if (const auto* day = std::get_if<std::chrono::year_month_day>(&reading)) {
    chosen_ = *day;
    QDialog::accept();
    return;
  }
  problem_->setText(problemText(std::get<DateProblem>(reading), typed));
  announce(this, problem_->text());
  date_->selectAll();
  date_->setFocus();
}

}  // namespace hiduke
