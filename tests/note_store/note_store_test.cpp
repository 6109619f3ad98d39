#include "note_store/note_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "note_store/note_record.h"
#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::date;
using hiduke::testing::describe;
using hiduke::testing::kNobody;
using hiduke::testing::listDir;
using hiduke::testing::openStore;
using hiduke::testing::readBytes;
using hiduke::testing::runAsNobody;
using hiduke::testing::runInChild;
using hiduke::testing::ScratchDir;
using hiduke::testing::writeBytes;

// When set, fsync of a directory fails with EIO, and fstat says that every
// regular file is empty (see the definitions at the end).
std::atomic<bool> failDirectorySync = false;
std::atomic<bool> hideFileSizes = false;
// When set, fstatfs says that every file is on NFS.
std::atomic<bool> onNfs = false;

constexpr char kExample[] =  // the two-note store: 会議 on 15 March 2002, 買い物 / 10時 on the 20th
    "\x32\x30\x30\x32\x2c\x33\x2c\x31\x35\x2c\x89\xef\x8b\x63\x0d\x0a"
    "\x32\x30\x30\x32\x2c\x33\x2c\x32\x30\x2c\x94\x83\x82\xa2\x95\xa8\x3b\x31\x30\x8e\x9e\x0d\x0a";

// The days of a month that have a note.
std::set<unsigned> daysWithNotes(const NoteStore& store, int year, unsigned month) {
  const StoreResult<MonthNotes> notes = store.monthNotes(std::chrono::year(year) / std::chrono::month(month));
  if (!notes) throw std::runtime_error(describe(notes.error()));
  std::set<unsigned> days;
  for (unsigned day = 1; day <= 31; ++day) {
    if (notes->days[day]) days.insert(day);
  }
  return days;
}

StoreError failed(StoreErrorKind kind, StoreOperation operation, const std::string& path, int errorNumber = 0) {
  return StoreError{.kind = kind, .operation = operation, .errorNumber = errorNumber, .path = path};
}

// "done", or the error, as one line.
template <typename T>
std::string outcome(const StoreResult<T>& result) {
  return result ? "done" : describe(result.error());
}

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_ino;
}

class NoteStoreTest : public ::testing::Test {
 protected:
  StoreError failed(StoreErrorKind kind, StoreOperation operation, int errorNumber = 0) const {
    return hiduke::failed(kind, operation, store_.path(), errorNumber);
  }

  ScratchDir dir_;
  NoteStore store_ = openStore();  // hiduke.dat in the current directory
};

TEST_F(NoteStoreTest, WritesTheExampleStoreByteForByte) {
  ASSERT_TRUE(store_.saveNote(date(2002, 3, 15), "会議"));
  ASSERT_TRUE(store_.saveNote(date(2002, 3, 20), "買い物\n10時"));
  EXPECT_EQ(readBytes("hiduke.dat"), std::string(kExample));
}

TEST_F(NoteStoreTest, ReadsTheExampleStore) {
  writeBytes("hiduke.dat", kExample);
  EXPECT_EQ(daysWithNotes(store_, 2002, 3), (std::set<unsigned>{15, 20}));
  EXPECT_EQ(daysWithNotes(store_, 2002, 4), std::set<unsigned>{});
  EXPECT_EQ(daysWithNotes(store_, 2003, 3), std::set<unsigned>{});
  const MonthNotes march = *store_.monthNotes(std::chrono::year(2002) / 3);
  EXPECT_EQ(march.of(std::chrono::day(15)), "会議");
  EXPECT_EQ(march.of(std::chrono::day(20)), "買い物\n10時");
  EXPECT_EQ(*store_.note(date(2002, 3, 15)), "会議");
  EXPECT_EQ(*store_.note(date(2002, 3, 20)), "買い物\n10時");
  EXPECT_EQ(*store_.note(date(2002, 3, 16)), std::nullopt);
}

TEST_F(NoteStoreTest, MissingFileIsAnEmptyStoreAndTheFirstSaveCreatesIt) {
  EXPECT_EQ(daysWithNotes(store_, 2002, 3), std::set<unsigned>{});
  EXPECT_EQ(*store_.note(date(2002, 3, 15)), std::nullopt);
  EXPECT_EQ(store_.fileIdentity(), FileIdentity{});
  EXPECT_EQ(listDir("."), std::vector<std::string>{});

  const mode_t oldUmask = ::umask(027);
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 5), "x");
  ::umask(oldUmask);
  ASSERT_TRUE(saved) << describe(saved.error());
  EXPECT_TRUE(saved->warnings.empty());
  EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,5,x\r\n");
  struct stat st {};
  ASSERT_EQ(::stat("hiduke.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A sync tool replaces the file by removing it and renaming its new one into
// place: a save that finds missing the file it read waits for the new one
// (here put in place while the save shows that it is busy).
TEST_F(NoteStoreTest, ASaveWaitsForAFileThatASyncToolIsReplacing) {
  writeBytes("hiduke.dat", "2002,3,14,theirs\r\n");
  ASSERT_TRUE(store_.note(date(2002, 3, 14)));
  writeBytes("incoming", "2002,3,14,theirs\r\n2002,3,16,new\r\n");
  ASSERT_EQ(::unlink("hiduke.dat"), 0);
  store_.setBusyHook([] { ::rename("incoming", "hiduke.dat"); });
  ASSERT_TRUE(store_.saveNote(date(2002, 3, 15), "mine"));
  EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,14,theirs\r\n2002,3,16,new\r\n2002,3,15,mine\r\n");
}

TEST_F(NoteStoreTest, DeletingTheLastNoteLeavesAnEmptyFile) {
  ASSERT_TRUE(store_.saveNote(date(2002, 3, 15), "x"));
  ASSERT_TRUE(store_.deleteNote(date(2002, 3, 15)));
  EXPECT_EQ(readBytes("hiduke.dat"), "");
  EXPECT_EQ(daysWithNotes(store_, 2002, 3), std::set<unsigned>{});
}

TEST_F(NoteStoreTest, ASaveReportsTheNoteAsTheFileNowHoldsItAndTheFileItPutInPlace) {
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 15), "〜 a\rb\r\nc");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->note, "～ a\nb\nc");  // the look-alike code page 932 holds, every break as "\n"
  EXPECT_EQ(saved->note, *store_.note(date(2002, 3, 15)));
  EXPECT_EQ(saved->file, store_.fileIdentity());
  EXPECT_EQ(store_.monthNotes(std::chrono::year(2002) / 3)->file, saved->file);
  const StoreResult<SaveReport> deleted = store_.deleteNote(date(2002, 3, 15));
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->note, std::nullopt);
  EXPECT_NE(deleted->file, saved->file);
}

