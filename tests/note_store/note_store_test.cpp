#include "note_store/note_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "note_store/note_content.h"
#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::Describe;
using hiduke::testing::kNobody;
using hiduke::testing::ListDir;
using hiduke::testing::ReadBytes;
using hiduke::testing::RunAsNobody;
using hiduke::testing::RunInChild;
using hiduke::testing::ScratchDir;
using hiduke::testing::WriteBytes;

// When set, fsync of a directory fails with EIO (see fsync at the end).
std::atomic<bool> fail_directory_sync = false;

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

// "done", or the error, as one line.
template <typename T>
std::string Outcome(const StoreResult<T>& result) {
  return result ? "done" : Describe(result.error());
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
      std::string("\0\x01\x80\xff\r\n", 6),
      "2002,3,15 no terminator at the end of the file",
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

// Files written before texts were quoted hold notes that begin with a quote
// as typed: they are notes like any other.
TEST_F(NoteStoreTest, UnquotedTextWithQuotesIsTheNoteAsWrittenAndIsReplacedInPlace) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\"\x88\xf8\x97\x70\"\x82\xc5\x82\xb7", "\"引用\"です"},
      {"\"abc", "\"abc"},
      {"  \"a\"\"b\" c, d", "\"a\"\"b\" c, d"},
  };
  for (const auto& [text_field, note] : cases) {
    WriteBytes("hiduke.dat", "2002,3,1,a\r\n2002,3,2," + text_field + "\r\n2002,3,3,c\r\n");
    EXPECT_EQ(*store_.MarkedDays(2002, 3), Days({1, 2, 3})) << note;
    EXPECT_EQ(*store_.ReadNote({2002, 3, 2}), note);
    ASSERT_TRUE(store_.SaveNote({2002, 3, 2}, note));
    EXPECT_EQ(*store_.ReadNote({2002, 3, 2}), note);
    ASSERT_TRUE(store_.SaveNote({2002, 3, 2}, "new"));
    EXPECT_EQ(ReadBytes("hiduke.dat"), "2002,3,1,a\r\n2002,3,2,new\r\n2002,3,3,c\r\n") << note;
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
  // The temporary file's name, left by a killed save as a link: removed, not followed.
  WriteBytes("other.dat", "not a note file");
  std::filesystem::create_symlink("other.dat", ".hiduke.dat.tmp");
  WriteBytes(".hiduke.dat.tmp-keep", "not ours");
  const ino_t inode = InodeOf("hiduke.dat");
  const std::vector<std::string> files = {".hiduke.dat.tmp-keep", "hiduke.dat", "other.dat"};

  ASSERT_TRUE(store_.SaveNote({2002, 3, 16}, "x"));
  EXPECT_NE(InodeOf("hiduke.dat"), inode);  // replaced, not written in place
  struct stat st {};
  ASSERT_EQ(::stat("hiduke.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(ListDir("."), files);
  EXPECT_EQ(ReadBytes("other.dat"), "not a note file");

  ASSERT_TRUE(store_.DeleteNote({2002, 3, 17}));  // no record: rewritten all the same
  EXPECT_EQ(ReadBytes("hiduke.dat"), std::string(kExample) + "2002,3,16,x\r\n");
  EXPECT_EQ(ListDir("."), files);
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
  // with EFBIG half-way. SIGXFSZ, which ends a program by default, does not.
  testing::ChildOutcome child = RunInChild([&]() -> std::string {
    std::signal(SIGXFSZ, SIG_DFL);
    rlimit limit{before.size() + 100, before.size() + 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
    StoreResult<SaveReport> saved = NoteStore().SaveNote({2002, 3, 1}, std::string(500, 'x'));
    sigset_t mask;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return Outcome(saved) + (::sigismember(&mask, SIGXFSZ) == 1 ? ", SIGXFSZ left blocked" : "");
  });
  ASSERT_TRUE(child.exited_normally);
  EXPECT_EQ(child.report, Describe(Failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, EFBIG)));
  EXPECT_EQ(ReadBytes("hiduke.dat"), before);
  EXPECT_EQ(InodeOf("hiduke.dat"), inode);
  EXPECT_EQ(ListDir("."), std::vector<std::string>{"hiduke.dat"});
}

TEST_F(NoteStoreTest, PermissionsRefuseReadingAndWriting) {
  WriteBytes("hiduke.dat", kExample);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
    ASSERT_EQ(::chown("hiduke.dat", kNobody, kNobody), 0);
  }
  const hiduke::testing::ChildOutcome child = RunAsNobody([] {
    NoteStore store;
    std::string report;
    ::chmod("hiduke.dat", 0444);  // write-protected note file
    StoreResult<SaveReport> saved = store.SaveNote({2002, 3, 16}, "x");
    report += Outcome(saved) + "\n";
    ::chmod("hiduke.dat", 0644);
    ::chmod(".", 0555);  // read-only directory
    saved = store.SaveNote({2002, 3, 16}, "x");
    report += Outcome(saved) + "\n";
    ::chmod(".", 0755);
    ::chmod("hiduke.dat", 0);  // unreadable
    report += Outcome(store.MarkedDays(2002, 3));
    ::chmod("hiduke.dat", 0644);
    return report;
  });
  ASSERT_TRUE(child.exited_normally);
  EXPECT_EQ(child.report, Describe(Failed(StoreErrorKind::kWriteFailed, StoreOperation::kSave, EACCES)) + "\n" +
                              Describe(Failed(StoreErrorKind::kDirectoryNotWritable, StoreOperation::kSave, EACCES)) +
                              "\n" + Describe(Failed(StoreErrorKind::kReadFailed, StoreOperation::kRead, EACCES)));
  EXPECT_EQ(ReadBytes("hiduke.dat"), std::string(kExample));
  EXPECT_EQ(ListDir("."), std::vector<std::string>{"hiduke.dat"});
}

// Owner, group, permission bits and every extended attribute (ACLs among
// them) of a file.
std::tuple<uid_t, gid_t, mode_t, std::map<std::string, std::string>> AttributesOf(const std::string& path) {
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
    WriteBytes(dir + "/hiduke.dat", kExample);
    ASSERT_EQ(std::system(("cd " + dir + " && " + cases[i].second).c_str()), 0) << cases[i].first;
    const auto before = AttributesOf(dir + "/hiduke.dat");
    ASSERT_TRUE(NoteStore(dir + "/hiduke.dat").SaveNote({2002, 3, 16}, "x"));
    EXPECT_EQ(AttributesOf(dir + "/hiduke.dat"), before) << cases[i].first;
  }

  // What the user cannot give the new file: a security attribute, another
  // user as owner. The save is refused and the file left as it is.
  if (::geteuid() != 0) GTEST_SKIP() << "the refusals need root to set up another user's file";
  ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
  WriteBytes("labelled.dat", kExample);
  ASSERT_EQ(::chown("labelled.dat", kNobody, kNobody), 0);
  ASSERT_EQ(::setxattr("labelled.dat", "security.hiduke-test", "x", 1, 0), 0);
  WriteBytes("root.dat", kExample);
  ASSERT_EQ(::chmod("root.dat", 0666), 0);
  const hiduke::testing::ChildOutcome child = RunAsNobody([] {
    return Outcome(NoteStore("labelled.dat").SaveNote({2002, 3, 16}, "x")) + "\n" +
           Outcome(NoteStore("root.dat").DeleteNote({2002, 3, 15}));
  });
  ASSERT_TRUE(child.exited_normally);
  StoreError not_copied = Failed(StoreErrorKind::kAttributesNotCopied, StoreOperation::kSave, EPERM, "labelled.dat");
  StoreError not_kept = Failed(StoreErrorKind::kOwnerNotKept, StoreOperation::kDelete, EPERM, "root.dat");
  EXPECT_EQ(child.report, Describe(not_copied) + "\n" + Describe(not_kept));
  EXPECT_EQ(ReadBytes("labelled.dat"), std::string(kExample));
  EXPECT_EQ(ReadBytes("root.dat"), std::string(kExample));
  EXPECT_EQ(ListDir("."), (std::vector<std::string>{"case0", "case1", "case2", "labelled.dat", "root.dat"}));
}

