#include "ical/ical_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ical/ical_export.h"
#include "ical/simple_event.h"
#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::date;
using hiduke::testing::dateText;
using hiduke::testing::describe;
using hiduke::testing::openStore;
using hiduke::testing::ScratchDir;
using hiduke::testing::writeBytes;

const ImportRange kRange{date(2023, 1, 1), date(2025, 12, 31)};

std::map<std::string, std::string> notesOf(const NoteStore& store) {
  const StoreResult<AllNotes> all = store.allNotes();
  if (!all) throw std::runtime_error(describe(all.error()));
  std::map<std::string, std::string> notes;
  for (const DatedNote& note : all->notes) notes[dateText(note.date)] = note.text;
  return notes;
}

// Plans the import of `path` and writes it: the plan.
ImportPlan imported(NoteStore& store, const std::string& path) {
  StoreResult<ImportPlan> plan = planImport(store, path, kRange);
  if (!plan) throw std::runtime_error(describe(plan.error()));
  const StoreResult<BatchReport> saved = store.saveNotes(plan->batch, plan->readFrom);
  if (!saved) throw std::runtime_error(describe(saved.error()));
  return std::move(*plan);
}

std::string calendar(const std::string& events) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
         "BEGIN:VTIMEZONE\r\nTZID:Eastern\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
         "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n" +
         events + "END:VCALENDAR\r\n";
}

std::string event(const std::string& lines) { return "BEGIN:VEVENT\r\nUID:x\r\n" + lines + "END:VEVENT\r\n"; }

class ICalImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
  }
  ScratchDir dir_;
  NoteStore store_ = openStore();
};

