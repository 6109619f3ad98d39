#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>
#include <string>

#include "app/command_line.h"
#include "app/qt_translation.h"
#include "ical/ical_export.h"
#include "ical/ical_import.h"
#include "main_window/app_icon.h"
#include "main_window/conflict_messages.h"
#include "main_window/design_fonts.h"
#include "main_window/import_messages.h"
#include "main_window/main_window.h"
#include "main_window/start_messages.h"
#include "main_window/store_messages.h"

namespace {

void print(std::FILE* stream, const QString& text) { std::fputs(qPrintable(text), stream); }

// --export-ical: no window, no display; what was left out goes to standard
// error, with any failure.
int exportNotes(const std::string& path) {
  // Found closed before anything is opened: the note file's directory
  // would take its number, and the calendar would be written there.
  if (path == "-" && ::fcntl(STDOUT_FILENO, F_GETFD) == -1) {
    print(stderr, QStringLiteral("hiduke: %1\n").arg(hiduke::storeErrorMessage(hiduke::StoreError{
                      .kind = hiduke::StoreErrorKind::kWriteFailed,
                      .operation = hiduke::StoreOperation::kExport,
                      .errorNumber = EBADF,
                      .path = path})));
    return 1;
  }
  // A reader that goes away early makes the next write fail with EPIPE,
  // which is then worded, instead of ending the program without a word.
  std::signal(SIGPIPE, SIG_IGN);
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open();
  hiduke::StoreResult<hiduke::ExportReport> report =
      store ? hiduke::exportICalendar(*store, path) : hiduke::StoreResult<hiduke::ExportReport>(store.error());
  if (!report) {
    print(stderr, QStringLiteral("hiduke: %1\n").arg(hiduke::storeErrorMessage(report.error())));
    return 1;
  }
  print(stderr, QStringLiteral("hiduke: %1\n").arg(hiduke::exportSummary(*report)));
  return 0;
}

// --merge-conflicts: no window, no display; what the merge did on standard
// output, a failure on standard error.
int mergeConflicts() {
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open();
  hiduke::StoreResult<hiduke::ConflictMergeReport> report =
      store ? hiduke::mergeConflictCopies(*store)
            : hiduke::StoreResult<hiduke::ConflictMergeReport>(store.error());
  if (!report) {
    print(stderr, QStringLiteral("hiduke: %1\n").arg(hiduke::storeErrorMessage(report.error())));
    return 1;
  }
  for (const hiduke::StoreError& warning : report->warnings) {
    print(stderr, QStringLiteral("hiduke: %1\n").arg(hiduke::storeErrorMessage(warning)));
  }
  print(stdout, report->plan.copies.empty() ? QStringLiteral("分かれた予定のファイルはありません。\n")
                                            : hiduke::conflictMergeSummary(*report) + QLatin1Char('\n'));
  return 0;
}

// Today in the local time zone.
std::chrono::year_month_day today() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  ::localtime_r(&now, &parts);
  return std::chrono::year(parts.tm_year + 1900) / static_cast<unsigned>(parts.tm_mon + 1) /
         static_cast<unsigned>(parts.tm_mday);
}

// --import-ical: no window, no display. What the import will do, then what
// it did, on standard output; a failure on standard error. A note file
// changed by another program meanwhile is read again and the import
// planned once more (a calendar read from standard input cannot be read
// twice).
int importNotes(const hiduke::CommandLine& line) {
  const auto fail = [](const hiduke::StoreError& error) {
    print(stderr, QStringLiteral("hiduke: %1\n").arg(hiduke::storeErrorMessage(error)));
    return 1;
  };
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open();
  if (!store) return fail(store.error());
  const hiduke::ImportRange range = hiduke::importRangeOf(today(), line.from, line.to);
  for (int attempt = 0;; ++attempt) {
    const hiduke::StoreResult<hiduke::ImportPlan> plan = hiduke::planImport(*store, line.importPath, range);
    if (!plan) return fail(plan.error());
    print(stdout, hiduke::importPlanSummary(*plan));
    if (plan->batch.empty()) return 0;
    const hiduke::StoreResult<hiduke::BatchReport> saved = store->saveNotes(plan->batch, plan->readFrom);
    if (!saved && saved.error().kind == hiduke::StoreErrorKind::kChangedOnDisk && attempt == 0 &&
        line.importPath != "-") {
      print(stdout, QStringLiteral("%1 がほかのところで変更されたため、読み直します。\n").arg(QString::fromStdString(store->path())));
      continue;
    }
    if (!saved) {
      hiduke::StoreError error = saved.error();
      error.operation = hiduke::StoreOperation::kImport;
      return fail(error);
    }
    print(stdout, hiduke::importResult(*saved));
    for (const hiduke::StoreError& warning : saved->warnings) fail(warning);
    return 0;
  }
}

// What Qt says while it connects to the display, held until it has: where
// there is none, Qt ends the program, and the person reads one Japanese
// sentence instead of Qt's English.
QStringList& heldQtMessages() {
  static QStringList messages;
  return messages;
}

void holdQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    print(stderr, QStringLiteral("hiduke: ") + hiduke::noDisplayMessage());
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
      print(stdout, hiduke::usageText());
      return 0;
    case hiduke::CommandLine::Action::kVersion:
      print(stdout, hiduke::versionText());
      return 0;
    case hiduke::CommandLine::Action::kRefuse:
      print(stderr, hiduke::unknownArgumentMessage(QString::fromLocal8Bit(commandLine.refused)));
      return 2;
    case hiduke::CommandLine::Action::kMissingValue:
      print(stderr, hiduke::missingFileNameMessage(QString::fromLocal8Bit(commandLine.refused)));
      return 2;
    case hiduke::CommandLine::Action::kBadDate:
      print(stderr, hiduke::badDateMessage(QString::fromLocal8Bit(commandLine.refused)));
      return 2;
    case hiduke::CommandLine::Action::kExportICal:
      return exportNotes(commandLine.exportPath);
    case hiduke::CommandLine::Action::kImportICal:
      return importNotes(commandLine);
    case hiduke::CommandLine::Action::kMergeConflicts:
      return mergeConflicts();
    case hiduke::CommandLine::Action::kStart:
      break;
  }

  // The note file's directory first: a start in a directory that has been
  // removed ends with a message, on a display where there is one.
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open();
  if (!store) {
    const QString message = store.error().kind == hiduke::StoreErrorKind::kDirectoryGone
                                ? hiduke::directoryGoneAtStartMessage()
                                : hiduke::storeErrorMessage(store.error()) + QLatin1Char('\n');
    print(stderr, QStringLiteral("hiduke: ") + message);
    const std::unique_ptr<QApplication> app = connectToDisplay(argc, argv);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("日付カレンダー"), message.trimmed(), QMessageBox::Ok);
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
