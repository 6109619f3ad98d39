#include "main_window/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace hiduke {

void showMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace hiduke
