#include "ical/ical_export.h"

#include <gtest/gtest.h>
#include <libical/ical.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "note_store/cp932.h"
#include "note_store/note_record.h"
#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::date;
using hiduke::testing::listDir;
using hiduke::testing::openStore;
using hiduke::testing::readBytes;
using hiduke::testing::ScratchDir;
using hiduke::testing::writeBytes;

struct Event {
  std::string start;
  std::string summary;
  std::string description;
  friend bool operator==(const Event&, const Event&) = default;
  friend void PrintTo(const Event& event, std::ostream* out) {
    *out << "{" << event.start << " | " << event.summary << " | " << event.description << "}";
  }
};

// The events of an iCalendar text by UID, as libical's parser reads them.
std::map<std::string, Event> eventsOf(const std::string& text) {
  std::map<std::string, Event> events;
  icalcomponent* calendar = icalparser_parse_string(text.c_str());
  if (calendar == nullptr) return events;
  for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event != nullptr;
       event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    const icaltimetype start = icalcomponent_get_dtstart(event);
    events[icalcomponent_get_uid(event)] = Event{
        std::string(icaltime_as_ical_string(start)) + (start.is_date ? " date" : " time"),
        icalcomponent_get_summary(event), icalcomponent_get_description(event)};
  }
  icalcomponent_free(calendar);
  return events;
}

// Every line of the text ends in CR LF and is at most 75 octets long.
void expectFoldedLines(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "a line without CR LF at " << start;
    EXPECT_LE(end - start, 75u) << text.substr(start, end - start);
    EXPECT_EQ(text.find('\n', start), end + 1) << "a lone LF at " << start;
    start = end + 2;
  }
}

std::string cp932(const std::string& utf8) { return encodeCp932(utf8)->bytes; }

TEST(ICalendarExportTest, EveryNoteReadsBackFromAStrictReader) {
  ScratchDir dir;
  const std::string longJapanese(300, 'x');
  std::string longLine;
  for (int i = 0; i < 60; ++i) longLine += "予定の詳細";
  const std::string file = formatNoteRecord(date(2002, 3, 15), cp932("会議, 資料 \"集合\" \\ 10時\n二行目\n三行目")) +
                           formatNoteRecord(date(2002, 3, 16), cp932("an earlier record")) + "hand edit\r\n" +
                           formatNoteRecord(date(2002, 3, 17), cp932(longLine)) +
                           formatNoteRecord(date(2002, 3, 16), cp932("last record wins")) +
                           formatNoteRecord(date(1, 1, 1), cp932("the first year")) +
                           formatNoteRecord(date(9999, 12, 31), cp932(longJapanese)) + "12002,1,1,far\r\n" +
                           formatNoteRecord(date(0, 1, 1), cp932("year zero"));
  writeBytes("hiduke.dat", file);
  const NoteStore store = openStore();
  const StoreResult<ExportReport> report = exportICalendar(store, "notes.ics");
  ASSERT_TRUE(report) << testing::describe(report.error());
  EXPECT_EQ(report->events, 5u);
  EXPECT_EQ(report->otherLines, 1u);
  EXPECT_EQ(report->outsideYears, 2u);
  const std::string text = *readBytes("notes.ics");
  expectFoldedLines(text);
  const std::map<std::string, Event> expected = {
      {"20020315@hiduke", {"20020315 date", "会議, 資料 \"集合\" ¥ 10時", "会議, 資料 \"集合\" ¥ 10時\n二行目\n三行目"}},
      {"20020316@hiduke", {"20020316 date", "last record wins", "last record wins"}},
      {"20020317@hiduke", {"20020317 date", longLine, longLine}},
      {"00010101@hiduke", {"00010101 date", "the first year", "the first year"}},
      {"99991231@hiduke", {"99991231 date", longJapanese, longJapanese}},
  };
  EXPECT_EQ(eventsOf(text), expected);
  EXPECT_EQ(readBytes("hiduke.dat"), file);  // only read

  // A later export names the same events, for a calendar to update them.
  writeBytes("hiduke.dat", formatNoteRecord(date(2002, 3, 15), cp932("changed")));
  ASSERT_TRUE(exportICalendar(store, "notes.ics"));
  EXPECT_EQ(eventsOf(*readBytes("notes.ics")).at("20020315@hiduke").summary, "changed");
  EXPECT_EQ(listDir("."), (std::vector<std::string>{"hiduke.dat", "notes.ics"}));
}

