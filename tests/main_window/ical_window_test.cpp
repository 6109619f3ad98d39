// The window's import and export of iCalendar files, each wired once: the
// preview of an import and its notes in the month, and an export stopped
// halfway. What an import or export writes is the libraries' to test.
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <optional>

#include "main_window/day_cell.h"
#include "main_window/note_book.h"
#include "main_window/store_messages.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

namespace {

// Runs action while each dialog it opens is handed to answer, which closes it.
void answerDialogsDuring(const std::function<void()>& action, const std::function<void(QDialog*)>& answer) {
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()); dialog != nullptr && dialog->isVisible()) answer(dialog);
  });
  look.start(1);
  action();
}

void writeFile(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) throw std::runtime_error("cannot write a file");
}

QByteArray readFile(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>";
}

QByteArray allDayEvent(const char* date, const char* uid, const QString& summary) {
  return "BEGIN:VEVENT\r\nUID:" + QByteArray(uid) + "\r\nDTSTAMP:20261201T000000Z\r\nDTSTART;VALUE=DATE:" + date +
         "\r\nSUMMARY:" + summary.toUtf8() + "\r\nEND:VEVENT\r\n";
}

}  // namespace

class ICalWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { notes_.emplace(); }
  void cleanup() { notes_.reset(); }

  void anImportShowsWhatItWillDoThenPutsTheNotesInTheMonth();
  void aCancelledExportLeavesTheTargetAsItWas();

 private:
  std::optional<NotesDirectory> notes_;
};

void ICalWindowTest::anImportShowsWhatItWillDoThenPutsTheNotesInTheMonth() {
  writeNotes("2026,12,15,shopping\r\n2026,12,20,cleaning\r\n");
  writeFile(QStringLiteral("phone.ics"),
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" +
                allDayEvent("20261210", "a", QStringLiteral("party")) + allDayEvent("20261215", "b", QStringLiteral("dentist")) +
                allDayEvent("20261220", "c", QStringLiteral("cleaning")) +
                allDayEvent("20261224", "d", QStringLiteral("\U0001F384tree")) + "END:VCALENDAR\r\n");
  const auto window = startedWindow(QDate(2026, 12, 7));
  QStringList seen;
  answerDialogsDuring([&] { window->importFrom(QStringLiteral("phone.ics")); }, [&](QDialog* dialog) {
    if (dialog->objectName() == QStringLiteral("longTaskDialog")) return;  // its own end closes it
    seen << dialog->objectName() + QLatin1Char(' ') + dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      seen << box->text();
    } else if (dialog->objectName() == QStringLiteral("importPreviewDialog")) {
      for (const char* name : {"newDays", "addedToDays", "unchangedDays", "unreadableCount", "importQuestion"}) {
        seen << child<QLabel>(*dialog, QLatin1String(name))->text();
      }
      const QTreeWidgetItem* event = child<QTreeWidget>(*dialog, QStringLiteral("unreadableEvents"))->topLevelItem(0);
      seen << event->text(0) + QLatin1Char('|') + event->text(1) + QLatin1Char('|') + event->text(2);
      child<QPushButton>(*dialog, QStringLiteral("importButton"))->click();
      return;
    }
    dialog->accept();
  });
  QCOMPARE(seen, QStringList({QStringLiteral("importRangeDialog iCalendar から読み込む"),
                              QStringLiteral("importPreviewDialog iCalendar から読み込む"), QStringLiteral("2 日"),
                              QStringLiteral("1 日"), QStringLiteral("1 日"), QStringLiteral("1 件"),
                              QStringLiteral("読み込みますか？"),
                              QStringLiteral("2026年12月24日（木）|\U0001F384tree|保存できない文字を省きます: \U0001F384（U+1F384）"),
                              QStringLiteral(" iCalendar から読み込む"),
                              QStringLiteral("3日分の予定を読み込みました。読み込めない予定が 1 件ありました（読み込めない部分は除いています）。")}));
  QCOMPARE(daysWhere(*window, [](const DayCell* cell) { return cell->font().underline(); }), QList<int>({10, 15, 20, 24}));
  QVERIFY2(cell(*window, 16)->toolTip().contains(QStringLiteral("shopping<br>dentist")), qPrintable(cell(*window, 16)->toolTip()));
}

void ICalWindowTest::aCancelledExportLeavesTheTargetAsItWas() {
  // Long enough that キャンセル, pressed as soon as the task's dialog is
  // there, comes before its end.
  QByteArray notes;
  for (std::chrono::sys_days day = std::chrono::year(2000) / 1 / 1; notes.size() < 20'000'000; day += std::chrono::days(1)) {
    const std::chrono::year_month_day date(day);
    notes += QByteArray::number(static_cast<int>(date.year())) + ',' + QByteArray::number(unsigned{date.month()}) + ',' +
             QByteArray::number(unsigned{date.day()}) + ",note\r\n";
  }
  writeNotes(notes);
  writeFile(QStringLiteral("old.ics"), "the calendar of before");
  const auto window = startedWindow(QDate(2026, 12, 7));
  QTimer cancel;
  connect(&cancel, &QTimer::timeout, [&] {
    if (auto* button = window->findChild<QPushButton*>(QStringLiteral("cancelTaskButton"))) {
      button->click();
      cancel.stop();
    }
  });
  cancel.start(0);
  const QString message = messageDuring([&] { window->findChild<NoteBook*>()->exportTo(QStringLiteral("old.ics")); });
  QCOMPARE(message, storeErrorMessage({.kind = StoreErrorKind::kCancelled, .operation = StoreOperation::kExport, .path = "old.ics"}));
  QCOMPARE(readFile(QStringLiteral("old.ics")), QByteArray("the calendar of before"));
  QVERIFY(readNotes() == notes);
}

int main(int argc, char* argv[]) {
  ICalWindowTest test;
  return runWindowTests(test, argc, argv);
}

#include "ical_window_test.moc"
