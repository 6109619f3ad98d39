#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/note_store.h"
#include "note_store/store_error.h"

namespace hiduke::testing {

constexpr std::chrono::year_month_day date(int year, unsigned month, unsigned day) {
  return std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day);
}

// "2002-03-15", for messages of failed checks.
std::string dateText(std::chrono::year_month_day date);

// The store of `path`, which must open.
NoteStore openStore(const std::string& path = "hiduke.dat");

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
std::optional<std::string> readBytes(const std::string& path);
void writeBytes(const std::string& path, std::string_view bytes);
// Names in a directory, sorted, without "." and "..".
std::vector<std::string> listDir(const std::string& dir);

struct ChildOutcome {
  bool exitedNormally = false;
  int exitCode = -1;
  std::string report;  // what the child's body returned
};
// A child process started by startInChild.
struct RunningChild {
  int pid;
  int reportFd;  // the read end of the pipe the report comes through
};
// Runs `body` in a forked child process, which reports what `body` returns.
RunningChild startInChild(const std::function<std::string()>& body);
// Waits for the child and reads its report.
ChildOutcome finish(RunningChild child);
// Runs `body` in a forked child process and waits for it.
ChildOutcome runInChild(const std::function<std::string()>& body);

// The unprivileged user of the tests that need one.
inline constexpr unsigned kNobody = 65534;
// runInChild, as the user "nobody" when the tests run as root (permission
// bits do not stop root).
ChildOutcome runAsNobody(const std::function<std::string()>& body);

// A store error as one line of text: how a child process reports it, and
// how a failed check shows it.
std::string describe(const StoreError& error);

}  // namespace hiduke::testing

namespace hiduke {
inline void PrintTo(const StoreError& error, std::ostream* out) { *out << testing::describe(error); }
}  // namespace hiduke