// What the file cannot hold but a calendar's text must escape: a
// semicolon (in the file a line break) and a backslash (the file's ¥).
TEST(ICalendarExportTest, SemicolonsAndBackslashesAreEscaped) {
  const AllNotes notes({{date(2002, 3, 15), "a;b\\c,d\ne"}}, 0);
  const ICalendar calendar = iCalendarOf(notes, std::chrono::system_clock::now());
  EXPECT_NE(calendar.text.find("DESCRIPTION:a\\;b\\\\c\\,d\\ne\r\n"), std::string::npos) << calendar.text;
  EXPECT_EQ(eventsOf(calendar.text).at("20020315@hiduke"), (Event{"20020315 date", "a;b\\c,d", "a;b\\c,d\ne"}));
}

TEST(ICalendarExportTest, AFileThatCannotBeWrittenIsNamedAndLeftAsItWas) {
  ScratchDir dir;
  writeBytes("hiduke.dat", formatNoteRecord(date(2002, 3, 15), "x"));
  writeBytes("notes.ics", "an older export");
  const NoteStore store = openStore();
  for (const std::string path : {"missing/notes.ics", "."}) {
    const StoreResult<ExportReport> report = exportICalendar(store, path);
    ASSERT_FALSE(report) << path;
    EXPECT_EQ(report.error().operation, StoreOperation::kExport);
    EXPECT_EQ(report.error().path, path);
  }
  ASSERT_EQ(::chmod(".", 0555), 0);
  const StoreResult<ExportReport> refused = exportICalendar(store, "notes.ics");
  ASSERT_EQ(::chmod(".", 0755), 0);
  if (::geteuid() != 0) {
    EXPECT_FALSE(refused);  // root writes anyway
  }
  if (!refused) {
    EXPECT_EQ(readBytes("notes.ics"), "an older export");
  }
  EXPECT_EQ(listDir(".").size(), 2u);  // no temporary left
}

// The export never writes the note file, and takes the place of the file
// its target names as a save of the note file would.
TEST(ICalendarExportTest, TheTargetKeepsItsModeAndLinkAndIsNeverTheNoteFile) {
  ScratchDir dir;
  const std::string notes = formatNoteRecord(date(2002, 3, 15), "x");
  writeBytes("hiduke.dat", notes);
  ASSERT_EQ(::chmod("hiduke.dat", 0640), 0);
  writeBytes("private.ics", "old");
  ASSERT_EQ(::chmod("private.ics", 0600), 0);
  ASSERT_EQ(::symlink("private.ics", "link.ics"), 0);
  ASSERT_EQ(::symlink("hiduke.dat", "notes-link"), 0);
  ASSERT_EQ(::link("hiduke.dat", "notes-copy"), 0);
  ASSERT_EQ(::mkdir("folder.ics", 0755), 0);
  const NoteStore store = openStore();
  struct Refused {
    const char* path;
    StoreErrorKind kind;
  };
  for (const auto& [path, kind] : {Refused{"hiduke.dat", StoreErrorKind::kExportOverNoteFile},
                                   Refused{"notes-link", StoreErrorKind::kExportOverNoteFile},
                                   Refused{"notes-copy", StoreErrorKind::kExportOverNoteFile},
                                   Refused{"folder.ics", StoreErrorKind::kNotRegularFile}}) {
    const StoreResult<ExportReport> report = exportICalendar(store, path);
    ASSERT_FALSE(report) << path;
    EXPECT_EQ(report.error().kind, kind) << path;
    EXPECT_EQ(report.error().path, path);
  }
  EXPECT_EQ(readBytes("hiduke.dat"), notes);
  ASSERT_TRUE(exportICalendar(store, "link.ics"));
  ASSERT_TRUE(exportICalendar(store, "new.ics"));
  struct stat link {}, replaced {}, created {};
  ASSERT_EQ(::lstat("link.ics", &link), 0);
  ASSERT_EQ(::stat("private.ics", &replaced), 0);
  ASSERT_EQ(::stat("new.ics", &created), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_EQ(replaced.st_mode & 07777, 0600u);
  EXPECT_EQ(created.st_mode & 07777, 0640u);  // as private as the notes
  EXPECT_EQ(eventsOf(readBytes("private.ics").value_or("")).size(), 1u);
}

}  // namespace
}  // namespace hiduke
