#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "main_window/day_cell.h"
#include "main_window/form1.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

namespace {

QByteArray Sjis(const char* utf8) {
  // The few Japanese strings used here, as code page 932 bytes.
  static const QHash<QByteArray, QByteArray> kBytes = {
      {"会議", "\x89\xef\x8b\x63"},
      {"買い物;10時", "\x94\x83\x82\xa2\x95\xa8;10\x8e\x9e"},
  };
  return kBytes.value(utf8);
}

QList<int> UnderlinedDays(const Form1& window) {
  return DaysWhere(window, [](const DayCell* cell) { return cell->font().underline(); });
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
  void failedSaveKeepsTheTextAndTheFile();
  void panelKeepsItsDateAcrossAChangeOfMonth();
  void closeNarrowsAndReopenShowsTheOtherDay();
  void focusOrderWithThePanelOpen();

 private:
  static void WriteNotes(const QByteArray& bytes);
  static QByteArray ReadNotes();
  QTemporaryDir dir_;
  QString previousDir_;
};

void NotePanelTest::init() {
  QVERIFY(dir_.isValid());
  previousDir_ = QDir::currentPath();
  QVERIFY(QDir::setCurrent(dir_.path()));
  QFile::remove(QStringLiteral("hiduke.dat"));
}

void NotePanelTest::cleanup() {
  QDir(dir_.path()).removeRecursively();
  QDir().mkpath(dir_.path());
  QDir::setCurrent(previousDir_);
}

void NotePanelTest::WriteNotes(const QByteArray& bytes) {
  QFile file(QStringLiteral("hiduke.dat"));
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QByteArray NotePanelTest::ReadNotes() {
  QFile file(QStringLiteral("hiduke.dat"));
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

void NotePanelTest::marksFollowTheFile() {
  WriteNotes("2002,5,3,a\r\n2002,5,3,b\r\n2002,6,4,c\r\n2003,5,3,d\r\n2002,5,31,e\r\n2002,5,0,hidden\r\n");
  const auto window = LoadedWindow(QDate(2002, 5, 20));
  QCOMPARE(UnderlinedDays(*window), (QList<int>{3, 31}));
  window->cmdTugi_Click();
  QCOMPARE(UnderlinedDays(*window), QList<int>{4});
  WriteNotes("");
  window->cmdMae_Click();
  QVERIFY(UnderlinedDays(*window).isEmpty());
}

void NotePanelTest::missingFileIsAnEmptyStore() {
  QString message;
  std::unique_ptr<Form1> window;
  message = MessageDuring([&] { window = LoadedWindow(QDate(2002, 5, 20)); });
  QVERIFY2(message.isEmpty(), qPrintable(message));
  QVERIFY(UnderlinedDays(*window).isEmpty());
  QCOMPARE(ReadNotes(), QByteArray("<missing>"));
  window->hinichi_Click(17);  // the 15th
  window->findChild<QPlainTextEdit*>("Text1")->setPlainText(QStringLiteral("x"));
  window->Command1_Click();
  QCOMPARE(ReadNotes(), QByteArray("2002,5,15,x\r\n"));
}

void NotePanelTest::unreadableFileIsReportedAndTheProgramGoesOn() {
  QVERIFY(QDir().mkdir(QStringLiteral("hiduke.dat")));
  std::unique_ptr<Form1> window;
  const QString atLoad = MessageDuring([&] { window = LoadedWindow(QDate(2002, 5, 20)); });
  QVERIFY2(atLoad.contains(QStringLiteral("hiduke.dat")), qPrintable(atLoad));
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年5月20日"));
  const QString atClick = MessageDuring([&] { window->hinichi_Click(17); });
  QVERIFY2(atClick.contains(QStringLiteral("hiduke.dat")), qPrintable(atClick));
  window->findChild<QPlainTextEdit*>("Text1")->setPlainText(QStringLiteral("x"));
  const QString atSave = MessageDuring([&] { window->Command1_Click(); });
  QVERIFY2(atSave.contains(QStringLiteral("hiduke.dat")), qPrintable(atSave));
  QCOMPARE(window->findChild<QPlainTextEdit*>("Text1")->toPlainText(), QStringLiteral("x"));
  QVERIFY(!window->hinichi(17)->font().underline());
}

void NotePanelTest::openingADayWidensAndLoadsItsNote_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("box");
  QTest::newRow("no note") << QByteArray("2002,3,16,other\r\n") << QString();
  QTest::newRow("two lines") << QByteArray("2002,3,15," + Sjis("買い物;10時") + "\r\n") << QStringLiteral("買い物\n10時");
  QTest::newRow("last of two records") << QByteArray("2002,3,15,first\r\n2002,3,15,second\r\n") << QStringLiteral("second");
}

void NotePanelTest::openingADayWidensAndLoadsItsNote() {
  QFETCH(QByteArray, file);
  QFETCH(QString, box);
  WriteNotes(file);
  const auto window = LoadedWindow(QDate(2002, 3, 1));  // the 15th is cell 19
  window->findChild<QPlainTextEdit*>("Text1")->setPlainText(QStringLiteral("left over"));
  window->hinichi_Click(19);
  QCOMPARE(window->size(), QSize(583, 216));
  QCOMPARE(window->findChild<QLabel*>("Label1")->text(), QStringLiteral("2002年3月15日の予定"));
  QCOMPARE(window->findChild<QPlainTextEdit*>("Text1")->toPlainText(), box);
  for (const char* name : {"Label1", "Text1", "Command1", "simeru"}) {
    QVERIFY2(window->findChild<QWidget*>(name)->isVisibleTo(window.get()), name);
  }
}

void NotePanelTest::saveAndDeleteRewriteTheFile_data() {
  QTest::addColumn<QByteArray>("before");
  QTest::addColumn<QString>("box");
  QTest::addColumn<QByteArray>("after");
  QTest::addColumn<bool>("underlined");
  const QByteArray others = "2002,3,14,a\r\n2002,3,16,b\r\n";
  QTest::newRow("save new appends") << others << QStringLiteral("会議") << others + "2002,3,15," + Sjis("会議") + "\r\n" << true;
  QTest::newRow("save changed in place") << QByteArray("2002,3,14,a\r\n2002,3,15,old\r\n2002,3,16,b\r\n")
                                         << QStringLiteral("買い物\n10時")
                                         << "2002,3,14,a\r\n2002,3,15," + Sjis("買い物;10時") + "\r\n2002,3,16,b\r\n" << true;
  QTest::newRow("save replaces every record of the date")
      << QByteArray("2002,3,15,x\r\n2002,3,14,a\r\n2002,3,15,y\r\n") << QStringLiteral("z")
      << QByteArray("2002,3,15,z\r\n2002,3,14,a\r\n2002,3,15,z\r\n") << true;
  QTest::newRow("delete removes every record of the date")
      << QByteArray("2002,3,15,x\r\n2002,3,14,a\r\n2002,3,15,y\r\n") << QString() << QByteArray("2002,3,14,a\r\n")
      << false;
  QTest::newRow("delete the only note") << QByteArray("2002,3,15,x\r\n") << QString() << QByteArray() << false;
  QTest::newRow("delete without a note") << others << QString() << others << false;
  QTest::newRow("a line break alone is a note") << others << QStringLiteral("\n") << others + "2002,3,15,;\r\n" << true;
  QTest::newRow("a typed semicolon") << QByteArray() << QStringLiteral("a;b") << QByteArray("2002,3,15,a;b\r\n") << true;
  QTest::newRow("look-alike stored as the look-alike") << QByteArray() << QStringLiteral("〜")
                                                      << QByteArray("2002,3,15,\x81\x60\r\n") << true;
}

void NotePanelTest::saveAndDeleteRewriteTheFile() {
  QFETCH(QByteArray, before);
  QFETCH(QString, box);
  QFETCH(QByteArray, after);
  QFETCH(bool, underlined);
  WriteNotes(before);
  const auto window = LoadedWindow(QDate(2002, 3, 1));
  window->hinichi_Click(19);
  window->findChild<QPlainTextEdit*>("Text1")->setPlainText(box);
  const QString message = MessageDuring([&] { window->Command1_Click(); });
  QVERIFY2(message.isEmpty(), qPrintable(message));
  QCOMPARE(ReadNotes(), after);
  QCOMPARE(window->hinichi(19)->font().underline(), underlined);
  QCOMPARE(window->hinichi(19)->accessibleName(),
           underlined ? QStringLiteral("2002年3月15日 予定あり") : QStringLiteral("2002年3月15日"));
  QCOMPARE(window->findChild<QPlainTextEdit*>("Text1")->toPlainText(), box);
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
  WriteNotes("2002,3,16,neighbour\r\n");
  const auto window = LoadedWindow(QDate(2002, 3, 1));
  auto* box = window->findChild<QPlainTextEdit*>("Text1");
  window->hinichi_Click(19);
  box->setPlainText(note);
  window->Command1_Click();
  window->hinichi_Click(20);
  QCOMPARE(box->toPlainText(), QStringLiteral("neighbour"));
  window->hinichi_Click(19);
  QCOMPARE(box->toPlainText(), note);
  QVERIFY(window->hinichi(19)->font().underline());
}

void NotePanelTest::unstorableCharactersAreRefused() {
  WriteNotes("2002,3,16,b\r\n");
  const auto window = LoadedWindow(QDate(2002, 3, 1));
  window->hinichi_Click(19);
  auto* box = window->findChild<QPlainTextEdit*>("Text1");
  box->setPlainText(QStringLiteral("café 😀"));
  const QString message = MessageDuring([&] { window->Command1_Click(); });
  QVERIFY2(message.contains(QStringLiteral("é")) && message.contains(QStringLiteral("😀")), qPrintable(message));
  QCOMPARE(ReadNotes(), QByteArray("2002,3,16,b\r\n"));
  QCOMPARE(box->toPlainText(), QStringLiteral("café 😀"));
  QVERIFY(!window->hinichi(19)->font().underline());
}

void NotePanelTest::failedSaveKeepsTheTextAndTheFile() {
  WriteNotes("2002,3,15,kept\r\n");
  const auto window = LoadedWindow(QDate(2002, 3, 1));
  window->hinichi_Click(19);
  auto* box = window->findChild<QPlainTextEdit*>("Text1");
  // The file turns into something that cannot be replaced while the panel is open.
  QVERIFY(QFile::rename(QStringLiteral("hiduke.dat"), QStringLiteral("kept.dat")));
  QVERIFY(QDir().mkpath(QStringLiteral("hiduke.dat/inside")));
  for (const QString& text : {QStringLiteral("new"), QString()}) {
    box->setPlainText(text);
    const QString message = MessageDuring([&] { window->Command1_Click(); });
    QVERIFY2(message.contains(QStringLiteral("hiduke.dat")), qPrintable(message));
    QCOMPARE(box->toPlainText(), text);
    QVERIFY(window->hinichi(19)->font().underline());
  }
  QVERIFY(QDir(QStringLiteral("hiduke.dat/inside")).exists());
}

void NotePanelTest::panelKeepsItsDateAcrossAChangeOfMonth() {
  WriteNotes("2002,5,15,may\r\n");
  const auto window = LoadedWindow(QDate(2002, 5, 1));
  auto* box = window->findChild<QPlainTextEdit*>("Text1");
  window->hinichi_Click(17);  // 15 May 2002
  window->cmdTugi_Click();    // June: the 15th is in another cell
  QCOMPARE(window->size(), QSize(583, 216));
  QCOMPARE(window->findChild<QLabel*>("Label1")->text(), QStringLiteral("2002年5月15日の予定"));
  QCOMPARE(box->toPlainText(), QStringLiteral("may"));
  box->setPlainText(QStringLiteral("changed"));
  window->Command1_Click();
  QCOMPARE(ReadNotes(), QByteArray("2002,5,15,changed\r\n"));
  QVERIFY(UnderlinedDays(*window).isEmpty());
  box->clear();
  window->Command1_Click();
  QCOMPARE(ReadNotes(), QByteArray());
  window->cmdMae_Click();
  QVERIFY(UnderlinedDays(*window).isEmpty());
  box->setPlainText(QStringLiteral("again"));
  window->Command1_Click();
  QCOMPARE(UnderlinedDays(*window), QList<int>{15});
}

void NotePanelTest::closeNarrowsAndReopenShowsTheOtherDay() {
  WriteNotes("2002,3,16,sixteenth\r\n");
  const auto window = LoadedWindow(QDate(2002, 3, 1));
  auto* box = window->findChild<QPlainTextEdit*>("Text1");
  window->hinichi_Click(19);
  box->setPlainText(QStringLiteral("not saved"));
  window->simeru_Click();
  QCOMPARE(window->size(), QSize(235, 216));
  for (const char* name : {"Label1", "Text1", "Command1", "simeru"}) {
    QVERIFY2(!window->findChild<QWidget*>(name)->isVisibleTo(window.get()), name);
  }
  QCOMPARE(ReadNotes(), QByteArray("2002,3,16,sixteenth\r\n"));
  window->hinichi_Click(20);
  QCOMPARE(box->toPlainText(), QStringLiteral("sixteenth"));
  QCOMPARE(window->size(), QSize(583, 216));
}

void NotePanelTest::focusOrderWithThePanelOpen() {
  const auto window = LoadedWindow(QDate(2002, 3, 1));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  window->hinichi_Click(19);
  window->findChild<QWidget*>("Text1")->setFocus();
  QStringList order;
  for (int i = 0; i < 5; ++i) {
    order << QApplication::focusWidget()->objectName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QCOMPARE(order, (QStringList{"Text1", "Command1", "simeru", "cmdTugi", "cmdMae"}));
}

int main(int argc, char* argv[]) {
  NotePanelTest test;
  return RunWindowTests(test, argc, argv);
}

#include "note_panel_test.moc"
