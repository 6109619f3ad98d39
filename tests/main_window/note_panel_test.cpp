#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include "main_window/day_cell.h"
#include "main_window/main_window.h"
#include "main_window/note_box.h"
#include "month_model/month_grid.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

namespace {

QByteArray sjis(const char* utf8) {
  // The few Japanese strings used here, as code page 932 bytes.
  static const QHash<QByteArray, QByteArray> kBytes = {
      {"会議", "\x89\xef\x8b\x63"},
      {"買い物;10時", "\x94\x83\x82\xa2\x95\xa8;10\x8e\x9e"},
  };
  return kBytes.value(utf8);
}

QList<int> underlinedDays(const MainWindow& window) {
  return daysWhere(window, [](const DayCell* cell) { return cell->font().underline(); });
}

}  // namespace

class NotePanelTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void marksFollowTheFile();
  void missingFileIsAnEmptyStore();
  void unreadableFileIsReportedAndTheProgramGoesOn();
  void openingADayWidensAndLoadsItsNote_data();
  void openingADayWidensAndLoadsItsNote();
  void saveAndDeleteRewriteTheFile_data();
  void saveAndDeleteRewriteTheFile();
  void notesReadBackAsSaved_data();
  void notesReadBackAsSaved();
  void unstorableCharactersAreRefused();
  void aTypedSemicolonIsOfferedAsFullWidth();
  void aDeleteOrASaveOverANoteIsUndoneOnce();
  void failedSaveKeepsTheTextAndTheFile();
  void panelKeepsItsDateAcrossAChangeOfMonth();
  void closeNarrowsAndReopenShowsTheOtherDay();
  void focusOrderWithThePanelOpen();
  void unsavedTextIsNeverDroppedSilently_data();
  void unsavedTextIsNeverDroppedSilently();
  void noteChangedOnDiskAsksBeforeOverwriting_data();
  void noteChangedOnDiskAsksBeforeOverwriting();
  void changesOnDiskShowWithinASecond_data();
  void changesOnDiskShowWithinASecond();
  void longLinesOpenInPiecesAndSaveBackExactly_data();
  void longLinesOpenInPiecesAndSaveBackExactly();
  void saveWaitingForAnotherCopyShowsBusyAndPaints();
  void aSaveWaitsForAProgramWritingTheFileInPlace();
  void theNoteIsCheckedWhenTheLockIsTaken();
  void whatIsCopiedIsTheNoteAsStored();
  void directoryNamedInShiftJis();

 private:
  std::optional<NotesDirectory> notes_;
};

void NotePanelTest::init() { notes_.emplace(); }

void NotePanelTest::cleanup() { notes_.reset(); }

void NotePanelTest::marksFollowTheFile() {
  writeNotes("2002,5,3,a\r\n2002,5,3,b\r\n2002,6,4,c\r\n2003,5,3,d\r\n2002,5,31,e\r\n2002,5,0,hidden\r\n");
  const auto window = startedWindow(QDate(2002, 5, 20));
  QCOMPARE(underlinedDays(*window), (QList<int>{3, 31}));
  press(*window, "nextMonthButton");
  QCOMPARE(underlinedDays(*window), QList<int>{4});
  writeNotes("");
  press(*window, "previousMonthButton");
  QVERIFY(underlinedDays(*window).isEmpty());
}

void NotePanelTest::missingFileIsAnEmptyStore() {
  QString message;
  std::unique_ptr<MainWindow> window;
  message = messageDuring([&] { window = startedWindow(QDate(2002, 5, 20)); });
  QVERIFY2(message.isEmpty(), qPrintable(message));
  QVERIFY(underlinedDays(*window).isEmpty());
  QCOMPARE(readNotes(), QByteArray("<missing>"));
  clickCell(*window, 17);  // the 15th
  noteBox(*window)->setPlainText(QStringLiteral("x"));
  press(*window, "saveButton");
  QCOMPARE(readNotes(), QByteArray("2002,5,15,x\r\n"));
}