TEST_F(NoteStoreTest, FindsTheNearestNoteDateEitherWayAcrossYears) {
  writeBytes("hiduke.dat",
             "2002,3,15,a\r\n2001,12,31,b\r\n2003,1,1,c\r\nhand edit\r\n2002,2,30,no such day\r\n 2002 ,03,20,d\r\n");
  struct Case {
    std::chrono::year_month_day from;
    std::optional<std::chrono::year_month_day> next;
    std::optional<std::chrono::year_month_day> previous;
  };
  const Case cases[] = {
      {date(2002, 3, 15), date(2002, 3, 20), date(2001, 12, 31)},
      {date(2002, 3, 16), date(2002, 3, 20), date(2002, 3, 15)},
      {date(2001, 1, 1), date(2001, 12, 31), std::nullopt},
      {date(2003, 1, 1), std::nullopt, date(2002, 3, 20)},
      {date(2002, 2, 28), date(2002, 3, 15), date(2001, 12, 31)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(*store_.nextNoteDate(c.from), c.next) << testing::dateText(c.from);
    EXPECT_EQ(*store_.previousNoteDate(c.from), c.previous) << testing::dateText(c.from);
  }
}

TEST_F(NoteStoreTest, AllNotesComeInDateOrderOneADayWithTheOtherLinesCounted) {
  writeBytes("hiduke.dat",
             "2002,3,15,first\r\n\r\n2001,1,1,old\r\nhand edit\r\n2002,3,15,\"second, last\"\r\n"
             "2002,2,30,no such day\r\n2002,3,1,\x89\xef\x8b\x63;x");
  const StoreResult<AllNotes> all = store_.allNotes();
  ASSERT_TRUE(all);
  EXPECT_EQ(all->notes, (std::vector<DatedNote>{
                            {date(2001, 1, 1), "old"}, {date(2002, 3, 1), "会議\nx"}, {date(2002, 3, 15), "second, last"}}));
  EXPECT_EQ(all->otherLines, 2u);
}

// The file is read in pieces much smaller than this one; lines cross their
// boundaries, and one line is longer than a piece.
TEST_F(NoteStoreTest, LargeFileReadsAndRewritesAsInMemory) {
  // Record i is on 2002-(i % 12 + 1)-(i % 28 + 1): month m gets the days
  // d ≡ m (mod 4) up to the 28th, each many times over.
  std::string records;
  for (int i = 0; i < 6000; ++i) {
    records += "2002," + std::to_string(i % 12 + 1) + "," + std::to_string(i % 28 + 1) + "," +
               std::string(static_cast<size_t>(i % 97 + 1), 'a') + "\r\n";
  }
  const std::string longText(200'000, 'L');
  const std::string content = records + "2002,2,27," + longText + "\r\n2002,2,28,unterminated";
  writeBytes("hiduke.dat", content);
  const std::set<unsigned> byMonthModulo4[] = {{4, 8, 12, 16, 20, 24, 28}, {1, 5, 9, 13, 17, 21, 25},
                                               {2, 6, 10, 14, 18, 22, 26}, {3, 7, 11, 15, 19, 23, 27}};
  for (unsigned month = 1; month <= 12; ++month) {
    std::set<unsigned> expected = byMonthModulo4[month % 4];
    if (month == 2) expected.insert({27, 28});
    EXPECT_EQ(daysWithNotes(store_, 2002, month), expected) << month;
  }
  EXPECT_EQ(*store_.note(date(2002, 2, 27)), longText);
  EXPECT_EQ(*store_.note(date(2002, 2, 28)), "unterminated");
  ASSERT_TRUE(store_.deleteNote(date(2003, 1, 1)));
  EXPECT_EQ(readBytes("hiduke.dat"), content);
  ASSERT_TRUE(store_.saveNote(date(2002, 2, 27), "short"));
  EXPECT_EQ(readBytes("hiduke.dat"), records + "2002,2,27,short\r\n2002,2,28,unterminated");
  ASSERT_TRUE(store_.saveNote(date(2003, 1, 1), "appended"));
  EXPECT_EQ(readBytes("hiduke.dat"), records + "2002,2,27,short\r\n2002,2,28,unterminated\r\n2003,1,1,appended\r\n");
}

// A size taken before the read is never trusted: told that the file is
// empty, every reader still reads all of it (one that sized a buffer by it
// wrote past it under ASan). The iCalendar export reads through allNotes.
TEST_F(NoteStoreTest, EveryReaderReadsToTheEndWhateverTheSizeSaid) {
  std::string content;
  for (int i = 0; i < 20000; ++i) content += formatNoteRecord(date(1900 + i / 28, 3, static_cast<unsigned>(i % 28 + 1)), "会議");
  const auto readers = [&] {
    writeBytes("hiduke.dat", content);
    return std::to_string(store_.allNotes()->notes.size()) + *store_.monthNotes(std::chrono::year(2002) / 3)->of(std::chrono::day(7)) +
           outcome(store_.saveNote(date(2002, 3, 7), "x")) +
           *readBytes("hiduke.dat");
  };
  const std::string truth = readers();
  hideFileSizes = true;
  EXPECT_EQ(readers(), truth);
  hideFileSizes = false;
}

// A save that meets a shortage of file descriptors says so, and the next
// one, after the shortage, works: nothing failed is kept.
TEST_F(NoteStoreTest, AShortageOfFileDescriptorsFailsOnlyTheActionItMeets) {
  const testing::ChildOutcome child = runInChild([] {
    NoteStore store = openStore();
    const rlimit few{64, 64};
    ::setrlimit(RLIMIT_NOFILE, &few);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
    const std::string duringShortage = outcome(store.saveNote(date(2002, 3, 15), "x"));
    for (const int fd : fillers) ::close(fd);
    return duringShortage + "\n" + outcome(store.saveNote(date(2002, 3, 15), "x"));
  });
  EXPECT_EQ(child.report, describe(failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, EMFILE)) + "\ndone");
}

TEST_F(NoteStoreTest, SpacesCommasAndQuotesReadBackExactly) {
  const std::vector<std::string> notes = {"   ", " a, \"b\" ", "\"", ",", "x  "};
  for (size_t i = 0; i < notes.size(); ++i) {
    const auto day = date(2002, 3, static_cast<unsigned>(i) + 1);
    ASSERT_TRUE(store_.saveNote(day, notes[i]));
    EXPECT_EQ(*store_.note(day), notes[i]);
  }
  EXPECT_EQ(daysWithNotes(store_, 2002, 3), (std::set<unsigned>{1, 2, 3, 4, 5}));
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
      "2002,2,30,no such day\r\n",
      "2002,-3,15,x\r\n",
      "2002,\x82\x52,15,x\r\n",
      "2002,\t3,15,x\r\n",
      std::string("\0\x01\x80\xff\r\n", 6),
      "2002,3,15 no terminator at the end of the file",
  };
  for (const std::string& line : damaged) {
    const bool terminated = line.back() == '\n';
    if (terminated) {  // between two records
      writeBytes("hiduke.dat", "2002,3,1,a\r\n" + line + "2002,3,2,b\r\n");
      EXPECT_EQ(daysWithNotes(store_, 2002, 3), (std::set<unsigned>{1, 2})) << line;
      EXPECT_EQ(*store_.note(date(2002, 3, 15)), std::nullopt) << line;
      ASSERT_TRUE(store_.saveNote(date(2002, 3, 2), "c"));
      ASSERT_TRUE(store_.deleteNote(date(2002, 3, 1)));
      EXPECT_EQ(readBytes("hiduke.dat"), line + "2002,3,2,c\r\n") << line;
    }

    writeBytes("hiduke.dat", "2002,3,1,a\r\n" + line);  // last in the file
    EXPECT_EQ(daysWithNotes(store_, 2002, 3), std::set<unsigned>{1}) << line;
    EXPECT_EQ(*store_.note(date(2002, 3, 15)), std::nullopt) << line;
    ASSERT_TRUE(store_.saveNote(date(2002, 3, 15), "new"));
    const std::string separator = terminated ? "" : "\r\n";
    EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,1,a\r\n" + line + separator + "2002,3,15,new\r\n") << line;
  }
}

