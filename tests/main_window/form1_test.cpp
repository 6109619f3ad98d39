#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "main_window/day_cell.h"
#include "main_window/form1.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

namespace {

const QColor kSunday(255, 51, 0);
const QColor kSaturday(0, 192, 0);
const QColor kWhite(255, 255, 255);
const QColor kHoliday(255, 204, 0);

QList<int> HolidayDaysShown(const Form1& window) {
  return DaysWhere(window, [](const DayCell* cell) { return cell->isVisibleTo(cell->parentWidget()) && TextColour(cell) == kHoliday; });
}

QList<int> FramedDays(const Form1& window) {
  return DaysWhere(window, [](const DayCell* cell) { return IsFramed(cell); });
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void loadShowsTodaysMonthNarrow_data();
  void loadShowsTodaysMonthNarrow();
  void controlsSitAtTheirDesignPositions_data();
  void controlsSitAtTheirDesignPositions();
  void emptyCellsAreHiddenWithCaptionZero();
  void focusStartsOnNextButtonAndSpaceSteps();
  void columnColoursAfterEveryRefresh();
  void holidayColours_data();
  void holidayColours();
  void holidayColourGoneInTheNextMonth();
  void stepsAcrossYearEndsAndBack();
  void twelveStepsReturnToTheSameMonth();
  void frameAndFullTitleOnlyInTodaysMonth();
  void unshowableMonthKeepsTheView_data();
  void unshowableMonthKeepsTheView();
  void screenReadersHearDatesAndButtons();
};

void Form1Test::loadShowsTodaysMonthNarrow_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("framedIndex");
  QTest::newRow("5 March 2002") << QDate(2002, 3, 5) << "2002年3月5日" << 9;
  QTest::newRow("3 May 2002") << QDate(2002, 5, 3) << "2002年5月3日" << 5;
  QTest::newRow("31 December 2026") << QDate(2026, 12, 31) << "2026年12月31日" << 32;
  QTest::newRow("1 January 1583") << QDate(1583, 1, 1) << "1583年1月1日" << 6;
  QTest::newRow("the system date") << QDate::currentDate()
                                   << QStringLiteral("%1年%2月%3日").arg(QDate::currentDate().year())
                                          .arg(QDate::currentDate().month()).arg(QDate::currentDate().day())
                                   << -1;
}

void Form1Test::loadShowsTodaysMonthNarrow() {
  QFETCH(QDate, today);
  QFETCH(QString, title);
  QFETCH(int, framedIndex);
  const auto window = LoadedWindow(today);
  QCOMPARE(window->size(), QSize(235, 216));
  QCOMPARE(window->windowTitle(), title);
  QCOMPARE(FramedDays(*window), QList<int>{today.day()});
  if (framedIndex >= 0) QVERIFY(IsFramed(window->hinichi(framedIndex)));
  QCOMPARE(window->shownYear(), today.year());
  QCOMPARE(window->shownMonth(), today.month());
  // In the narrow window nothing of the note panel lies inside the client area.
  for (const char* name : {"Label1", "Text1", "Command1", "simeru"}) {
    const auto* control = window->findChild<QWidget*>(name);
    QVERIFY(control->geometry().left() >= window->width());
  }
}

void Form1Test::controlsSitAtTheirDesignPositions_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("pixels");
  // Twips divided by 15: Left, Top, Width, Height.
  QTest::newRow("Label2") << "Label2" << QRect(8, 8, 25, 25);
  QTest::newRow("Label8") << "Label8" << QRect(200, 8, 25, 25);
  QTest::newRow("first cell") << "hinichi_0" << QRect(8, 32, 25, 25);
  QTest::newRow("cell 8") << "hinichi_8" << QRect(40, 56, 25, 25);
  QTest::newRow("last cell") << "hinichi_41" << QRect(200, 152, 25, 25);
  QTest::newRow("Text1") << "Text1" << QRect(240, 32, 329, 137);
  QTest::newRow("Command1") << "Command1" << QRect(336, 184, 65, 25);
  QTest::newRow("simeru") << "simeru" << QRect(416, 184, 65, 25);
  QTest::newRow("Label1") << "Label1" << QRect(256, 8, 305, 17);
  QTest::newRow("cmdTugi") << "cmdTugi" << QRect(192, 184, 33, 25);
  QTest::newRow("cmdMae") << "cmdMae" << QRect(8, 184, 33, 25);
}

