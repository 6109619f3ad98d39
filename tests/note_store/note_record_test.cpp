#include "note_store/note_record.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "note_store/cp932.h"
#include "note_store/note_content.h"
#include "test_support.h"
#include "whole_notes.h"

namespace hiduke {
namespace {

using hiduke::testing::date;

constexpr char kKaigi[] = "\x89\xef\x8b\x63";  // 会議 in code page 932

struct ReadCase {
  std::string line;
  std::optional<NoteRecord> expected;
};

TEST(ReadNoteRecordTest, ReadsRecordsAndRejectsEverythingElse) {
  const auto d = date(2002, 3, 15);
  const std::vector<ReadCase> cases = {
      {"2002,3,15,会議", NoteRecord{d, "会議"}},
      {std::string("2002,3,15,") + kKaigi, NoteRecord{d, kKaigi}},
      {" 2002 ,  03 ,015  ,x", NoteRecord{d, "x"}},
      {"2002,3,15,", NoteRecord{d, ""}},
      {"2002,3,15,   ", NoteRecord{d, ""}},
      {"2002,3,15,   a b  ", NoteRecord{d, "a b  "}},
      {"2002,3,15,a,b,,c", NoteRecord{d, "a,b,,c"}},
      {"2002,3,15,a\"b\"", NoteRecord{d, "a\"b\""}},
      {"2002,3,15,a;b;", NoteRecord{d, "a;b;"}},
      {"2002,3,15,a\rb", NoteRecord{d, "a\rb"}},
      {"2002,3,15,\"a,b\"", NoteRecord{d, "a,b"}},
      {"2002,3,15,  \"say \"\"hi\"\"\"  ", NoteRecord{d, "say \"hi\""}},
      {"2002,3,15,\"\"", NoteRecord{d, ""}},
      {"2002,3,15,\"\"\"\"", NoteRecord{d, "\""}},
      {"2002,3,15,\" lead\"", NoteRecord{d, " lead"}},
      {"0,1,1,x", NoteRecord{date(0, 1, 1), "x"}},
      {"32767,12,31,x", NoteRecord{date(32767, 12, 31), "x"}},
      {"000000000000002002,3,15,x", NoteRecord{d, "x"}},
      // Not one quoted field: the text as written, as files from before
      // quoting hold it.
      {"2002,3,15,\"引用\"です", NoteRecord{d, "\"引用\"です"}},
      {"2002,3,15,  \"unclosed", NoteRecord{d, "\"unclosed"}},
      {"2002,3,15,\"ends in a doubled quote\"\"", NoteRecord{d, "\"ends in a doubled quote\"\""}},
      {"2002,3,15,\"closed\" junk", NoteRecord{d, "\"closed\" junk"}},
      {"2002,3,15,\"closed\",", NoteRecord{d, "\"closed\","}},
      // Not records.
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"2002,3,15", std::nullopt},
      {"2002,3", std::nullopt},
      {"words only", std::nullopt},
      {"2002,3,15 x", std::nullopt},
      {"2002,3,,x", std::nullopt},
      {",3,15,x", std::nullopt},
      {"2002,3,1 5,x", std::nullopt},
      {"2002,3,x5,x", std::nullopt},
      {"2002,3,32768,x", std::nullopt},
      // Not a day of the calendar.
      {"2002,2,29,x", std::nullopt},
      {"2002,4,31,x", std::nullopt},
      {"2002,13,1,x", std::nullopt},
      {"2002,259,1,x", std::nullopt},  // not month 3 either
      {"2002,3,0,x", std::nullopt},
      {"0,0,0,x", std::nullopt},
      {"99999999999999999999,3,15,x", std::nullopt},
      {"2002,-3,15,x", std::nullopt},
      {"+2002,3,15,x", std::nullopt},
      {"2002,\t3,15,x", std::nullopt},
      {"2002,\x82\x52,15,x", std::nullopt},  // full-width 3
      {"2002,3,15\r,x", std::nullopt},
      {std::string("2002,3,15\0,x", 12), std::nullopt},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(readNoteRecord(c.line), c.expected) << "line: " << c.line;
}

TEST(FormatNoteRecordTest, WritesPlainTextAsIsAndQuotesWhatWouldNotReadBack) {
  const auto d = date(2002, 3, 15);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {kKaigi, std::string("2002,3,15,") + kKaigi + "\r\n"},
      {"", "2002,3,15,\r\n"},
      {"a;b", "2002,3,15,a;b\r\n"},
      {"a\"b\"", "2002,3,15,a\"b\"\r\n"},
      {"trailing  ", "2002,3,15,trailing  \r\n"},
      {"a,b", "2002,3,15,\"a,b\"\r\n"},
      {" lead", "2002,3,15,\" lead\"\r\n"},
      {"\"q\" x", "2002,3,15,\"\"\"q\"\" x\"\r\n"},
      {"\"", "2002,3,15,\"\"\"\"\r\n"},
      {"a\r\nb", "2002,3,15,a;b\r\n"},
      {"a\rb\nc\n\r", "2002,3,15,a;b;c;;\r\n"},
      {" \r\n,", "2002,3,15,\" ;,\"\r\n"},
  };
  for (const auto& [text, line] : cases) EXPECT_EQ(formatNoteRecord(d, text), line) << "text: " << text;
  EXPECT_EQ(formatNoteRecord(date(2002, 3, 5), "x"), "2002,3,5,x\r\n");
  EXPECT_EQ(formatNoteRecord(date(0, 12, 31), "x"), "0,12,31,x\r\n");
}

TEST(NoteTextTest, EncodeTurnsEveryLineBreakIntoOneSemicolonAndDecodeEverySemicolonIntoLf) {
  const std::vector<std::pair<std::string, std::string>> encode = {
      {"a\nb", "a;b"}, {"a\r\nb", "a;b"}, {"\r\n\r\n", ";;"}, {"\r\r\n\n", ";;;"}, {"a\rb\nc", "a;b;c"},
      {"a;b", "a;b"}, {"", ""},
  };
  for (const auto& [note, stored] : encode) EXPECT_EQ(encodeNoteText(note), stored);
  const std::vector<std::pair<std::string, std::string>> decode = {
      {"a;b", "a\nb"}, {";;", "\n\n"}, {"a", "a"}, {";", "\n"}, {"", ""}, {"a\rb", "a\nb"},
  };
  for (const auto& [stored, note] : decode) EXPECT_EQ(decodeNoteText(stored), note);
}

// The path of a note from the note box to the file and back, in memory.
std::optional<std::string> storeAndReadBack(std::chrono::year_month_day day, const std::string& note) {
  const StoreResult<Cp932Encoding> encoded = encodeCp932(note);
  if (!encoded || !encoded->unencodable.empty()) return std::nullopt;
  const std::string line = formatNoteRecord(day, encoded->bytes);
  if (line.find('\n') != line.size() - 1) return std::nullopt;  // must stay on one line
  const std::optional<NoteRecord> record = readNoteRecord(line.substr(0, line.size() - 2));
  if (!record || record->date != day) return std::nullopt;
  const StoreResult<std::string> decoded = decodeCp932(record->text);
  if (!decoded) return std::nullopt;
  return decodeNoteText(*decoded);
}

TEST(RoundTripTest, NotesReadBackAsTypedExceptSemicolonsOtherBreaksAndLookAlikes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"会議", "会議"},
      {"買い物\n10時", "買い物\n10時"},
      {"", ""},
      {"  spaces at both ends  ", "  spaces at both ends  "},
      {" ", " "},
      {"a,b", "a,b"},
      {",", ","},
      {"\"quoted\"", "\"quoted\""},
      {"\"", "\""},
      {"say \"hi\", then go", "say \"hi\", then go"},
      {"\n", "\n"},
      {"\n\n end", "\n\n end"},
      {"a;b", "a\nb"},
      {"a\rb", "a\nb"},
      {"a\r\nb", "a\nb"},
      {"ﾊﾝｶｸ①～－∥￢~", "ﾊﾝｶｸ①～－∥￢~"},
      {"¥100 C:\\", "¥100 C:¥"},  // 0x5C, the yen sign of code page 932
      {"〜", "～"},
      {"−", "－"},
      {"‖", "∥"},
      {"¬", "￢"},
      {"‾—¢£", "~―￠￡"},  // the C library's other one-way mappings
  };
  for (const auto& [note, shown] : cases) EXPECT_EQ(storeAndReadBack(date(2002, 3, 15), note), shown) << note;
}

