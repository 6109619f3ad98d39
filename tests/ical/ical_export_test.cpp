#include "ical/ical_export.h"

#include <gtest/gtest.h>
#include <libical/ical.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "ical/ical_text.h"
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
  std::string summary;
  std::string description;
  std::string transparency;
  friend bool operator==(const Event&, const Event&) = default;
  friend void PrintTo(const Event& event, std::ostream* out) {
    *out << "{" << event.summary << " | " << event.description << " | " << event.transparency << "}";
  }
};

// The events of an iCalendar text by their all-day dates, as libical's
// parser reads them; their UIDs in `uids`.
std::map<std::string, Event> eventsOf(const std::string& text, std::vector<std::string>* uids = nullptr) {
  std::map<std::string, Event> events;
  icalcomponent* calendar = icalparser_parse_string(text.c_str());
  if (calendar == nullptr) return events;
  for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event != nullptr;
       event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    const icaltimetype start = icalcomponent_get_dtstart(event);
    icalproperty* transparency = icalcomponent_get_first_property(event, ICAL_TRANSP_PROPERTY);
    const char* description = icalcomponent_get_description(event);
    events[std::string(icaltime_as_ical_string(start)) + (start.is_date ? "" : " time")] = Event{
        icalcomponent_get_summary(event), description != nullptr ? description : "",
        transparency != nullptr ? icalproperty_get_value_as_string(transparency) : ""};
    if (uids != nullptr) uids->push_back(icalcomponent_get_uid(event));
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
                           formatNoteRecord(date(2002, 3, 18), cp932("\n \n二行目から")) +
                           formatNoteRecord(date(2002, 3, 19), "\n\x1b\n") +
                           formatNoteRecord(date(2002, 3, 20), std::string("a\x01" "b\x7f\0c\td", 8)) +
                           formatNoteRecord(date(1, 1, 1), cp932("the first year")) +
                           formatNoteRecord(date(9999, 12, 31), cp932(longJapanese)) + "12002,1,1,far\r\n" +
                           formatNoteRecord(date(0, 1, 1), cp932("year zero"));
  writeBytes("hiduke.dat", file);
  const NoteStore store = openStore();
  const StoreResult<ExportReport> report = exportICalendar(store, "notes.ics");
  ASSERT_TRUE(report) << testing::describe(report.error());
  EXPECT_EQ(report->events, 8u);
  EXPECT_EQ(report->otherLines, 1u);
  EXPECT_EQ(report->outsideYears, 2u);
  EXPECT_EQ(report->controlCharacters, 4u);
  const std::string text = *readBytes("notes.ics");
  expectFoldedLines(text);
  EXPECT_NE(text.find("\r\nX-WR-CALNAME:hiduke の予定\r\n"), std::string::npos);
  const std::string free = "TRANSPARENT";
  const std::map<std::string, Event> expected = {
      {"20020315", {"会議, 資料 \"集合\" ¥ 10時", "会議, 資料 \"集合\" ¥ 10時\n二行目\n三行目", free}},
      {"20020316", {"last record wins", "", free}},  // no description that only repeats the summary
      {"20020317", {longLine, "", free}},
      {"20020318", {"二行目から", "\n \n二行目から", free}},  // the first line with something in it
      {"20020319", {"（予定）", "\n\n", free}},
      {"20020320", {"abc\td", "", free}},  // control characters left out, the tab kept
      {"00010101", {"the first year", "", free}},
      {"99991231", {longJapanese, "", free}},
  };
  EXPECT_EQ(eventsOf(text), expected);
  EXPECT_EQ(readBytes("hiduke.dat"), file);  // only read

  // A later export names the same events, for a calendar to update them.
  std::vector<std::string> uids, laterUids;
  eventsOf(text, &uids);
  writeBytes("hiduke.dat", file + formatNoteRecord(date(2002, 3, 15), cp932("changed")));
  ASSERT_TRUE(exportICalendar(store, "notes.ics"));
  EXPECT_EQ(eventsOf(*readBytes("notes.ics"), &laterUids).at("20020315").summary, "changed");
  std::sort(uids.begin(), uids.end());
  std::sort(laterUids.begin(), laterUids.end());
  EXPECT_EQ(laterUids, uids);
  EXPECT_EQ(listDir("."), (std::vector<std::string>{"hiduke.dat", "notes.ics"}));
}

