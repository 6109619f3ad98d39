#include "test_support.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace hiduke::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/hiduke-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = pattern;
  previous_ = fs::current_path();
  fs::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  fs::remove_all(path_, ignored);
}

std::optional<std::string> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> listDir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

RunningChild startInChild(const std::function<std::string()>& body) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) {
    ::close(pipeFds[0]);
    const std::string report = body();
    std::string_view rest = report;
    while (!rest.empty()) {
      const ssize_t n = ::write(pipeFds[1], rest.data(), rest.size());
      if (n <= 0) break;
      rest.remove_prefix(static_cast<size_t>(n));
    }
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  return RunningChild{pid, pipeFds[0]};
}

ChildOutcome finish(RunningChild child) {
  ChildOutcome outcome;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(child.reportFd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) outcome.report.append(buffer, static_cast<size_t>(n));
  }
  ::close(child.reportFd);
  int status = 0;
  while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.exitedNormally = WIFEXITED(status);
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

ChildOutcome runInChild(const std::function<std::string()>& body) { return finish(startInChild(body)); }

ChildOutcome runAsNobody(const std::function<std::string()>& body) {
  return runInChild([&body] {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      return std::string("setuid failed");
    }
    return body();
  });
}

std::string dateText(std::chrono::year_month_day date) {
  char text[32];
  std::snprintf(text, sizeof text, "%d-%02u-%02u", static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()));
  return text;
}

NoteStore openStore(const std::string& path) {
  StoreResult<NoteStore> store = NoteStore::open(path);
  if (!store) throw std::runtime_error("cannot open the store of " + path + ": " + describe(store.error()));
  return std::move(*store);
}

std::string describe(const StoreError& error) {
  std::string text = "kind " + std::to_string(static_cast<int>(error.kind)) + ", operation " +
                     std::to_string(static_cast<int>(error.operation)) + ", errno " +
                     std::to_string(error.errorNumber) + ", path " + error.path;
  if (error.otherNames != 0) text += ", other names " + std::to_string(error.otherNames);
  for (const std::string& character : error.characters) text += ", " + character;
  return text;
}

}  // namespace hiduke::testing