// Each event on the days it covers, in local time, the events of a day in
// start order, lines the day already has not added; a second import adds
// nothing.
TEST_F(ICalImportTest, EventsBecomeTheLinesOfTheDaysTheyCover) {
  struct Case {
    const char* what;
    std::string events;
    std::map<std::string, std::string> after;
    std::vector<UnreadableEvent> unreadable;
  };
  const std::vector<Case> cases = {
      {"all day, timed with TZID (reported on its local day), UTC, several days, start order; a TZID not known",
       event("DTSTART;TZID=Eastern:20240110T200000\r\nDTEND;TZID=Eastern:20240110T210000\r\nSUMMARY:会議🎉\r\n") +
           event("DTSTART;TZID=Nowhere:20240301T090000\r\nSUMMARY:z\r\n") +
           event("DTSTART;TZID=Nowhere:20100301T090000\r\nSUMMARY:before the range\r\n") +
           event("DTSTART:20240110T233000Z\r\nSUMMARY:朝\r\nDESCRIPTION:資料\\nメモ;a\r\n") +
           event("DTSTART;VALUE=DATE:20240111\r\nDTEND;VALUE=DATE:20240113\r\nSUMMARY:trip\r\n"),
       {{"2010-03-01", "09:00 before the range"}, {"2024-01-11", "trip\n08:30 朝\n資料\nメモ；a\n10:00 会議"},
        {"2024-01-12", "trip\nold"}, {"2024-03-01", "09:00 z"}},
       {{.summary = "会議🎉", .start = date(2024, 1, 11), .characters = {"🎉"}},
        {.summary = "z", .start = date(2024, 3, 1), .problem = EventProblem::kUnknownTimeZone},
        {.summary = "before the range", .start = date(2010, 3, 1), .problem = EventProblem::kUnknownTimeZone}}},
      {"repeated, with EXDATE and RDATE (a date, a time with TZID, a period)",
       event("DTSTART;VALUE=DATE:20240101\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\nEXDATE;VALUE=DATE:20240108\r\n"
             "RDATE;VALUE=DATE:20240120\r\nSUMMARY:w\r\n") +
           event("DTSTART;TZID=Eastern:20240201T200000\r\nRDATE;TZID=Eastern:20240210T200000\r\n"
                 "RDATE;VALUE=PERIOD:20240215T010000Z/PT2H\r\nSUMMARY:r\r\n"),
       {{"2024-01-01", "w"}, {"2024-01-12", "trip\nold"}, {"2024-01-15", "w"}, {"2024-01-20", "w"},
        {"2024-02-02", "10:00 r"}, {"2024-02-11", "10:00 r"}, {"2024-02-15", "10:00 r"}},
       {}},
      {"emoji left out with the space before them, the rest imported; a repeating event reported on its first day in "
       "the range; a repetition begun days before the range; repetitions that overlap, bounded",
       event("DTSTART;VALUE=DATE:20240102\r\nSUMMARY:🎉par\x01ty\t! 🎄\r\n") +
           event("DTSTART;VALUE=DATE:20220115\r\nRRULE:FREQ=MONTHLY;COUNT=13\r\nSUMMARY:毎月😀\r\n") +
           event("DTSTART;VALUE=DATE:20211225\r\nDTEND;VALUE=DATE:20220103\r\nRRULE:FREQ=YEARLY;COUNT=2\r\nSUMMARY:冬\r\n") +
           event("DTSTART;VALUE=DATE:20221225\r\nDURATION:P10D\r\nRRULE:FREQ=DAILY\r\nSUMMARY:long\r\n"),
       {{"2023-01-01", "冬"}, {"2023-01-02", "冬"}, {"2023-01-15", "毎月"}, {"2024-01-02", "party\t!"}, {"2024-01-12", "trip\nold"}},
       {{.summary = "🎉par\x01ty\t! 🎄", .start = date(2024, 1, 2), .characters = {"🎉", "🎄"}},
        {.summary = "毎月😀", .start = date(2023, 1, 15), .characters = {"😀"}},
        {.summary = "long", .start = date(2023, 1, 1), .problem = EventProblem::kTooManyLines}}},
      {"a summary left out only where it reads as the description's first line; a CR before an escaped line break; "
       "text in Shift_JIS",
       event("DTSTART;VALUE=DATE:20240103\r\nSUMMARY:Foo\r\nDESCRIPTION: \\nFoo\r\n") +
           event("DTSTART:20240113T010000Z\r\nSUMMARY:Foo\r\nDESCRIPTION:\\nFoo\r\n") +
           event("DTSTART;VALUE=DATE:20240104\r\nSUMMARY:会議🎉\r\nDESCRIPTION:会議\r\n") +
           event("DTSTART;VALUE=DATE:20240105\r\nSUMMARY:x\r\nDESCRIPTION:a\r\\nb\r\n") +
           event("DTSTART;VALUE=DATE:20240106\r\nSUMMARY:\x89\xef\x8b\x63\r\n") +
           event("DTSTART;VALUE=DATE:20240107\r\nSUMMARY:🎉\r\n") +
           event("DTSTART;VALUE=DATE:20240109\r\nSUMMARY:caf\xe9 会議\x82\r\n") +
           event("DTSTART;TZID=Nowhere:20240110T090000\r\nSUMMARY:\x89\xef\x8b\x63\r\n") +
           event("DTSTART;VALUE=DATE:20240108\r\nSUMMARY:a\u00a0b 10\u201312\u2014\u00a0\r\n"),
       {{"2024-01-03", " \nFoo"}, {"2024-01-04", "会議\n会議"}, {"2024-01-05", "x\na\nb"}, {"2024-01-07", "（予定）"},
        {"2024-01-08", "a b 10-12― "}, {"2024-01-09", "caf 会議"}, {"2024-01-12", "trip\nold"},
        {"2024-01-13", "10:00 Foo\n\nFoo"}},
       {{.summary = "会議🎉", .start = date(2024, 1, 4), .characters = {"🎉"}},
        {.summary = "会議", .start = date(2024, 1, 6), .problem = EventProblem::kNotUtf8},
        {.summary = "🎉", .start = date(2024, 1, 7), .characters = {"🎉"}},
        {.summary = "caf\xe9 会議\x82", .start = date(2024, 1, 9), .characters = {"\uFFFD"}},
        {.summary = "会議", .start = date(2024, 1, 10), .problem = EventProblem::kNotUtf8}}},
      {"repetitions outside the range not reported; an endless rule of every hour reported on the range's first day",
       event("DTSTART;VALUE=DATE:20220102\r\nRRULE:FREQ=DAILY;COUNT=2\r\nSUMMARY:🎉\r\n") +
           event("DTSTART;VALUE=DATE:20260101\r\nRRULE:FREQ=DAILY;COUNT=3\r\nSUMMARY:🎉\r\n") +
           event("DTSTART:20100101T100000Z\r\nRRULE:FREQ=MINUTELY;UNTIL=20100102T000000Z\r\nSUMMARY:m\r\n") +
           event("DTSTART:20200101T000000Z\r\nRRULE:FREQ=HOURLY\r\nSUMMARY:h\r\n"),
       {{"2024-01-12", "trip\nold"}},
       {{.summary = "h", .start = date(2023, 1, 1), .problem = EventProblem::kTooManyLines}}},
      {"instances edited after their series, RECURRENCE-IDs in UTC and in the series' time zone",
       event("DTSTART;TZID=Eastern:20240101T200000\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:s\r\n") +
           event("RECURRENCE-ID:20240109T010000Z\r\nDTSTART;TZID=Eastern:20240108T210000\r\nSUMMARY:later\r\n") +
           event("RECURRENCE-ID;TZID=Eastern:20240115T200000\r\nDTSTART;TZID=Eastern:20240115T220000\r\nSUMMARY:m\r\n"),
       {{"2024-01-02", "10:00 s"}, {"2024-01-09", "11:00 later"}, {"2024-01-12", "trip\nold"}, {"2024-01-16", "12:00 m"}},
       {}},
      {"instances cancelled and edited before their series",
       event("RECURRENCE-ID;VALUE=DATE:20240302\r\nDTSTART;VALUE=DATE:20240302\r\nSTATUS:CANCELLED\r\n") +
           event("RECURRENCE-ID;VALUE=DATE:20240303\r\nDTSTART;VALUE=DATE:20240303\r\nSUMMARY:d2\r\n") +
           event("DTSTART;VALUE=DATE:20240301\r\nRRULE:FREQ=DAILY;COUNT=3\r\nSUMMARY:d\r\n"),
       {{"2024-01-12", "trip\nold"}, {"2024-03-01", "d"}, {"2024-03-03", "d2"}},
       {}},
      {"an instance moved to another day; a cancelled event",
       event("DTSTART;VALUE=DATE:20240401\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\nSUMMARY:m\r\n") +
           event("RECURRENCE-ID;VALUE=DATE:20240408\r\nDTSTART;VALUE=DATE:20240410\r\nSUMMARY:m\r\n") +
           event("DTSTART;VALUE=DATE:20240405\r\nSTATUS:CANCELLED\r\nSUMMARY:c\r\n"),
       {{"2024-01-12", "trip\nold"}, {"2024-04-01", "m"}, {"2024-04-10", "m"}},
       {}},
  };
  for (const Case& c : cases) {
    writeBytes("hiduke.dat", "2024,1,12,trip;old\r\n");
    writeBytes("in.ics", calendar(c.events));
    const ImportPlan plan = imported(store_, "in.ics");
    EXPECT_EQ(notesOf(store_), c.after) << c.what;
    ASSERT_EQ(plan.unreadable.size(), c.unreadable.size()) << c.what;
    for (std::size_t i = 0; i < c.unreadable.size(); ++i) {
      EXPECT_EQ(plan.unreadable[i].summary, c.unreadable[i].summary) << c.what;
      EXPECT_EQ(plan.unreadable[i].start, c.unreadable[i].start) << c.what;
      EXPECT_EQ(plan.unreadable[i].characters, c.unreadable[i].characters) << c.what;
      EXPECT_EQ(plan.unreadable[i].problem, c.unreadable[i].problem) << c.what;
    }
    const ImportPlan again = imported(store_, "in.ics");
    EXPECT_TRUE(again.batch.empty()) << c.what;
    EXPECT_EQ(again.newDays + again.addedToDays, 0u) << c.what;
  }
}

