// How the window words a day: its tooltip and what a screen reader hears.
#include <QTest>
#include <QTextDocument>

#include "main_window/day_description.h"

using namespace hiduke;
using std::chrono::year;

Q_DECLARE_METATYPE(std::chrono::year_month_day)
Q_DECLARE_METATYPE(std::optional<hiduke::HolidayId>)
Q_DECLARE_METATYPE(std::optional<std::string>)

class DayDescriptionTest : public QObject {
  Q_OBJECT

 private slots:
  void describesTheDay_data();
  void describesTheDay();
  void namesTheDay_data();
  void namesTheDay();
  void markupInANoteShowsAsTyped();
};

void DayDescriptionTest::describesTheDay_data() {
  QTest::addColumn<std::chrono::year_month_day>("date");
  QTest::addColumn<std::optional<HolidayId>>("holiday");
  QTest::addColumn<std::optional<std::string>>("note");
  QTest::addColumn<QString>("text");
  const std::optional<HolidayId> none;
  const std::optional<std::string> noNote;
  QTest::newRow("holiday") << year(2002) / 3 / 21 << std::optional(HolidayId::kVernalEquinoxDay) << noNote
                           << "2002年3月21日（木） 平成14年\n春分の日";
  QTest::newRow("first year of an era") << year(2019) / 5 / 1 << none << noNote << "2019年5月1日（水） 令和元年";
  QTest::newRow("no era before 1873") << year(1872) / 12 / 31 << none << noNote << "1872年12月31日（火）";
  QTest::newRow("three lines of a note") << year(2002) / 3 / 15 << none << std::optional<std::string>("会議\n\n10時")
                                         << "2002年3月15日（金） 平成14年\n会議\n\n10時";
  QTest::newRow("more lines than three")
      << year(2002) / 3 / 15 << none << std::optional<std::string>("a\nb\nc\nd\ne")
      << "2002年3月15日（金） 平成14年\na\nb\nc\nほか 2 行";
  const std::string forty(40, 'x');
  QTest::newRow("a line cut at 40 characters")
      << year(2002) / 3 / 15 << none << std::optional<std::string>(forty + "\n" + forty + "y\n予定" + std::string(38, 'z') + "長い")
      << QStringLiteral("2002年3月15日（金） 平成14年\n") + QString(40, QLatin1Char('x')) + "\n" + QString(40, QLatin1Char('x')) +
             "…\n予定" + QString(38, QLatin1Char('z')) + "…";
  QTest::newRow("an empty note") << year(2002) / 3 / 15 << none << std::optional<std::string>("")
                                 << "2002年3月15日（金） 平成14年\n";
}

void DayDescriptionTest::describesTheDay() {
  QFETCH(std::chrono::year_month_day, date);
  QFETCH(std::optional<HolidayId>, holiday);
  QFETCH(std::optional<std::string>, note);
  QFETCH(QString, text);
  QCOMPARE(dayDescription(date, holiday, note), text);
}

void DayDescriptionTest::namesTheDay_data() {
  QTest::addColumn<bool>("today");
  QTest::addColumn<bool>("holiday");
  QTest::addColumn<bool>("hasNote");
  QTest::addColumn<QString>("name");
  QTest::newRow("a plain day") << false << false << false << "2002年3月16日 土曜日";
  QTest::newRow("today") << true << false << false << "2002年3月16日 土曜日 今日";
  QTest::newRow("all three") << true << true << true << "2002年3月16日 土曜日 今日 振替休日 予定あり";
}

void DayDescriptionTest::namesTheDay() {
  QFETCH(bool, today);
  QFETCH(bool, holiday);
  QFETCH(bool, hasNote);
  QFETCH(QString, name);
  const std::optional<HolidayId> id = holiday ? std::optional(HolidayId::kSubstituteHoliday) : std::nullopt;
  QCOMPARE(dayName(year(2002) / 3 / 16, today, id, hasNote), name);
}

void DayDescriptionTest::markupInANoteShowsAsTyped() {
  const QString shown = asShownRichText(QStringLiteral("<b>bold</b> & more\nline"));
  QVERIFY(Qt::mightBeRichText(shown));
  QVERIFY2(shown.contains(QStringLiteral("&lt;b&gt;bold&lt;/b&gt; &amp; more<br>line")), qPrintable(shown));
}

QTEST_APPLESS_MAIN(DayDescriptionTest)

#include "day_description_test.moc"
