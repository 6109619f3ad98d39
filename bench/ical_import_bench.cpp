// An iCalendar import of 100,000 and 1,000,000 events (one a day) into an
// empty directory, beside two floors measured in the same run: read the
// .ics file, write as many bytes as the note file gets, fsync, rename; and
// the same writing as many bytes as were read (a copy of the file). The
// peak memory is measured in a process of its own, above what that process
// held before the import; also for an import into the store itself of a
// calendar that adds a line to every one of its days. Usage:
// ical_import_bench [records ...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench_stores.h"
#include "ical/ical_import.h"
#include "note_store/cp932.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepetitions = 3;

// The events of the store of `records` notes, as a phone would write them:
// all day, the first line the summary, the whole note the description;
// `added` a last line of each.
std::string calendarOf(const std::string& storePath, const std::string& added = "") {
  std::ifstream in(storePath, std::ios::binary);
  std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n";
  std::string line;
  while (std::getline(in, line)) {
    line.pop_back();  // CR
    const std::optional<hiduke::RecordHead> head = hiduke::readRecordHead(line);
    const hiduke::StoreResult<std::string> text = hiduke::decodeCp932(hiduke::readNoteText(head->textField));
    const std::string note = hiduke::decodeNoteText(*text) + added;
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02u%02u", static_cast<int>(head->date.year()),
                  static_cast<unsigned>(head->date.month()), static_cast<unsigned>(head->date.day()));
    std::string escaped;
    for (const char c : note) c == '\n' ? escaped += "\\n" : escaped += c;
    ics += std::string("BEGIN:VEVENT\r\nUID:") + date + "@bench\r\nDTSTAMP:20261208T000000Z\r\nDTSTART;VALUE=DATE:" + date +
           "\r\nSUMMARY:" + note.substr(0, note.find('\n')) + "\r\nDESCRIPTION:" + escaped + "\r\nEND:VEVENT\r\n";
  }
  return ics + "END:VCALENDAR\r\n";
}

hiduke::ImportRange rangeOf(long records) {
  const std::chrono::sys_days last{bench::kShown / std::chrono::last};
  return {std::chrono::year_month_day{last - std::chrono::days(records - 1)}, std::chrono::year_month_day{last}};
}

// Read the calendar, write `bytes` to a new file, fsync, rename: onto no
// file, as the import into an empty directory does (replacing one would
// count its removal).
double floorSeconds(const std::string& ics, long bytes, const std::string& dir) {
  std::filesystem::remove(dir + "/floor.dat");
  const auto start = Clock::now();
  std::vector<char> buffer(bench::kChunk);
  bench::readFile(ics, buffer.data());
  const std::string temporary = dir + "/floor.tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const std::string block(std::size_t{1} << 20, 'x');
  for (long left = bytes; left > 0; left -= static_cast<long>(block.size())) {
    if (::write(fd, block.data(), std::min<std::size_t>(block.size(), static_cast<std::size_t>(left))) < 0) throw std::runtime_error("write");
  }
  ::fsync(fd);
  ::close(fd);
  std::filesystem::rename(temporary, dir + "/floor.dat");
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Plan and write the import into `dir`.
void import(const std::string& ics, const std::string& dir, long records) {
  hiduke::NoteStore store = bench::openStore(dir + "/hiduke.dat");
  hiduke::StoreResult<hiduke::ImportPlan> plan = hiduke::planImport(store, ics, rangeOf(records));
  if (!plan) throw std::runtime_error(bench::reason(plan.error()));
  const hiduke::StoreResult<hiduke::BatchReport> saved = store.saveNotes(plan->batch, plan->readFrom);
  if (!saved) throw std::runtime_error(bench::reason(saved.error()));
}

// The processor time of this process so far: on a shared machine the wall
// clock also counts the others' work.
double processorSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall clock and processor seconds.
std::pair<double, double> importSeconds(const std::string& ics, const std::string& dir, long records) {
  std::filesystem::remove(dir + "/hiduke.dat");
  const auto start = Clock::now();
  const double processorStart = processorSeconds();
  import(ics, dir, records);
  return {std::chrono::duration<double>(Clock::now() - start).count(), processorSeconds() - processorStart};
}

long statusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field)) return std::stol(line.substr(std::strlen(field)));
  }
  return -1;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The import's peak resident memory above the process's own before it, in
// a process started for it alone, into `dir` with the note file `notes`
// (none when empty): MB.
double peakMegabytes(const std::string& ics, const std::string& dir, long records, const std::string& notes = "") {
  std::filesystem::remove(dir + "/hiduke.dat");
  if (!notes.empty()) std::filesystem::copy_file(notes, dir + "/hiduke.dat");
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    const std::string recordsText = std::to_string(records);
    ::execl("/proc/self/exe", "ical_import_bench", "--memory", ics.c_str(), dir.c_str(), recordsText.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  char text[64] = {};
  const ssize_t n = ::read(pipeFds[0], text, sizeof text - 1);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the memory run failed");
  return std::stod(text);
}

}  // namespace

int main(int argc, char* argv[]) try {
  if (argc == 5 && std::string_view(argv[1]) == "--memory") {
    const long idle = statusKilobytes("VmRSS:");
    import(argv[2], argv[3], std::stol(argv[4]));
    std::printf("%.1f\n", static_cast<double>(statusKilobytes("VmHWM:") - idle) / 1024.0);
    return 0;
  }
  std::vector<long> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::stol(argv[i]));
  if (counts.empty()) counts = {100'000, 1'000'000};
  std::printf("%10s %10s %10s %10s %10s %8s %8s %10s %10s %12s %s\n", "events", "ics MB", "floor s", "copy s", "import s",
              "ratio", "/ copy", "import cpu", "peak MB", "peak, added", "same bytes");
  for (const long records : counts) {
    const std::string& store = bench::dir().store(records);
    const std::string ics = bench::dir().path() + "/calendar-" + std::to_string(records) + ".ics";
    bench::writeFile(ics, calendarOf(store));
    const std::string dir = bench::dir().path() + "/import-" + std::to_string(records);
    std::filesystem::create_directory(dir);
    std::vector<double> floors, copies, imports, processor;
    for (int i = 0; i < kRepetitions; ++i) {
      floors.push_back(floorSeconds(ics, bench::fileSize(store), dir));
      copies.push_back(floorSeconds(ics, bench::fileSize(ics), dir));
      const auto [wall, cpu] = importSeconds(ics, dir, records);
      imports.push_back(wall);
      processor.push_back(cpu);
    }
    std::ifstream a(store, std::ios::binary), b(dir + "/hiduke.dat", std::ios::binary);
    const bool same = std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b), {});
    const double peak = peakMegabytes(ics, dir, records);
    const double icsMegabytes = static_cast<double>(bench::fileSize(ics)) / 1e6;
    bench::writeFile(ics, calendarOf(store, "\n+"));
    const double peakAdded = peakMegabytes(ics, dir, records, store);
    std::printf("%10ld %10.1f %10.3f %10.3f %10.3f %7.1fx %7.1fx %10.3f %10.1f %12.1f %s\n", records, icsMegabytes,
                median(floors), median(copies), median(imports), median(imports) / median(floors),
                median(imports) / median(copies), median(processor), peak, peakAdded, same ? "yes" : "no");
  }
  return 0;
} catch (const std::exception& error) {
  std::fprintf(stderr, "ical_import_bench: %s\n", error.what());
  return 1;
}
