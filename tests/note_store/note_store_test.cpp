#include "note_store/note_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "note_store/note_content.h"
#include "note_store/note_file.h"
#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::Describe;
using hiduke::testing::ListDir;
using hiduke::testing::ReadBytes;
using hiduke::testing::RunInChild;
using hiduke::testing::ScratchDir;
using hiduke::testing::WriteBytes;

constexpr char kExample[] =  // the two-note store: 会議 on 15 March 2002, 買い物 / 10時 on the 20th
    "\x32\x30\x30\x32\x2c\x33\x2c\x31\x35\x2c\x89\xef\x8b\x63\x0d\x0a"
    "\x32\x30\x30\x32\x2c\x33\x2c\x32\x30\x2c\x94\x83\x82\xa2\x95\xa8\x3b\x31\x30\x8e\x9e\x0d\x0a";

std::bitset<32> Days(std::initializer_list<int> days) {
  std::bitset<32> set;
  for (int day : days) set.set(static_cast<size_t>(day));
  return set;
}

StoreError Failed(StoreErrorKind kind, StoreOperation operation, int error_number = 0,
                  const std::string& path = "hiduke.dat") {
  return StoreError{.kind = kind, .operation = operation, .error_number = error_number, .path = path};
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_ino;
}

class NoteStoreTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  NoteStore store_;  // hiduke.dat in the current directory
};

TEST_F(NoteStoreTest, WritesTheExampleStoreByteForByte) {
  ASSERT_TRUE(store_.SaveNote({2002, 3, 15}, "会議"));
  ASSERT_TRUE(store_.SaveNote({2002, 3, 20}, "買い物\n10時"));
  EXPECT_EQ(ReadBytes("hiduke.dat"), std::string(kExample));
  EXPECT_EQ(std::string(kExample).size(), 39u);
}

TEST_F(NoteStoreTest, ReadsTheExampleStore) {
  WriteBytes("hiduke.dat", kExample);
  EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({15, 20}));
  EXPECT_EQ(*store_.MarkedDays(2002, 4), Days({}));
  EXPECT_EQ(*store_.MarkedDays(2003, 3), Days({}));
  EXPECT_EQ(*store_.ReadNote({2002, 3, 15}), "会議");
  EXPECT_EQ(*store_.ReadNote({2002, 3, 20}), "買い物\n10時");
  EXPECT_EQ(*store_.ReadNote({2002, 3, 16}), std::nullopt);
}

TEST_F(NoteStoreTest, MissingFileIsAnEmptyStoreAndTheFirstSaveCreatesIt) {
  EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({}));
  EXPECT_EQ(*store_.ReadNote({2002, 3, 15}), std::nullopt);
  EXPECT_EQ(ListDir("."), std::vector<std::string>{});

  mode_t old_umask = ::umask(027);
  StoreResult<SaveReport> saved = store_.SaveNote({2002, 3, 5}, "x");
  ::umask(old_umask);
  ASSERT_TRUE(saved) << ::testing::PrintToString(saved.error());
  EXPECT_FALSE(saved->warning);
  EXPECT_EQ(ReadBytes("hiduke.dat"), "2002,3,5,x\r\n");
  struct stat st {};
  ASSERT_EQ(::stat("hiduke.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(NoteStoreTest, DeletingTheLastNoteLeavesAnEmptyFile) {
  ASSERT_TRUE(store_.SaveNote({2002, 3, 15}, "x"));
  ASSERT_TRUE(store_.DeleteNote({2002, 3, 15}));
  EXPECT_EQ(ReadBytes("hiduke.dat"), "");
  EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({}));
}