// An event of every day (begun before the range) fills up to its bound of
// days of the range, more than the default range's three years; one more
// and it is left out, reported on its first day there.
TEST_F(ICalImportTest, AnEventFillsAtMostTheDaysOfItsBound) {
  writeBytes("in.ics", calendar(event("DTSTART;VALUE=DATE:19990101\r\nRRULE:FREQ=DAILY\r\nSUMMARY:d\r\n")));
  for (const auto last : {date(2010, 12, 13), date(2010, 12, 14)}) {  // 4,000 and 4,001 days from 1 January 2000
    const StoreResult<ImportPlan> plan = planImport(store_, "in.ics", {date(2000, 1, 1), last});
    ASSERT_TRUE(plan) << describe(plan.error());
    const bool filled = last == date(2010, 12, 13);
    EXPECT_EQ(plan->newDays, filled ? kMaxLinesOfOneEvent : 0u);
    const std::vector<UnreadableEvent> leftOut = plan->unreadable;
    ASSERT_EQ(leftOut.size(), filled ? 0u : 1u);
    EXPECT_TRUE(filled || (leftOut[0].start == date(2000, 1, 1) && leftOut[0].problem == EventProblem::kTooManyLines));
  }
}

// A file that is no iCalendar 2.0 calendar is refused, not read as one.
TEST_F(ICalImportTest, AFileThatIsNoICalendarIsRefused) {
  for (const char* text : {"hello\r\n",
                           "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:20240101T100000\r\n"
                           "SUMMARY;ENCODING=QUOTED-PRINTABLE:=E4=BC=9A\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"}) {
    writeBytes("in.ics", text);
    const StoreResult<ImportPlan> plan = planImport(store_, "in.ics", kRange);
    EXPECT_TRUE(!plan && plan.error().kind == StoreErrorKind::kNotICalendar) << text;
  }
}

