// The window's features beyond the month and the note, each wired once:
// tooltips, search, going to a date, the open day's mark, today following
// the clock, focus rings, the context menu and the watch on the note file.
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

#include "main_window/day_cell.h"
#include "main_window/main_window.h"
#include "main_window/note_box.h"
#include "main_window/note_file_watcher.h"
#include "main_window/window_zoom.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

class WindowFeaturesTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void aDayTellsItsHolidayAndNoteOnHover();
  void searchShowsTheMonthAndOpensTheDay();
  void goToDateNamesWhatItCannotReadAndStaysOpen();
  void theOpenDayIsMarkedWhileItIsOpen();
  void todayFollowsTheClockPastMidnight();
  void focusRingsOnlyAfterTheKeyboard();
  void clicksOnHiddenDaysAndGapsChangeNothing();
  void theContextMenuOffersWhatTheKeysDo();
  void theWatchKnowsTheProgramsOwnSaves();
  void theWatchLooksEveryTwoSecondsWhereItCannotWatch();
  void aConflictCopyIsOfferedAndMerged();
  void zoomScalesTheWholeWindowAndIsKept();

 private:
  std::optional<NotesDirectory> notes_;
};

void WindowFeaturesTest::init() { notes_.emplace(); }

void WindowFeaturesTest::cleanup() { notes_.reset(); }

void WindowFeaturesTest::aDayTellsItsHolidayAndNoteOnHover() {
  writeNotes("2002,3,21,<b>lunch</b>;12:30\r\n");
  const auto window = startedWindow(QDate(2002, 3, 5));
  const DayCell* equinox = cell(*window, 25);
  QVERIFY2(equinox->toolTip().contains(QStringLiteral("2002年3月21日（木） 平成14年<br>春分の日<br>&lt;b&gt;lunch&lt;/b&gt;<br>12:30")),
           qPrintable(equinox->toolTip()));
  QCOMPARE(cell(*window, 0)->toolTip(), QString());  // hidden cells say nothing
}

void WindowFeaturesTest::searchShowsTheMonthAndOpensTheDay() {
  writeNotes("2002,3,15,ABC meeting\r\n2010,5,3,lunch\r\n2027,1,5,next\r\n");
  const auto window = startedWindow(QDate(2026, 12, 7));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("予定を検索"));
    // Nothing typed: the notes from today on.
    const QAbstractItemModel* results = child<QListView>(*dialog, QStringLiteral("searchResults"))->model();
    QCOMPARE(results->index(0, 0).data().toString(), QStringLiteral("2027年1月5日（火）  next"));
    auto* query = child<QLineEdit>(*dialog, QStringLiteral("searchQuery"));
    query->insert(QString(1 << 20, QLatin1Char('x')));  // a paste is cut to a query's length
    QCOMPARE(query->text().size(), 200);
    query->setText(QStringLiteral("\r\nabc\r\n"));  // a line pasted whole
    QCOMPARE(results->rowCount(), 1);
    query->clear();
    query->insert(QStringLiteral("ａｂｃ"));  // as an input method types it
    QCOMPARE(results->rowCount(), 1);
    query->insert(QStringLiteral("x"));
    QCOMPARE(results->rowCount(), 0);
    QTest::keyClick(query, Qt::Key_Backspace);  // back to the results kept for ａｂｃ
    QCOMPARE(results->rowCount(), 1);
    QTest::keyClick(child<QLineEdit>(*dialog, QStringLiteral("searchQuery")), Qt::Key_Return);
  });
  QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年3月"));
  QCOMPARE(noteHeading(*window), QStringLiteral("2002年3月15日の予定"));
  QCOMPARE(noteBox(*window)->toPlainText(), QStringLiteral("ABC meeting"));
}

void WindowFeaturesTest::goToDateNamesWhatItCannotReadAndStaysOpen() {
  const auto window = startedWindow(QDate(2026, 12, 7));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  QString problem;
  QTimer::singleShot(0, [&problem] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    auto* field = child<QLineEdit>(*dialog, QStringLiteral("dateField"));
    QTest::keyClicks(field, QStringLiteral("H31.5.1"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(dialog->isVisible());
    problem = child<QLabel>(*dialog, QStringLiteral("dateProblem"))->text();
    // The dialog keeps its size and its field in sight; a paste is cut short.
    const QSize size = dialog->size();
    field->setText(QStringLiteral("1582/12/31"));
    QTest::keyClick(field, Qt::Key_Return);
    problem += child<QLabel>(*dialog, QStringLiteral("dateProblem"))->text();
    QCOMPARE(dialog->size(), size);
    QVERIFY(!child<QLabel>(*dialog, QStringLiteral("dateProblem"))->geometry().intersects(field->geometry()));
    field->selectAll();
    field->insert(QString(1 << 20, QLatin1Char('1')));
    QVERIFY(field->text().size() <= 32);
    field->setText(QStringLiteral("Ｈ１４．３．１"));  // full width, as an input method types it
    QTest::keyClick(field, Qt::Key_Return);
  });
  QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier);
  QCOMPARE(problem, QStringLiteral("「H31.5.1」はその元号の期間の外です。"
                                   "「1582/12/31」は表示できる範囲（1583年1月から32767年12月まで）の外です。"));
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年3月"));
  const auto* focused = qobject_cast<DayCell*>(window->focusWidget());  // the focus when the window is active again
  QVERIFY(focused != nullptr);
  QCOMPARE(focused->text(), QStringLiteral("1"));
}