TEST_F(NoteStoreTest, SeveralRecordsOfADateShowTheLastAndChangeTogether) {
  WriteBytes("hiduke.dat", "2002,3,15,one\r\n2002,3,1,a\r\n2002,3,15,two\r\n");
  EXPECT_EQ(*store_.ReadNote({2002, 3, 15}), "two");
  ASSERT_TRUE(store_.SaveNote({2002, 3, 15}, "new"));
  EXPECT_EQ(ReadBytes("hiduke.dat"), "2002,3,15,new\r\n2002,3,1,a\r\n2002,3,15,new\r\n");
  ASSERT_TRUE(store_.DeleteNote({2002, 3, 15}));
  EXPECT_EQ(ReadBytes("hiduke.dat"), "2002,3,1,a\r\n");
}

// The file is read in pieces much smaller than this one; lines cross their
// boundaries, and one line is longer than a piece.
TEST_F(NoteStoreTest, LargeFileReadsAndRewritesAsInMemory) {
  std::string content;
  for (int i = 0; i < 6000; ++i) {
    content += FormatNoteRecord({2002, i % 12 + 1, i % 29 + 1}, std::string(static_cast<size_t>(i % 97), 'a'));
  }
  const std::string long_text(200'000, 'L');
  content += FormatNoteRecord({2002, 2, 30}, long_text) + "2002,2,31,unterminated";
  WriteBytes("hiduke.dat", content);
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(*store_.MarkedDays(2002, month), MarkedDaysIn(content, 2002, month)) << month;
  }
  EXPECT_EQ(*store_.ReadNote({2002, 2, 30}), long_text);
  EXPECT_EQ(*store_.ReadNote({2002, 2, 31}), "unterminated");
  EXPECT_EQ(*store_.ReadNote({2002, 5, 5}), LastNoteIn(content, {2002, 5, 5}));
  ASSERT_TRUE(store_.DeleteNote({2003, 1, 1}));
  EXPECT_EQ(ReadBytes("hiduke.dat"), content);
  ASSERT_TRUE(store_.SaveNote({2002, 2, 30}, "short"));
  content = SaveNoteIn(content, {2002, 2, 30}, "2002,2,30,short\r\n");
  EXPECT_EQ(ReadBytes("hiduke.dat"), content);
  ASSERT_TRUE(store_.SaveNote({2003, 1, 1}, "appended"));
  EXPECT_EQ(ReadBytes("hiduke.dat"), content + "\r\n2003,1,1,appended\r\n");
}

TEST_F(NoteStoreTest, SpacesCommasAndQuotesReadBackExactly) {
  const std::vector<std::string> notes = {"   ", " a, \"b\" ", "\"", ",", "a;b", "x  "};
  for (size_t i = 0; i < notes.size(); ++i) {
    NoteDate date{2002, 3, static_cast<int>(i) + 1};
    ASSERT_TRUE(store_.SaveNote(date, notes[i]));
    std::string expected = notes[i] == "a;b" ? "a\nb" : notes[i];
    EXPECT_EQ(*store_.ReadNote(date), expected);
  }
  EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({1, 2, 3, 4, 5, 6}));
}

// Lines that are not records stay where they are, byte for byte, whatever
// is saved or deleted around them, and are no note of any date.
TEST_F(NoteStoreTest, DamagedLinesAreKeptByteForByte) {
  const std::vector<std::string> damaged = {
      "\r\n",
      "\n",
      "2002,3,15\r\n",
      "words, and more words\r\n",
      "2002,3,15 no comma\r\n",
      "2002,3,x5,x\r\n",
      "2002,3,32768,x\r\n",
      "2002,-3,15,x\r\n",
      "2002,\x82\x52,15,x\r\n",
      "2002,\t3,15,x\r\n",
      "2002,3,15,\"unclosed\r\n",
      "2002,3,15,\"closed\" junk\r\n",
      std::string("\0\x01\x80\xff\r\n", 6),
      "2002,3,15,\"no terminator at the end of the file",
  };
  for (const std::string& line : damaged) {
    const bool terminated = line.back() == '\n';
    if (terminated) {  // between two records
      WriteBytes("hiduke.dat", "2002,3,1,a\r\n" + line + "2002,3,2,b\r\n");
      EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({1, 2})) << line;
      EXPECT_EQ(*store_.ReadNote({2002, 3, 15}), std::nullopt) << line;
      ASSERT_TRUE(store_.SaveNote({2002, 3, 2}, "c"));
      ASSERT_TRUE(store_.DeleteNote({2002, 3, 1}));
      EXPECT_EQ(ReadBytes("hiduke.dat"), line + "2002,3,2,c\r\n") << line;
    }

    WriteBytes("hiduke.dat", "2002,3,1,a\r\n" + line);  // last in the file
    EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({1})) << line;
    EXPECT_EQ(*store_.ReadNote({2002, 3, 15}), std::nullopt) << line;
    ASSERT_TRUE(store_.SaveNote({2002, 3, 15}, "new"));
    const std::string separator = terminated ? "" : "\r\n";
    EXPECT_EQ(ReadBytes("hiduke.dat"), "2002,3,1,a\r\n" + line + separator + "2002,3,15,new\r\n") << line;
  }
}