// An end given alone, past the default's other end, keeps its length.
TEST(ImportRangeTest, AnEndGivenAloneKeepsTheDefaultsLength) {
  using std::chrono::sys_days;
  const std::chrono::days length = sys_days{date(2028, 12, 8)} - sys_days{date(2025, 12, 8)};
  EXPECT_EQ(sys_days{importRangeOf(date(2026, 12, 8), date(2030, 1, 1), std::nullopt).last}, sys_days{date(2030, 1, 1)} + length);
}

// An event of centuries fills the range; one a file cut short ends inside is told of.
TEST_F(ICalImportTest, AnEventOfCenturiesFillsTheRangeAndOneCutShortIsToldOf) {
  writeBytes("in.ics", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + event("DTSTART;VALUE=DATE:19000101\r\nDTEND;VALUE=DATE:23000101\r\n") +
                           "BEGIN:VEVENT\r\nSUMMARY;LANGUAGE=ja:cut\\, \r\n short\r\nDESCRIPTION:x");
  const ImportPlan plan = imported(store_, "in.ics");
  EXPECT_EQ(plan.newDays, 1096u);
  ASSERT_EQ(plan.unreadable.size(), 1u);
  EXPECT_EQ(plan.unreadable[0].summary, "cut, short");
  EXPECT_EQ(plan.unreadable[0].problem, EventProblem::kCutShort);
}

// An export imported into an empty directory gives back the same notes.
TEST_F(ICalImportTest, AnExportImportedIntoAnEmptyDirectoryGivesBackTheSameNotes) {
  const std::map<std::string, std::string> notes = {
      {"2024-03-01", "会議"},   {"2024-03-02", "買い物\n10時"}, {"2024-03-03", "a\n\nb"}, {"2024-03-04", "～ 波, \"引用\""},
      {"2024-03-05", " \n会議"}, {"2024-03-06", " "},            {"2024-03-07", "\n\n"},
      {"1990-03-08", "範囲の前"}, {"2090-03-09", "範囲の後"}, {"9999-03-10", "libical の読まない年"}};
  for (const auto& [day, text] : notes) {
    const int y = std::stoi(day.substr(0, 4));
    ASSERT_TRUE(store_.saveNote(date(y, 3, std::stoul(day.substr(8))), text));
  }
  ASSERT_TRUE(exportICalendar(store_, "out.ics"));
  ASSERT_EQ(::mkdir("empty", 0700), 0);
  NoteStore other = openStore("empty/hiduke.dat");
  imported(other, "out.ics");
  EXPECT_EQ(notesOf(other), notes);
}

