// Saves seen from several processes: a save killed at any moment, and two
// copies of the program saving at the same time.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "note_store/note_record.h"
#include "note_store/note_store.h"
#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::date;
using hiduke::testing::listDir;
using hiduke::testing::openStore;
using hiduke::testing::readBytes;
using hiduke::testing::ScratchDir;
using hiduke::testing::writeBytes;

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// The child saves one version after another and reports each one done; the
// time between two reports is how long a save takes on this machine just
// now, and the kill comes at a random fraction of it after the second, so
// that it falls anywhere inside a save however fast or slow the machine is.
TEST(NoteStoreProcessTest, SaveKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
  ScratchDir dir;
  std::string others;
  for (int i = 0; i < 400; ++i) {
    others += formatNoteRecord(date(1990 + i / 12, static_cast<unsigned>(i % 12 + 1), 1), "note number " + std::to_string(i));
  }
  const auto day = date(2002, 3, 15);
  const std::string padding(3000, 'p');
  auto versionText = [&](long version) { return std::string("v").append(std::to_string(version)).append(" ").append(padding); };
  auto versionLine = [&](long version) { return formatNoteRecord(day, versionText(version)); };
  writeBytes("hiduke.dat", others + versionLine(0));

  std::mt19937 random(1503);
  std::uniform_real_distribution<double> fractionOfASave(0.0, 1.0);
  long lastVersion = 0;
  int roundsLeavingATemporary = 0;
  for (int round = 0; round < 200; ++round) {
    int done[2];
    ASSERT_EQ(::pipe(done), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(done[0]);
      NoteStore store = openStore();
      for (long version = lastVersion + 1;; ++version) {
        if (!store.saveNote(day, versionText(version)) || ::write(done[1], "S", 1) != 1) ::_exit(1);
      }
    }
    ::close(done[1]);
    char report;
    ASSERT_EQ(::read(done[0], &report, 1), 1);
    const auto first = std::chrono::steady_clock::now();
    ASSERT_EQ(::read(done[0], &report, 1), 1);
    const auto oneSave = std::chrono::steady_clock::now() - first;
    std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::nanoseconds>(oneSave * fractionOfASave(random)));
    ::kill(pid, SIGKILL);
    const int status = waitFor(pid);
    ::close(done[0]);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the saving child failed";

    const std::optional<std::string> bytes = readBytes("hiduke.dat");
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->substr(0, others.size()), others) << "round " << round;
    const std::string lastLine = bytes->substr(others.size());
    const long version = std::stol(lastLine.substr(lastLine.find('v') + 1));
    ASSERT_EQ(lastLine, versionLine(version)) << "round " << round;
    ASSERT_GT(version, lastVersion);
    lastVersion = version;
    roundsLeavingATemporary += listDir(".").size() > 1;
  }
  RecordProperty("saves_completed", std::to_string(lastVersion));
  RecordProperty("rounds_leaving_a_temporary", std::to_string(roundsLeavingATemporary));

  ASSERT_TRUE(openStore().saveNote(day, "done"));
  EXPECT_EQ(readBytes("hiduke.dat"), others + "2002,3,15,done\r\n");
  EXPECT_EQ(listDir("."), std::vector<std::string>{"hiduke.dat"});
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
      NoteStore store = openStore();
      for (unsigned day = 1; day <= kDays; ++day) {
        if (!store.saveNote(date(2002, static_cast<unsigned>(month), day),
                            "month " + std::to_string(month) + " day " + std::to_string(day))) {
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
    const int status = waitFor(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const NoteStore store = openStore();
  const std::optional<std::string> bytes = readBytes("hiduke.dat");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::count(bytes->begin(), bytes->end(), '\n'), 2 * kDays);
  for (unsigned month = 1; month <= 2; ++month) {
    for (unsigned day = 1; day <= kDays; ++day) {
      EXPECT_EQ(*store.note(date(2002, month, day)), "month " + std::to_string(month) + " day " + std::to_string(day));
    }
  }
  EXPECT_EQ(listDir("."), std::vector<std::string>{"hiduke.dat"});
}

}  // namespace
}  // namespace hiduke
