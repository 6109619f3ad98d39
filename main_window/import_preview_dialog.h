#pragma once

#include <QDialog>

#include "ical/ical_import.h"

namespace hiduke {

// What an import will do, shown before anything is written: how many days
// get a note, have lines added or stay as they are, and each event that
// cannot be read whole, with its date, its summary and what was left out.
// Accepted (読み込む), the import goes ahead. `replanned`: the note file
// changed after the first plan, and this one was made anew.
class ImportPreviewDialog : public QDialog {
  Q_OBJECT

 public:
  ImportPreviewDialog(const ImportPlan& plan, bool replanned, QWidget* parent = nullptr);
};

}  // namespace hiduke
