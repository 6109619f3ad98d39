#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QApplication>
#include <QImage>
#include <QKeySequence>
#include <QWheelEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <optional>
#include <ctime>

#include "main_window/day_cell.h"
#include "main_window/main_window.h"
#include "main_window/note_box.h"
#include "month_model/month_grid.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

namespace {

const QColor kSunday(255, 51, 0);
const QColor kSaturday(0, 192, 0);
const QColor kWhite(255, 255, 255);
const QColor kHoliday(255, 204, 0);

QList<int> holidayDaysShown(const MainWindow& window) {
  return daysWhere(window, [](const DayCell* cell) { return cell->isVisibleTo(cell->parentWidget()) && textColour(cell) == kHoliday; });
}

QList<int> framedDays(const MainWindow& window) {
  return daysWhere(window, [](const DayCell* cell) { return cell->isFramed(); });
}

double luminance(const QColor& colour) {
  const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the text drawn on a widget against its fill, measured on
// its pixels `inset` inside its edges (inside today's frame): the fill is
// the first of them, the text the one that stands out most from it.
double drawnContrast(QWidget* widget, int inset) {
  const QImage image = widget->grab().toImage();
  const QColor fill = image.pixelColor(inset, inset);
  double best = 1;
  for (int y = inset; y < image.height() - inset; ++y) {
    for (int x = inset; x < image.width() - inset; ++x) best = std::max(best, contrast(image.pixelColor(x, y), fill));
  }
  return best;
}

// Presses keys in the focused widget: "Shift+Tab", "Right", "PgDown" ...;
// "WheelUp" and "WheelDown" turn the mouse wheel over the day grid; "Open
// 2026-02-05" opens that day, as a search result does.
void pressKeys(MainWindow& window, const QStringList& keys) {
  for (const QString& key : keys) {
    if (key.startsWith(QStringLiteral("Open "))) {
      const QDate day = QDate::fromString(key.mid(5), Qt::ISODate);
      window.openDay(std::chrono::year(day.year()) / day.month() / day.day());
      continue;
    }
    if (key.startsWith(QStringLiteral("Wheel"))) {
      auto* grid = child(window, QStringLiteral("dayGrid"));
      const QPoint angle(0, key == QStringLiteral("WheelUp") ? 120 : -120);
      QWheelEvent wheel(QPointF(50, 50), grid->mapToGlobal(QPointF(50, 50)), QPoint(), angle, Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(grid, &wheel);
      continue;
    }
    const QKeyCombination combination = QKeySequence::fromString(key)[0];
    QTest::keyClick(QApplication::focusWidget(), combination.key(), combination.keyboardModifiers());
  }
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void loadShowsTodaysMonthNarrow_data();
  void loadShowsTodaysMonthNarrow();
  void controlsFitTheWindowOnAnEvenGrid();
  void emptyCellsAreHiddenWithCaptionZero();
  void focusStartsOnTodayAndSpaceStepsOnTheButton();
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
  void keyboardReachesEveryDay_data();
  void keyboardReachesEveryDay();
  void focusStaysOnTheDaysAcrossMonths_data();
  void focusStaysOnTheDaysAcrossMonths();
  void whatHappensIsAnnounced();
  void closingThePanelHandsTheFocusStraightBack();
  void todayAndHeadingAreLegible_data();
  void todayAndHeadingAreLegible();
  void systemClockIsTodayByDefault();

 private:
  std::optional<NotesDirectory> notes_;
};

// The notes of these windows are kept in a directory of their own.
void MainWindowTest::initTestCase() { notes_.emplace(); }

void MainWindowTest::cleanupTestCase() { notes_.reset(); }

void MainWindowTest::loadShowsTodaysMonthNarrow_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("framedIndex");
  QTest::newRow("5 March 2002") << QDate(2002, 3, 5) << "2002年3月5日" << 9;
  QTest::newRow("3 May 2002") << QDate(2002, 5, 3) << "2002年5月3日" << 5;
  QTest::newRow("31 December 2026") << QDate(2026, 12, 31) << "2026年12月31日" << 32;
  QTest::newRow("1 January 1583") << QDate(1583, 1, 1) << "1583年1月1日" << 6;
}

void MainWindowTest::loadShowsTodaysMonthNarrow() {
  QFETCH(QDate, today);
  QFETCH(QString, title);
  QFETCH(int, framedIndex);
  const auto window = startedWindow(today);
  QCOMPARE(window->size(), QSize(235, 216));
  QCOMPARE(window->windowTitle(), title);
  QCOMPARE(framedDays(*window), QList<int>{today.day()});
  QVERIFY(cell(*window, framedIndex)->isFramed());
  // In the narrow window nothing of the note panel lies inside the client area.
  for (const char* name : {"noteHeading", "noteEdit", "saveButton", "closeButton"}) {
    const auto* control = child(*window, QLatin1String(name));
    QVERIFY(!control->isVisibleTo(window.get()) || control->mapTo(window.get(), QPoint(0, 0)).x() >= window->width());
  }
}

// The default clock is the system's: the title is today's date as the C
// library tells it.
void MainWindowTest::systemClockIsTodayByDefault() {
  const auto todayOfTheCLibrary = [] {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    return QStringLiteral("%1年%2月%3日").arg(local->tm_year + 1900).arg(local->tm_mon + 1).arg(local->tm_mday);
  };
  const QString before = todayOfTheCLibrary();
  MainWindow window(*NoteStore::open());
  window.start();
  QVERIFY(window.windowTitle() == before || window.windowTitle() == todayOfTheCLibrary());
}

// Every control inside the narrow client area and, with the panel open, the
// wide one; the days, buttons and box clear of each other; the days on seven
// columns and six rows of one pitch, each weekday heading over its column.
void MainWindowTest::controlsFitTheWindowOnAnEvenGrid() {
  const auto window = startedWindow(QDate(2002, 3, 5));  // the 1st is cell 5
  const auto place = [&](const QString& name) {
    const QWidget* control = child(*window, name);
    return QRect(control->mapTo(window.get(), QPoint(0, 0)), control->size());
  };
  QStringList days, headings, clickable = {"nextMonthButton", "previousMonthButton", "noteEdit", "saveButton", "closeButton"};
  for (int index = 0; index < kCellCount; ++index) days << QStringLiteral("dayCell%1").arg(index);
  for (int column = 0; column < 7; ++column) headings << QStringLiteral("weekdayHeading%1").arg(column);
  for (const QString& name : days + headings + clickable.first(2)) {
    QVERIFY2(QRect(0, 0, 235, 216).contains(place(name)), qPrintable(name));
  }
  clickCell(*window, 5);
  QList<QRect> parts{QRect()};  // the days as one, then the rest that takes a click
  for (const QString& name : days) parts[0] |= place(name);
  for (const QString& name : clickable) parts << place(name);
  for (const QRect& part : parts + QList{place("noteHeading")}) QVERIFY(QRect(0, 0, 583, 216).contains(part));
  for (qsizetype a = 0; a < parts.size(); ++a) {
    for (qsizetype b = a + 1; b < parts.size(); ++b) QVERIFY2(!parts[a].intersects(parts[b]), qPrintable(clickable[b - 1]));
  }
  const QRect first = place(days[0]);
  const QPoint pitch = place(days[8]).topLeft() - first.topLeft();
  QVERIFY(pitch.x() >= first.width() && pitch.y() > 0);  // the design's rows overlap by a pixel
  for (int index = 0; index < kCellCount; ++index) {
    const QPoint at = first.topLeft() + QPoint(index % 7 * pitch.x(), index / 7 * pitch.y());
    QCOMPARE(place(days[index]), QRect(at, first.size()));
    if (index < 7) QCOMPARE(place(headings[index]).x(), at.x());
  }
}

void MainWindowTest::emptyCellsAreHiddenWithCaptionZero() {
  const auto window = startedWindow(QDate(2015, 2, 10));  // four full rows
  for (int index = 0; index < kCellCount; ++index) {
    const DayCell* day = cell(*window, index);
    const bool inMonth = index < 28;
    QCOMPARE(day->isVisibleTo(window.get()), inMonth);
    QCOMPARE(day->text(), inMonth ? QString::number(index + 1) : QStringLiteral("0"));
  }
}

void MainWindowTest::focusStartsOnTodayAndSpaceStepsOnTheButton() {
  const auto window = startedWindow(QDate(2002, 12, 24));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  QCOMPARE(QApplication::focusWidget(), cell(*window, 23));
  QVERIFY(!cell(*window, 23)->showsFocusRing());  // until the keyboard is used
  auto* next = child<QPushButton>(*window, QStringLiteral("nextMonthButton"));
  QTest::keyClick(next, Qt::Key_Space);
  QCOMPARE(window->windowTitle(), QStringLiteral("2003年1月"));
}

void MainWindowTest::columnColoursAfterEveryRefresh() {
  const auto window = startedWindow(QDate(2002, 6, 10));
  QCOMPARE(textColour(child(*window, QStringLiteral("weekdayHeading0"))), kSunday);
  QCOMPARE(textColour(child(*window, QStringLiteral("weekdayHeading6"))), kSaturday);
  // June and August have no holidays; hidden cells are coloured as well.
  for (int refresh = 0; refresh < 2; ++refresh) {
    for (int index = 0; index < kCellCount; ++index) {
      const QColor expected = index % 7 == 0 ? kSunday : index % 7 == 6 ? kSaturday : kWhite;
      QCOMPARE(textColour(cell(*window, index)), expected);
    }
    press(*window, "nextMonthButton");
    press(*window, "nextMonthButton");
  }
}

void MainWindowTest::holidayColours_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<QList<int>>("holidays");
  QTest::newRow("May 2002, Sunday with substitute") << QDate(2002, 5, 20) << QList<int>{3, 4, 5, 6};
  QTest::newRow("November 2001, Saturday holiday") << QDate(2001, 11, 10) << QList<int>{3, 23};
  QTest::newRow("January 2002, second Monday") << QDate(2002, 1, 15) << QList<int>{1, 14};
  QTest::newRow("January 2026") << QDate(2026, 1, 20) << QList<int>{1, 12};
  QTest::newRow("May 2026, substitute") << QDate(2026, 5, 20) << QList<int>{3, 4, 5, 6};
  QTest::newRow("September 2026, citizens' holiday") << QDate(2026, 9, 1) << QList<int>{21, 22, 23};
  QTest::newRow("December 2026, none") << QDate(2026, 12, 1) << QList<int>{};
  QTest::newRow("August 2002, none") << QDate(2002, 8, 15) << QList<int>{};
}

void MainWindowTest::holidayColours() {
  QFETCH(QDate, today);
  QFETCH(QList<int>, holidays);
  const auto window = startedWindow(today);
  QCOMPARE(holidayDaysShown(*window), holidays);
}

void MainWindowTest::holidayColourGoneInTheNextMonth() {
  const auto window = startedWindow(QDate(2002, 5, 20));
  press(*window, "nextMonthButton");
  QVERIFY(daysWhere(*window, [](const DayCell* cell) { return textColour(cell) == kHoliday; }).isEmpty());
}

void MainWindowTest::stepsAcrossYearEndsAndBack() {
  const auto window = startedWindow(QDate(2002, 12, 1));
  press(*window, "nextMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2003年1月"));
  QCOMPARE(cell(*window, 3)->text(), QStringLiteral("1"));  // 1 January 2003 was a Wednesday
  press(*window, "previousMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年12月1日"));
  press(*window, "previousMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年11月"));
}