void NotePanelTest::unreadableFileIsReportedAndTheProgramGoesOn() {
  QVERIFY(QDir().mkdir(QStringLiteral("hiduke.dat")));
  std::unique_ptr<MainWindow> window;
  const QString atLoad = messageDuring([&] { window = startedWindow(QDate(2002, 5, 20)); });
  QVERIFY2(atLoad.contains(QStringLiteral("hiduke.dat")), qPrintable(atLoad));
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年5月20日"));
  clickCell(*window, 17);  // the day opens with the notes read with the month: none
  noteBox(*window)->setPlainText(QStringLiteral("x"));
  const QString atSave = messageDuring([&] { press(*window, "saveButton"); });
  QVERIFY2(atSave.contains(QStringLiteral("hiduke.dat")), qPrintable(atSave));
  QCOMPARE(noteBox(*window)->toPlainText(), QStringLiteral("x"));
  QVERIFY(!cell(*window, 17)->font().underline());
  const QString atStep = messageDuring([&] { press(*window, "nextMonthButton"); });
  QVERIFY2(atStep.contains(QStringLiteral("hiduke.dat")), qPrintable(atStep));
}

void NotePanelTest::openingADayWidensAndLoadsItsNote_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("box");
  QTest::newRow("no note") << QByteArray("2002,3,16,other\r\n") << QString();
  QTest::newRow("two lines") << QByteArray("2002,3,15," + sjis("買い物;10時") + "\r\n") << QStringLiteral("買い物\n10時");
  QTest::newRow("last of two records") << QByteArray("2002,3,15,first\r\n2002,3,15,second\r\n") << QStringLiteral("second");
}

void NotePanelTest::openingADayWidensAndLoadsItsNote() {
  QFETCH(QByteArray, file);
  QFETCH(QString, box);
  writeNotes(file);
  const auto window = startedWindow(QDate(2002, 3, 1));  // the 15th is cell 19
  noteBox(*window)->setPlainText(QStringLiteral("left over"));
  clickCell(*window, 19);
  QCOMPARE(window->size(), QSize(583, 216));
  QCOMPARE(noteHeading(*window), QStringLiteral("2002年3月15日の予定"));
  QCOMPARE(noteBox(*window)->toPlainText(), box);
  for (const char* name : {"noteHeading", "noteEdit", "saveButton", "closeButton"}) {
    QVERIFY2(child(*window, QLatin1String(name))->isVisibleTo(window.get()), name);
  }
}

void NotePanelTest::saveAndDeleteRewriteTheFile_data() {
  QTest::addColumn<QByteArray>("before");
  QTest::addColumn<QString>("box");
  QTest::addColumn<QByteArray>("after");
  QTest::addColumn<bool>("underlined");
  const QByteArray others = "2002,3,14,a\r\n2002,3,16,b\r\n";
  QTest::newRow("save new appends") << others << QStringLiteral("会議") << others + "2002,3,15," + sjis("会議") + "\r\n" << true;
  QTest::newRow("save changed in place") << QByteArray("2002,3,14,a\r\n2002,3,15,old\r\n2002,3,16,b\r\n")
                                         << QStringLiteral("買い物\n10時")
                                         << "2002,3,14,a\r\n2002,3,15," + sjis("買い物;10時") + "\r\n2002,3,16,b\r\n" << true;
  QTest::newRow("save leaves one record of the date in the place of the first")
      << QByteArray("2002,3,15,x\r\n2002,3,14,a\r\n2002,3,15,y\r\n") << QStringLiteral("z")
      << QByteArray("2002,3,15,z\r\n2002,3,14,a\r\n") << true;
  QTest::newRow("delete removes every record of the date")
      << QByteArray("2002,3,15,x\r\n2002,3,14,a\r\n2002,3,15,y\r\n") << QString() << QByteArray("2002,3,14,a\r\n")
      << false;
  QTest::newRow("delete the only note") << QByteArray("2002,3,15,x\r\n") << QString() << QByteArray() << false;
  QTest::newRow("delete without a note") << others << QString() << others << false;
  QTest::newRow("a line break alone is a note") << others << QStringLiteral("\n") << others + "2002,3,15,;\r\n" << true;
  QTest::newRow("look-alike stored as the look-alike") << QByteArray() << QStringLiteral("〜")
                                                      << QByteArray("2002,3,15,\x81\x60\r\n") << true;
}

