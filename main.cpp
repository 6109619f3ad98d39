#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
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

constexpr char kNoDisplay[] =
    "ウィンドウを開く画面に接続できません（環境変数 DISPLAY が設定されていないか、その画面に接続できません）。"
    "画面のない環境で使えるのは --help、--version と --export-ical です。";

// What Qt says while it connects to the display, held until it has: where
// there is none, Qt ends the program, and the person reads one Japanese
// sentence instead of Qt's English.
QStringList& heldQtMessages() {
  static QStringList messages;
  return messages;
}

void holdQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "hiduke: %s\n", kNoDisplay);
    std::_Exit(1);
  }
  heldQtMessages() << qFormatLogMessage(type, context, message);
}

// The application, connected to its display; exit 1 with a message without one.
std::unique_ptr<QApplication> connectToDisplay(int& argc, char* argv[]) {
  const QtMessageHandler qtHandler = qInstallMessageHandler(holdQtMessage);
  auto app = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(qtHandler);
  for (const QString& message : std::exchange(heldQtMessages(), {})) std::fprintf(stderr, "%s\n", qPrintable(message));
  hiduke::installQtJapanese(*app);
  return app;
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
    case hiduke::CommandLine::Action::kMissingValue:
      std::fprintf(stderr, "hiduke: %s のあとに、書き出すファイルの名前がありません（- は標準出力）。\n\n%s",
                   commandLine.refused.c_str(), hiduke::usageText());
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
    const std::unique_ptr<QApplication> app = connectToDisplay(argc, argv);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("hiduke"), message, QMessageBox::Ok);
    box.exec();
    return 1;
  }

  const std::unique_ptr<QApplication> app = connectToDisplay(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hiduke"));
  QApplication::setWindowIcon(hiduke::appIcon());
  hiduke::installFontSubstitutes();
  hiduke::MainWindow window(std::move(*store));
  window.start();
  window.show();
  return QApplication::exec();
}