void MainWindowTest::twelveStepsReturnToTheSameMonth() {
  const auto window = startedWindow(QDate(2002, 6, 1));
  for (int i = 0; i < 12; ++i) press(*window, "nextMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2003年6月"));
  for (int i = 0; i < 24; ++i) press(*window, "previousMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2001年6月"));
  for (int i = 0; i < 12; ++i) press(*window, "nextMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年6月1日"));
}

void MainWindowTest::frameAndFullTitleOnlyInTodaysMonth() {
  const auto window = startedWindow(QDate(2002, 5, 3));
  QCOMPARE(framedDays(*window), QList<int>{3});
  press(*window, "nextMonthButton");
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年6月"));
  QVERIFY(framedDays(*window).isEmpty());
  press(*window, "previousMonthButton");
  QCOMPARE(framedDays(*window), QList<int>{3});
  QCOMPARE(window->windowTitle(), QStringLiteral("2002年5月3日"));
}

void MainWindowTest::unshowableMonthKeepsTheView_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<bool>("forward");
  QTest::addColumn<QString>("title");
  QTest::newRow("back from January 1583") << QDate(1583, 1, 20) << false << "1583年1月20日";
  QTest::newRow("forward from December 32767") << QDate(32767, 12, 2) << true << "32767年12月2日";
}

