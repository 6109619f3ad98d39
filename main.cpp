#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "main_window/app_icon.h"
#include "main_window/command_line.h"
#include "main_window/design_fonts.h"
#include "main_window/main_window.h"
#include "main_window/qt_translation.h"
#include "main_window/store_messages.h"

namespace {

// --export-ical: no window, no display; what was left out goes to standard
// error, with any failure.
int exportNotes(const std::string& path) {
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open();
  hiduke::StoreResult<hiduke::ExportReport> report =
      store ? hiduke::exportICalendar(*store, path) : hiduke::StoreResult<hiduke::ExportReport>(store.error());
  if (!report) {
    std::fprintf(stderr, "hiduke: %s\n", qPrintable(hiduke::storeErrorMessage(report.error())));
    return 1;
  }
  std::fprintf(stderr, "hiduke: %s\n", qPrintable(hiduke::exportSummary(*report)));
  return 0;
}

// Whether Qt can open a window here; without one it ends the program.
bool hasDisplay() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  const hiduke::CommandLine commandLine = hiduke::readCommandLine(argc, argv);
  switch (commandLine.action) {
    case hiduke::CommandLine::Action::kHelp:
      std::fputs(hiduke::usageText(), stdout);
      return 0;
    case hiduke::CommandLine::Action::kVersion:
      std::fputs(hiduke::versionText(), stdout);
      return 0;
    case hiduke::CommandLine::Action::kRefuse:
      std::fprintf(stderr, "hiduke: 分からない引数です: %s\n\n%s", commandLine.refused.c_str(), hiduke::usageText());
      return 2;
    case hiduke::CommandLine::Action::kExportICal:
      return exportNotes(commandLine.exportPath);
    case hiduke::CommandLine::Action::kStart:
      break;
  }

  // The note file's directory first: a start in a directory that has been
  // removed ends with a message, on a display where there is one.
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open();
  if (!store) {
    const QString message = store.error().kind == hiduke::StoreErrorKind::kDirectoryGone
                                ? QStringLiteral("起動したディレクトリは削除されています。ほかのディレクトリで起動してください。")
                                : hiduke::storeErrorMessage(store.error());
    std::fprintf(stderr, "hiduke: %s\n", qPrintable(message));
    if (!hasDisplay()) return 1;
    QApplication app(argc, argv);
    hiduke::installQtJapanese(app);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("hiduke"), message, QMessageBox::Ok);
    box.exec();
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hiduke"));
  QApplication::setWindowIcon(hiduke::appIcon());
  hiduke::installQtJapanese(app);
  hiduke::installFontSubstitutes();
  hiduke::MainWindow window(std::move(*store));
  window.start();
  window.show();
  return QApplication::exec();
}