// However its lines are written, a calendar reads the same: line feeds
// alone, a byte order mark, no last line end, every line folded, cut
// where the file is read a megabyte at a time, an event longer than that.
TEST_F(ICalImportTest, ACalendarReadsTheSameHoweverItsLinesAreWritten) {
  const std::string events = event("DTSTART;VALUE=DATE:20240105\r\nSUMMARY:会議\r\nDESCRIPTION:会議\\nメモ\r\n") +
                             event("DTSTART;VALUE=DATE:20240106\r\nSUMMARY:b\r\n");
  const std::string plain = calendar(events);
  const auto replaced = [](std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
  };
  std::string lineFeeds, folded;
  for (std::size_t at = 0, end; (end = plain.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = plain.substr(at, end - at);
    lineFeeds += line + "\n";
    folded += line.size() > 5 ? line.substr(0, 5) + "\r\n " + line.substr(5) + "\r\n" : line + "\r\n";
  }
  constexpr std::size_t kReadAtOnce = std::size_t{1} << 20;
  const std::size_t header = calendar("").size() - std::string("END:VCALENDAR\r\n").size();
  // The first event begins 20 bytes before the first megabyte ends.
  const std::string padding = "X-PAD:" + std::string(kReadAtOnce - 20 - header - 8, 'p') + "\r\n";
  std::string longEvent = events;
  longEvent.insert(longEvent.find("SUMMARY"), "X-LONG:" + std::string(2 * kReadAtOnce, 'l') + "\r\n");
  const std::vector<std::pair<const char*, std::string>> shapes = {
      {"as written", plain},
      {"line feeds alone", lineFeeds},
      {"byte order mark", "\xEF\xBB\xBF" + plain},
      {"no last line end", plain.substr(0, plain.size() - 2)},
      {"every line folded", folded},
      {"a line that goes on an empty one", calendar(replaced(events, "\r\nEND:VEVENT", "\r\n\r\n END:VEVENT"))},
      {"cut where it is read", calendar(padding + events)},
      {"an event longer than what is read at once", calendar(longEvent)},
  };
  for (const auto& [what, text] : shapes) {
    std::filesystem::remove("hiduke.dat");
    NoteStore store = openStore();  // one that never saw a note file that is gone
    writeBytes("in.ics", text);
    imported(store, "in.ics");
    EXPECT_EQ(notesOf(store), (std::map<std::string, std::string>{{"2024-01-05", "会議\nメモ"}, {"2024-01-06", "b"}})) << what;
  }
}

// A calendar large enough to be read on two threads reads as it does
// through a pipe, on one: events of every kind on both sides of its
// middle, the events of a day in their order, also where the middle lies
// inside a component.
TEST_F(ICalImportTest, ALargeCalendarReadsAsItDoesThroughAPipe) {
  ::signal(SIGPIPE, SIG_IGN);
  std::string events;
  for (int i = 0; i < 4000; ++i) {
    const std::string day = "202401" + std::to_string(10 + i % 19), n = std::to_string(i);
    const std::vector<std::string> kinds = {
        "DTSTART;VALUE=DATE:" + day + "\r\nSUMMARY:all day " + n + "\r\nX-PAD:" + std::string(3000, 'p') + "\r\n",
        "DTSTART:" + day + "T101500Z\r\nSUMMARY:timed " + n + "\r\nDESCRIPTION:" + std::string(70, 'd') + "\r\n folded\r\n",
        "DTSTART;TZID=Eastern:" + day + "T090000\r\nSUMMARY:zoned " + n + "\r\n",
        "DTSTART;VALUE=DATE:" + day + "\r\nRRULE:FREQ=DAILY;COUNT=2\r\nSUMMARY:repeated " + n + "\r\n"};
    events += i % 5 == 4 ? "BEGIN:VTODO\r\n" + event(kinds[0]) + "END:VTODO\r\n" : event(kinds[i % 5]);
  }
  const std::string text = calendar(events);
  // Padding before the events that puts the middle inside a to-do.
  std::size_t todo = text.rfind("BEGIN:VTODO", text.size() / 2 - 20);
  const std::string padding = "X-PAD:" + std::string(text.size() - 2 * todo - 10 - 8, 'p') + "\r\n";
  const std::string insideToDo = text.substr(0, 16) + padding + text.substr(16);
  for (const std::string& shape : {text, insideToDo}) {
    std::filesystem::remove_all("file");
    std::filesystem::remove_all("pipe");
    std::filesystem::create_directory("file");
    std::filesystem::create_directory("pipe");
    writeBytes("file/in.ics", shape);
    ASSERT_EQ(::mkfifo("pipe/in.ics", 0600), 0);
    std::thread writer([&] { std::ofstream("pipe/in.ics", std::ios::binary) << shape; });
    NoteStore fromPipe = openStore("pipe/hiduke.dat");
    const ImportPlan pipePlan = imported(fromPipe, "pipe/in.ics");
    writer.join();
    NoteStore fromFile = openStore("file/hiduke.dat");
    const ImportPlan filePlan = imported(fromFile, "file/in.ics");
    EXPECT_EQ(testing::readBytes("file/hiduke.dat"), testing::readBytes("pipe/hiduke.dat"));
    EXPECT_EQ(filePlan.events, 3200u);  // not those inside a to-do
    EXPECT_EQ(filePlan.events, pipePlan.events);
    const std::string firstDay = notesOf(fromFile).at("2024-01-10");
    EXPECT_TRUE(firstDay.starts_with("all day 0\n") && firstDay.find("\nall day 3990\n") != std::string::npos) << firstDay;
  }
}

// Events of the common shape are read without libical's parser: as
// libical reads them.
TEST(SimpleEventTest, ReadsAsLibicalDoes) {
  const std::vector<std::string> events = {
      "DTSTART;VALUE=DATE:20240102\r\nDTEND;VALUE=DATE:20240105\r\nSUMMARY:a\\, b\\; c\\\\\r\nDESCRIPTION:x\\ny\\Nz\r\n",
      "DTSTART:20240102T101500Z\r\nDTEND:20240102T111500Z\r\nsummary;LANGUAGE=ja:会議\r\nX-FOO:1\r\n",
      "DTSTART:20240102T101500\r\nDESCRIPTION;ALTREP=\"cid:a:b\":d\r\nTRANSP:TRANSPARENT\r\n",
      "DTSTART;VALUE=DATE:20240229\r\n",
  };
  for (const std::string& lines : events) {
    const std::string text = event(lines);
    const std::optional<EventParts> simple = readSimpleEvent(text);
    ASSERT_TRUE(simple) << text;
    icalcomponent* parsed = icalparser_parse_string(text.c_str());
    const char* summary = icalcomponent_get_summary(parsed);
    const char* description = icalcomponent_get_description(parsed);
    EXPECT_EQ(unescapedText(simple->summary, simple->escaped), summary != nullptr ? summary : "") << text;
    EXPECT_EQ(unescapedText(simple->description, simple->escaped), description != nullptr ? description : "") << text;
    EXPECT_EQ(icaltime_compare(simple->start, icalcomponent_get_dtstart(parsed)), 0) << text;
    EXPECT_EQ(icaltime_compare(simple->end, icalcomponent_get_dtend(parsed)), 0) << text;
    icalcomponent_free(parsed);
  }
  for (const char* other : {"DTSTART;TZID=Eastern:20240102T101500\r\n", "DTSTART:20240102\r\nRRULE:FREQ=DAILY\r\n",
                            "DTSTART:20240102T101500Z\r\nDURATION:PT1H\r\n", "SUMMARY:no start\r\n"}) {
    EXPECT_FALSE(readSimpleEvent(event(other))) << other;
  }
}

// Stopped when the progress says so, before anything is written.
TEST_F(ICalImportTest, AnImportStopsWhenItsProgressSaysSo) {
  std::string events;
  for (int day = 1; day <= 28; ++day) events += event("DTSTART;VALUE=DATE:202402" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "\r\nSUMMARY:x\r\n");
  writeBytes("in.ics", calendar(events));
  std::uint64_t told = 0;
  const StoreResult<ImportPlan> plan = planImport(store_, "in.ics", kRange, [&](std::uint64_t done, std::uint64_t total) {
    told = done;
    return done < total;
  });
  ASSERT_FALSE(plan);
  EXPECT_EQ(plan.error().kind, StoreErrorKind::kCancelled);
  EXPECT_EQ(told, std::filesystem::file_size("in.ics"));
}

}  // namespace
}  // namespace hiduke