// Files written before texts were quoted hold notes that begin with a quote
// as typed: they are notes like any other.
TEST_F(NoteStoreTest, UnquotedTextWithQuotesIsTheNoteAsWrittenAndIsReplacedInPlace) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\"\x88\xf8\x97\x70\"\x82\xc5\x82\xb7", "\"引用\"です"},
      {"\"abc", "\"abc"},
      {"  \"a\"\"b\" c, d", "\"a\"\"b\" c, d"},
  };
  for (const auto& [textField, note] : cases) {
    writeBytes("hiduke.dat", "2002,3,1,a\r\n2002,3,2," + textField + "\r\n2002,3,3,c\r\n");
    EXPECT_EQ(daysWithNotes(store_, 2002, 3), (std::set<unsigned>{1, 2, 3})) << note;
    EXPECT_EQ(*store_.note(date(2002, 3, 2)), note);
    ASSERT_TRUE(store_.saveNote(date(2002, 3, 2), note));
    EXPECT_EQ(*store_.note(date(2002, 3, 2)), note);
    ASSERT_TRUE(store_.saveNote(date(2002, 3, 2), "new"));
    EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,1,a\r\n2002,3,2,new\r\n2002,3,3,c\r\n") << note;
  }
}

TEST_F(NoteStoreTest, RecordWithInvalidCp932TextIsANoteAndIsKeptUntilItsDateChanges) {
  const std::string odd = "2002,3,15,\x80ok\x82\r\n";
  writeBytes("hiduke.dat", odd);
  EXPECT_EQ(daysWithNotes(store_, 2002, 3), std::set<unsigned>{15});
  EXPECT_EQ(*store_.note(date(2002, 3, 15)), "\xEF\xBF\xBDok\xEF\xBF\xBD");
  ASSERT_TRUE(store_.saveNote(date(2002, 3, 16), "x"));
  EXPECT_EQ(readBytes("hiduke.dat"), odd + "2002,3,16,x\r\n");
  ASSERT_TRUE(store_.saveNote(date(2002, 3, 15), "fixed"));
  EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,15,fixed\r\n2002,3,16,x\r\n");
}

TEST_F(NoteStoreTest, RefusesCharactersCp932CannotHoldWithoutTouchingTheFile) {
  writeBytes("hiduke.dat", kExample);
  const ino_t inode = inodeOf("hiduke.dat");
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 15), "😀 café 😀");
  ASSERT_FALSE(saved);
  StoreError unencodable = failed(StoreErrorKind::kUnencodable, StoreOperation::kSave);
  unencodable.characters = {"😀", "é"};
  EXPECT_EQ(saved.error(), unencodable);
  // A ";" would come back as a line break.
  const StoreResult<SaveReport> semicolon = store_.saveNote(date(2002, 3, 15), "10:00; docs");
  ASSERT_FALSE(semicolon);
  EXPECT_EQ(semicolon.error(), failed(StoreErrorKind::kSemicolon, StoreOperation::kSave));
  EXPECT_EQ(readBytes("hiduke.dat"), std::string(kExample));
  EXPECT_EQ(inodeOf("hiduke.dat"), inode);
}

TEST_F(NoteStoreTest, RefusesDatesTheFileCannotHold) {
  for (const std::chrono::year_month_day day : {date(2002, 13, 1), date(2002, 0, 1), date(2002, 3, 0),
                                                date(2002, 2, 29), date(-1, 3, 1), date(-32767, 1, 1)}) {
    const StoreResult<SaveReport> saved = store_.saveNote(day, "x");
    ASSERT_FALSE(saved) << testing::dateText(day);
    StoreError outOfRange = failed(StoreErrorKind::kDateOutOfRange, StoreOperation::kSave);
    outOfRange.date = day;
    EXPECT_EQ(saved.error(), outOfRange);
  }
  EXPECT_EQ(listDir("."), std::vector<std::string>{});
}