void Form1Test::controlsSitAtTheirDesignPositions() {
  QFETCH(QString, name);
  QFETCH(QRect, pixels);
  const auto window = LoadedWindow(QDate(2002, 3, 5));
  const auto* control = window->findChild<QWidget*>(name);
  QVERIFY(control);
  QCOMPARE(control->geometry(), pixels);
}

void Form1Test::emptyCellsAreHiddenWithCaptionZero() {
  const auto window = LoadedWindow(QDate(2015, 2, 10));  // four full rows
  for (int index = 0; index < kCellCount; ++index) {
    const DayCell* cell = window->hinichi(index);
    const bool inMonth = index < 28;
    QCOMPARE(cell->isVisibleTo(window.get()), inMonth);
    QCOMPARE(cell->text(), inMonth ? QString::number(index + 1) : QStringLiteral("0"));
  }
}

void Form1Test::focusStartsOnNextButtonAndSpaceSteps() {
  const auto window = LoadedWindow(QDate(2002, 12, 24));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  auto* next = window->findChild<QPushButton*>("cmdTugi");
  QCOMPARE(QApplication::focusWidget(), next);
  QTest::keyClick(next, Qt::Key_Space);
  QCOMPARE(window->windowTitle(), QStringLiteral("2003年1月"));
}

void Form1Test::columnColoursAfterEveryRefresh() {
  const auto window = LoadedWindow(QDate(2002, 6, 10));
  QCOMPARE(TextColour(window->findChild<QLabel*>("Label2")), kSunday);
  QCOMPARE(TextColour(window->findChild<QLabel*>("Label8")), kSaturday);
  // June and August have no holidays; hidden cells are coloured as well.
  for (int refresh = 0; refresh < 2; ++refresh) {
    for (int index = 0; index < kCellCount; ++index) {
      const QColor expected = index % 7 == 0 ? kSunday : index % 7 == 6 ? kSaturday : kWhite;
      QCOMPARE(TextColour(window->hinichi(index)), expected);
    }
    window->cmdTugi_Click();
    window->cmdTugi_Click();
  }
}

void Form1Test::holidayColours_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<QList<int>>("holidays");
  QTest::newRow("May 2002, Sunday with substitute") << QDate(2002, 5, 20) << QList<int>{3, 4, 5, 6};
  QTest::newRow("November 2001, Saturday holiday") << QDate(2001, 11, 10) << QList<int>{3, 23};
  QTest::newRow("January 2002, cell 8") << QDate(2002, 1, 15) << QList<int>{1, 7};
  QTest::newRow("August 2002, none") << QDate(2002, 8, 15) << QList<int>{};
}

void Form1Test::holidayColours() {
  QFETCH(QDate, today);
  QFETCH(QList<int>, holidays);
  const auto window = LoadedWindow(today);
  QCOMPARE(HolidayDaysShown(*window), holidays);
}

void Form1Test::holidayColourGoneInTheNextMonth() {
  const auto window = LoadedWindow(QDate(2002, 5, 20));
  window->cmdTugi_Click();
  QVERIFY(DaysWhere(*window, [](const DayCell* cell) { return TextColour(cell) == kHoliday; }).isEmpty());
}

void Form1Test::stepsAcrossYearEndsAndBack() {
  const auto window = LoadedWindow(QDate(2002, 12, 1));
  window->cmdTugi_Click();
  QCOMPARE(window->windowTitle(), QStringLiteral("2003年1月"));
  QCOMPARE(window->hinichi(3)->text(), QStringLiteral("1"));  // 1 January 2003 was a Wednesday
  window->cmdMae_Click();
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年12月1日"));
  window->cmdMae_Click();
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年11月"));
}