// A link in a sticky directory that everyone may write is followed only
// when the kernel would follow it there: when it is the user's own or the
// directory owner's. A link another user planted is refused.
TEST_F(NoteStoreTest, LinksInSharedDirectoriesAreFollowedOnlyWhereTheKernelWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's link";
  constexpr uid_t kOtherUser = 4242;
  struct LinkCase {
    const char* what;
    mode_t dir_mode;
    uid_t link_owner;
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
  const std::string link = "shared/hiduke.dat";
  const std::string refused = Describe(Failed(StoreErrorKind::kUnsafeLink, StoreOperation::kRead, 0, link)) + "\n" +
                              Describe(Failed(StoreErrorKind::kUnsafeLink, StoreOperation::kSave, 0, link));
  for (const LinkCase& c : cases) {
    WriteBytes("victim.dat", kExample);
    ASSERT_EQ(::chown("victim.dat", kNobody, kNobody), 0);
    ASSERT_EQ(::chmod("shared", c.dir_mode), 0);
    ASSERT_EQ(::lchown("shared/hiduke.dat", c.link_owner, c.link_owner), 0);
    const hiduke::testing::ChildOutcome child = RunAsNobody([] {
      NoteStore store("shared/hiduke.dat");
      return Outcome(store.ReadNote({2002, 3, 15})) + "\n" + Outcome(store.SaveNote({2002, 3, 16}, "x"));
    });
    ASSERT_TRUE(child.exited_normally);
    EXPECT_EQ(child.report, c.followed ? "done\ndone" : refused) << c.what;
    EXPECT_EQ(ReadBytes("victim.dat"), std::string(kExample) + (c.followed ? "2002,3,16,x\r\n" : "")) << c.what;
    EXPECT_EQ(ListDir("shared"), std::vector<std::string>{"hiduke.dat"}) << c.what;
  }
}

// Another user's file of the temporary's name in a shared sticky directory
// cannot be removed; it must not block every save there.
TEST_F(NoteStoreTest, PlantedTemporaryInASharedDirectoryDoesNotBlockSaving) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's file";
  ASSERT_EQ(::chmod(".", 01777), 0);
  WriteBytes(".hiduke.dat.tmp", "planted");
  const hiduke::testing::ChildOutcome child = RunAsNobody([] {
    NoteStore store;
    const std::string first = Outcome(store.SaveNote({2002, 3, 16}, "x"));  // a new file
    return first + "\n" + Outcome(store.SaveNote({2002, 3, 17}, "y"));     // and its own
  });
  ASSERT_TRUE(child.exited_normally);
  EXPECT_EQ(child.report, "done\ndone");
  EXPECT_EQ(ReadBytes("hiduke.dat"), "2002,3,16,x\r\n2002,3,17,y\r\n");
  EXPECT_EQ(ReadBytes(".hiduke.dat.tmp"), "planted");
  EXPECT_EQ(ListDir("."), (std::vector<std::string>{".hiduke.dat.tmp", "hiduke.dat"}));
}