void WindowFeaturesTest::theOpenDayIsMarkedWhileItIsOpen() {
  const auto window = startedWindow(QDate(2002, 3, 5));
  const auto marked = [&] { return daysWhere(*window, [](const DayCell* day) { return day->isOpenMarked(); }); };
  QCOMPARE(marked(), QList<int>{});
  clickCell(*window, 19);
  QCOMPARE(marked(), QList<int>{15});
  press(*window, "nextMonthButton");  // the mark stays with its day, not its cell
  QCOMPARE(marked(), QList<int>{});
  press(*window, "previousMonthButton");
  QCOMPARE(marked(), QList<int>{15});
  press(*window, "closeButton");
  QCOMPARE(marked(), QList<int>{});
}

// The clock is set a moment before midnight: today moves to the next day
// when the window's own timer finds midnight has passed.
void WindowFeaturesTest::todayFollowsTheClockPastMidnight() {
  QElapsedTimer elapsed;
  elapsed.start();
  const QDateTime lateEvening(QDate(2026, 12, 31), QTime(23, 59, 59, 800));
  const auto window = startedWindow([&] { return lateEvening.addMSecs(elapsed.elapsed()); });
  QCOMPARE(window->windowTitle(), QStringLiteral("2026年12月31日"));
  QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("2026年12月"), 10000);  // the month shown stays
  QVERIFY(daysWhere(*window, [](const DayCell* day) { return day->isFramed(); }).isEmpty());
  press(*window, "nextMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2027年1月1日"));
  QCOMPARE(daysWhere(*window, [](const DayCell* day) { return day->isFramed(); }), QList<int>{1});
}

void WindowFeaturesTest::focusRingsOnlyAfterTheKeyboard() {
  const auto window = startedWindow(QDate(2026, 12, 7));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  auto* previous = child<QPushButton>(*window, QStringLiteral("previousMonthButton"));
  QTest::mouseClick(previous, Qt::LeftButton);
  QCOMPARE(QApplication::focusWidget(), previous);
  QVERIFY(!window->testAttribute(Qt::WA_KeyboardFocusChange));  // no ring after a click
  QTest::keyClick(previous, Qt::Key_Tab);
  const auto* day = qobject_cast<DayCell*>(QApplication::focusWidget());
  QVERIFY(day != nullptr);
  QVERIFY(day->showsFocusRing());
  QTest::mouseClick(previous, Qt::LeftButton);
  QVERIFY(!day->showsFocusRing());
}

void WindowFeaturesTest::clicksOnHiddenDaysAndGapsChangeNothing() {
  const auto window = startedWindow(QDate(2026, 12, 7));  // December 2026 starts on a Tuesday
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  QWidget* focus = QApplication::focusWidget();
  auto* grid = child(*window, QStringLiteral("dayGrid"));
  for (const QPoint at : {QPoint(5, 5), QPoint(30, 12), QPoint(60, 100)}) {  // a hidden day, gaps
    QTest::mouseClick(grid, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(QApplication::focusWidget(), focus);
    QCOMPARE(window->width(), 235);
  }
}

void WindowFeaturesTest::theContextMenuOffersWhatTheKeysDo() {
  const auto window = startedWindow(QDate(2026, 12, 7));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
  QStringList items;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu != nullptr);
    for (const QAction* action : menu->actions()) items << action->text();
    menu->actions().front()->trigger();  // 今日
    menu->close();
  });
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
  QCOMPARE(items, (QStringList{"今日", "日付へ移動…", "予定を検索…", "今後の予定…", "iCalendar に書き出す…", "iCalendar から読み込む…", "元に戻す"}));
  QCOMPARE(window->windowTitle(), QStringLiteral("2026年12月7日"));
}

