#include "note_store/conflict_merge.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::date;

constexpr auto kDay = date(2026, 12, 8);
constexpr auto kOtherDay = date(2026, 12, 9);
// 予定 and 会議 in code page 932: 予 ends in 0x5C.
constexpr const char* kYotei = "\x97\x5C\x92\xE8";
constexpr const char* kKaigi = "\x89\xEF\x8B\x63";

std::string record(std::chrono::year_month_day day, const std::string& text) {
  return "2026,12," + std::to_string(static_cast<unsigned>(day.day())) + "," + text + "\r\n";
}

struct Case {
  const char* name;
  std::string file;
  std::vector<std::string> copies;  // oldest first
  std::vector<std::pair<std::chrono::year_month_day, std::optional<std::string>>> changes;  // UTF-8
  std::vector<std::chrono::year_month_day> conflicts;
  std::vector<std::size_t> emptyCopies;
  std::vector<std::string> addedLines;
};

TEST(ConflictMergeTest, BringsCopiesIntoTheFileDayByDay) {
  const Case cases[] = {
      {"a day in the copy only is taken", record(kDay, "a"), {record(kDay, "a") + record(kOtherDay, "b")}, {{kOtherDay, "b"}}, {}, {}, {}},
      {"a day in the file only stays", record(kDay, "a") + record(kOtherDay, "b"), {record(kDay, "a")}, {}, {}, {0}, {}},
      {"the same text is kept once", record(kDay, "a"), {record(kDay, "a")}, {}, {}, {0}, {}},
      {"different texts are both kept, the file's first", record(kDay, "x;a"), {record(kDay, "x;b")}, {{kDay, "x\na\nb"}}, {kDay}, {}, {}},
      {"a day the file lost is taken back; one the copy lost stays", record(kOtherDay, "b"),
       {record(kDay, "a")}, {{kDay, "a"}}, {}, {}, {}},
      {"copies are taken oldest first", "", {record(kDay, "a"), record(kDay, "b")},
       {{kDay, "a\nb"}}, {kDay}, {}, {}},
      {"code page 932 text is compared as bytes", record(kDay, kYotei), {record(kDay, kKaigi), record(kDay, kYotei)}, {{kDay, "予定\n会議"}}, {kDay}, {1}, {}},
      {"bytes that are no code page 932 text are kept as they are", "", {record(kDay, "\x81\x20x")},
       {}, {}, {}, {"2026,12,8,\x81\x20x"}},
      {"the last record of a day in a copy wins", record(kDay, "new"),
       {record(kDay, "old") + record(kDay, "new")}, {}, {}, {0}, {}},
      {"lines that hold no note are added once", "memo\r\n" + record(kDay, "a"),
       {"memo\r\nhand edit\r\n" + record(kDay, "a"), "hand edit\r\n"}, {}, {}, {1}, {"hand edit"}},
  };
  for (const Case& c : cases) {
    std::vector<NoteFileText> copies;
    for (const std::string& copy : c.copies) copies.push_back(readNoteFileText(copy));
    const StoreResult<ConflictMerge> merge = mergeNoteFiles(readNoteFileText(c.file), copies);
    ASSERT_TRUE(merge) << c.name;
    std::vector<std::pair<std::chrono::year_month_day, std::optional<std::string>>> changes;
    for (std::size_t i = 0; i < merge->batch.size(); ++i) changes.emplace_back(merge->batch[i].date, merge->batch[i].note);
    EXPECT_EQ(changes, c.changes) << c.name;
    EXPECT_EQ(merge->conflicts, c.conflicts) << c.name;
    EXPECT_EQ(merge->emptyCopies, c.emptyCopies) << c.name;
    EXPECT_EQ(merge->batch.addedLines, c.addedLines) << c.name;
  }
}

}  // namespace
}  // namespace hiduke
