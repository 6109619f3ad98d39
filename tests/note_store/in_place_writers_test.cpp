#include "note_store/in_place_writers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::ScratchDir;
using hiduke::testing::writeBytes;
using Leases = InPlaceWriterWatch::Leases;

int openForReading() { return ::open("hiduke.dat", O_RDONLY | O_CLOEXEC); }

// With a lease: a program that holds the file open for writing is waited
// for, and one that opens it for writing afterwards breaks the watch.
TEST(InPlaceWriterWatchTest, ALeaseWaitsForWritersAndTellsOfNewOnes) {
  ScratchDir dir;
  writeBytes("hiduke.dat", "2002,3,15,a\r\n");
  int writer = ::open("hiduke.dat", O_WRONLY | O_APPEND);
  const int fd = openForReading();
  int busyCalls = 0;
  const std::function<void()> busy = [&] { writer = ++busyCalls == 2 ? (::close(writer), -1) : writer; };
  BusyWait wait(busy);
  const StoreResult<InPlaceWriterWatch> watch = InPlaceWriterWatch::waitForWriters(fd, wait);
  ASSERT_TRUE(watch);
  EXPECT_TRUE(watch->hasLease());
  EXPECT_EQ(busyCalls, 2);
  EXPECT_FALSE(watch->disturbed());
  // Without waiting for the lease to go, the opening fails, but the lease
  // is broken all the same.
  EXPECT_LT(::open("hiduke.dat", O_WRONLY | O_NONBLOCK), 0);
  EXPECT_TRUE(watch->disturbed());
  ::close(fd);
}

// Without a lease the file's state must tell: a file changed a moment ago
// whose last line has no line end is being written.
TEST(InPlaceWriterWatchTest, WithoutALeaseAHalfWrittenLastLineIsWaitedFor) {
  ScratchDir dir;
  struct Case {
    const char* what;
    const char* content;
    bool recent;
    bool waited;
  };
  const Case cases[] = {
      {"half a line, just written", "2002,3,15,a\r\n2002,3,", true, true},
      {"whole lines, just written", "2002,3,15,a\r\n", true, false},
      {"an empty file", "", true, false},
      {"a file of long ago without a last line end", "2002,3,15,a", false, false},
  };
  for (const Case& c : cases) {
    writeBytes("hiduke.dat", c.content);
    if (!c.recent) {
      const timespec longAgo[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, "hiduke.dat", longAgo, 0), 0);
    }
    const int fd = openForReading();
    // Only the writer of a half line finishes it; any other wait would last.
    const std::string finished = std::string(c.content) + "rest\r\n";
    bool written = false;
    const std::function<void()> busy = [&] { written = written || !c.waited || (writeBytes("hiduke.dat", finished), true); };
    BusyWait wait(busy);
    const StoreResult<InPlaceWriterWatch> watch = InPlaceWriterWatch::waitForWriters(fd, wait, Leases::kNever);
    ASSERT_TRUE(watch) << c.what;
    EXPECT_FALSE(watch->hasLease());
    EXPECT_EQ(watch->state().size, static_cast<std::int64_t>((c.waited ? finished : std::string(c.content)).size())) << c.what;
    EXPECT_FALSE(watch->disturbed()) << c.what;
    writeBytes("hiduke.dat", "changed\r\n");
    EXPECT_TRUE(watch->disturbed()) << c.what;
    ::close(fd);
  }
}

}  // namespace
}  // namespace hiduke
