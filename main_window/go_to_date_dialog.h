#pragma once

#include <QDialog>
#include <chrono>
#include <optional>

class QLabel;
class QLineEdit;

namespace hiduke {

// 「日付へ移動」: one field that takes a date as people write it (2010/5/3,
// 2010年5月3日, 令和8年12月7日, R8.12.7 ...). A date it cannot go to is
// named in the dialog, which stays open.
class GoToDateDialog : public QDialog {
  Q_OBJECT

 public:
  explicit GoToDateDialog(QWidget* parent = nullptr);

  std::optional<std::chrono::year_month_day> chosenDay() const { return chosen_; }

  void accept() override;

 private:
  std::optional<std::chrono::year_month_day> chosen_;
  QLineEdit* date_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace hiduke