TEST_F(NoteStoreTest, KeepsPermissionsAndLeavesNoOtherFile) {
  writeBytes("hiduke.dat", kExample);
  ASSERT_EQ(::chmod("hiduke.dat", 0604), 0);
  // The temporary file's name, left by a killed save as a link: removed, not followed.
  writeBytes("other.dat", "not a note file");
  std::filesystem::create_symlink("other.dat", ".hiduke.dat.tmp");
  writeBytes(".hiduke.dat.tmp-keep", "not ours");
  const ino_t inode = inodeOf("hiduke.dat");
  const std::vector<std::string> files = {".hiduke.dat.tmp-keep", "hiduke.dat", "other.dat"};

  ASSERT_TRUE(store_.saveNote(date(2002, 3, 16), "x"));
  EXPECT_NE(inodeOf("hiduke.dat"), inode);  // replaced, not written in place
  struct stat st {};
  ASSERT_EQ(::stat("hiduke.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(listDir("."), files);
  EXPECT_EQ(readBytes("other.dat"), "not a note file");

  ASSERT_TRUE(store_.deleteNote(date(2002, 3, 17)));  // no record: rewritten all the same
  EXPECT_EQ(readBytes("hiduke.dat"), std::string(kExample) + "2002,3,16,x\r\n");
  EXPECT_EQ(listDir("."), files);
}

TEST_F(NoteStoreTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
  std::filesystem::create_directory("data");
  writeBytes("data/real.dat", kExample);
  std::filesystem::create_symlink("data/real.dat", "hiduke.dat");
  std::filesystem::create_symlink("data/new.dat", "dangling.dat");
  std::filesystem::create_symlink("../data/real.dat", "data/relative.dat");

  ASSERT_TRUE(store_.saveNote(date(2002, 3, 16), "x"));
  EXPECT_TRUE(std::filesystem::is_symlink("hiduke.dat"));
  EXPECT_EQ(std::filesystem::read_symlink("hiduke.dat"), "data/real.dat");
  EXPECT_EQ(readBytes("data/real.dat"), std::string(kExample) + "2002,3,16,x\r\n");

  // A relative target starts from the link's own directory.
  NoteStore relative = openStore("data/relative.dat");
  EXPECT_EQ(*relative.note(date(2002, 3, 16)), "x");
  ASSERT_TRUE(relative.saveNote(date(2002, 3, 17), "y"));
  EXPECT_EQ(readBytes("data/real.dat"), std::string(kExample) + "2002,3,16,x\r\n2002,3,17,y\r\n");

  NoteStore dangling = openStore("dangling.dat");
  EXPECT_EQ(daysWithNotes(dangling, 2002, 3), std::set<unsigned>{});
  ASSERT_TRUE(dangling.saveNote(date(2002, 3, 5), "y"));
  EXPECT_TRUE(std::filesystem::is_symlink("dangling.dat"));
  EXPECT_EQ(readBytes("data/new.dat"), "2002,3,5,y\r\n");
  EXPECT_EQ(listDir("data"), (std::vector<std::string>{"new.dat", "real.dat", "relative.dat"}));
  EXPECT_EQ(listDir("."), (std::vector<std::string>{"dangling.dat", "data", "hiduke.dat"}));
}

TEST_F(NoteStoreTest, FileThatIsNoRegularFileIsReportedAndLeftAlone) {
  ASSERT_EQ(::mkdir("hiduke.dat", 0755), 0);
  ASSERT_EQ(::mkfifo("fifo.dat", 0644), 0);
  std::filesystem::create_symlink("loop.dat", "loop.dat");
  std::filesystem::create_symlink("hiduke.dat/", "dir-link.dat");

  const StoreResult<MonthNotes> notes = store_.monthNotes(std::chrono::year(2002) / 3);
  ASSERT_FALSE(notes);
  EXPECT_EQ(notes.error(), failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EISDIR));
  const StoreResult<std::optional<std::string>> note = store_.note(date(2002, 3, 15));
  ASSERT_FALSE(note);
  EXPECT_EQ(note.error(), failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EISDIR));
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 15), "x");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), failed(StoreErrorKind::kReadFailed, StoreOperation::kSave, EISDIR));
  const StoreResult<SaveReport> deleted = store_.deleteNote(date(2002, 3, 15));
  ASSERT_FALSE(deleted);
  EXPECT_EQ(deleted.error(), failed(StoreErrorKind::kReadFailed, StoreOperation::kDelete, EISDIR));
  EXPECT_TRUE(std::filesystem::is_empty("hiduke.dat"));

  NoteStore fifo = openStore("fifo.dat");
  ASSERT_FALSE(fifo.monthNotes(std::chrono::year(2002) / 3));
  EXPECT_EQ(fifo.monthNotes(std::chrono::year(2002) / 3).error(),
            hiduke::failed(StoreErrorKind::kNotRegularFile, StoreOperation::kRead, fifo.path()));
  EXPECT_FALSE(fifo.saveNote(date(2002, 3, 15), "x"));

  NoteStore dirLink = openStore("dir-link.dat");
  EXPECT_EQ(dirLink.allNotes().error(), hiduke::failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, dirLink.path(), EISDIR));

  NoteStore loop = openStore("loop.dat");
  ASSERT_FALSE(loop.monthNotes(std::chrono::year(2002) / 3));
  EXPECT_EQ(loop.saveNote(date(2002, 3, 15), "x").error(),
            hiduke::failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, loop.path(), ELOOP));

  const StoreResult<NoteStore> nowhere = NoteStore::open("missing-dir/hiduke.dat");
  ASSERT_FALSE(nowhere);
  EXPECT_EQ(nowhere.error().errorNumber, ENOENT);
  EXPECT_EQ(listDir("."), (std::vector<std::string>{"dir-link.dat", "fifo.dat", "hiduke.dat", "loop.dat"}));
}

TEST_F(NoteStoreTest, FailedWriteLeavesTheOldFileIntact) {
  std::string before;
  for (int day = 1; day <= 28; ++day) before += "2002,2," + std::to_string(day) + ",note of the day\r\n";
  writeBytes("hiduke.dat", before);
  const ino_t inode = inodeOf("hiduke.dat");

  // A file size limit a little above the old file: writing the new one fails
  // with EFBIG half-way. SIGXFSZ, which ends a program by default, does not.
  const testing::ChildOutcome child = runInChild([&]() -> std::string {
    std::signal(SIGXFSZ, SIG_DFL);
    rlimit limit{before.size() + 100, before.size() + 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
    const StoreResult<SaveReport> saved = openStore().saveNote(date(2002, 3, 1), std::string(500, 'x'));
    sigset_t mask;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return outcome(saved) + (::sigismember(&mask, SIGXFSZ) == 1 ? ", SIGXFSZ left blocked" : "");
  });
  ASSERT_TRUE(child.exitedNormally);
  EXPECT_EQ(child.report, describe(failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, EFBIG)));
  EXPECT_EQ(readBytes("hiduke.dat"), before);
  EXPECT_EQ(inodeOf("hiduke.dat"), inode);
  EXPECT_EQ(listDir("."), std::vector<std::string>{"hiduke.dat"});
}

TEST_F(NoteStoreTest, PermissionsRefuseReadingAndWriting) {
  writeBytes("hiduke.dat", kExample);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
    ASSERT_EQ(::chown("hiduke.dat", kNobody, kNobody), 0);
  }
  const testing::ChildOutcome child = runAsNobody([] {
    NoteStore store = openStore();
    std::string report;
    ::chmod("hiduke.dat", 0444);  // write-protected note file
    report += outcome(store.saveNote(date(2002, 3, 16), "x")) + "\n";
    ::chmod("hiduke.dat", 0644);
    ::chmod(".", 0555);  // read-only directory
    report += outcome(store.saveNote(date(2002, 3, 16), "x")) + "\n";
    ::chmod(".", 0755);
    ::chmod("hiduke.dat", 0);  // unreadable
    report += outcome(store.monthNotes(std::chrono::year(2002) / 3)) + "\n";
    ::chmod("hiduke.dat", 0644);
    ::chmod(".", 0311);  // a directory that cannot be read, started in
    report += describe(NoteStore::open().error());
    ::chmod(".", 0755);
    return report;
  });
  ASSERT_TRUE(child.exitedNormally);
  EXPECT_EQ(child.report, describe(failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, EACCES)) + "\n" +
                              describe(failed(StoreErrorKind::kDirectoryNotWritable, StoreOperation::kSave, EACCES)) +
                              "\n" + describe(failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EACCES)) +
                              "\n" + describe(failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EACCES)));
  EXPECT_EQ(readBytes("hiduke.dat"), std::string(kExample));
  EXPECT_EQ(listDir("."), std::vector<std::string>{"hiduke.dat"});
}