void MainWindowTest::unshowableMonthKeepsTheView() {
  QFETCH(QDate, today);
  QFETCH(bool, forward);
  QFETCH(QString, title);
  const auto window = startedWindow(today);
  QStringList captionsBefore;
  QList<QColor> coloursBefore;
  for (int index = 0; index < kCellCount; ++index) {
    captionsBefore << cell(*window, index)->text();
    coloursBefore << textColour(cell(*window, index));
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    const QString message = messageDuring([&] { forward ? press(*window, "nextMonthButton") : press(*window, "previousMonthButton"); });
    QCOMPARE(message, QStringLiteral("入力値が間違っています。"));
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(framedDays(*window), QList<int>{today.day()});
    for (int index = 0; index < kCellCount; ++index) {
      QCOMPARE(cell(*window, index)->text(), captionsBefore[index]);
      QCOMPARE(textColour(cell(*window, index)), coloursBefore[index]);
    }
  }
  // The step the other way is taken from the month on the screen.
  const QString message = messageDuring([&] { forward ? press(*window, "previousMonthButton") : press(*window, "nextMonthButton"); });
  QVERIFY(message.isEmpty());
  QCOMPARE(window->windowTitle(), forward ? QStringLiteral("32767年11月") : QStringLiteral("1583年2月"));
}

