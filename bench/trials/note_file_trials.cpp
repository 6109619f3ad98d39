// Trials of a save while another program writes the note file, by eight
// kinds of writer: not a test of the CTest run (they take minutes and
// depend on the machine's timing), run by bench/trials/run_trials.sh. Each
// kind prints one line: the saves that succeeded and were refused, writer
// lines lost, half lines, and typed notes lost after a success
// (apart from where a writer put a file it had made before in place after
// the save had ended, as any restore of a backup would).
// HIDUKE_TRIAL_NO_LEASES=1 makes the store take the file for one on NFS,
// where it asks no lease; HIDUKE_TRIAL_NO_EXCHANGE=1 refuses to exchange two
// names, as NFS does.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "note_store/note_record.h"
#include "note_store/note_store.h"

extern "C" int fstatfs(int fd, struct statfs* fileSystem) noexcept {
  static const bool noLeases = std::getenv("HIDUKE_TRIAL_NO_LEASES") != nullptr;
  const int result = static_cast<int>(::syscall(SYS_fstatfs, fd, fileSystem));
  if (result == 0 && noLeases) fileSystem->f_type = 0x6969;  // NFS
  return result;
}

// HIDUKE_TRIAL_NO_EXCHANGE=1: names cannot be exchanged, as on NFS.
extern "C" int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to,
                         unsigned int flags) noexcept {
  static const bool noExchange = std::getenv("HIDUKE_TRIAL_NO_EXCHANGE") != nullptr;
  if (noExchange && (flags & RENAME_EXCHANGE) != 0) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_renameat2, fromDirectory, from, toDirectory, to, flags));
}

namespace {

using hiduke::formatNoteRecord;
using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

const std::vector<std::string> kKinds = {"truncate-random-byte", "truncate-line-end", "append", "mmap",
                                         "sed-i", "cp-in-place", "temp-rename", "append-loop"};

std::string lines(int from, int count, const char* what) {
  std::string text;
  for (int i = from; i < from + count; ++i) {
    text += formatNoteRecord(year(1900 + i / 300) / month(static_cast<unsigned>(i / 25 % 12 + 1)) / day(static_cast<unsigned>(i % 25 + 1)),
                             std::string(what) + " " + std::to_string(i));
  }
  return text;
}

void writeFile(const char* path, const std::string& bytes) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::exit(2);
  ::close(fd);
}

off_t sizeOf(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 ? st.st_size : -1;
}

void pauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The writer: tells the parent through `started` when the save may begin.
[[noreturn]] void runWriter(const std::string& kind, const std::string& base, const std::string& added, int started,
                            std::mt19937& random) {
  const std::string whole = base + added;
  const auto signal = [&] { (void)!::write(started, "S", 1); };
  const int pause = std::uniform_int_distribution<int>(0, 300)(random);
  if (kind.starts_with("truncate")) {
    size_t half = std::uniform_int_distribution<size_t>(1, whole.size() - 1)(random);
    if (kind == "truncate-line-end") half = whole.find('\n', half) + 1;
    const int fd = ::open("hiduke.dat", O_WRONLY | O_TRUNC);
    (void)!::write(fd, whole.data(), half);
    signal();
    pauseMs(pause);
    (void)!::write(fd, whole.data() + half, whole.size() - half);
    ::close(fd);
  } else if (kind == "append") {
    const int fd = ::open("hiduke.dat", O_WRONLY | O_APPEND);
    for (size_t at = 0, n = 0; at < added.size(); ++n) {
      const size_t end = added.find('\n', at) + 1;
      (void)!::write(fd, added.data() + at, end - at);
      at = end;
      if (n == 0) signal();
      pauseMs(std::uniform_int_distribution<int>(0, 20)(random));
    }
    ::close(fd);
  } else if (kind == "mmap") {
    const int fd = ::open("hiduke.dat", O_RDWR);
    if (::ftruncate(fd, static_cast<off_t>(whole.size())) != 0) std::exit(2);
    char* map = static_cast<char*>(::mmap(nullptr, whole.size(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    const size_t half = whole.size() / 2;
    std::memcpy(map, whole.data(), half);
    signal();
    pauseMs(pause);
    std::memcpy(map + half, whole.data() + half, whole.size() - half);
    ::msync(map, whole.size(), MS_SYNC);
    ::munmap(map, whole.size());
    ::close(fd);
  } else if (kind == "sed-i") {
    const std::string script = "$a" + added.substr(0, added.find('\n'));  // one line, its CR kept
    signal();
    ::execlp("sed", "sed", "-i", "-e", script.c_str(), "hiduke.dat", nullptr);
  } else if (kind == "cp-in-place") {
    writeFile("side.dat", whole);
    signal();
    ::execlp("cp", "cp", "side.dat", "hiduke.dat", nullptr);
  } else if (kind == "temp-rename") {
    writeFile("side.dat", whole);
    signal();
    pauseMs(pause / 10);
    ::rename("side.dat", "hiduke.dat");
    // When it replaced the file, for the parent to compare with the save's end.
    const auto renamedAt = std::chrono::steady_clock::now().time_since_epoch().count();
    (void)!::write(started, &renamedAt, sizeof renamedAt);
  } else if (kind == "append-loop") {
    for (size_t at = 0, n = 0; at < added.size(); ++n) {
      const size_t end = added.find('\n', at) + 1;
      const int fd = ::open("hiduke.dat", O_WRONLY | O_APPEND);
      (void)!::write(fd, added.data() + at, end - at);
      ::close(fd);
      at = end;
      if (n == 0) signal();
      pauseMs(1);
    }
  }
  ::_exit(0);
}

}  // namespace

// `saves` saves while a program appends a line every millisecond, opening
// the file for each; every line it appended must be in the file at the end.
int steadyAppender(int saves, const std::string& base) {
  writeFile("hiduke.dat", base);
  int stop[2];
  if (::pipe(stop) != 0) return 2;
  const pid_t appender = ::fork();
  if (appender == 0) {
    ::close(stop[1]);
    ::fcntl(stop[0], F_SETFL, O_NONBLOCK);
    int appended = 0;
    for (char ignored; ::read(stop[0], &ignored, 1) != 0; ++appended) {
      const std::string line = "appended " + std::to_string(appended) + "\r\n";
      const int fd = ::open("hiduke.dat", O_WRONLY | O_APPEND);
      (void)!::write(fd, line.data(), line.size());
      ::close(fd);
      pauseMs(1);
    }
    std::printf("steady-appender        the appender wrote %d lines\n", appended);
    std::fflush(stdout);
    ::_exit(0);
  }
  ::close(stop[0]);
  hiduke::NoteStore store = *hiduke::NoteStore::open();
  int saved = 0;
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < saves; ++i) {
    saved += store.saveNote(year(2099) / month(1) / day(static_cast<unsigned>(i % 28 + 1)), "typed " + std::to_string(i))
                 .has_value();
  }
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ::close(stop[1]);
  int status = 0;
  ::waitpid(appender, &status, 0);
  std::string content;
  {
    const int fd = ::open("hiduke.dat", O_RDONLY);
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, static_cast<size_t>(n));
    ::close(fd);
  }
  int present = 0;
  for (size_t at = 0; (at = content.find("appended ", at)) != std::string::npos; ++at) ++present;
  std::printf("steady-appender        saves %d  saved %d  in %.1f s  appended lines in the file %d\n",
              saves, saved, seconds, present);
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s KIND|all|steady-appender TRIALS\n", argv[0]);
    return 2;
  }
  const std::string only = argv[1];
  const int trials = std::atoi(argv[2]);
  std::mt19937 random(2203);
  char dirTemplate[] = "/tmp/hiduke-trials.XXXXXX";
  if (::mkdtemp(dirTemplate) == nullptr || ::chdir(dirTemplate) != 0) return 2;
  const std::string base = lines(0, 2000, "base");
  const std::string added = lines(2000, 200, "writer");
  if (std::string(argv[1]) == "steady-appender") {
    const int result = steadyAppender(std::atoi(argv[2]), base);
    std::filesystem::remove_all(dirTemplate);
    return result;
  }
  for (const std::string& kind : kKinds) {
    if (only != "all" && only != kind) continue;
    int saved = 0, refused = 0, writerLinesLost = 0, halfLines = 0, typedLost = 0, overwrittenLater = 0;
    for (int trial = 0; trial < trials; ++trial) {
      writeFile("hiduke.dat", base);
      hiduke::NoteStore store = *hiduke::NoteStore::open();
      if (!store.monthNotes(year(1990) / 1)) return 2;  // read, as the window does
      int started[2];
      if (::pipe(started) != 0) return 2;
      const unsigned seed = static_cast<unsigned>(random());
      const pid_t writer = ::fork();
      if (writer == 0) {
        std::mt19937 writerRandom(seed);
        runWriter(kind, base, added, started[1], writerRandom);
      }
      char ignored;
      (void)!::read(started[0], &ignored, 1);
      // cp is under way once it has truncated the file: a save before that
      // is one that cp, started later, overwrites as any copy would.
      while (kind == "cp-in-place" && sizeOf("hiduke.dat") == static_cast<off_t>(base.size())) pauseMs(0);
      const auto typedDate = year(2099) / month(1) / day(1);
      const bool ok = store.saveNote(typedDate, "typed").has_value();
      const auto savedAt = std::chrono::steady_clock::now().time_since_epoch().count();
      int status = 0;
      ::waitpid(writer, &status, 0);
      std::remove_const_t<decltype(savedAt)> renamedAt = 0;
      const bool replacedLater = kind == "temp-rename" &&
                                 ::read(started[0], &renamedAt, sizeof renamedAt) == sizeof renamedAt && renamedAt > savedAt;
      ::close(started[0]);
      ::close(started[1]);
      ok ? ++saved : ++refused;
      std::set<std::string> present;
      {
        const int fd = ::open("hiduke.dat", O_RDONLY);
        std::string content;
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, static_cast<size_t>(n));
        ::close(fd);
        std::istringstream stream(content);
        for (std::string line; std::getline(stream, line);) present.insert(line + "\n");
      }
      const std::string wanted = kind == "sed-i" ? added.substr(0, added.find('\n') + 1) : added;
      std::istringstream addedLines(wanted), baseLines(base);
      for (std::string line; std::getline(addedLines, line);) writerLinesLost += present.count(line + "\n") == 0;
      std::set<std::string> known;
      for (std::string line; std::getline(baseLines, line);) known.insert(line + "\n");
      std::istringstream allAdded(added);
      for (std::string line; std::getline(allAdded, line);) known.insert(line + "\n");
      known.insert(formatNoteRecord(typedDate, "typed"));
      for (const std::string& line : present) halfLines += known.count(line) == 0;
      if (ok && present.count(formatNoteRecord(typedDate, "typed")) == 0) ++(replacedLater ? overwrittenLater : typedLost);
      ::unlink("side.dat");
    }
    std::printf(
        "%-22s trials %3d  saved %3d  refused %3d  writer lines lost %4d  half lines %3d  typed lost after success %3d"
        "  (replaced by the writer's file after the save ended %d)\n",
        kind.c_str(), trials, saved, refused, writerLinesLost, halfLines, typedLost, overwrittenLater);
    std::fflush(stdout);
  }
  std::filesystem::remove_all(dirTemplate);
  return 0;
}
