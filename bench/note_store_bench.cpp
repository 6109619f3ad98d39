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
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <bitset>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "note_store/note_record.h"
#include "note_store/note_store.h"

namespace {

// The month shown: the last month of every store, as today's month is for
// notes kept in date order.
constexpr std::chrono::year_month kShown = std::chrono::year(2999) / 12;
constexpr std::chrono::year_month_day kSavedDay = kShown / 15;
constexpr size_t kChunk = size_t{1} << 16;

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

class BenchDir {
 public:
  BenchDir() {
    const char* base = std::getenv("HIDUKE_BENCH_DIR");
    std::string pattern = std::string(base != nullptr ? base : ".") + "/hiduke-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~BenchDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

  // A store of `records` notes, one per day in date order, ending on the
  // last day of the month shown; texts of one to three short lines.
  const std::string& store(long records) {
    auto found = stores_.find(records);
    if (found != stores_.end()) return found->second;
    static const std::array<std::string, 6> texts = {
        "\x89\xef\x8b\x63",                                          // 会議
        "\x94\x83\x82\xa2\x95\xa8;10\x8e\x9e",                       // 買い物;10時
        "\x8e\x95\x88\xe3\x8e\xd2 15:00",                            // 歯医者 15:00
        "\x91\xc5\x82\xbf\x8d\x87\x82\xed\x82\xb9;\x8e\x91\x97\xbf",  // 打ち合わせ;資料
        "\x97\x46\x90\x6c\x82\xc6\x90\x48\x8e\x96",                  // 友人と食事
        "\x8f\x6f\x92\xa3;\x90\x56\x8a\xb2\x90\xfc;\x94\x8e\x82\xdc\x82\xe8",  // 出張;新幹線;泊まり
    };
    const std::chrono::sys_days last{kShown / std::chrono::last};
    std::string content;
    for (long i = 0; i < records; ++i) {
      const std::chrono::year_month_day day{last - std::chrono::days(records - 1 - i)};
      content += hiduke::formatNoteRecord(day, texts[static_cast<size_t>(i) % texts.size()]);
    }
    std::string path = path_ + "/store-" + std::to_string(records) + ".dat";
    writeFile(path, content);
    return stores_.emplace(records, path).first->second;
  }

  // hiduke.dat, a copy of the store of `records` notes, in a directory of
  // its own that also holds `other_entries` empty files.
  std::string crowded(long records, long other_entries) {
    const std::string dir = path_ + "/crowded-" + std::to_string(other_entries);
    std::filesystem::create_directory(dir);
    for (long i = 0; i < other_entries; ++i) {
      int fd = ::open((dir + "/entry-" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) throw std::runtime_error("cannot create the directory's entries");
      ::close(fd);
    }
    const std::string path = dir + "/hiduke.dat";
    std::filesystem::copy_file(store(records), path, std::filesystem::copy_options::overwrite_existing);
    return path;
  }

  // The store of `records` notes followed by a record of the 15th of the
  // month shown whose note is one line of `bytes` bytes.
  std::string withLongNote(long records, size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += "\x89\xef\x8b\x63\x82\xcc\x8e\x91\x97\xbf";  // 会議の資料
    text.resize(bytes);
    std::ifstream in(store(records), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    content += hiduke::formatNoteRecord(kSavedDay, text);
    const std::string path = path_ + "/long-note.dat";
    writeFile(path, content);
    return path;
  }

 private:
  std::string path_;
  std::map<long, std::string> stores_;
};

BenchDir& dir() {
  static BenchDir dir;
  return dir;
}

long fileSize(const std::string& path) { return static_cast<long>(std::filesystem::file_size(path)); }

hiduke::NoteStore openStore(const std::string& path) {
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open(path);
  if (!store) throw std::runtime_error("cannot open the store of " + path);
  return std::move(*store);
}

// Why a store call failed, for the benchmark's report.
std::string reason(const hiduke::StoreError& error) {
  return "store error kind " + std::to_string(static_cast<int>(error.kind)) + ": " + std::strerror(error.errorNumber);
}

// read() of the whole file in 64 KiB pieces, and nothing else: the least
// any reader of the file can do.
void BM_ReadFile(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t total = 0;
    ssize_t n;
    while ((n = ::read(fd, buffer.get(), kChunk)) > 0) total += n;
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
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
    auto saved = store.saveNote(kSavedDay, i++ % 2 == 0 ? "会議;資料" : "会議;準備");
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
    auto saved = store.saveNote(kSavedDay, i++ % 2 == 0 ? "会議;資料" : "会議;準備");
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