void MainWindowTest::screenReadersHearDatesAndButtons() {
  const auto window = startedWindow(QDate(2002, 3, 5));
  const auto spoken = [](QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  };
  QCOMPARE(spoken(cell(*window, 19)), QStringLiteral("2002年3月15日 金曜日"));
  QCOMPARE(spoken(cell(*window, 9)), QStringLiteral("2002年3月5日 火曜日 今日"));
  QCOMPARE(spoken(cell(*window, 25)), QStringLiteral("2002年3月21日 木曜日 春分の日"));
  QCOMPARE(spoken(child(*window, QStringLiteral("weekdayHeading0"))), QStringLiteral("日曜日"));
  QCOMPARE(spoken(child(*window, QStringLiteral("weekdayHeading6"))), QStringLiteral("土曜日"));
  // Only the 31 days of March are there for a screen reader, each a button
  // that can take the focus, with an action that opens it.
  QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(child(*window, QStringLiteral("dayGrid")));
  QCOMPARE(grid->childCount(), 31);
  QCOMPARE(grid->child(0)->text(QAccessible::Name), QStringLiteral("2002年3月1日 金曜日"));
  QCOMPARE(grid->child(20)->text(QAccessible::Description), QString());  // the name says it all; a note's first line else
  QCOMPARE(grid->child(0)->role(), QAccessible::Button);
  QVERIFY(grid->child(0)->state().focusable);
  QVERIFY(QAccessible::queryAccessibleInterface(child(*window, QStringLiteral("noteHeading")))->state().invisible);
  QCOMPARE(spoken(child(*window, QStringLiteral("previousMonthButton"))), QStringLiteral("前の月"));
  QCOMPARE(spoken(child(*window, QStringLiteral("nextMonthButton"))), QStringLiteral("次の月"));
  press(*window, "nextMonthButton");
  QCOMPARE(spoken(cell(*window, 1)), QStringLiteral("2002年4月1日 月曜日"));
  QCOMPARE(QAccessible::queryAccessibleInterface(child(*window, QStringLiteral("nextMonthButton")))->text(QAccessible::Description),
           QStringLiteral("2002年4月を表示しています"));
  grid->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  QCOMPARE(spoken(child(*window, QStringLiteral("noteEdit"))), QStringLiteral("2002年4月1日の予定"));
}