// Owner, group, permission bits and every extended attribute (ACLs among
// them) of a file.
std::tuple<uid_t, gid_t, mode_t, std::map<std::string, std::string>> attributesOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  std::map<std::string, std::string> extended;
  char names[4096];
  const ssize_t length = ::listxattr(path.c_str(), names, sizeof names);
  for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    char value[4096];
    const ssize_t size = ::getxattr(path.c_str(), names + at, value, sizeof value);
    extended[names + at] = std::string(value, static_cast<size_t>(std::max<ssize_t>(size, 0)));
  }
  return {st.st_uid, st.st_gid, st.st_mode & 07777, extended};
}

TEST_F(NoteStoreTest, EveryAttributeOfTheFileSurvivesASaveOrTheSaveIsRefused) {
  if (std::system("command -v setfacl >/dev/null && command -v setfattr >/dev/null") != 0) {
    GTEST_SKIP() << "needs setfacl and setfattr (packages acl and attr)";
  }
  // Shell commands run in a directory of its own that holds the note file.
  std::vector<std::pair<std::string, std::string>> cases = {
      {"ACL that grants another user rw", "chmod 0640 hiduke.dat && setfacl -m u:nobody:rw hiduke.dat && "
                                          "setfattr -n user.origin -v hand-made hiduke.dat"},
      {"no ACL where the directory has a default one", "setfacl -d -m u:nobody:rw . && setfacl -b hiduke.dat"},
  };
  // Root can give the directory a group the file does not have.
  if (::geteuid() == 0) cases.push_back({"group of its own in a setgid directory", "chgrp 100 . && chmod g+s ."});
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string dir = "case" + std::to_string(i);
    std::filesystem::create_directory(dir);
    writeBytes(dir + "/hiduke.dat", kExample);
    ASSERT_EQ(std::system(("cd " + dir + " && " + cases[i].second).c_str()), 0) << cases[i].first;
    const auto before = attributesOf(dir + "/hiduke.dat");
    ASSERT_TRUE(openStore(dir + "/hiduke.dat").saveNote(date(2002, 3, 16), "x"));
    EXPECT_EQ(attributesOf(dir + "/hiduke.dat"), before) << cases[i].first;
  }

  // What the user cannot give the new file: a security attribute, another
  // user as owner. The save is refused and the file left as it is.
  if (::geteuid() != 0) GTEST_SKIP() << "the refusals need root to set up another user's file";
  ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
  writeBytes("labelled.dat", kExample);
  ASSERT_EQ(::chown("labelled.dat", kNobody, kNobody), 0);
  ASSERT_EQ(::setxattr("labelled.dat", "security.hiduke-test", "x", 1, 0), 0);
  writeBytes("root.dat", kExample);
  ASSERT_EQ(::chmod("root.dat", 0666), 0);
  const std::string here = dir_.path();
  const testing::ChildOutcome child = runAsNobody([] {
    return outcome(openStore("labelled.dat").saveNote(date(2002, 3, 16), "x")) + "\n" +
           outcome(openStore("root.dat").deleteNote(date(2002, 3, 15)));
  });
  ASSERT_TRUE(child.exitedNormally);
  const StoreError notCopied =
      hiduke::failed(StoreErrorKind::kAttributesNotCopied, StoreOperation::kSave, here + "/labelled.dat", EPERM);
  const StoreError notKept = hiduke::failed(StoreErrorKind::kOwnerNotKept, StoreOperation::kDelete, here + "/root.dat", EPERM);
  EXPECT_EQ(child.report, describe(notCopied) + "\n" + describe(notKept));
  EXPECT_EQ(readBytes("labelled.dat"), std::string(kExample));
  EXPECT_EQ(readBytes("root.dat"), std::string(kExample));
  EXPECT_EQ(listDir("."), (std::vector<std::string>{"case0", "case1", "case2", "labelled.dat", "root.dat"}));
}

// A link in a sticky directory that everyone may write is followed only
// when the kernel would follow it there: when it is the user's own or the
// directory owner's. A link another user planted is refused.
TEST_F(NoteStoreTest, LinksInSharedDirectoriesAreFollowedOnlyWhereTheKernelWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's link";
  constexpr uid_t kOtherUser = 4242;
  struct LinkCase {
    const char* what;
    mode_t dirMode;
    uid_t linkOwner;
    bool followed;
  };
  const std::vector<LinkCase> cases = {
      {"another user's link in a sticky shared directory", 01777, kOtherUser, false},
      {"own link", 01777, kNobody, true},
      {"link of the directory's owner", 01777, 0, true},
      {"another user's link without the sticky bit", 0777, kOtherUser, true},
  };
  ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
  ASSERT_EQ(::mkdir("shared", 0755), 0);
  std::filesystem::create_symlink("../victim.dat", "shared/hiduke.dat");
  const std::string link = dir_.path() + "/shared/hiduke.dat";
  const std::string refused = describe(hiduke::failed(StoreErrorKind::kUnsafeLink, StoreOperation::kRead, link)) +
                              "\n" + describe(hiduke::failed(StoreErrorKind::kUnsafeLink, StoreOperation::kSave, link));
  for (const LinkCase& c : cases) {
    writeBytes("victim.dat", kExample);
    ASSERT_EQ(::chown("victim.dat", kNobody, kNobody), 0);
    ASSERT_EQ(::chmod("shared", c.dirMode), 0);
    ASSERT_EQ(::lchown("shared/hiduke.dat", c.linkOwner, c.linkOwner), 0);
    const testing::ChildOutcome child = runAsNobody([] {
      NoteStore store = openStore("shared/hiduke.dat");
      return outcome(store.note(date(2002, 3, 15))) + "\n" + outcome(store.saveNote(date(2002, 3, 16), "x"));
    });
    ASSERT_TRUE(child.exitedNormally);
    EXPECT_EQ(child.report, c.followed ? "done\ndone" : refused) << c.what;
    EXPECT_EQ(readBytes("victim.dat"), std::string(kExample) + (c.followed ? "2002,3,16,x\r\n" : "")) << c.what;
    EXPECT_EQ(listDir("shared"), std::vector<std::string>{"hiduke.dat"}) << c.what;
  }
}

