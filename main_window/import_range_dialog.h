#pragma once

#include <QDialog>
#include <chrono>

#include "ical/ical_import.h"

class QDateEdit;
class QLabel;

namespace hiduke {

// The first step of 「iCalendar から読み込む」: the days over which repeating
// events are read, one year back to two years ahead of today unless the
// person chooses others. A first day after the last is named in the dialog,
// which stays open.
class ImportRangeDialog : public QDialog {
  Q_OBJECT

 public:
  ImportRangeDialog(std::chrono::year_month_day today, QWidget* parent = nullptr);

  ImportRange range() const;

  void accept() override;

 private:
  QDateEdit* first_ = nullptr;
  QDateEdit* last_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace hiduke
