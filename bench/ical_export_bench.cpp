// The iCalendar export beside its floor, in one run: for stores of 100,000
// and 1,000,000 notes (bench_stores.h), the export to a new file against
// the least an export can do (read the note file, write as many bytes to a
// new file, fsync, rename onto no file) and against the same with as many
// bytes written as the calendar holds, medians of 5 runs taken in turn;
// the export again over the calendar it wrote, as a second export
// replaces the first; and the peak memory of `hiduke --export-ical` over
// that of the same export of an empty note file. `--gigabyte` does the same once for a note file of 1 GB
// (1,000,000 dates, notes of about 1 KB).
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench_stores.h"
#include "ical/ical_export.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Read the note file, write `bytes` bytes of it (read over again where
// there are more than it holds) to a new file, fsync, rename onto no file:
// the file system frees a replaced file's blocks in the rename, in a time
// that grows with the file.
double floorSeconds(const std::string& notes, const std::string& target, long bytes) {
  std::filesystem::remove(target);
  const Clock::time_point start = Clock::now();
  std::vector<char> buffer(bench::kChunk * 16);
  const int in = ::open(notes.c_str(), O_RDONLY | O_CLOEXEC);
  const std::string temporary = target + ".tmp";
  const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  for (long written = 0; written < bytes;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0 && ::lseek(in, 0, SEEK_SET) == 0) continue;
    n = std::min<ssize_t>(n, bytes - written);
    if (n <= 0 || ::write(out, buffer.data(), static_cast<size_t>(n)) != n) throw std::runtime_error("floor: failed");
    written += n;
  }
  if (::fsync(out) != 0 || ::close(out) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
    throw std::runtime_error("floor: fsync, close or rename failed");
  }
  ::close(in);
  return secondsSince(start);
}

double exportSeconds(const hiduke::NoteStore& store, const std::string& target) {
  const Clock::time_point start = Clock::now();
  const hiduke::StoreResult<hiduke::ExportReport> report = hiduke::exportICalendar(store, target);
  if (!report) throw std::runtime_error("export failed: " + bench::reason(report.error()));
  return secondsSince(start);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct ProgramRun {
  double seconds;
  long peakKilobytes;  // VmHWM, as wait4 reports it
};

// `hiduke --export-ical notes.ics` in `directory`, started by a fork of a
// process that is small itself: a child's peak counts the peak of the
// process it was forked from up to its exec, and this one's is large.
ProgramRun runExportFromSmallProcess(const std::string& directory) {
  const std::string target = directory + "/notes.ics";
  const std::string program = HIDUKE_PROGRAM;
  const Clock::time_point start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (::chdir(directory.c_str()) != 0 || ::dup2(quiet, STDERR_FILENO) < 0) ::_exit(127);
    ::execl(program.c_str(), program.c_str(), "--export-ical", target.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(child, &status, 0, &usage);
  if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("hiduke --export-ical failed");
  return {secondsSince(start), usage.ru_maxrss};
}

// The same, through a new copy of this benchmark (`--run-export`).
ProgramRun runExport(const std::string& directory) {
  const std::string command = "/proc/" + std::to_string(::getpid()) + "/exe --run-export '" + directory + "'";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  ProgramRun run{};
  if (pipe == nullptr || std::fscanf(pipe, "%lf %ld", &run.seconds, &run.peakKilobytes) != 2 || ::pclose(pipe) != 0) {
    throw std::runtime_error("the export's run failed");
  }
  return run;
}

std::string directoryWith(const std::string& name, const std::string& notes) {
  const std::string directory = std::filesystem::absolute(bench::dir().path() + "/" + name);
  std::filesystem::create_directory(directory);
  if (!notes.empty()) std::filesystem::copy_file(notes, directory + "/hiduke.dat");
  return directory;
}

void measure(const std::string& label, const std::string& directory, long idleKilobytes, int runs) {
  const std::string notes = directory + "/hiduke.dat";
  const std::string calendar = directory + "/notes.ics";
  const hiduke::NoteStore store = bench::openStore(notes);
  exportSeconds(store, calendar);  // for the calendar's size
  const long noteBytes = bench::fileSize(notes);
  const long calendarBytes = bench::fileSize(calendar);
  std::vector<double> floors, calendarFloors, exports, replacing;
  for (int run = 0; run < runs; ++run) {
    floors.push_back(floorSeconds(notes, directory + "/floor.out", noteBytes));
    calendarFloors.push_back(floorSeconds(notes, directory + "/floor.out", calendarBytes));
    std::filesystem::remove(calendar);
    exports.push_back(exportSeconds(store, calendar));
    replacing.push_back(exportSeconds(store, calendar));
  }
  const double floor = median(floors);
  const double calendarFloor = median(calendarFloors);
  const double exported = median(exports);
  std::filesystem::remove(calendar);
  const ProgramRun program = runExport(directory);
  std::printf("| %s | %.1f MB | %.1f MB | %.3f | %.3f | %.3f | %.1fx | %.1fx | %.3f | %.3f | %.1f MB |\n", label.c_str(),
              static_cast<double>(noteBytes) / 1e6, static_cast<double>(calendarBytes) / 1e6, floor, calendarFloor,
              exported, exported / floor, exported / calendarFloor, median(replacing), program.seconds,
              static_cast<double>(program.peakKilobytes - idleKilobytes) / 1024);
  std::fflush(stdout);
}

// A note file of about 1 GB: 1,000,000 dates, notes of ten lines of about
// a hundred bytes each.
std::string gigabyteNotes() {
  const std::string path = bench::dir().path() + "/gigabyte.dat";
  std::ofstream out(path, std::ios::binary);
  std::string line;
  while (line.size() < 100) line += "\x89\xef\x8b\x63\x82\xcc\x8e\x91\x97\xbf";  // 会議の資料
  std::string text = line;
  for (int i = 1; i < 10; ++i) text += ";" + line;
  const std::chrono::sys_days last{bench::kShown / std::chrono::last};
  for (long i = 0; i < 1'000'000; ++i) {
    const std::string record = hiduke::formatNoteRecord(std::chrono::year_month_day{last - std::chrono::days(i)}, text);
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
  }
  return path;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::string(argv[1]) == "--run-export") {
    const ProgramRun run = runExportFromSmallProcess(argv[2]);
    std::printf("%f %ld\n", run.seconds, run.peakKilobytes);
    return 0;
  }
  const bool gigabyte = argc > 1 && std::string(argv[1]) == "--gigabyte";
  const long idle = runExport(directoryWith("empty", "")).peakKilobytes;
  std::printf("idle (export of an empty note file): %.1f MB\n\n", static_cast<double>(idle) / 1024);
  std::printf("| Notes | Note file | Calendar | Floor (s) | Floor, calendar's bytes (s) | Export (s) | Export / floor |"
              " Export / floor of the calendar's bytes | Export over its calendar (s) | hiduke --export-ical (s) |"
              " Peak over idle |\n");
  std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  if (gigabyte) {
    measure("1,000,000 (1 GB)", directoryWith("gigabyte", gigabyteNotes()), idle, 1);
    return 0;
  }
  for (const long records : {100'000L, 1'000'000L}) {
    measure(std::to_string(records), directoryWith("notes-" + std::to_string(records), bench::dir().store(records)), idle,
            5);
  }
}