// Another user's file of the temporary's name in a shared sticky directory
// cannot be removed; it must not block every save there, and the random
// names saves take instead must not pile up when a save is killed.
TEST_F(NoteStoreTest, PlantedTemporaryInASharedDirectoryDoesNotBlockSavingNorLeaveLeftovers) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's file";
  ASSERT_EQ(::chmod(".", 01777), 0);
  writeBytes(".hiduke.dat.tmp", "planted");
  // Left by killed saves of the user's (nobody): removed by the next save.
  // Not the program's pattern, or another user's: kept.
  const std::vector<std::pair<std::string, uid_t>> others = {
      {".hiduke.dat.tmp.0123456789abcdef", kNobody},
      {".hiduke.dat.tmp.fedcba9876543210", kNobody},
      {".hiduke.dat.tmp.0123456789abcde", kNobody},
      {".hiduke.dat.tmp.0123456789abcdeg", kNobody},
      {".hiduke.dat.tmp.1111111111111111", 4242},
  };
  for (const auto& [name, owner] : others) {
    writeBytes(name, "left over");
    ASSERT_EQ(::chown(name.c_str(), owner, owner), 0);
  }
  const testing::ChildOutcome child = runAsNobody([] {
    NoteStore store = openStore();
    const std::string first = outcome(store.saveNote(date(2002, 3, 16), "x"));  // a new file
    return first + "\n" + outcome(store.saveNote(date(2002, 3, 17), "y"));     // and its own
  });
  ASSERT_TRUE(child.exitedNormally);
  EXPECT_EQ(child.report, "done\ndone");
  EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,16,x\r\n2002,3,17,y\r\n");
  EXPECT_EQ(readBytes(".hiduke.dat.tmp"), "planted");
  EXPECT_EQ(listDir("."), (std::vector<std::string>{".hiduke.dat.tmp", ".hiduke.dat.tmp.0123456789abcde",
                                                    ".hiduke.dat.tmp.0123456789abcdeg",
                                                    ".hiduke.dat.tmp.1111111111111111", "hiduke.dat"}));
}

TEST_F(NoteStoreTest, SaveWaitsForAnotherCopysLockAndCallsTheHookMeanwhile) {
  writeBytes("hiduke.dat", kExample);
  int locked[2];
  int release[2];
  ASSERT_EQ(::pipe(locked), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t otherCopy = ::fork();
  ASSERT_GE(otherCopy, 0);
  if (otherCopy == 0) {  // holds the directory's lock until told to let go
    const int dirFd = ::open(".", O_RDONLY | O_DIRECTORY);
    char go;
    if (dirFd < 0 || ::flock(dirFd, LOCK_EX) != 0 || ::write(locked[1], "L", 1) != 1 || ::read(release[0], &go, 1) != 1) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  char ignored;
  ASSERT_EQ(::read(locked[0], &ignored, 1), 1);
  int hookCalls = 0;
  store_.setBusyHook([&] {
    // The third call lets the other copy finish.
    if (++hookCalls == 3) {
      ASSERT_EQ(::write(release[1], "G", 1), 1);
    }
  });
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 16), "x");
  int status = 0;
  ::waitpid(otherCopy, &status, 0);
  ASSERT_TRUE(saved) << describe(saved.error());
  EXPECT_GE(hookCalls, 3);
  EXPECT_EQ(*store_.note(date(2002, 3, 16)), "x");

  const int callsWhileWaiting = hookCalls;
  ASSERT_TRUE(store_.saveNote(date(2002, 3, 17), "y"));  // nothing to wait for
  EXPECT_EQ(hookCalls, callsWhileWaiting);
  // The store keeps no lock after a save.
  const int afterwards = ::open(".", O_RDONLY | O_DIRECTORY);
  EXPECT_EQ(::flock(afterwards, LOCK_EX | LOCK_NB), 0);
  ::close(afterwards);
}

TEST_F(NoteStoreTest, FailedDirectorySyncIsASaveWithAWarning) {
  writeBytes("hiduke.dat", kExample);
  failDirectorySync = true;
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 16), "x");
  failDirectorySync = false;
  ASSERT_TRUE(saved) << describe(saved.error());
  EXPECT_EQ(saved->warnings, std::vector<StoreError>{failed(StoreErrorKind::kNotDurable, StoreOperation::kSave, EIO)});
  EXPECT_EQ(readBytes("hiduke.dat"), std::string(kExample) + "2002,3,16,x\r\n");
}

// The note the caller started from is checked against the file as the save
// reads it: a save or delete goes ahead only over that note.
TEST_F(NoteStoreTest, SaveAndDeleteRefuseWhenTheDaysNoteIsNotTheOneExpected) {
  struct Case {
    const char* what;
    std::string file;
    ExpectedNote before;
    bool deleting;
    bool refused;
  };
  const std::string mine = "2002,3,15,mine\r\n";
  const std::vector<Case> cases = {
      {"save over the note expected", mine, ExpectedNote::exactly("mine"), false, false},
      {"save over another note", mine, ExpectedNote::exactly("other"), false, true},
      {"save where a note was made meanwhile", mine, ExpectedNote::exactly(std::nullopt), false, true},
      {"save where the note was deleted meanwhile", "", ExpectedNote::exactly("mine"), false, true},
      {"save of a new note", "", ExpectedNote::exactly(std::nullopt), false, false},
      {"save over anything", mine, ExpectedNote::anything(), false, false},
      {"the last record is the note", "2002,3,15,old\r\n" + mine, ExpectedNote::exactly("mine"), false, false},
      {"line breaks and look-alikes as read", "2002,3,15,\x81\x60;b\r\n", ExpectedNote::exactly("～\nb"), false, false},
      {"delete of the note expected", mine, ExpectedNote::exactly("mine"), true, false},
      {"delete of another note", mine, ExpectedNote::exactly("other"), true, true},
  };
  for (const Case& c : cases) {
    writeBytes("hiduke.dat", c.file);
    const StoreResult<SaveReport> stored =
        c.deleting ? store_.deleteNote(date(2002, 3, 15), c.before) : store_.saveNote(date(2002, 3, 15), "new", c.before);
    if (c.refused) {
      ASSERT_FALSE(stored) << c.what;
      EXPECT_EQ(stored.error().kind, StoreErrorKind::kChangedOnDisk) << c.what;
      EXPECT_EQ(readBytes("hiduke.dat"), c.file) << c.what;
    } else {
      EXPECT_TRUE(stored) << c.what;
    }
    EXPECT_EQ(listDir("."), std::vector<std::string>{"hiduke.dat"}) << c.what;
  }
}

// Two copies save the same day while a third holds the lock: the second to
// get the lock finds the first one's note, not the one it started from.
TEST_F(NoteStoreTest, TheNoteIsCheckedUnderTheLockNotBeforeIt) {
  writeBytes("hiduke.dat", "2002,3,15,first\r\n");
  int waiting[2];
  ASSERT_EQ(::pipe(waiting), 0);
  const int thirdCopy = ::open(".", O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(thirdCopy, LOCK_EX), 0);
  const testing::RunningChild secondCopy = testing::startInChild([&] {
    ::close(thirdCopy);  // the lock is the third copy's, not this one's
    NoteStore store = openStore();
    bool told = false;
    store.setBusyHook([&] {
      if (!told) told = ::write(waiting[1], "W", 1) == 1;
    });
    return outcome(store.saveNote(date(2002, 3, 15), "second", ExpectedNote::exactly("first")));
  });
  char ignored;
  ASSERT_EQ(::read(waiting[0], &ignored, 1), 1);  // the second copy waits for the lock
  writeBytes("hiduke.dat", "2002,3,15,of the first copy\r\n");
  ::close(thirdCopy);
  const testing::ChildOutcome second = testing::finish(secondCopy);
  ASSERT_TRUE(second.exitedNormally);
  EXPECT_EQ(second.report, describe(failed(StoreErrorKind::kChangedOnDisk, StoreOperation::kSave)));
  EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,15,of the first copy\r\n");
}

