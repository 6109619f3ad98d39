#include "note_store/note_content.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <charconv>
#include <random>
#include <string>
#include <vector>

#include "note_store/line_reader.h"
#include "test_support.h"
#include "whole_notes.h"

namespace hiduke {
namespace {

using hiduke::testing::date;

TEST(NoteContentTest, SplitsLinesOnCrLfOnLfAndOnALoneCr) {
  std::vector<std::pair<std::string, std::string>> lines;
  forEachNoteLine("a\r\nb\n\r\nc\rd\r\r\ne\r", [&](const NoteLine& line) { lines.emplace_back(line.body, line.whole); });
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"a", "a\r\n"}, {"b", "b\n"}, {"", "\r\n"}, {"c", "c\r"}, {"d", "d\r"}, {"", "\r\n"}, {"e", "e\r"}};
  EXPECT_EQ(lines, expected);
}

// A CR that ends what one read returned may be the first half of a CR LF:
// it is handed on only with what follows it.
TEST(NoteContentTest, TheFileIsReadInRunsThatNeverSplitACrLf) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ASSERT_EQ(::write(pipeFds[1], "x\na\r", 4), 4);
  std::vector<std::string> runs;
  ASSERT_TRUE(readInLines(pipeFds[0], 0, 4096, [&](std::string_view lines) {
    runs.emplace_back(lines);
    if (runs.size() == 1 && ::write(pipeFds[1], "\nb\r\n", 4) == 4) ::close(pipeFds[1]);
    return true;
  }));
  EXPECT_EQ(runs, (std::vector<std::string>{"x\n", "a\r\nb\r\n"}));
  ::close(pipeFds[0]);
}

// The prefilter may pass a line of another year on to the full reader, but
// must never hold back a record of the year.
TEST(NoteContentTest, YearPrefilterPassesEveryLineThatMayBeOfTheYear) {
  struct Case {
    const char* line;
    bool mayBe;
  };
  const Case cases[] = {
      {"2002,3,15,x", true},  {"2002 ,3,15,x", true},  {"02002,3,15,x", true}, {" 2002,3,15,x", true},
      {"0,1,1,x", true},      {"", false},             {"hand edit", false},   {"2002", true},
      {"2003,3,15,x", false}, {"20021,3,15,x", false}, {"202,3,15,x", false},  {"1999,3,15,x", false},
  };
  const YearPrefilter prefilter(std::chrono::year(2002));
  for (const Case& c : cases) EXPECT_EQ(prefilter.mayBeOfTheYear(c.line), c.mayBe) << c.line;
}

// The fast walk over the lines of a year visits, wherever they fall among the
// blocks it reads, exactly the lines whose year field reads as the year and
// the hand edits (starting with a space or 0) that hold its digits.
TEST(NoteContentTest, TheLinesOfAYearAreItsRecordsAndTheHandEditsWithItsDigits) {
  const std::vector<std::string> pieces = {"2002,3,15,a\r\n", "2003,1,1,b\n",     " 2002,3,1,c\r\n", "0002002,1,1,d\n",
                                           "2012,1,1,2002\n", "2022,2,2,x\n",     " 0,1,1,no digits\n", "2002,2,2,2002 2002\n",
                                           "20021,5,5,e\r\n", "7,7,7,f\r",         "hand edit\r\n",   "\r\n",
                                           "\n",             "2002",              "200,1,1,g\n",      "2002 ,1,1,h\n",
                                           "32767,1,1,i\n",   "x2002,1,1,j\r\n", "2002,1,1,long " + std::string(40, 'k') + "\n"};
  std::mt19937 random(2002);
  std::uniform_int_distribution<size_t> piece(0, pieces.size() - 1);
  for (int round = 0; round < 200; ++round) {
    std::string content;
    for (int n = round % 40; n >= 0; --n) content += pieces[piece(random)];
    for (const int year : {2002, 2003, 7, 200, 20021, 32767}) {
      const std::string digits = std::to_string(year);
      std::vector<std::string_view> expected;
      forEachNoteLine(content, [&](const NoteLine& line) {
        int yearField = -1;
        std::from_chars(line.body.data(), line.body.data() + line.body.size(), yearField);
        const bool handEdit = line.body.starts_with(' ') || line.body.starts_with('0');
        if (handEdit ? line.body.find(digits) != std::string_view::npos : yearField == year) expected.push_back(line.whole);
      });
      std::vector<std::string_view> visited;
      forEachLineOfTheYear(content, YearPrefilter{std::chrono::year(year)},
                           [&](const NoteLine& line) { visited.push_back(line.whole); });
      ASSERT_EQ(visited, expected) << "year " << year << " in " << content;
    }
  }
}

