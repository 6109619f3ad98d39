#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/store_error.h"

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

// The unprivileged user of the tests that need one.
inline constexpr unsigned kNobody = 65534;
// RunInChild, as the user "nobody" when the tests run as root (permission
// bits do not stop root).
ChildOutcome RunAsNobody(const std::function<std::string()>& body);

// A store error as one line of text: how a child process reports it, and
// how a failed check shows it.
std::string Describe(const StoreError& error);

}  // namespace hiduke::testing

namespace hiduke {
inline void PrintTo(const StoreError& error, std::ostream* out) { *out << testing::Describe(error); }
}  // namespace hiduke