void MainWindowTest::keyboardReachesEveryDay_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<QStringList>("keys");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("focusedDay");  // the day whose cell has the focus, 0 for none
  QTest::addColumn<QString>("focus");    // else the focused widget
  QTest::addColumn<QString>("heading");  // the open note panel's, empty when closed
  const QDate monday(2026, 12, 7);
  const QString today = QStringLiteral("2026年12月7日");
  QTest::newRow("the first focus is on today") << monday << QStringList{} << today << 7 << "" << "";
  QTest::newRow("arrows move a day or a week, into the month before")
      << monday << QStringList{"Right", "Down", "Left", "Up", "Up"} << "2026年11月" << 30 << "" << "";
  QTest::newRow("Down into the next month") << QDate(2026, 12, 28) << QStringList{"Down"} << "2027年1月" << 4 << "" << "";
  QTest::newRow("Page Down keeps the day where it can") << QDate(2026, 1, 31) << QStringList{"PgDown"} << "2026年2月" << 28 << "" << "";
  QTest::newRow("Page Up, then Home back to today") << monday << QStringList{"PgUp", "PgUp", "Home"} << today << 7 << "" << "";
  QTest::newRow("Ctrl+Page Down a year on, End the month's last day")
      << QDate(2028, 2, 29) << QStringList{"Ctrl+PgDown", "End"} << "2029年2月" << 28 << "" << "";
  QTest::newRow("Ctrl+Page Up a year back") << monday << QStringList{"Ctrl+PgUp"} << "2025年12月" << 7 << "" << "";
  QTest::newRow("the wheel steps months") << monday << QStringList{"WheelDown", "WheelDown", "WheelUp"} << "2027年1月" << 7 << "" << "";
  QTest::newRow("first focus in another month is on the 1st")
      << monday << QStringList{"Tab", "Space", "Shift+Tab"} << "2027年1月" << 1 << "" << "";
  QTest::newRow("a day opened from the 31st in a shorter month, Shift+Tab from the box")
      << QDate(2026, 1, 10) << QStringList{"End", "Open 2026-02-05", "Shift+Tab"} << "2026年2月" << 28 << "" << "2026年2月5日の予定";
  QTest::newRow("Return presses the focused button") << monday << QStringList{"Tab", "Tab", "Return"} << "2026年11月" << 0 << "previousMonthButton" << "";
  QTest::newRow("Return opens the day, the cursor in the box")
      << monday << QStringList{"Right", "Return"} << today << 0 << "noteEdit" << "2026年12月8日の予定";
  QTest::newRow("Space opens it too, Esc closes") << monday << QStringList{"Space", "Esc"} << today << 7 << "" << "";
}

void MainWindowTest::keyboardReachesEveryDay() {
  QFETCH(QDate, today);
  QFETCH(QStringList, keys);
  QFETCH(QString, title);
  QFETCH(int, focusedDay);
  QFETCH(QString, focus);
  QFETCH(QString, heading);
  const auto window = startedWindow(today);
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  pressKeys(*window, keys);
  QCOMPARE(window->windowTitle(), title);
  if (heading.isEmpty()) {
    QCOMPARE(window->width(), 235);
  } else {
    QCOMPARE(noteHeading(*window), heading);
  }
  if (focusedDay == 0) {
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
  } else {
    const auto* focused = qobject_cast<DayCell*>(QApplication::focusWidget());
    QVERIFY(focused != nullptr);
    QCOMPARE(focused->text().toInt(), focusedDay);
    QCOMPARE(focused->showsFocusRing(), !keys.isEmpty());  // no ring before the keyboard is used
  }
}

void MainWindowTest::focusStaysOnTheDaysAcrossMonths_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<QStringList>("keys");
  QTest::addColumn<QString>("focused");  // the name of the day with the focus
  QTest::newRow("Page Down from a day the next month has not")
      << QDate(2026, 1, 31) << QStringList{"PgDown"} << "2026年2月28日 土曜日";
  QTest::newRow("Page Down where the same cell stands for the day")
      << QDate(2027, 2, 28) << QStringList{"PgDown"} << "2027年3月28日 日曜日";
  QTest::newRow("Down from a cell the next month leaves empty")
      << QDate(2026, 1, 31) << QStringList{"Down"} << "2026年2月7日 土曜日";
  QTest::newRow("Up from a cell the month before leaves empty")
      << QDate(2026, 11, 1) << QStringList{"Up"} << "2026年10月25日 日曜日";
  QTest::newRow("End, then Page Up a month shorter")
      << QDate(2026, 3, 2) << QStringList{"End", "PgUp"} << "2026年2月28日 土曜日";
}

// A cell that the new month leaves empty is hidden only once the focus has
// gone to the new day: the focus never passes through the buttons, which a
// screen reader would announce on the way.
void MainWindowTest::focusStaysOnTheDaysAcrossMonths() {
  QFETCH(QDate, today);
  QFETCH(QStringList, keys);
  QFETCH(QString, focused);
  const auto window = startedWindow(today);
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  QStringList passed;
  QObject listening;
  connect(qApp, &QApplication::focusChanged, &listening, [&passed](QWidget*, QWidget* now) {
    passed << (now != nullptr ? now->objectName() : QStringLiteral("none"));
  });
  pressKeys(*window, keys);
  for (const QString& name : passed) QVERIFY2(name.startsWith(QStringLiteral("dayCell")), qPrintable(passed.join(' ')));
  QVERIFY(qobject_cast<DayCell*>(QApplication::focusWidget()) != nullptr);
  QCOMPARE(QApplication::focusWidget()->accessibleName(), focused);
}