TEST_F(NoteStoreTest, RecordWithInvalidCp932TextIsANoteAndIsKeptUntilItsDateChanges) {
  const std::string odd = "2002,3,15,\x80ok\x82\r\n";
  WriteBytes("hiduke.dat", odd);
  EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({15}));
  EXPECT_EQ(*store_.ReadNote({2002, 3, 15}), "\xEF\xBF\xBDok\xEF\xBF\xBD");
  ASSERT_TRUE(store_.SaveNote({2002, 3, 16}, "x"));
  EXPECT_EQ(ReadBytes("hiduke.dat"), odd + "2002,3,16,x\r\n");
  ASSERT_TRUE(store_.SaveNote({2002, 3, 15}, "fixed"));
  EXPECT_EQ(ReadBytes("hiduke.dat"), "2002,3,15,fixed\r\n2002,3,16,x\r\n");
}

TEST_F(NoteStoreTest, RefusesCharactersCp932CannotHoldWithoutTouchingTheFile) {
  WriteBytes("hiduke.dat", kExample);
  const ino_t inode = InodeOf("hiduke.dat");
  StoreResult<SaveReport> saved = store_.SaveNote({2002, 3, 15}, "😀 café 😀");
  ASSERT_FALSE(saved);
  StoreError unencodable = Failed(StoreErrorKind::kUnencodable, StoreOperation::kSave);
  unencodable.characters = {"😀", "é"};
  EXPECT_EQ(saved.error(), unencodable);
  EXPECT_EQ(ReadBytes("hiduke.dat"), std::string(kExample));
  EXPECT_EQ(InodeOf("hiduke.dat"), inode);
}

TEST_F(NoteStoreTest, RefusesDatesTheFileCannotHold) {
  for (NoteDate date : {NoteDate{2002, 13, 1}, NoteDate{2002, 0, 1}, NoteDate{2002, 3, 0}, NoteDate{2002, 3, 32},
                        NoteDate{-1, 3, 1}, NoteDate{32768, 3, 1}}) {
    StoreResult<SaveReport> saved = store_.SaveNote(date, "x");
    ASSERT_FALSE(saved);
    StoreError out_of_range = Failed(StoreErrorKind::kDateOutOfRange, StoreOperation::kSave);
    out_of_range.date = date;
    EXPECT_EQ(saved.error(), out_of_range);
  }
  EXPECT_EQ(ListDir("."), std::vector<std::string>{});
}

