#include <QApplication>

#include "main_window/app_icon.h"
#include "main_window/command_line.h"
#include "main_window/design_fonts.h"
#include "main_window/main_window.h"
#include "main_window/qt_translation.h"

int main(int argc, char* argv[]) {
  if (const auto exitCode = hiduke::AnswerHelpOrVersion(argc, argv)) return *exitCode;
  QApplication app(argc, argv);
  if (const auto exitCode = hiduke::RejectLeftoverArguments(argc, argv)) return *exitCode;
  QApplication::setApplicationName(QStringLiteral("hiduke"));
  QApplication::setWindowIcon(hiduke::AppIcon());
  hiduke::InstallQtJapanese(app);
  hiduke::InstallFontSubstitutes();

  hiduke::MainWindow window;
  window.start();
  window.show();
  return QApplication::exec();
}
