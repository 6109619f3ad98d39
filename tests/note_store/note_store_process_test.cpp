// Saves seen from several processes: a save killed at any moment, and two
// copies of the program saving at the same time.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <string>
#include <vector>

#include "note_store/note_record.h"
#include "note_store/note_store.h"
#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::ListDir;
using hiduke::testing::ReadBytes;
using hiduke::testing::ScratchDir;
using hiduke::testing::WriteBytes;

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

TEST(NoteStoreProcessTest, SaveKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
  ScratchDir dir;
  std::string others;
  for (int i = 0; i < 400; ++i) {
    others += FormatNoteRecord({1990 + i / 12, i % 12 + 1, 1}, "note number " + std::to_string(i));
  }
  const NoteDate date{2002, 3, 15};
  const std::string padding(3000, 'p');
  auto version_text = [&](long version) {
    std::string text = "v";
    text.append(std::to_string(version)).append(" ").append(padding);
    return text;
  };
  auto version_line = [&](long version) { return FormatNoteRecord(date, version_text(version)); };
  WriteBytes("hiduke.dat", others + version_line(0));

  std::mt19937 random(1503);
  std::uniform_int_distribution<int> delay_us(0, 4000);
  long last_version = 0;
  int rounds_leaving_a_temporary = 0;
  for (int round = 0; round < 200; ++round) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      NoteStore store;
      for (long version = last_version + 1;; ++version) {
        if (!store.SaveNote(date, version_text(version))) ::_exit(1);
      }
    }
    ::usleep(static_cast<useconds_t>(delay_us(random)));
    ::kill(pid, SIGKILL);
    int status = WaitFor(pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the saving child failed";

    std::optional<std::string> bytes = ReadBytes("hiduke.dat");
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->substr(0, others.size()), others) << "round " << round;
    const std::string last_line = bytes->substr(others.size());
    long version = std::stol(last_line.substr(last_line.find('v') + 1));
    ASSERT_EQ(last_line, version_line(version)) << "round " << round;
    ASSERT_GE(version, last_version);
    last_version = version;
    rounds_leaving_a_temporary += ListDir(".").size() > 1;
  }
  EXPECT_GT(last_version, 0);
  RecordProperty("saves_completed", std::to_string(last_version));
  RecordProperty("rounds_leaving_a_temporary", std::to_string(rounds_leaving_a_temporary));

  ASSERT_TRUE(NoteStore().SaveNote(date, "done"));
  EXPECT_EQ(ReadBytes("hiduke.dat"), others + "2002,3,15,done\r\n");
  EXPECT_EQ(ListDir("."), std::vector<std::string>{"hiduke.dat"});
}

TEST(NoteStoreProcessTest, TwoProcessesSavingAtOnceKeepEachOthersNotes) {
  ScratchDir dir;
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  constexpr int kDays = 28;
  std::vector<pid_t> children;
  for (int month = 1; month <= 2; ++month) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(start[1]);
      char ignored;
      while (::read(start[0], &ignored, 1) < 0 && errno == EINTR) {
      }
      NoteStore store;
      for (int day = 1; day <= kDays; ++day) {
        if (!store.SaveNote({2002, month, day}, "month " + std::to_string(month) + " day " + std::to_string(day))) {
          ::_exit(1);
        }
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  ::close(start[0]);
  ::close(start[1]);  // both children start now
  for (pid_t pid : children) {
    int status = WaitFor(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  NoteStore store;
  std::optional<std::string> bytes = ReadBytes("hiduke.dat");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::count(bytes->begin(), bytes->end(), '\n'), 2 * kDays);
  for (int month = 1; month <= 2; ++month) {
    EXPECT_EQ(store.MarkedDays(2002, month)->count(), static_cast<size_t>(kDays));
    for (int day = 1; day <= kDays; ++day) {
      EXPECT_EQ(*store.ReadNote({2002, month, day}),
                "month " + std::to_string(month) + " day " + std::to_string(day));
    }
  }
  EXPECT_EQ(ListDir("."), std::vector<std::string>{"hiduke.dat"});
}

}  // namespace
}  // namespace hiduke