TEST_F(NoteStoreTest, KeepsPermissionsAndLeavesNoOtherFile) {
  WriteBytes("hiduke.dat", kExample);
  ASSERT_EQ(::chmod("hiduke.dat", 0604), 0);
  WriteBytes(".hiduke.dat.tmpAb12Z9", "left by a killed save");
  WriteBytes(".hiduke.dat.tmp-keep", "not ours");
  const ino_t inode = InodeOf("hiduke.dat");

  ASSERT_TRUE(store_.SaveNote({2002, 3, 16}, "x"));
  EXPECT_NE(InodeOf("hiduke.dat"), inode);  // replaced, not written in place
  struct stat st {};
  ASSERT_EQ(::stat("hiduke.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(ListDir("."), (std::vector<std::string>{".hiduke.dat.tmp-keep", "hiduke.dat"}));

  ASSERT_TRUE(store_.DeleteNote({2002, 3, 17}));  // no record: rewritten all the same
  EXPECT_EQ(ReadBytes("hiduke.dat"), std::string(kExample) + "2002,3,16,x\r\n");
  EXPECT_EQ(ListDir("."), (std::vector<std::string>{".hiduke.dat.tmp-keep", "hiduke.dat"}));
}

TEST_F(NoteStoreTest, TemporaryNamesAreRecognisedExactly) {
  EXPECT_TRUE(IsRewriteTemporary(".hiduke.dat.tmpAb12Z9", "hiduke.dat"));
  for (const char* other : {"hiduke.dat", ".hiduke.dat.tmpAb12Z", ".hiduke.dat.tmpAb12Z9x", ".hiduke.dat.tmp-b12Z9",
                            ".other.dat.tmpAb12Z9", "hiduke.dat.tmpAb12Z9x"}) {
    EXPECT_FALSE(IsRewriteTemporary(other, "hiduke.dat")) << other;
  }
}

TEST_F(NoteStoreTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
  std::filesystem::create_directory("data");
  WriteBytes("data/real.dat", kExample);
  std::filesystem::create_symlink("data/real.dat", "hiduke.dat");
  std::filesystem::create_symlink("data/new.dat", "dangling.dat");

  ASSERT_TRUE(store_.SaveNote({2002, 3, 16}, "x"));
  EXPECT_TRUE(std::filesystem::is_symlink("hiduke.dat"));
  EXPECT_EQ(std::filesystem::read_symlink("hiduke.dat"), "data/real.dat");
  EXPECT_EQ(ReadBytes("data/real.dat"), std::string(kExample) + "2002,3,16,x\r\n");

  NoteStore dangling("dangling.dat");
  EXPECT_EQ(*dangling.MarkedDays(2002, 3), Days({}));
  ASSERT_TRUE(dangling.SaveNote({2002, 3, 5}, "y"));
  EXPECT_TRUE(std::filesystem::is_symlink("dangling.dat"));
  EXPECT_EQ(ReadBytes("data/new.dat"), "2002,3,5,y\r\n");
  EXPECT_EQ(ListDir("data"), (std::vector<std::string>{"new.dat", "real.dat"}));
  EXPECT_EQ(ListDir("."), (std::vector<std::string>{"dangling.dat", "data", "hiduke.dat"}));
}

TEST_F(NoteStoreTest, FileThatIsNoRegularFileIsReportedAndLeftAlone) {
  ASSERT_EQ(::mkdir("hiduke.dat", 0755), 0);
  ASSERT_EQ(::mkfifo("fifo.dat", 0644), 0);
  std::filesystem::create_symlink("loop.dat", "loop.dat");

  StoreResult<std::bitset<32>> marks = store_.MarkedDays(2002, 3);
  ASSERT_FALSE(marks);
  EXPECT_EQ(marks.error(), Failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EISDIR));
  StoreResult<std::optional<std::string>> note = store_.ReadNote({2002, 3, 15});
  ASSERT_FALSE(note);
  EXPECT_EQ(note.error(), Failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EISDIR));
  StoreResult<SaveReport> saved = store_.SaveNote({2002, 3, 15}, "x");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), Failed(StoreErrorKind::kReadFailed, StoreOperation::kSave, EISDIR));
  StoreResult<SaveReport> deleted = store_.DeleteNote({2002, 3, 15});
  ASSERT_FALSE(deleted);
  EXPECT_EQ(deleted.error(), Failed(StoreErrorKind::kReadFailed, StoreOperation::kDelete, EISDIR));
  EXPECT_TRUE(std::filesystem::is_empty("hiduke.dat"));

  NoteStore fifo("fifo.dat");
  ASSERT_FALSE(fifo.MarkedDays(2002, 3));
  EXPECT_EQ(fifo.MarkedDays(2002, 3).error(),
            Failed(StoreErrorKind::kNotRegularFile, StoreOperation::kRead, 0, "fifo.dat"));
  EXPECT_FALSE(fifo.SaveNote({2002, 3, 15}, "x"));

  NoteStore loop("loop.dat");
  ASSERT_FALSE(loop.MarkedDays(2002, 3));
  ASSERT_FALSE(loop.SaveNote({2002, 3, 15}, "x"));
  EXPECT_EQ(loop.SaveNote({2002, 3, 15}, "x").error(),
            Failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, ELOOP, "loop.dat"));

  NoteStore nowhere("missing-dir/hiduke.dat");
  EXPECT_EQ(*nowhere.MarkedDays(2002, 3), Days({}));
  ASSERT_FALSE(nowhere.SaveNote({2002, 3, 15}, "x"));
  EXPECT_EQ(ListDir("."), (std::vector<std::string>{"fifo.dat", "hiduke.dat", "loop.dat"}));
}