void NotePanelTest::saveAndDeleteRewriteTheFile() {
  QFETCH(QByteArray, before);
  QFETCH(QString, box);
  QFETCH(QByteArray, after);
  QFETCH(bool, underlined);
  writeNotes(before);
  const auto window = startedWindow(QDate(2002, 3, 1));
  clickCell(*window, 19);
  noteBox(*window)->setPlainText(box);
  const QString message = messageDuring([&] { press(*window, "saveButton"); });
  QVERIFY2(message.isEmpty(), qPrintable(message));
  // What a screen reader is told.
  QCOMPARE(child<QLabel>(*window, QStringLiteral("announcer"))->text(),
           underlined ? QStringLiteral("保存しました") : QStringLiteral("削除しました"));
  QCOMPARE(readNotes(), after);
  QCOMPARE(cell(*window, 19)->font().underline(), underlined);
  QCOMPARE(cell(*window, 19)->accessibleName(),
           underlined ? QStringLiteral("2002年3月15日 金曜日 予定あり") : QStringLiteral("2002年3月15日 金曜日"));
  QCOMPARE(noteBox(*window)->toPlainText(), box);
  QCOMPARE(window->size(), QSize(583, 216));
}

void NotePanelTest::notesReadBackAsSaved_data() {
  QTest::addColumn<QString>("note");
  QTest::newRow("leading spaces") << QStringLiteral("  indented");
  QTest::newRow("only spaces") << QStringLiteral("   ");
  QTest::newRow("comma") << QStringLiteral("a, b, c");
  QTest::newRow("double quotes") << QStringLiteral("\"quoted\" and \"\"");
  QTest::newRow("trailing spaces") << QStringLiteral("end  ");
  QTest::newRow("Japanese over lines") << QStringLiteral("会議\n 10時, 第2会議室\n");
}