// What happens is announced as it happens: Ctrl+Right past the last note,
// a step to another month. A day's description is its note's first line,
// after the name that says the date.
void MainWindowTest::whatHappensIsAnnounced() {
  writeNotes("2002,3,20,a;b\r\n");
  const auto removeNotes = qScopeGuard([] { QFile::remove(QStringLiteral("hiduke.dat")); });
  const auto window = startedWindow(QDate(2002, 3, 5));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  pressKeys(*window, {"Ctrl+Right"});
  QCOMPARE(QApplication::focusWidget(), cell(*window, 24));
  QCOMPARE(cell(*window, 24)->accessibleDescription(), QStringLiteral("a"));
  const auto* announcer = child<QLabel>(*window, QStringLiteral("announcer"));
  QCOMPARE(QAccessible::queryAccessibleInterface(const_cast<QLabel*>(announcer))->role(), QAccessible::Notification);
  for (const auto& [key, said] : {std::pair{"Ctrl+Right", "これより後に予定はありません"}, std::pair{"PgDown", "2002年4月を表示しています"}}) {
    pressKeys(*window, {key});
    QCOMPARE(announcer->text(), QString::fromUtf8(said));
    QVERIFY(announcer->isVisible());
  }
}

// Esc in the note box gives the focus back to the day that was open, and
// nothing on the way.
void MainWindowTest::closingThePanelHandsTheFocusStraightBack() {
  const auto window = startedWindow(QDate(2026, 12, 7));
  window->show();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  pressKeys(*window, {"Right", "Return"});
  QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("noteEdit"));
  QStringList passed;
  QObject listening;
  connect(qApp, &QApplication::focusChanged, &listening, [&passed](QWidget*, QWidget* now) {
    passed << (now != nullptr ? now->objectName() : QStringLiteral("none"));
  });
  pressKeys(*window, {"Esc"});
  QCOMPARE(passed, QStringList{"dayCell9"});  // the 8th
  QCOMPARE(window->width(), 235);
}

void MainWindowTest::todayAndHeadingAreLegible_data() {
  QTest::addColumn<bool>("dark");
  QTest::addColumn<QColor>("text");
  for (const bool dark : {false, true}) {
    const QString palette = dark ? QStringLiteral("dark palette, ") : QStringLiteral("default palette, ");
    QTest::newRow(qPrintable(palette + "Sunday")) << dark << kSunday;
    QTest::newRow(qPrintable(palette + "Saturday")) << dark << kSaturday;
    QTest::newRow(qPrintable(palette + "weekday")) << dark << kWhite;
    QTest::newRow(qPrintable(palette + "holiday")) << dark << kHoliday;
  }
}

void MainWindowTest::todayAndHeadingAreLegible() {
  QFETCH(bool, dark);
  QFETCH(QColor, text);
  const QPalette defaultPalette = QApplication::palette();
  if (dark) {
    QPalette palette = defaultPalette;
    for (const auto role : {QPalette::Window, QPalette::Button}) palette.setColor(role, QColor(53, 53, 53));
    palette.setColor(QPalette::Base, QColor(42, 42, 42));
    QApplication::setPalette(palette);
  }
  const auto window = startedWindow(QDate(2002, 3, 5));
  QApplication::setPalette(defaultPalette);
  // Every cell as today's, in every text colour: the fills differ by cell.
  for (int index = 0; index < kCellCount; ++index) {
    DayCell* day = cell(*window, index);
    day->setText(QStringLiteral("28"));
    day->setFramed(true);
    QPalette palette = day->palette();
    palette.setColor(QPalette::WindowText, text);
    day->setPalette(palette);
    QFont font = day->font();
    font.setUnderline(true);
    day->setFont(font);
    const double contrast = drawnContrast(day, 2);
    QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("cell %1: %2").arg(index).arg(contrast)));
  }
  clickCell(*window, 9);
  QVERIFY(drawnContrast(window->findChild<QWidget*>("noteHeading"), 0) >= 4.5);
}

int main(int argc, char* argv[]) {
  MainWindowTest test;
  return runWindowTests(test, argc, argv);
}

#include "main_window_test.moc"