// Another program rewrites the file in place (truncates it, writes half,
// pauses, writes the rest) while the user saves: the save waits for it and
// keeps every line it wrote; so does a reading of every line (an export's).
TEST_F(NoteStoreTest, ASaveOrAReadingWaitsForAProgramWritingTheFileInPlace) {
  std::string backup;
  for (int i = 0; i < 2000; ++i) {
    backup += formatNoteRecord(date(1990 + i / 365, static_cast<unsigned>(i % 12 + 1), static_cast<unsigned>(i % 28 + 1)),
                               "line " + std::to_string(i));
  }
  writeBytes("hiduke.dat", "2002,3,15,old\r\n");
  for (int run = 0; run < 4; ++run) {
    const bool saving = run < 2;
    const size_t half = run % 2 == 0 ? backup.size() / 2 + 7 : backup.find('\n', backup.size() / 2) + 1;
    SCOPED_TRACE(backup[half - 1] == '\n' ? "paused after a whole line" : "paused inside a line");
    int halfWritten[2];
    int goOn[2];
    ASSERT_EQ(::pipe(halfWritten), 0);
    ASSERT_EQ(::pipe(goOn), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      const int fd = ::open("hiduke.dat", O_WRONLY | O_TRUNC);
      char go;
      const bool ok = fd >= 0 && ::write(fd, backup.data(), half) == static_cast<ssize_t>(half) &&
                      ::write(halfWritten[1], "H", 1) == 1 && ::read(goOn[0], &go, 1) == 1 &&
                      ::write(fd, backup.data() + half, backup.size() - half) == static_cast<ssize_t>(backup.size() - half);
      ::_exit(ok && ::close(fd) == 0 ? 0 : 1);
    }
    char ignored;
    ASSERT_EQ(::read(halfWritten[0], &ignored, 1), 1);
    bool released = !saving && ::write(goOn[1], "G", 1) == 1;
    store_.setBusyHook([&] {
      if (!released) released = ::write(goOn[1], "G", 1) == 1;  // the save waits: the writer goes on
    });
    std::string read;
    const bool done = saving ? bool(store_.saveNote(date(2002, 3, 15), "mine")) : bool(store_.readLines(1, [&](const auto& run) {
      read += run.lines;
      return true;
    }));
    int status = 0;
    ::waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(done);
    EXPECT_EQ(saving ? readBytes("hiduke.dat") : read, backup + (saving ? "2002,3,15,mine\r\n" : ""));
    EXPECT_EQ(listDir("."), std::vector<std::string>{"hiduke.dat"});
    for (const int fd : {halfWritten[0], halfWritten[1], goOn[0], goOn[1]}) ::close(fd);
  }
}

// A writer that knocks on the lease while every line is read is not kept waiting.
TEST_F(NoteStoreTest, AReadingOfEveryLineGivesUpForAWriterThatKnocks) {
  writeBytes("hiduke.dat", "2002,3,15,a\r\n");
  const auto knock = [](const auto&) { return ::open("hiduke.dat", O_WRONLY | O_NONBLOCK | O_CLOEXEC) < 0; };
  EXPECT_EQ(outcome(store_.readLines(1, knock)), describe(failed(StoreErrorKind::kBeingWritten, StoreOperation::kRead)));
}

// On NFS a refused lease says nothing of writers (a client without a
// delegation is refused as when a program holds the file open for writing):
// no lease is asked, and a program that only holds the file open does not
// hold a save up.
TEST_F(NoteStoreTest, OnANetworkFileSystemASaveGoesByTheFilesState) {
  writeBytes("hiduke.dat", "2002,3,15,old\r\n");
  const int holder = ::open("hiduke.dat", O_WRONLY);
  onNfs = true;
  EXPECT_EQ(outcome(store_.saveNote(date(2002, 3, 15), "mine")), "done");
  onNfs = false;
  ::close(holder);
}

// A program that keeps the file open for writing and never finishes: the
// save gives up after a while, says why, and leaves the file to it.
TEST_F(NoteStoreTest, ASaveRefusesWhenTheFileIsBeingWrittenForTooLong) {
  writeBytes("hiduke.dat", "2002,3,15,old\r\n");
  const int writer = ::open("hiduke.dat", O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "2002,3,16,half", 14), 14);
  int busyCalls = 0;
  store_.setBusyHook([&] { ++busyCalls; });
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 15), "mine");
  ::close(writer);
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), failed(StoreErrorKind::kBeingWritten, StoreOperation::kSave));
  EXPECT_GT(busyCalls, 0);
  EXPECT_EQ(readBytes("hiduke.dat"), "2002,3,15,old\r\n2002,3,16,half");
  EXPECT_EQ(listDir("."), std::vector<std::string>{"hiduke.dat"});
}

// The store holds its directory: renamed, the notes stay with it; removed,
// the store says so; a new directory under the old name is never used.
TEST_F(NoteStoreTest, TheStoreFollowsItsDirectoryNotItsPath) {
  ASSERT_EQ(::mkdir("notes", 0755), 0);
  writeBytes("notes/hiduke.dat", kExample);
  NoteStore store = openStore("notes/hiduke.dat");
  const std::string startPath = store.path();
  ASSERT_EQ(::rename("notes", "moved"), 0);
  ASSERT_EQ(::mkdir("notes", 0755), 0);
  EXPECT_EQ(daysWithNotes(store, 2002, 3), (std::set<unsigned>{15, 20}));
  ASSERT_TRUE(store.saveNote(date(2002, 3, 16), "x"));
  EXPECT_EQ(readBytes("moved/hiduke.dat"), std::string(kExample) + "2002,3,16,x\r\n");
  EXPECT_EQ(listDir("notes"), std::vector<std::string>{});
  EXPECT_EQ(store.path(), startPath);  // messages name the file as it was at start

  std::filesystem::remove_all("moved");
  const StoreError gone{.kind = StoreErrorKind::kDirectoryGone, .path = startPath};
  StoreError readGone = gone;
  EXPECT_EQ(store.monthNotes(std::chrono::year(2002) / 3).error(), readGone);
  StoreError saveGone = gone;
  saveGone.operation = StoreOperation::kSave;
  EXPECT_EQ(store.saveNote(date(2002, 3, 16), "y").error(), saveGone);
  EXPECT_EQ(listDir("notes"), std::vector<std::string>{});

  ASSERT_EQ(::chdir("notes"), 0);
  ASSERT_EQ(::rmdir("../notes"), 0);
  const StoreResult<NoteStore> startedInAGoneDirectory = NoteStore::open();
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  ASSERT_FALSE(startedInAGoneDirectory);
  EXPECT_EQ(startedInAGoneDirectory.error().kind, StoreErrorKind::kDirectoryGone);
}