// The UIDs of one note file tell its dates apart, and those of another
// person's note file (another path) from its own.
TEST(ICalendarExportTest, UidsBelongToTheDateAndTheNoteFile) {
  ScratchDir dir;
  const std::string notes = formatNoteRecord(date(2002, 3, 15), "x") + formatNoteRecord(date(2002, 3, 16), "y");
  std::vector<std::vector<std::string>> uids(2);
  for (const std::string folder : {"mine", "theirs"}) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    writeBytes(folder + "/hiduke.dat", notes);
    const StoreResult<NoteStore> store = NoteStore::open(folder + "/hiduke.dat");
    ASSERT_TRUE(store && exportICalendar(*store, folder + "/notes.ics"));
    eventsOf(readBytes(folder + "/notes.ics").value_or(""), &uids[folder == "mine" ? 0 : 1]);
  }
  const std::regex shape("(\\d{8})-[0-9a-f]{16}@hiduke");
  for (const std::vector<std::string>& own : uids) {
    ASSERT_EQ(own.size(), 2u);
    std::smatch parts;
    for (size_t i = 0; i < own.size(); ++i) {
      ASSERT_TRUE(std::regex_match(own[i], parts, shape)) << own[i];
      EXPECT_EQ(parts[1], i == 0 ? "20020315" : "20020316");
    }
    EXPECT_EQ(own[0].substr(8), own[1].substr(8));  // one note file
  }
  EXPECT_NE(uids[0][0], uids[1][0]);
}

