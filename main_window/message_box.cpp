#include "main_window/message_box.h"

#include <QMessageBox>

namespace hiduke {

void showMessage(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace hiduke
