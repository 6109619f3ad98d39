#include "note_store/note_content.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hiduke {
namespace {

std::bitset<32> Days(std::initializer_list<int> days) {
  std::bitset<32> set;
  for (int day : days) set.set(static_cast<size_t>(day));
  return set;
}

TEST(NoteContentTest, SplitsLinesOnLfWithCrBeforeItInTheTerminator) {
  std::vector<std::pair<std::string, std::string>> lines;
  ForEachNoteLine("a\r\nb\n\r\nc\rd\r\r\ne\r", [&](const NoteLine& line) {
    lines.emplace_back(line.body, line.whole);
  });
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"a", "a\r\n"}, {"b", "b\n"}, {"", "\r\n"}, {"c\rd\r", "c\rd\r\r\n"}, {"e\r", "e\r"}};
  EXPECT_EQ(lines, expected);
}

TEST(NoteContentTest, MarksDaysOfTheMonthThatHaveARecordOnly) {
  const std::string content =
      "2002,5,3,a\r\n"
      "2002,5,3,again\r\n"
      "2002,4,7,other month\r\n"
      "2001,5,8,other year\r\n"
      "2002,5,0,day zero\r\n"
      "2002,5,32,day 32\r\n"
      "2002,5,9,\"not closed\r\n"
      "2002,5,10\r\n"
      "\r\n"
      " 2002 , 05 , 31 ,last of the month\r\n"
      "2002,5,1,\"\"\n"
      "2002,5,20,no terminator";
  EXPECT_EQ(MarkedDaysIn(content, 2002, 5), Days({1, 3, 9, 20, 31}));
  EXPECT_EQ(MarkedDaysIn(content, 2002, 4), Days({7}));
  EXPECT_EQ(MarkedDaysIn(content, 2002, 6), Days({}));
  EXPECT_EQ(MarkedDaysIn("", 2002, 5), Days({}));
}

TEST(NoteContentTest, LastNoteIsTheTextOfTheLastRecordOfTheDate) {
  const std::string content =
      "2002,3,15,first\r\n"
      "2002,3,16,other\r\n"
      "2002,3,15,second\r\n"
      "2002,3,15,\"unclosed\r\n";
  EXPECT_EQ(LastNoteIn(content, {2002, 3, 15}), "\"unclosed");
  EXPECT_EQ(LastNoteIn(content, {2002, 3, 16}), "other");
  EXPECT_EQ(LastNoteIn(content, {2002, 3, 17}), std::nullopt);
  EXPECT_EQ(LastNoteIn("2002,3,15,", {2002, 3, 15}), "");
}

struct RewriteCase {
  const char* what;
  std::string before;
  std::optional<std::string> saved;  // nullopt: a delete
  std::string after;
};

TEST(NoteContentTest, RewritesOnlyTheRecordsOfTheDate) {
  const NoteDate d{2002, 3, 15};
  const std::vector<RewriteCase> cases = {
      {"append to empty", "", "new", "2002,3,15,new\r\n"},
      {"append after all", "2002,3,1,a\r\n2002,3,2,b\r\n", "new", "2002,3,1,a\r\n2002,3,2,b\r\n2002,3,15,new\r\n"},
      {"replace in place", "2002,3,1,a\r\n2002,3,15,old\r\n2002,3,2,b\r\n", "new",
       "2002,3,1,a\r\n2002,3,15,new\r\n2002,3,2,b\r\n"},
      {"replace both copies", "2002,3,15,x\r\nk\r\n 2002,03,15 ,y", "new", "2002,3,15,new\r\nk\r\n2002,3,15,new\r\n"},
      {"append after unterminated line", "2002,3,1,a", "new", "2002,3,1,a\r\n2002,3,15,new\r\n"},
      {"append after lone CR", "junk\r", "new", "junk\r\r\n2002,3,15,new\r\n"},
      {"LF terminators kept", "2002,3,1,a\n2002,3,2,b\n", "new", "2002,3,1,a\n2002,3,2,b\n2002,3,15,new\r\n"},
      {"unquoted line of the date replaced", "2002,3,15,\"open\r\n", "new", "2002,3,15,new\r\n"},
      {"line without text field kept", "2002,3,15\r\n", "new", "2002,3,15\r\n2002,3,15,new\r\n"},
      {"delete both copies", "2002,3,15,x\r\n2002,3,1,a\r\n2002,3,15,y\r\n", std::nullopt, "2002,3,1,a\r\n"},
      {"delete the only record", "2002,3,15,x\r\n", std::nullopt, ""},
      {"delete unterminated last", "2002,3,1,a\r\n2002,3,15,x", std::nullopt, "2002,3,1,a\r\n"},
      {"delete of a date without record", "2002,3,1,a\n\nodd\r\r\n2002,3,2,b", std::nullopt,
       "2002,3,1,a\n\nodd\r\r\n2002,3,2,b"},
  };
  for (const RewriteCase& c : cases) {
    std::string after = c.saved ? SaveNoteIn(c.before, d, FormatNoteRecord(d, *c.saved)) : DeleteNoteIn(c.before, d);
    EXPECT_EQ(after, c.after) << c.what;
  }
}

}  // namespace
}  // namespace hiduke
