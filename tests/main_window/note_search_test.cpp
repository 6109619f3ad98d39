// Finding notes as the user types: what matches, in which order.
#include <QTest>
#include <map>

#include "main_window/note_search.h"
#include "note_store/cp932.h"
#include "note_store/note_record.h"
#include "window_test_support.h"

using namespace hiduke;
using std::chrono::year;

class NoteSearchTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void findsNotesWhateverTheWidthOrCase_data();
  void findsNotesWhateverTheWidthOrCase();
  void newestFirstUpToTheLimit();
  void upcomingNearestFirstUpToTheLimit();
  void aTemporaryFileThatCannotBeMadeIsAnError();

 private:
  std::optional<testing::NotesDirectory> directory_;
  // In memory; spilled after a few notes; spilled from the first, looked
  // at a byte at a time, so that every hit lies at a piece's edge.
  std::map<std::size_t, NoteSearch> searches_;
};

namespace {

// "2002-03-16: line" for each hit.
QStringList found(const NoteSearch& search, const NoteSearch::Result& result) {
  QStringList lines;
  for (const NoteSearch::Hit hit : result.hits) {
    const std::chrono::year_month_day date = search.date(hit);
    lines << QStringLiteral("%1-%2: %3").arg(static_cast<int>(date.year())).arg(static_cast<unsigned>(date.month())).arg(search.line(hit));
  }
  return lines;
}

}  // namespace

void NoteSearchTest::initTestCase() {
  // Out of date order, and a day written twice (its last record is its note).
  const std::pair<std::chrono::year_month_day, const char*> records[] = {
      {year(2003) / 5 / 5, "first\nsecond abc"}, {year(2002) / 3 / 16, "old"},
      {year(2001) / 1 / 1, "ABC meeting"},       {year(2002) / 3 / 15, "買い物\nｶﾞｽ代を払う"},
      {year(2002) / 3 / 16, "ＡＢＣ社\n2行目"},  {year(2004) / 1 / 1, "㌔と㌔"},
      {year(2005) / 1 / 1, "ダヂ"},
      {year(2006) / 1 / 1, "10時〜12時 予算−削減 \\1000"}};  // saved as ～, －, ¥
  QByteArray file;
  for (const auto& [date, text] : records) file += QByteArray::fromStdString(formatNoteRecord(date, encodeCp932(text)->bytes));
  file += QByteArray::fromStdString(formatNoteRecord(year(2007) / 1 / 1, encodeCp932(QString(300, u'長').toStdString())->bytes));
  directory_.emplace();
  testing::writeNotes(file);
  for (const std::size_t budget : {NoteSearch::kMemoryBudget, std::size_t{100}, std::size_t{0}}) {
    searches_.emplace(budget, std::move(*NoteSearch::read(*NoteStore::open(), budget)));
  }
}

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
  QTest::newRow("folding that lengthens a note") << "キロと" << QStringList{"2004-1: ㌔と㌔"};
  QTest::newRow("a note found once however often it holds the query") << "キロ" << QStringList{"2004-1: ㌔と㌔"};
  QTest::newRow("only where a character begins") << "_ヂ" << QStringList{};  // ダヂ: 83 5F 83 61
  QTest::newRow("a day's earlier record is no note") << "old" << QStringList{};
  for (const char* saved : {"〜12時", "−削減", "\\1000"}) {
    QTest::newRow("a character saved as another's code") << saved << QStringList{"2006-1: 10時～12時 予算－削減 ¥1000"};
  }
  QTest::newRow("a long line shown cut") << "長長" << QStringList{"2007-1: " + QString(200, QChar(u'長')) + "…"};
}

void NoteSearchTest::findsNotesWhateverTheWidthOrCase() {
  QFETCH(QString, query);
  QFETCH(QStringList, found);
  for (const auto& [budget, search] : searches_) QCOMPARE(::found(search, search.find(query, 100)), found);
}

void NoteSearchTest::newestFirstUpToTheLimit() {
  for (const auto& [budget, search] : searches_) {
    const NoteSearch::Result result = search.find(QStringLiteral("abc"), 2);
    QCOMPARE(result.total, std::size_t{3});
    QCOMPARE(::found(search, result), (QStringList{"2003-5: second abc", "2002-3: ＡＢＣ社"}));
  }
}

void NoteSearchTest::upcomingNearestFirstUpToTheLimit() {
  for (const auto& [budget, search] : searches_) {
    const NoteSearch::Result result = search.upcoming(year(2002) / 3 / 16, 2);
    QCOMPARE(result.total, std::size_t{6});
    QCOMPARE(::found(search, result), (QStringList{"2002-3: ＡＢＣ社", "2003-5: first"}));  // the first lines
  }
}

void NoteSearchTest::aTemporaryFileThatCannotBeMadeIsAnError() {
  const QByteArray tmpdir = qgetenv("TMPDIR");
  qputenv("TMPDIR", "/nonexistent");
  const StoreResult<NoteSearch> search = NoteSearch::read(*NoteStore::open(), 0);
  qputenv("TMPDIR", tmpdir);
  QVERIFY(!search);
  QCOMPARE(search.error(),
           (StoreError{.kind = StoreErrorKind::kWriteFailed, .operation = StoreOperation::kSearch, .errorNumber = ENOENT, .path = "/nonexistent"}));
}

QTEST_GUILESS_MAIN(NoteSearchTest)

#include "note_search_test.moc"
