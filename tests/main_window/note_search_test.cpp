// Finding notes as the user types: what matches, in which order.
#include <QTest>

#include "main_window/note_search.h"

using namespace hiduke;
using std::chrono::year;

class NoteSearchTest : public QObject {
  Q_OBJECT

 private slots:
  void findsNotesWhateverTheWidthOrCase_data();
  void findsNotesWhateverTheWidthOrCase();
  void newestFirstUpToTheLimit();
  void upcomingNearestFirstUpToTheLimit();
};

namespace {

AllNotes notes() {
  return AllNotes({{year(2001) / 1 / 1, "ABC meeting"},
                   {year(2002) / 3 / 15, "買い物\nｶﾞｽ代を払う"},
                   {year(2002) / 3 / 16, "ＡＢＣ社\n2行目"},
                   {year(2003) / 5 / 5, "first\nsecond abc"},
                   {year(2004) / 1 / 1, "㌔ ﷺ ㌔"}},
                  0);
}

// "2002-03-16: line" for each match.
QStringList found(const NoteSearch& search, const QString& query, std::size_t limit = 100) {
  QStringList lines;
  for (const NoteSearch::Match& match : search.find(query, limit).matches) {
    lines << QStringLiteral("%1-%2: %3").arg(static_cast<int>(match.date.year())).arg(static_cast<unsigned>(match.date.month())).arg(match.line);
  }
  return lines;
}

}  // namespace

void NoteSearchTest::findsNotesWhateverTheWidthOrCase_data() {
  QTest::addColumn<QString>("query");
  QTest::addColumn<QStringList>("found");
  QTest::newRow("full width finds half width and either case")
      << "ＡＢＣ" << QStringList{"2003-5: second abc", "2002-3: ＡＢＣ社", "2001-1: ABC meeting"};
  QTest::newRow("upper case finds lower case") << "SECOND" << QStringList{"2003-5: second abc"};
  QTest::newRow("half-width kana finds full width") << "ガス" << QStringList{"2002-3: ｶﾞｽ代を払う"};
  QTest::newRow("full-width digits") << "２行" << QStringList{"2002-3: 2行目"};
  QTest::newRow("nothing") << "夕食" << QStringList{};
  QTest::newRow("an empty query finds nothing") << "" << QStringList{};
  QTest::newRow("no note spans a line break") << "物ｶ" << QStringList{};
  QTest::newRow("folding that lengthens a note") << "キロ" << QStringList{"2004-1: ㌔ ﷺ ㌔"};
}

void NoteSearchTest::findsNotesWhateverTheWidthOrCase() {
  QFETCH(QString, query);
  QFETCH(QStringList, found);
  const NoteSearch search(notes());
  QCOMPARE(::found(search, query), found);
}

void NoteSearchTest::newestFirstUpToTheLimit() {
  const NoteSearch search(notes());
  const NoteSearch::Result result = search.find(QStringLiteral("abc"), 2);
  QCOMPARE(result.total, std::size_t{3});
  QCOMPARE(::found(search, QStringLiteral("abc"), 2), (QStringList{"2003-5: second abc", "2002-3: ＡＢＣ社"}));
}

void NoteSearchTest::upcomingNearestFirstUpToTheLimit() {
  const NoteSearch search(notes());
  const NoteSearch::Result result = search.upcoming(year(2002) / 3 / 16, 2);
  QCOMPARE(result.total, std::size_t{3});
  QStringList lines;
  for (const NoteSearch::Match& match : result.matches) lines << match.line;
  QCOMPARE(lines, (QStringList{"ＡＢＣ社", "first"}));  // the first lines
}

QTEST_APPLESS_MAIN(NoteSearchTest)

#include "note_search_test.moc"