TEST(NoteContentTest, MonthScanKeepsTheLastTextFieldOfEachDayOfTheMonth) {
  const std::string content =
      "2002,5,3,a\r\n"
      "2002,5,3,again\r\n"
      "2002,4,7,other month\r\n"
      "2001,5,8,other year\r\n"
      "20021,5,8,a later year\r\n"
      "2002,5,0,day zero\r\n"
      "2002,5,32,day 32\r\n"
      "2002,5,9,\"not closed\r\n"
      "2002,5,10\r\n"
      "\r\n"
      " 2002 , 05 , 31 ,last of the month\r\n"
      "002002,5,30,  leading zeros\r\n"
      "2002,5,1,\"\"\n"
      "2002,5,20,no terminator";
  MonthScan may(std::chrono::year(2002) / 5);
  // In two runs of whole lines, as the file is read.
  const size_t half = content.find('\n', content.size() / 2) + 1;
  may.scan(std::string_view(content).substr(0, half));
  may.scan(std::string_view(content).substr(half));
  std::array<std::optional<std::string>, 32> expected{};
  expected[1] = "\"\"";
  expected[3] = "again";
  expected[9] = "\"not closed";
  expected[20] = "no terminator";
  expected[30] = "  leading zeros";
  expected[31] = "last of the month";
  EXPECT_EQ(may.textFields(), expected);

  MonthScan june(std::chrono::year(2002) / 6);
  june.scan(content);
  EXPECT_EQ(june.textFields(), (std::array<std::optional<std::string>, 32>{}));
}

struct RewriteCase {
  const char* what;
  std::string before;
  std::optional<std::string> saved;  // nullopt: a delete
  std::string after;
  std::optional<std::string> replaced;  // the text field the edit found
};

TEST(NoteContentTest, RewritesOnlyTheRecordsOfTheDate) {
  const auto d = date(2002, 3, 15);
  const std::vector<RewriteCase> cases = {
      {"append to empty", "", "new", "2002,3,15,new\r\n", std::nullopt},
      {"append after all", "2002,3,1,a\r\n2002,3,2,b\r\n", "new", "2002,3,1,a\r\n2002,3,2,b\r\n2002,3,15,new\r\n",
       std::nullopt},
      {"replace in place", "2002,3,1,a\r\n2002,3,15,old\r\n2002,3,2,b\r\n", "new",
       "2002,3,1,a\r\n2002,3,15,new\r\n2002,3,2,b\r\n", "old"},
      {"one record in the place of the first", "2002,3,15,x\r\nk\r\n 2002,03,15 ,y\r\n2002,3,15,z", "new",
       "2002,3,15,new\r\nk\r\n", "z"},
      {"append after unterminated line", "2002,3,1,a", "new", "2002,3,1,a\r\n2002,3,15,new\r\n", std::nullopt},
      {"append after lone CR", "junk\r", "new", "junk\r2002,3,15,new\r\n", std::nullopt},
      {"CR line ends kept", "2002,3,1,a\r2002,3,15,old\r2002,3,2,b", "new", "2002,3,1,a\r2002,3,15,new\r2002,3,2,b", "old"},
      {"LF terminators kept", "2002,3,1,a\n2002,3,2,b\n", "new", "2002,3,1,a\n2002,3,2,b\n2002,3,15,new\r\n",
       std::nullopt},
      {"unquoted line of the date replaced", "2002,3,15,\"open\r\n", "new", "2002,3,15,new\r\n", "\"open"},
      {"line without text field kept", "2002,3,15\r\n", "new", "2002,3,15\r\n2002,3,15,new\r\n", std::nullopt},
      {"delete both copies", "2002,3,15,x\r\n2002,3,1,a\r\n2002,3,15,y\r\n", std::nullopt, "2002,3,1,a\r\n", "y"},
      {"delete the only record", "2002,3,15,x\r\n", std::nullopt, "", "x"},
      {"delete unterminated last", "2002,3,1,a\r\n2002,3,15,x", std::nullopt, "2002,3,1,a\r\n", "x"},
      {"delete of a date without record", "2002,3,1,a\n\nodd\r\r\n2002,3,2,b", std::nullopt,
       "2002,3,1,a\n\nodd\r\r\n2002,3,2,b", std::nullopt},
  };
  for (const RewriteCase& c : cases) {
    const std::string line = c.saved ? formatNoteRecord(d, *c.saved) : std::string();
    NoteEditor editor = c.saved ? NoteEditor::save(d, line) : NoteEditor::remove(d);
    EXPECT_EQ(editNotes(c.before, editor), c.after) << c.what;
    for (const std::string_view piece : editor.edit(c.before)) static_cast<void>(piece);
    EXPECT_EQ(editor.replacedTextField(), c.replaced) << c.what;
  }
}

}  // namespace
}  // namespace hiduke