// The program's own save replaces the file: the watch knows it by what was
// put in place and reads nothing; another program's change it tells.
void WindowFeaturesTest::theWatchKnowsTheProgramsOwnSaves() {
  NoteStore store = *NoteStore::open();
  NoteFileWatcher watcher(QStringLiteral("hiduke.dat"), [&store] { return store.fileIdentity(); });
  QSignalSpy changed(&watcher, &NoteFileWatcher::changedOnDisk);
  const StoreResult<SaveReport> saved = store.saveNote(std::chrono::year(2002) / 3 / 15, "mine");
  QVERIFY(saved);
  watcher.setKnownFile(saved->file);
  watcher.check();
  QCOMPARE(changed.count(), 0);
  writeNotes("2002,3,15,theirs\r\n");
  watcher.check();
  QCOMPARE(changed.count(), 1);
  watcher.check();  // told once
  QCOMPARE(changed.count(), 1);
}

void WindowFeaturesTest::theWatchLooksEveryTwoSecondsWhereItCannotWatch() {
  const NoteStore store = *NoteStore::open();
  NoteFileWatcher watcher(QStringLiteral("hiduke.dat"), [&store] { return store.fileIdentity(); }, nullptr,
                          NoteFileWatcher::Watching::kPollingOnly);
  QVERIFY(watcher.isPolling());
  QSignalSpy changed(&watcher, &NoteFileWatcher::changedOnDisk);
  writeNotes("2002,3,15,theirs\r\n");
  QVERIFY(changed.wait(10000));
}

// A sync tool's conflict copy that appears beside the note file is told,
// to a screen reader too, and 「まとめる」 merges it and removes it.
void WindowFeaturesTest::aConflictCopyIsOfferedAndMerged() {
  writeNotes("2002,3,15,a\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  const QString copy = QStringLiteral("hiduke.sync-conflict-20020301-120000-ABCDEFG.dat");
  QFile file(copy);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("2002,3,15,a\r\n2002,3,16,b\r\n");
  file.close();
  const QString offer = QStringLiteral("別の端末との同期で予定のファイルが2つに分かれました（1日分が異なります）。");
  QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(*window, QStringLiteral("conflictText"))->text(), offer, 5000);
  QCOMPARE(child<QLabel>(*window, QStringLiteral("announcer"))->text(), offer);
  auto* merge = child<QPushButton>(*window, QStringLiteral("conflictButton"));
  QCOMPARE(merge->accessibleName(), QStringLiteral("まとめる"));
  // Reached by Tab from the days, and pressed with the keyboard.
  cell(*window, 5)->setFocus();  // today's, the 1st
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), merge);
  QTest::keyClick(merge, Qt::Key_Space);
  QCOMPARE(readNotes(), QByteArray("2002,3,15,a\r\n2002,3,16,b\r\n"));
  QVERIFY(!QFile::exists(copy));
  QCOMPARE(daysWhere(*window, [](const DayCell* cell) { return cell->font().underline(); }), (QList<int>{15, 16}));
}

void WindowFeaturesTest::zoomScalesTheWholeWindowAndIsKept() {
  for (const QString& start : {QStringLiteral("first"), QStringLiteral("again"), QStringLiteral("broken settings")}) {
    if (start == QStringLiteral("broken settings")) {
      QFile settings(zoom::settingsPath());
      QVERIFY(settings.open(QIODevice::WriteOnly));
      settings.write("zoom=150%\n");
    }
    const auto window = startedWindow(QDate(2026, 12, 7));
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    if (start == QStringLiteral("first")) {
      QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
      QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);  // + without Shift
    }
    const bool zoomed = start == QStringLiteral("first") || start == QStringLiteral("again");
    QCOMPARE(window->size(), zoomed ? QSize(353, 324) : QSize(235, 216));
    QCOMPARE(cell(*window, 9)->geometry(), zoomed ? QRect(96, 36, 38, 38) : QRect(64, 24, 25, 25));
    QCOMPARE(cell(*window, 9)->font().pixelSize(), zoomed ? 23 : 15);
    clickCell(*window, 9);
    QCOMPARE(window->size(), zoomed ? QSize(875, 324) : QSize(583, 216));
    QCOMPARE(noteBox(*window)->geometry(), zoomed ? QRect(0, 48, 494, 206) : QRect(0, 32, 329, 137));
    if (start == QStringLiteral("again")) {
      QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
      QCOMPARE(window->size(), QSize(583, 216));
      QCOMPARE(zoom::load(), zoom::kDefault);
    }
  }
}

int main(int argc, char* argv[]) {
  WindowFeaturesTest test;
  return runWindowTests(test, argc, argv);
}

#include "window_features_test.moc"