void Form1Test::twelveStepsReturnToTheSameMonth() {
  const auto window = LoadedWindow(QDate(2002, 6, 1));
  for (int i = 0; i < 12; ++i) window->cmdTugi_Click();
  QCOMPARE(window->windowTitle(), QStringLiteral("2003年6月"));
  for (int i = 0; i < 24; ++i) window->cmdMae_Click();
  QCOMPARE(window->windowTitle(), QStringLiteral("2001年6月"));
  for (int i = 0; i < 12; ++i) window->cmdTugi_Click();
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年6月1日"));
}

void Form1Test::frameAndFullTitleOnlyInTodaysMonth() {
  const auto window = LoadedWindow(QDate(2002, 5, 3));
  QCOMPARE(FramedDays(*window), QList<int>{3});
  window->cmdTugi_Click();
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年6月"));
  QVERIFY(FramedDays(*window).isEmpty());
  window->cmdMae_Click();
  QCOMPARE(FramedDays(*window), QList<int>{3});
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年5月3日"));
}

void Form1Test::unshowableMonthKeepsTheView_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<bool>("forward");
  QTest::addColumn<QString>("title");
  QTest::newRow("back from January 1583") << QDate(1583, 1, 20) << false << "1583年1月20日";
  QTest::newRow("forward from December 32767") << QDate(32767, 12, 2) << true << "32767年12月2日";
}

void Form1Test::unshowableMonthKeepsTheView() {
  QFETCH(QDate, today);
  QFETCH(bool, forward);
  QFETCH(QString, title);
  const auto window = LoadedWindow(today);
  QStringList captionsBefore;
  QList<QColor> coloursBefore;
  for (int index = 0; index < kCellCount; ++index) {
    captionsBefore << window->hinichi(index)->text();
    coloursBefore << TextColour(window->hinichi(index));
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    const QString message = MessageDuring([&] { forward ? window->cmdTugi_Click() : window->cmdMae_Click(); });
    QCOMPARE(message, QStringLiteral("入力値が間違っています。"));
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(window->shownYear(), today.year());
    QCOMPARE(window->shownMonth(), today.month());
    QCOMPARE(FramedDays(*window), QList<int>{today.day()});
    for (int index = 0; index < kCellCount; ++index) {
      QCOMPARE(window->hinichi(index)->text(), captionsBefore[index]);
      QCOMPARE(TextColour(window->hinichi(index)), coloursBefore[index]);
    }
  }
  // The step the other way is taken from the month on the screen.
  const QString message = MessageDuring([&] { forward ? window->cmdMae_Click() : window->cmdTugi_Click(); });
  QVERIFY(message.isEmpty());
  QCOMPARE(window->windowTitle(), forward ? QStringLiteral("32767年11月") : QStringLiteral("1583年2月"));
}

void Form1Test::screenReadersHearDatesAndButtons() {
  const auto window = LoadedWindow(QDate(2002, 3, 5));
  const auto spoken = [](QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  };
  QCOMPARE(spoken(window->hinichi(19)), QStringLiteral("2002年3月15日"));
  QCOMPARE(spoken(window->findChild<QWidget*>("cmdMae")), QStringLiteral("前の月"));
  QCOMPARE(spoken(window->findChild<QWidget*>("cmdTugi")), QStringLiteral("次の月"));
  window->cmdTugi_Click();
  QCOMPARE(spoken(window->hinichi(1)), QStringLiteral("2002年4月1日"));
  window->hinichi_Click(1);
  QCOMPARE(spoken(window->findChild<QWidget*>("Text1")), QStringLiteral("2002年4月1日の予定"));
}

int main(int argc, char* argv[]) {
  Form1Test test;
  return RunWindowTests(test, argc, argv);
}

#include "form1_test.moc"