TEST_F(NoteStoreTest, SaveWaitsForAnotherCopysLockAndCallsTheHookMeanwhile) {
  WriteBytes("hiduke.dat", kExample);
  int locked[2];
  ASSERT_EQ(::pipe(locked), 0);
  const pid_t other_copy = ::fork();
  ASSERT_GE(other_copy, 0);
  if (other_copy == 0) {  // holds the directory's lock for 200 ms
    int dir_fd = ::open(".", O_RDONLY | O_DIRECTORY);
    if (dir_fd < 0 || ::flock(dir_fd, LOCK_EX) != 0 || ::write(locked[1], "L", 1) != 1) ::_exit(1);
    ::usleep(200'000);
    ::_exit(0);
  }
  char ignored;
  ASSERT_EQ(::read(locked[0], &ignored, 1), 1);
  int hook_calls = 0;
  store_.set_lock_wait_hook([&hook_calls] { ++hook_calls; });
  const StoreResult<SaveReport> saved = store_.SaveNote({2002, 3, 16}, "x");
  int status = 0;
  ::waitpid(other_copy, &status, 0);
  ASSERT_TRUE(saved) << Describe(saved.error());
  EXPECT_GE(hook_calls, 3);
  EXPECT_EQ(*store_.ReadNote({2002, 3, 16}), "x");

  const int calls_while_waiting = hook_calls;
  ASSERT_TRUE(store_.SaveNote({2002, 3, 17}, "y"));  // nothing to wait for
  EXPECT_EQ(hook_calls, calls_while_waiting);
}

TEST_F(NoteStoreTest, FailedDirectorySyncIsASaveWithAWarning) {
  WriteBytes("hiduke.dat", kExample);
  fail_directory_sync = true;
  const StoreResult<SaveReport> saved = store_.SaveNote({2002, 3, 16}, "x");
  fail_directory_sync = false;
  ASSERT_TRUE(saved) << Describe(saved.error());
  ASSERT_TRUE(saved->warning);
  EXPECT_EQ(*saved->warning, Failed(StoreErrorKind::kNotDurable, StoreOperation::kSave, EIO));
  EXPECT_EQ(ReadBytes("hiduke.dat"), std::string(kExample) + "2002,3,16,x\r\n");
}

}  // namespace
}  // namespace hiduke

// Failure injection for the test above: this definition stands in for the C
// library's fsync in this test program, and fails for directories while
// fail_directory_sync is set.
extern "C" int fsync(int fd) {
  struct stat st {};
  if (hiduke::fail_directory_sync && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}
