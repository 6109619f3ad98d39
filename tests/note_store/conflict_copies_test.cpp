#include "note_store/conflict_copies.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace hiduke {
namespace {

using hiduke::testing::ScratchDir;
using hiduke::testing::writeBytes;

// The copies of the note file are told by its own name, and found oldest
// first by the time their names hold.
TEST(ConflictCopiesTest, CopiesAreFoundByTheNoteFilesNameOldestFirst) {
  const ScratchDir scratch;
  const std::vector<std::string> names = {
      "hiduke.sync-conflict-20261208-120000-ABCDEFG.dat",  // Syncthing
      "hiduke (conflicted copy 2026-12-07 101010).dat",    // Nextcloud
      "hiduke (Hanako's conflicted copy 2026-12-08).dat",  // Dropbox
      "hiduke_conflict-20261209-090000.dat",               // ownCloud
      "hiduke.dat",
      ".hiduke.dat.tmp",
      "memo.sync-conflict-20261208-120000-ABCDEFG.dat",
      "hiduke.sync-conflict-20261208-120000-ABCDEFG.txt",
      "hiduke (copy).dat",
  };
  for (const std::string& name : names) writeBytes(name, "2026,12,8,a\r\n");
  const int directory = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  const StoreResult<std::vector<ConflictCopy>> copies = findConflictCopies(directory, "hiduke.dat");
  ::close(directory);
  ASSERT_TRUE(copies);
  std::vector<std::string> found;
  for (const ConflictCopy& copy : *copies) found.push_back(copy.name);
  EXPECT_EQ(found, (std::vector<std::string>{names[1], names[2], names[0], names[3]}));
}

}  // namespace
}  // namespace hiduke