TEST_F(NoteStoreTest, FailedWriteLeavesTheOldFileIntact) {
  std::string before;
  for (int day = 1; day <= 28; ++day) before += "2002,2," + std::to_string(day) + ",note of the day\r\n";
  WriteBytes("hiduke.dat", before);
  const ino_t inode = InodeOf("hiduke.dat");

  // A file size limit a little above the old file: writing the new one fails
  // with EFBIG half-way.
  testing::ChildOutcome child = RunInChild([&]() -> std::string {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{before.size() + 100, before.size() + 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
    StoreResult<SaveReport> saved = NoteStore().SaveNote({2002, 3, 1}, std::string(500, 'x'));
    return saved ? "saved" : Describe(saved.error());
  });
  ASSERT_TRUE(child.exited_normally);
  EXPECT_EQ(child.report, Describe(Failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, EFBIG)));
  EXPECT_EQ(ReadBytes("hiduke.dat"), before);
  EXPECT_EQ(InodeOf("hiduke.dat"), inode);
  EXPECT_EQ(ListDir("."), std::vector<std::string>{"hiduke.dat"});
}

// Permission bits do not stop root, so as root the checks run in a child
// process that has given up root for the unprivileged user "nobody".
TEST_F(NoteStoreTest, PermissionsRefuseReadingAndWriting) {
  constexpr uid_t kNobody = 65534;
  WriteBytes("hiduke.dat", kExample);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
    ASSERT_EQ(::chown("hiduke.dat", kNobody, kNobody), 0);
  }
  const hiduke::testing::ChildOutcome child = RunInChild([] {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return std::string("setuid failed");
    NoteStore store;
    std::string report;
    ::chmod("hiduke.dat", 0444);  // write-protected note file
    StoreResult<SaveReport> saved = store.SaveNote({2002, 3, 16}, "x");
    report += (saved ? std::string("saved") : Describe(saved.error())) + "\n";
    ::chmod("hiduke.dat", 0644);
    ::chmod(".", 0555);  // read-only directory
    saved = store.SaveNote({2002, 3, 16}, "x");
    report += (saved ? std::string("saved") : Describe(saved.error())) + "\n";
    ::chmod(".", 0755);
    ::chmod("hiduke.dat", 0);  // unreadable
    StoreResult<std::bitset<32>> marks = store.MarkedDays(2002, 3);
    report += marks ? std::string("read") : Describe(marks.error());
    ::chmod("hiduke.dat", 0644);
    return report;
  });
  ASSERT_TRUE(child.exited_normally);
  const std::string refused_save = Describe(Failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, EACCES));
  EXPECT_EQ(child.report,
            refused_save + "\n" + refused_save + "\n" +
                Describe(Failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EACCES)));
  EXPECT_EQ(ReadBytes("hiduke.dat"), std::string(kExample));
  EXPECT_EQ(ListDir("."), std::vector<std::string>{"hiduke.dat"});
}

}  // namespace
}  // namespace hiduke
