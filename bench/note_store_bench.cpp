// The notes of a month, every note, and saves, on stores of 1,000 to
// 1,000,000 records, each beside its baselines:
//   ReadFile    the file read whole with read(), and nothing else
//   ...CountLines  and its lines counted
//   FortyTwo    one scan per day cell (open, read up to the first record of
//               the cell's date, close), 42 per month shown
//   WriteRename the new file's bytes written to a temporary file, fsynced and
//               renamed over the old one
// and the edges: a save in a directory of 100,000 other files beside one in
// a directory of its own, and the reading of a note that is one 1 MB line.
// Stores are written to a fresh directory under $HIDUKE_BENCH_DIR (default:
// the current directory), so the save figures are those of that disk.

#include <benchmark/benchmark.h>

#include <bitset>

#include "bench_stores.h"

namespace {

using namespace bench;

void BM_ReadFile(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (auto _ : state) benchmark::DoNotOptimize(readFile(path, buffer.get()));
  state.SetBytesProcessed(state.iterations() * fileSize(path));
  state.counters["file_bytes"] = static_cast<double>(fileSize(path));
}

// The same, and the lines counted (memchr for each): the least a reader of
// every line can do.
void BM_ReadFileCountLines(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    long lines = 0;
    ssize_t n;
    while ((n = ::read(fd, buffer.get(), kChunk)) > 0) {
      const char* p = buffer.get();
      const char* const end = p + n;
      while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr) {
        ++lines;
        ++p;
      }
    }
    ::close(fd);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void BM_MonthNotes(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  const hiduke::NoteStore store = openStore(path);
  for (auto _ : state) {
    auto notes = store.monthNotes(kShown);
    if (!notes) state.SkipWithError(reason(notes.error()).c_str());
    benchmark::DoNotOptimize(notes);
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

// Every note of the file, decoded: what a search or an export reads.
void BM_AllNotes(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  const hiduke::NoteStore store = openStore(path);
  for (auto _ : state) {
    auto notes = store.allNotes();
    if (!notes) state.SkipWithError(reason(notes.error()).c_str());
    benchmark::DoNotOptimize(notes);
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

// One scan of the file for one cell: stops at the first record of the date.
bool scanForDate(const std::string& path, std::chrono::year_month_day date, char* buffer) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  size_t filled = 0;
  bool found = false;
  ssize_t n;
  while (!found && (n = ::read(fd, buffer + filled, kChunk - filled)) > 0) {
    filled += static_cast<size_t>(n);
    const char* p = buffer;
    const char* end = buffer + filled;
    const char* newline;
    while ((newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr) {
      std::string_view line(p, static_cast<size_t>(newline - p));
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      const auto head = hiduke::readRecordHead(line);
      if (head && head->date == date) {
        found = true;
        break;
      }
      p = newline + 1;
    }
    filled = static_cast<size_t>(end - p);
    std::memmove(buffer, p, filled);
  }
  ::close(fd);
  return found;
}

void BM_Marks_FortyTwoScans(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  const int first = static_cast<int>(std::chrono::weekday(std::chrono::sys_days(kShown / 1)).c_encoding());
  const int days = static_cast<int>(static_cast<unsigned>((kShown / std::chrono::last).day()));
  for (auto _ : state) {
    std::bitset<32> marks;
    for (int cell = 0; cell < 42; ++cell) {
      int day = cell - first + 1;
      if (day < 1 || day > days) day = 0;  // an empty cell shows 0
      if (scanForDate(path, kShown / std::chrono::day(static_cast<unsigned>(day)), buffer.get())) {
        marks.set(static_cast<size_t>(day));
      }
    }
    benchmark::DoNotOptimize(marks);
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

// Saves alternate between two texts of the same length, so the store keeps
// its size; the record replaced is the 15th of the month shown.
void BM_Save_NoteStore(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  hiduke::NoteStore store = openStore(path);
  long i = 0;
  for (auto _ : state) {
    auto saved = store.saveNote(kSavedDay, i++ % 2 == 0 ? "会議\n資料" : "会議\n準備");
    if (!saved) state.SkipWithError(reason(saved.error()).c_str());
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void BM_Save_WriteFsyncRename(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string target = dir().path() + "/plain-" + std::to_string(state.range(0)) + ".dat";
  const std::string temporary = target + ".tmp";
  for (auto _ : state) {
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::string_view rest = bytes;
    while (!rest.empty()) {
      ssize_t n = ::write(fd, rest.data(), rest.size());
      if (n <= 0) break;
      rest.remove_prefix(static_cast<size_t>(n));
    }
    ::fsync(fd);
    ::close(fd);
    ::rename(temporary.c_str(), target.c_str());
  }
  std::filesystem::remove(target);
  state.SetBytesProcessed(state.iterations() * static_cast<long>(bytes.size()));
}

// A save costs the same whatever else the directory holds: the same store
// saved alone in its directory and beside 100,000 other files.
void BM_Save_CrowdedDirectory(benchmark::State& state) {
  hiduke::NoteStore store = openStore(dir().crowded(1'000, state.range(0)));
  long i = 0;
  for (auto _ : state) {
    auto saved = store.saveNote(kSavedDay, i++ % 2 == 0 ? "会議\n資料" : "会議\n準備");
    if (!saved) state.SkipWithError(reason(saved.error()).c_str());
  }
}

// The store's part of opening a day whose note is one line of 1 MB: read
// the file, find the record, convert the text from code page 932.
void BM_ReadNote_OneMegabyteLine(benchmark::State& state) {
  const std::string path = dir().withLongNote(1'000, size_t{1} << 20);
  const hiduke::NoteStore store = openStore(path);
  for (auto _ : state) {
    auto note = store.note(kSavedDay);
    if (!note || !*note) state.SkipWithError("the long note was not read");
    benchmark::DoNotOptimize(note);
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void sizes(benchmark::internal::Benchmark* b) {
  for (long records : {1'000L, 10'000L, 100'000L, 1'000'000L}) b->Arg(records);
  b->ArgName("records")->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_ReadFile)->Apply(sizes);
BENCHMARK(BM_ReadFileCountLines)->Apply(sizes);
BENCHMARK(BM_MonthNotes)->Apply(sizes);
BENCHMARK(BM_AllNotes)->Apply(sizes);
BENCHMARK(BM_Marks_FortyTwoScans)->Apply(sizes);
BENCHMARK(BM_Save_WriteFsyncRename)->Apply(sizes);
BENCHMARK(BM_Save_NoteStore)->Apply(sizes);
BENCHMARK(BM_Save_CrowdedDirectory)->Arg(0)->Arg(100'000)->ArgName("other_entries")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadNote_OneMegabyteLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
