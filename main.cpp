#include <QApplication>

#include "main_window/app_icon.h"
#include "main_window/design_fonts.h"
#include "main_window/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hiduke"));
  QApplication::setWindowIcon(hiduke::AppIcon());
  hiduke::InstallFontSubstitutes();

  hiduke::MainWindow window;
  window.start();
  window.show();
  return QApplication::exec();
}
