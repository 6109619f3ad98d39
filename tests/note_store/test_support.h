#ifndef HIDUKE_TESTS_NOTE_STORE_TEST_SUPPORT_H
#define HIDUKE_TESTS_NOTE_STORE_TEST_SUPPORT_H

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hiduke::testing {

// A fresh directory under $TMPDIR (or /tmp) that becomes the current
// directory for the lifetime of the object; removed with all it holds.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// The bytes of a file; nullopt when it cannot be read.
std::optional<std::string> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
// Names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& dir);

struct ChildOutcome {
  bool exited_normally = false;
  int exit_code = -1;
  std::string report;  // what the child's body returned
};
// Runs `body` in a forked child process and waits for it.
ChildOutcome RunInChild(const std::function<std::string()>& body);

}  // namespace hiduke::testing

#endif  // HIDUKE_TESTS_NOTE_STORE_TEST_SUPPORT_H