void NotePanelTest::notesReadBackAsSaved() {
  QFETCH(QString, note);
  writeNotes("2002,3,16,neighbour\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  auto* box = noteBox(*window);
  clickCell(*window, 19);
  box->setPlainText(note);
  press(*window, "saveButton");
  clickCell(*window, 20);
  QCOMPARE(box->toPlainText(), QStringLiteral("neighbour"));
  clickCell(*window, 19);
  QCOMPARE(box->toPlainText(), note);
  QVERIFY(cell(*window, 19)->font().underline());
}

void NotePanelTest::unstorableCharactersAreRefused() {
  writeNotes("2002,3,16,b\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  clickCell(*window, 19);
  auto* box = noteBox(*window);
  box->setPlainText(QStringLiteral("café 😀"));
  const QString message = messageDuring([&] { press(*window, "saveButton"); });
  QVERIFY2(message.contains(QStringLiteral("é")) && message.contains(QStringLiteral("😀")), qPrintable(message));
  QCOMPARE(readNotes(), QByteArray("2002,3,16,b\r\n"));
  QCOMPARE(box->toPlainText(), QStringLiteral("café 😀"));
  QVERIFY(!cell(*window, 19)->font().underline());
}

void NotePanelTest::aTypedSemicolonIsOfferedAsFullWidth() {
  for (const bool replace : {false, true}) {
    writeNotes("2002,3,16,b\r\n");
    const auto window = startedWindow(QDate(2002, 3, 1));
    clickCell(*window, 19);
    auto* box = noteBox(*window);
    box->setPlainText(QStringLiteral("10:00; docs;"));
    const QString choice = replace ? QStringLiteral("「；」に置き換えて保存") : QStringLiteral("キャンセル");
    const QString question = answerDuring([&] { press(*window, "saveButton"); }, [&](QMessageBox* asking) {
      for (QAbstractButton* button : asking->buttons()) {
        if (button->text() == choice) button->click();
      }
      return QString();
    });
    QVERIFY2(question.contains(QStringLiteral("全角の「；」")), qPrintable(question));
    QCOMPARE(box->toPlainText(), replace ? QStringLiteral("10:00； docs；") : QStringLiteral("10:00; docs;"));
    QCOMPARE(readNotes(), replace ? QByteArray("2002,3,16,b\r\n2002,3,15,10:00\x81\x47 docs\x81\x47\r\n")
                                  : QByteArray("2002,3,16,b\r\n"));
  }
}

void NotePanelTest::aDeleteOrASaveOverANoteIsUndoneOnce() {
  for (const QString& typed : {QString(), QStringLiteral("new")}) {
    writeNotes("2002,3,15,old\r\n");
    const auto window = startedWindow(QDate(2002, 3, 1));
    clickCell(*window, 19);
    auto* box = noteBox(*window);
    box->setPlainText(typed);
    press(*window, "saveButton");
    // Said, and shown beside the buttons.
    QCOMPARE(child<QLabel>(*window, QStringLiteral("saveStatus"))->text(),
             typed.isEmpty() ? QStringLiteral("削除しました") : QStringLiteral("保存しました"));
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(readNotes(), QByteArray("2002,3,15,old\r\n"));
    QCOMPARE(box->toPlainText(), QStringLiteral("old"));
    QCOMPARE(child<QLabel>(*window, QStringLiteral("announcer"))->text(), QStringLiteral("元に戻しました"));
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);  // one level: nothing more to take back
    QCOMPARE(readNotes(), QByteArray("2002,3,15,old\r\n"));
  }
}

void NotePanelTest::failedSaveKeepsTheTextAndTheFile() {
  writeNotes("2002,3,15,kept\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  clickCell(*window, 19);
  auto* box = noteBox(*window);
  // The file turns into something that cannot be replaced while the panel is open.
  QVERIFY(QFile::rename(QStringLiteral("hiduke.dat"), QStringLiteral("kept.dat")));
  QVERIFY(QDir().mkpath(QStringLiteral("hiduke.dat/inside")));
  for (const QString& text : {QStringLiteral("new"), QString()}) {
    box->setPlainText(text);
    const QString message = messageDuring([&] { press(*window, "saveButton"); });
    QVERIFY2(message.contains(QStringLiteral("hiduke.dat")), qPrintable(message));
    QCOMPARE(box->toPlainText(), text);
    QVERIFY(cell(*window, 19)->font().underline());
  }
  QVERIFY(QDir(QStringLiteral("hiduke.dat/inside")).exists());
}

void NotePanelTest::panelKeepsItsDateAcrossAChangeOfMonth() {
  writeNotes("2002,5,15,may\r\n");
  const auto window = startedWindow(QDate(2002, 5, 1));
  auto* box = noteBox(*window);
  clickCell(*window, 17);  // 15 May 2002
  press(*window, "nextMonthButton");    // June: the 15th is in another cell
  QCOMPARE(window->size(), QSize(583, 216));
  QCOMPARE(noteHeading(*window), QStringLiteral("2002年5月15日の予定"));
  QCOMPARE(box->toPlainText(), QStringLiteral("may"));
  box->setPlainText(QStringLiteral("changed"));
  press(*window, "saveButton");
  QCOMPARE(readNotes(), QByteArray("2002,5,15,changed\r\n"));
  QVERIFY(underlinedDays(*window).isEmpty());
  box->clear();
  press(*window, "saveButton");
  QCOMPARE(readNotes(), QByteArray());
  press(*window, "previousMonthButton");
  QVERIFY(underlinedDays(*window).isEmpty());
  box->setPlainText(QStringLiteral("again"));
  press(*window, "saveButton");
  QCOMPARE(underlinedDays(*window), QList<int>{15});
}

void NotePanelTest::closeNarrowsAndReopenShowsTheOtherDay() {
  writeNotes("2002,3,16,sixteenth\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  auto* box = noteBox(*window);
  clickCell(*window, 19);
  box->setPlainText(QStringLiteral("not saved"));
  answerDuring([&] { press(*window, "closeButton"); },
               [](QMessageBox* question) { question->button(QMessageBox::Discard)->click(); return QString(); });
  QCOMPARE(window->size(), QSize(235, 216));
  for (const char* name : {"noteHeading", "noteEdit", "saveButton", "closeButton"}) {
    QVERIFY2(!child(*window, QLatin1String(name))->isVisibleTo(window.get()), name);
  }
  QCOMPARE(readNotes(), QByteArray("2002,3,16,sixteenth\r\n"));
  clickCell(*window, 20);
  QCOMPARE(box->toPlainText(), QStringLiteral("sixteenth"));
  QCOMPARE(window->size(), QSize(583, 216));
}

void NotePanelTest::focusOrderWithThePanelOpen() {
  const auto window = startedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  clickCell(*window, 19);
  noteBox(*window)->setFocus();
  QStringList order;
  for (int i = 0; i < 7; ++i) {
    order << QApplication::focusWidget()->objectName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  // The days are one stop: today's, the 1st of March 2002.
  QCOMPARE(order, (QStringList{"noteEdit", "saveButton", "closeButton", "nextMonthButton", "previousMonthButton",
                               "dayCell5", "noteEdit"}));
}

void NotePanelTest::unsavedTextIsNeverDroppedSilently_data() {
  QTest::addColumn<QString>("trigger");
  QTest::addColumn<QString>("answer");
  QTest::addColumn<bool>("composing");  // the text is still an input method's, not yet committed
  for (const char* trigger : {"another day", "close button", "Esc", "closing the window"}) {
    for (const char* answer : {"save", "discard", "Esc: back to editing"}) {
      QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(trigger, answer))) << trigger << answer << false;
    }
  }
  for (const char* trigger : {"another day", "closing the window"}) {
    for (const char* answer : {"save", "Esc: back to editing"}) {
      QTest::newRow(qPrintable(QStringLiteral("composing, %1, %2").arg(trigger, answer))) << trigger << answer << true;
    }
  }
}

void NotePanelTest::unsavedTextIsNeverDroppedSilently() {
  QFETCH(QString, trigger);
  QFETCH(QString, answer);
  QFETCH(bool, composing);
  writeNotes("2002,3,15,stored\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  clickCell(*window, 19);
  NoteBox* box = noteBox(*window);
  QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
  if (composing) {
    QInputMethodEvent typing(QStringLiteral("typed"), {});
    QApplication::sendEvent(box, &typing);
  } else {
    QTest::keyClicks(box, QStringLiteral("typed"));
    QTest::keyClick(box, Qt::Key_Left);  // the cursor inside the text, where it is to come back
  }
  const QString question = answerDuring(
      [&] {
        if (trigger == QStringLiteral("another day")) clickCell(*window, 20);
        if (trigger == QStringLiteral("close button")) {
          QTest::mouseClick(child(*window, QStringLiteral("closeButton")), Qt::LeftButton);
        }
        if (trigger == QStringLiteral("Esc")) QTest::keyClick(box, Qt::Key_Escape);
        if (trigger == QStringLiteral("closing the window")) window->close();
      },
      [&](QMessageBox* box) {
        if (answer == QStringLiteral("save")) box->button(QMessageBox::Save)->click();
        if (answer == QStringLiteral("discard")) box->button(QMessageBox::Discard)->click();
        if (answer.startsWith(QStringLiteral("Esc"))) QTest::keyClick(box, Qt::Key_Escape);
        return QString();
      });
  QCOMPARE(question, QStringLiteral("2002年3月15日の予定は変更されています。\n保存しますか？"));
  QCOMPARE(readNotes(), answer == QStringLiteral("save") ? QByteArray("2002,3,15,storedtyped\r\n") : QByteArray("2002,3,15,stored\r\n"));
  if (answer.startsWith(QStringLiteral("Esc"))) {  // everything as it was, and the user typing on
    QVERIFY(window->isVisible());
    QCOMPARE(noteHeading(*window), QStringLiteral("2002年3月15日の予定"));
    QCOMPARE(box->toPlainText(), QStringLiteral("storedtyped"));
    QCOMPARE(window->focusWidget(), box);  // the focus when the window is active again
    QCOMPARE(box->textCursor().position(), composing ? 11 : 10);
  } else if (trigger == QStringLiteral("another day")) {
    QCOMPARE(noteHeading(*window), QStringLiteral("2002年3月16日の予定"));
    QCOMPARE(box->toPlainText(), QString());  // nothing of the composition moved along
  } else {
    QCOMPARE(window->isVisible(), trigger != QStringLiteral("closing the window") && window->width() == 235);
  }
}

void NotePanelTest::noteChangedOnDiskAsksBeforeOverwriting_data() {
  QTest::addColumn<QString>("answer");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("box");
  QTest::newRow("overwrite") << "上書き" << QByteArray("2002,3,15,mine\r\n") << "mine";
  QTest::newRow("read it again") << "読み込み直す" << QByteArray("2002,3,15,theirs\r\n") << "theirs";
  QTest::newRow("cancel") << "キャンセル" << QByteArray("2002,3,15,theirs\r\n") << "mine";
}

void NotePanelTest::noteChangedOnDiskAsksBeforeOverwriting() {
  QFETCH(QString, answer);
  QFETCH(QByteArray, file);
  QFETCH(QString, box);
  writeNotes("2002,3,15,first\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  clickCell(*window, 19);
  noteBox(*window)->setPlainText(QStringLiteral("mine"));
  writeNotes("2002,3,15,theirs\r\n");  // another copy of the program saved meanwhile
  const QString question = answerDuring([&] { press(*window, "saveButton"); }, [&](QMessageBox* asking) {
    for (QAbstractButton* button : asking->buttons()) {
      if (button->text() == answer) button->click();
    }
    return QString();
  });
  QCOMPARE(question, QStringLiteral("2002年3月15日の予定は、開いた後にほかのところで変更されています。"));
  QCOMPARE(readNotes(), file);
  QCOMPARE(noteBox(*window)->toPlainText(), box);
  // What was settled is not asked about again.
  if (answer != QStringLiteral("キャンセル")) QCOMPARE(messageDuring([&] { press(*window, "saveButton"); }), QString());
}

void NotePanelTest::changesOnDiskShowWithinASecond_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QList<int>>("underlined");
  QTest::addColumn<QString>("typed");  // into the box before the change
  QTest::addColumn<bool>("saved");     // and saved
  QTest::addColumn<QString>("box");
  QTest::newRow("written in place") << "in place" << QByteArray("2002,3,15,a\r\n2002,3,16,b\r\n") << QList<int>{15, 16}
                                    << "" << false << "a";
  QTest::newRow("replaced by a rename") << "rename" << QByteArray("2002,3,16,b\r\n") << QList<int>{16} << "" << false
                                        << "";
  QTest::newRow("removed") << "remove" << QByteArray() << QList<int>{} << "" << false << "";
  QTest::newRow("typed text stays") << "in place" << QByteArray("2002,3,15,a\r\n2002,3,16,b\r\n") << QList<int>{15, 16}
                                    << "mine" << false << "oldmine";
  QTest::newRow("saved text stays when replaced") << "rename" << QByteArray("2002,3,16,b\r\n") << QList<int>{16}
                                                  << "mine" << true << "oldmine";
}

void NotePanelTest::changesOnDiskShowWithinASecond() {
  QFETCH(QString, how);
  QFETCH(QByteArray, file);
  QFETCH(QList<int>, underlined);
  QFETCH(QString, typed);
  QFETCH(bool, saved);
  QFETCH(QString, box);
  writeNotes("2002,3,15,old\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  clickCell(*window, 19);  // the 15th
  noteBox(*window)->moveCursor(QTextCursor::End);
  noteBox(*window)->insertPlainText(typed);
  if (saved) press(*window, "saveButton");
  if (how == QStringLiteral("in place")) writeNotes(file);
  if (how == QStringLiteral("rename")) {
    QFile other(QStringLiteral("other.tmp"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(file);
    other.close();
    QVERIFY(::rename("other.tmp", "hiduke.dat") == 0);
  }
  if (how == QStringLiteral("remove")) QVERIFY(QFile::remove(QStringLiteral("hiduke.dat")));
  // A missing file is taken as removed once it stays missing for a second.
  QTRY_COMPARE_WITH_TIMEOUT(underlinedDays(*window), underlined, how == QStringLiteral("remove") ? 2500 : 1000);
  QTRY_COMPARE_WITH_TIMEOUT(noteBox(*window)->toPlainText(), box, 1000);
  if (!typed.isEmpty()) {
    // Said beside the buttons, and kept as unsaved.
    QCOMPARE(child<QLabel>(*window, QStringLiteral("saveStatus"))->text(), QStringLiteral("別の端末で変更"));
    const QString asked = answerDuring([&] { window->close(); }, [](QMessageBox* asking) {
      asking->button(QMessageBox::Cancel)->click();
      return QString();
    });
    QCOMPARE(asked, QStringLiteral("2002年3月15日の予定は変更されています。\n保存しますか？"));
    return;
  }
  // A second change after the first rename is seen as well.
  writeNotes("2002,3,20,later\r\n");
  QTRY_COMPARE_WITH_TIMEOUT(underlinedDays(*window), QList<int>{20}, 1000);
}

void NotePanelTest::longLinesOpenInPiecesAndSaveBackExactly_data() {
  QTest::addColumn<QString>("edit");
  QTest::addColumn<QByteArray>("ending");  // of the saved record, before CR LF
  QTest::newRow("saved as opened") << "" << QByteArray(";last");
  QTest::newRow("typed at the end") << "Ctrl+End, !" << QByteArray(";last!");
  QTest::newRow("all deleted, then undone") << "Ctrl+A, Delete, Ctrl+Z" << QByteArray(";last");
  QTest::newRow("Return in a piece, then undone") << "Ctrl+Home, Down, Down, Return, Ctrl+Z" << QByteArray(";last");
  QTest::newRow("all cut and pasted back") << "Ctrl+A, Ctrl+X, Ctrl+V" << QByteArray(";last");
}

void NotePanelTest::longLinesOpenInPiecesAndSaveBackExactly() {
  QFETCH(QString, edit);
  QFETCH(QByteArray, ending);
  // One line of 100,000 characters, as an old file may hold, between two short ones.
  const QByteArray longLine = QByteArray("0123456789").repeated(10000);
  writeNotes("2002,3,15,first;" + longLine + ";last\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  clickCell(*window, 19);
  NoteBox* box = noteBox(*window);
  QVERIFY(box->blockCount() > 3);  // shown in pieces
  for (const QString& key : edit.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
    if (key == QStringLiteral("!")) {
      QTest::keyClicks(box, key);
    } else {
      const QKeyCombination combination = QKeySequence::fromString(key)[0];
      QTest::keyClick(box, combination.key(), combination.keyboardModifiers());
    }
  }
  QCOMPARE(messageDuring([&] { press(*window, "saveButton"); }), QString());
  QCOMPARE(readNotes(), "2002,3,15,first;" + longLine + ending + "\r\n");
}

// While another copy holds the lock, the window shows the busy cursor and
// keeps painting; the lock is let go once both were seen.
void NotePanelTest::saveWaitingForAnotherCopyShowsBusyAndPaints() {
  const auto window = startedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  clickCell(*window, 19);
  noteBox(*window)->setPlainText(QStringLiteral("x"));
  const int otherCopy = ::open(".", O_RDONLY | O_DIRECTORY);
  QCOMPARE(::flock(otherCopy, LOCK_EX), 0);
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  bool busy = false;
  QTimer watch;
  connect(&watch, &QTimer::timeout, [&] {
    if (!busy && QApplication::overrideCursor() != nullptr && QApplication::overrideCursor()->shape() == Qt::BusyCursor) {
      busy = true;
      window->installEventFilter(&counter);
      window->update();
    } else if (busy && counter.paints > 0) {
      ::close(otherCopy);
      watch.stop();
    }
  });
  watch.start(5);
  QCOMPARE(messageDuring([&] { press(*window, "saveButton"); }), QString());
  window->removeEventFilter(&counter);
  QVERIFY(busy);
  QVERIFY(counter.paints > 0);
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QCOMPARE(readNotes(), QByteArray("2002,3,15,x\r\n"));
}

// Another program writes the file in place and pauses half-way while the
// user saves: the window waits, busy, and keeps every line it wrote.
void NotePanelTest::aSaveWaitsForAProgramWritingTheFileInPlace() {
  QByteArray backup = "2002,3,15,old\r\n";
  for (int day = 1; day <= 28; ++day) backup += "2002,2," + QByteArray::number(day) + ",note of the day\r\n";
  writeNotes("2002,3,15,old\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  clickCell(*window, 19);
  noteBox(*window)->setPlainText(QStringLiteral("mine"));
  QFile writer(QStringLiteral("hiduke.dat"));
  QVERIFY(writer.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered));
  QCOMPARE(writer.write(backup.left(backup.size() / 2 + 5)), backup.size() / 2 + 5);
  QTimer watch;
  connect(&watch, &QTimer::timeout, [&] {
    if (QApplication::overrideCursor() == nullptr) return;
    writer.write(backup.mid(backup.size() / 2 + 5));  // the rest, once the window waits
    writer.close();
    watch.stop();
  });
  watch.start(5);
  QCOMPARE(messageDuring([&] { press(*window, "saveButton"); }), QString());
  QCOMPARE(readNotes(), backup.replace("2002,3,15,old", "2002,3,15,mine"));
  QCOMPARE(cell(*window, 19)->font().underline(), true);
}

// A third copy holds the lock while this one saves the day that a second
// copy saves meanwhile: the question is asked all the same.
void NotePanelTest::theNoteIsCheckedWhenTheLockIsTaken() {
  writeNotes("2002,3,15,first\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  clickCell(*window, 19);
  noteBox(*window)->setPlainText(QStringLiteral("mine"));
  const int thirdCopy = ::open(".", O_RDONLY | O_DIRECTORY);
  QCOMPARE(::flock(thirdCopy, LOCK_EX), 0);
  QTimer watch;
  connect(&watch, &QTimer::timeout, [&] {
    if (QApplication::overrideCursor() == nullptr) return;
    writeNotes("2002,3,15,of the second copy\r\n");  // saved while this one waits
    ::close(thirdCopy);
    watch.stop();
  });
  watch.start(5);
  const QString question = answerDuring([&] { press(*window, "saveButton"); }, [](QMessageBox* asking) {
    for (QAbstractButton* button : asking->buttons()) {
      if (button->text() == QStringLiteral("キャンセル")) button->click();
    }
    return QString();
  });
  QCOMPARE(question, QStringLiteral("2002年3月15日の予定は、開いた後にほかのところで変更されています。"));
  QCOMPARE(readNotes(), QByteArray("2002,3,15,of the second copy\r\n"));
  QCOMPARE(noteBox(*window)->toPlainText(), QStringLiteral("mine"));
}

// A long line shows in pieces with invisible marks; what leaves through
// the clipboard is the note as stored, without them.
void NotePanelTest::whatIsCopiedIsTheNoteAsStored() {
  const QByteArray longLine = QByteArray("0123456789").repeated(4000);
  writeNotes("2002,3,15,first;" + longLine + "\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  clickCell(*window, 19);
  NoteBox* box = noteBox(*window);
  QVERIFY(box->toPlainText().contains(QChar(0x200B)));
  box->selectAll();
  box->copy();
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("first\n") + QString::fromLatin1(longLine));
}

void NotePanelTest::directoryNamedInShiftJis() {
  // 日 in Shift_JIS: not UTF-8, so Qt cannot name it, but the system can.
  QVERIFY(::mkdir("\x93\xfa", 0700) == 0);
  QVERIFY(::chdir("\x93\xfa") == 0);
  struct LeaveAndRemove {  // Qt cannot remove what it cannot name
    ~LeaveAndRemove() {
      if (::chdir("..") == 0) ::unlink("\x93\xfa/hiduke.dat"), ::rmdir("\x93\xfa");
    }
  } leave;
  writeNotes("2002,3,15,old\r\n");
  const auto window = startedWindow(QDate(2002, 3, 1));
  QCOMPARE(underlinedDays(*window), QList<int>{15});
  clickCell(*window, 20);
  noteBox(*window)->setPlainText(QStringLiteral("new"));
  QCOMPARE(messageDuring([&] { press(*window, "saveButton"); }), QString());
  QCOMPARE(readNotes(), QByteArray("2002,3,15,old\r\n2002,3,16,new\r\n"));
}

int main(int argc, char* argv[]) {
  NotePanelTest test;
  return runWindowTests(test, argc, argv);
}

#include "note_panel_test.moc"