// A date found again after megabytes of the calendar were written takes
// them back: the calendar is the one of the file without the earlier record.
TEST(ICalendarExportTest, ADateFoundTwiceLateGivesTheCalendarOfItsLastRecords) {
  ScratchDir dir;
  std::string later;
  for (int day = 2; day <= 28; ++day) later += formatNoteRecord(date(2002, 2, day), std::string(100'000, 'x'));
  later += formatNoteRecord(date(2002, 2, 1), "last record wins");
  const auto calendarOf = [](const std::string& notes) {
    writeBytes("hiduke.dat", notes);
    std::vector<std::uint64_t> shown;
    EXPECT_TRUE(exportICalendar(openStore(), "notes.ics", [&](std::uint64_t done, std::uint64_t total) {
      shown.push_back(done);
      return done <= total;
    }));
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.back(), 2 * notes.size());
    return std::regex_replace(readBytes("notes.ics").value_or(""), std::regex("DTSTAMP:[0-9TZ]+"), "");
  };
  const std::string expected = calendarOf(later);
  EXPECT_EQ(calendarOf(formatNoteRecord(date(2002, 2, 1), "first") + later), expected);
  EXPECT_EQ(eventsOf(expected).size(), 28u);
}

// What a note cannot hold but a calendar's text must escape: a
// semicolon (in the file a line break) and a backslash (the file's ¥).
TEST(ICalendarExportTest, TextValuesAreEscapedAndLeaveOutControlCharacters) {
  struct Row {
    std::string text;
    std::string value;
    size_t leftOut;
  };
  for (const auto& [text, value, leftOut] : {
           Row{"a;b\\c,d\ne", "a\\;b\\\\c\\,d\\ne", 0},
           Row{"\x01x\x1b\x1f\x7f\ty\n", "x\ty\\n", 4},
           Row{std::string("\0予定\0", 8), "予定", 2},
       }) {
    std::string out = "DESCRIPTION:";
    EXPECT_EQ(appendTextValue(out, text), leftOut) << text;
    EXPECT_EQ(out, "DESCRIPTION:" + value);
  }
}

// Every length around the fold points (75, 149), with characters of one
// to four bytes lying across them: unfolded, the line comes back whole;
// folded, no physical line is over 75 octets, each ends in CR LF, and no
// character is split.
TEST(ICalendarExportTest, LinesAreFoldedAtEveryLength) {
  for (size_t length = 60; length <= 160; ++length) {
    for (const std::string character : {"x", "é", "予", "😀"}) {
      for (size_t shift = 0; shift < character.size(); ++shift) {
        std::string line = "SUMMARY:" + std::string(shift, 'a');
        while (line.size() + character.size() <= length) line += character;
        line.resize(length, 'b');
        std::string folded;
        appendFoldedLine(folded, line);
        std::string unfolded;
        size_t start = 0;
        while (start < folded.size()) {
          const size_t end = folded.find("\r\n", start);
          ASSERT_NE(end, std::string::npos);
          const std::string physical = folded.substr(start, end - start);
          EXPECT_LE(physical.size(), 75u) << line;
          EXPECT_EQ(physical.find_first_of("\r\n"), std::string::npos) << line;
          const std::string content = start == 0 ? physical : physical.substr(1);
          EXPECT_TRUE(start == 0 || (physical.starts_with(' ') && !content.empty())) << line;
          EXPECT_NE(static_cast<unsigned char>(content.front()) & 0xC0, 0x80u) << line;  // starts a character
          unfolded += content;
          start = end + 2;
        }
        EXPECT_EQ(unfolded, line);
      }
    }
  }
}

// A strict reader takes back summaries of every length around the fold
// points, with a character of three bytes at their end.
TEST(ICalendarExportTest, SummariesOfEveryLengthReadBack) {
  ScratchDir dir;
  std::string notes;
  std::map<std::string, Event> expected;
  for (size_t length = 60; length <= 160; ++length) {
    const std::chrono::year_month_day day{std::chrono::sys_days{date(2002, 1, 1)} + std::chrono::days(length)};
    const std::string summary = std::string(length - std::string("SUMMARY:予").size(), 'x') + "予";
    notes += formatNoteRecord(day, cp932(summary));
    char start[16];
    std::snprintf(start, sizeof start, "%04d%02u%02u", static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                  static_cast<unsigned>(day.day()));
    expected[start] = Event{summary, "", "TRANSPARENT"};
  }
  writeBytes("hiduke.dat", notes);
  ASSERT_TRUE(exportICalendar(openStore(), "notes.ics"));
  const std::string text = readBytes("notes.ics").value_or("");
  expectFoldedLines(text);
  EXPECT_EQ(eventsOf(text), expected);
}

// The export stops when asked, and leaves the target as it was.
TEST(ICalendarExportTest, AStoppedExportLeavesTheTarget) {
  ScratchDir dir;
  std::string notes;
  for (int day = 1; day <= 28; ++day) notes += formatNoteRecord(date(2002, 2, day), std::string(5000, 'x'));
  writeBytes("hiduke.dat", notes);
  writeBytes("notes.ics", "an older export");
  const NoteStore store = openStore();
  std::vector<std::uint64_t> done;
  const StoreResult<ExportReport> report = exportICalendar(store, "notes.ics", [&](std::uint64_t bytes, std::uint64_t total) {
    EXPECT_EQ(total, 2 * notes.size());
    done.push_back(bytes);
    return bytes < notes.size() + 1;
  });
  ASSERT_FALSE(report);
  EXPECT_EQ(report.error().kind, StoreErrorKind::kCancelled);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_GT(done.back(), notes.size());  // stopped while writing
  EXPECT_EQ(readBytes("notes.ics"), "an older export");
  EXPECT_EQ(listDir("."), (std::vector<std::string>{"hiduke.dat", "notes.ics"}));
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