// The atomic save replaces the file under one name; its other names keep
// the old notes, which the report says.
TEST_F(NoteStoreTest, ASaveSaysWhenOtherHardLinksKeepTheOldNotes) {
  writeBytes("hiduke.dat", kExample);
  ASSERT_EQ(::link("hiduke.dat", "backup.dat"), 0);
  const StoreResult<SaveReport> saved = store_.saveNote(date(2002, 3, 16), "x");
  ASSERT_TRUE(saved);
  StoreError separated = failed(StoreErrorKind::kHardLinksSeparated, StoreOperation::kSave);
  separated.otherNames = 1;
  EXPECT_EQ(saved->warnings, std::vector<StoreError>{separated});
  EXPECT_EQ(readBytes("backup.dat"), std::string(kExample));
  const StoreResult<SaveReport> again = store_.saveNote(date(2002, 3, 17), "y");
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->warnings.empty());  // the new file has one name
}

// A batch edits the file as the saves and deletes of its dates would, in
// one rewrite of the file it was worked out from.
TEST_F(NoteStoreTest, ABatchRewritesEveryDateInOnePass) {
  struct Case {
    const char* what;
    std::string before;
    NoteBatch batch;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"replaced in place, its own line end kept", "2002,3,1,a\n2002,3,15,old\n2002,3,2,b\n",
       {{{date(2002, 3, 15), "new"}}}, "2002,3,1,a\n2002,3,15,new\n2002,3,2,b\n"},
      {"further records of the date dropped", "2002,3,15,x\r\nk\r\n 2002,03,15,y\r\n", {{{date(2002, 3, 15), "new"}}},
       "2002,3,15,new\r\nk\r\n"},
      {"new dates appended in date order", "2002,3,1,a",
       {{{date(2002, 3, 20), "c"}, {date(2001, 3, 5), "b\nb"}}}, "2002,3,1,a\r\n2001,3,5,b;b\r\n2002,3,20,c\r\n"},
      {"deleted, with a date that had none", "2002,3,1,a\r\n2002,3,15,x\r\n2002,3,15,y\r\n",
       {{{date(2002, 3, 15), std::nullopt}, {date(2002, 3, 9), std::nullopt}}}, "2002,3,1,a\r\n"},
      {"across years at once", "2001,1,1,a\r\n2002,3,15,b\r\n2003,1,1,c\r\n",
       {{{date(2003, 1, 1), "C"}, {date(2001, 1, 1), std::nullopt}, {date(2002, 1, 1), "new"}}},
       "2002,3,15,b\r\n2003,1,1,C\r\n2002,1,1,new\r\n"},
      {"added lines after the new records", "", {{{date(2002, 3, 1), "a"}}, {"memo", ""}},
       "2002,3,1,a\r\nmemo\r\n\r\n"},
  };
  for (const Case& c : cases) {
    writeBytes("hiduke.dat", c.before);
    const StoreResult<AllNotes> read = store_.allNotes();
    ASSERT_TRUE(read) << c.what;
    const StoreResult<BatchReport> saved = store_.saveNotes(c.batch, read->file);
    ASSERT_TRUE(saved) << c.what << ": " << describe(saved.error());
    EXPECT_EQ(readBytes("hiduke.dat"), c.after) << c.what;
    EXPECT_EQ(saved->file, store_.fileIdentity()) << c.what;
  }
}

// Refused whole, the file untouched: for what a save refuses (every
// character that cannot be held named), and for a file that is no longer
// the one the batch was worked out from.
TEST_F(NoteStoreTest, ABatchIsRefusedWholeWithTheFileUntouched) {
  struct Case {
    const char* what;
    NoteBatch batch;
    std::optional<std::string> changedTo;  // the file written after it was read
    StoreError refusal;
  };
  const NoteBatch fine{{{date(2002, 3, 16), "new"}}};
  NoteBatch storedBreak;
  storedBreak.addStored(date(2002, 3, 1), {"ok;a\r\nb"});
  const std::vector<Case> cases = {
      {"unencodable", {{{date(2002, 3, 1), "ok"}, {date(2002, 3, 2), "😀x"}, {date(2002, 3, 3), "🍣😀"}}}, std::nullopt,
       StoreError{.kind = StoreErrorKind::kUnencodable, .characters = {"😀", "🍣"}}},
      {"semicolon", {{{date(2002, 3, 1), "ok"}, {date(2002, 3, 2), "a;b"}}}, std::nullopt,
       StoreError{.kind = StoreErrorKind::kSemicolon}},
      {"date out of range", {{{date(32768, 1, 1), "x"}}}, std::nullopt,
       StoreError{.kind = StoreErrorKind::kDateOutOfRange, .date = date(32768, 1, 1)}},
      {"a line break in a note of the file's bytes", storedBreak, std::nullopt, writeFailed(EINVAL)},
      {"file rewritten since", fine, std::string("2002,3,15,other\r\n"), StoreError{.kind = StoreErrorKind::kChangedOnDisk}},
      {"file removed since", fine, std::string(), StoreError{.kind = StoreErrorKind::kChangedOnDisk}},
  };
  for (const Case& c : cases) {
    writeBytes("hiduke.dat", kExample);
    const StoreResult<AllNotes> read = store_.allNotes();
    ASSERT_TRUE(read) << c.what;
    std::string expected = kExample;
    if (c.changedTo && c.changedTo->empty()) {
      ASSERT_EQ(::unlink("hiduke.dat"), 0);
    } else if (c.changedTo) {
      writeBytes("hiduke.dat", expected = *c.changedTo);
    }
    const StoreResult<BatchReport> saved = store_.saveNotes(c.batch, read->file);
    ASSERT_FALSE(saved) << c.what;
    StoreError refusal = c.refusal;
    refusal.operation = StoreOperation::kSave;
    refusal.path = store_.path();
    EXPECT_EQ(saved.error(), refusal) << c.what;
    EXPECT_EQ(readBytes("hiduke.dat"), c.changedTo && c.changedTo->empty() ? std::nullopt : std::optional(expected))
        << c.what;
    EXPECT_EQ(listDir(".").size(), c.changedTo && c.changedTo->empty() ? 0u : 1u) << c.what;
  }
}

}  // namespace
}  // namespace hiduke

// Failure injection for the tests above: these definitions stand in for the
// C library's in this test program.
extern "C" int fsync(int fd) {
  struct stat st {};
  if (hiduke::failDirectorySync && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int fstat(int fd, struct stat* st) noexcept {
  const int result = static_cast<int>(::syscall(SYS_fstat, fd, st));
  if (result == 0 && hiduke::hideFileSizes && S_ISREG(st->st_mode)) st->st_size = 0;
  return result;
}

extern "C" int fstatfs(int fd, struct statfs* fileSystem) noexcept {
  const int result = static_cast<int>(::syscall(SYS_fstatfs, fd, fileSystem));
  if (result == 0 && hiduke::onNfs) fileSystem->f_type = 0x6969;
  return result;
}