// What a note looks like after a save and a read: every line break (CR LF,
// a lone CR or LF, or ";") becomes LF; look-alikes become what CP932 holds.
std::string asReadBack(const std::string& note) {
  std::string shown;
  for (size_t i = 0; i < note.size(); ++i) {
    if (note[i] == '\r' && i + 1 < note.size() && note[i + 1] == '\n') ++i;
    if (note[i] == '\r' || note[i] == '\n' || note[i] == ';') {
      shown += "\n";
    } else if (note.compare(i, 3, "〜") == 0) {
      shown += "～";
      i += 2;
    } else if (note.compare(i, 3, "−") == 0) {
      shown += "－";
      i += 2;
    } else if (note[i] == '\\') {
      shown += "¥";
    } else {
      shown.push_back(note[i]);
    }
  }
  return shown;
}

TEST(RoundTripTest, RandomNotesSurviveAFileOfThemAll) {
  const auto dayOf = [](int i) {
    return date(2000 + i / 336, static_cast<unsigned>(i / 28 % 12 + 1), static_cast<unsigned>(i % 28 + 1));
  };
  const std::vector<std::string> pieces = {",",  "\"",   "\"\"", " ",    "   ",  ";", "\r\n", "\r", "\n",
                                           "会議", "予定", "ｱ",    "a",    "Z9",   "〜", "−",    "\\", "\t"};
  std::mt19937 random(20020315);
  std::uniform_int_distribution<size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 12);

  std::string content;
  std::vector<std::string> notes;
  for (int i = 0; i < 3000; ++i) {
    std::string note;
    for (int n = length(random); n > 0; --n) note += pieces[piece(random)];
    const StoreResult<Cp932Encoding> encoded = encodeCp932(note);
    ASSERT_TRUE(encoded && encoded->unencodable.empty()) << note;
    content += formatNoteRecord(dayOf(i), encoded->bytes);
    notes.push_back(note);
  }

  size_t lineCount = 0;
  forEachNoteLine(content, [&](const NoteLine& line) {
    ASSERT_LT(lineCount, notes.size());
    const std::optional<NoteRecord> record = readNoteRecord(line.body);
    ASSERT_TRUE(record) << line.body;
    const int i = static_cast<int>(lineCount++);
    EXPECT_EQ(record->date, dayOf(i));
    const StoreResult<std::string> decoded = decodeCp932(record->text);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decodeNoteText(*decoded), asReadBack(notes[static_cast<size_t>(i)])) << "note " << i;
  });
  EXPECT_EQ(lineCount, notes.size());
}

}  // namespace
}  // namespace hiduke
