// What the command line asks for, read before Qt or a display exists.
#include <QTest>
#include <vector>

#include "app/command_line.h"

using hiduke::CommandLine;
using Action = hiduke::CommandLine::Action;

Q_DECLARE_METATYPE(hiduke::CommandLine::Action)

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void readsTheArguments_data();
  void readsTheArguments();
};

void CommandLineTest::readsTheArguments_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<Action>("action");
  QTest::addColumn<QString>("value");  // the export's or import's file, or the argument refused
  QTest::newRow("nothing") << QStringList{} << Action::kStart << "";
  QTest::newRow("help") << QStringList{"--help"} << Action::kHelp << "";
  QTest::newRow("help after Qt's options") << QStringList{"-platform", "offscreen", "-h"} << Action::kHelp << "";
  QTest::newRow("version") << QStringList{"-v"} << Action::kVersion << "";
  QTest::newRow("export") << QStringList{"--export-ical", "notes.ics"} << Action::kExportICal << "notes.ics";
  QTest::newRow("export to standard output") << QStringList{"--export-ical", "-"} << Action::kExportICal << "-";
  QTest::newRow("merge conflict copies") << QStringList{"--merge-conflicts"} << Action::kMergeConflicts << "";
  QTest::newRow("export without a file") << QStringList{"--export-ical"} << Action::kMissingValue << "--export-ical";
  QTest::newRow("import over a range")
      << QStringList{"--import-ical", "-", "--from", "2024-01-01", "--to", "2024-12-31"} << Action::kImportICal << "-";
  QTest::newRow("a range that ends before it begins")
      << QStringList{"--import-ical", "a.ics", "--to", "2024-01-01", "--from", "2024-02-01"} << Action::kBadDate
      << "--to 2024-01-01 --from 2024-02-01";
  QTest::newRow("no such day") << QStringList{"--from", "2024-02-30"} << Action::kBadDate << "--from 2024-02-30";
  QTest::newRow("Qt's options, one or two dashes, = or a value")
      << QStringList{"-platform", "xcb", "--style=fusion", "-reverse", "--geometry", "10x10"} << Action::kStart << "";
  QTest::newRow("a Qt option without its value") << QStringList{"-style"} << Action::kRefuse << "-style";
  QTest::newRow("unknown") << QStringList{"--bogus"} << Action::kRefuse << "--bogus";
  QTest::newRow("a stray word") << QStringList{"hiduke.dat"} << Action::kRefuse << "hiduke.dat";
}

void CommandLineTest::readsTheArguments() {
  QFETCH(QStringList, arguments);
  QFETCH(Action, action);
  QFETCH(QString, value);
  std::vector<QByteArray> storage{"hiduke"};
  for (const QString& argument : arguments) storage.push_back(argument.toUtf8());
  std::vector<const char*> argv;
  for (const QByteArray& argument : storage) argv.push_back(argument.constData());
  const CommandLine line = hiduke::readCommandLine(static_cast<int>(argv.size()), argv.data());
  QCOMPARE(line.action, action);
  const std::string& file = action == Action::kExportICal ? line.exportPath : line.importPath;
  const bool hasFile = action == Action::kExportICal || action == Action::kImportICal;
  QCOMPARE(QString::fromStdString(hasFile ? file : line.refused), value);
}

QTEST_APPLESS_MAIN(CommandLineTest)

#include "command_line_test.moc"
