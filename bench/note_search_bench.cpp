// A search over every note, as the search dialog makes it, beside the
// floor of reading the same file through iconv into grep in the same run.
//   Floor      sh -c "iconv -f CP932 -t UTF-8 FILE | grep -c 新幹線", less
//              the same on an empty file: the three programs' start
//   Open       the dialog opened and painted: the file read once, every
//              note folded (NoteSearch::read), today's notes listed
//   Keystroke  the dialog on the same notes, typed into: each keystroke
//              from the key to the list painted (p50, p95 in ms), and
//              the same for the keys that search (a Backspace shows
//              results kept from before)
//   Huge       NoteSearch::read of $HIDUKE_BENCH_HUGE (a note file of
//              about 1 GB, written there when missing), then the keystrokes
//              of Keystroke in a dialog on it; the peak of the process's
//              memory (VmHWM) before, after the reading and after the keys

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "bench_stores.h"
#include "main_window/note_search.h"
#include "main_window/search_dialog.h"

namespace {

using namespace bench;

void BM_Search_Floor(benchmark::State& state) {
  const std::string empty = dir().path() + "/empty.dat";
  std::ofstream{empty};
  const auto seconds = [&](const std::string& file) {
    const std::string command = "iconv -f CP932 -t UTF-8 " + file + " | grep -c 新幹線 >/dev/null";
    const auto start = std::chrono::steady_clock::now();
    // grep's status is 1 where it finds nothing, as in the empty file.
    if (WEXITSTATUS(std::system(command.c_str())) > 1) state.SkipWithError("iconv | grep failed");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  for (auto _ : state) state.SetIterationTime(seconds(dir().store(state.range(0))) - seconds(empty));
}

void BM_Search_Open(benchmark::State& state) {
  const hiduke::NoteStore store = openStore(dir().store(state.range(0)));
  for (auto _ : state) {
    hiduke::SearchDialog dialog(hiduke::NoteSearch::read(store), kShown / 1, QStringLiteral("予定を検索"));
    dialog.show();
    QCoreApplication::processEvents();  // painted
  }
}

// The time of each keystroke, from the key to the list painted: every key,
// and the keys that search.
struct Keystrokes {
  std::vector<double> all;
  std::vector<double> searching;
};

// What a person types, a key (or an input method's commit) at a time, and
// takes back.
void typeInto(QLineEdit* query, Keystrokes& milliseconds) {
  const auto timed = [&](const std::function<void()>& key, bool searches) {
    const auto start = std::chrono::steady_clock::now();
    key();
    QCoreApplication::processEvents();  // the list painted
    const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    milliseconds.all.push_back(elapsed);
    if (searches) milliseconds.searching.push_back(elapsed);
  };
  const auto type = [&](std::initializer_list<const char*> words) {
    // Letters as keys; the rest as an input method commits them.
    for (const char* word : words) {
      const bool letter = static_cast<unsigned char>(word[0]) < 0x80;
      timed([&] { letter ? QTest::keyClicks(query, QString::fromUtf8(word)) : query->insert(QString::fromUtf8(word)); }, true);
    }
    for (std::size_t i = 0; i < words.size(); ++i) timed([&] { QTest::keyClick(query, Qt::Key_Backspace); }, false);
  };
  type({"1", "5", ":", "0", "0"});
  type({"新", "幹", "線", "に", "乗"});
  type({"会", "議", "資", "料"});
  type({"a", "b", "c"});
}

void reportKeystrokes(benchmark::State& state, Keystrokes& milliseconds, const std::string& prefix) {
  const auto report = [&](std::vector<double>& times, const std::string& name) {
    std::sort(times.begin(), times.end());
    const auto at = [&](double share) { return times[static_cast<size_t>(share * static_cast<double>(times.size() - 1))]; };
    state.counters[name + "p50_ms"] = at(0.5);
    state.counters[name + "p95_ms"] = at(0.95);
    state.counters[name + "max_ms"] = times.back();
  };
  report(milliseconds.all, prefix);
  report(milliseconds.searching, prefix + "searching_");
}

void BM_Search_Keystroke(benchmark::State& state) {
  const hiduke::NoteStore store = openStore(dir().store(state.range(0)));
  hiduke::SearchDialog dialog(hiduke::NoteSearch::read(store), kShown / 1, QStringLiteral("予定を検索"));
  dialog.show();
  QCoreApplication::processEvents();
  auto* query = dialog.findChild<QLineEdit*>(QStringLiteral("searchQuery"));
  Keystrokes milliseconds;
  for (auto _ : state) typeInto(query, milliseconds);
  reportKeystrokes(state, milliseconds, "");
}

long memoryFigure(const char* name) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(name, 0) == 0) return std::stol(line.substr(std::string(name).size() + 1));
  }
  return -1;
}

// About 1 GB: a note of about 80 bytes for every day from 1583 to 32767.
std::string hugeFile() {
  const char* path = std::getenv("HIDUKE_BENCH_HUGE");
  const std::string file = path != nullptr ? path : dir().path() + "/huge.dat";
  if (std::filesystem::exists(file)) return file;
  std::ofstream out(file, std::ios::binary);
  const std::string& small = dir().store(6);
  std::ifstream in(small, std::ios::binary);
  std::vector<std::string> texts;
  for (std::string line; std::getline(in, line);) {
    line.pop_back();  // the CR
    const std::string_view text = std::string_view(line).substr(line.find(',', line.find(',', line.find(',') + 1) + 1) + 1);
    std::string note(text);
    note += " memo " + std::to_string(texts.size());
    for (int copy = 0; copy < 4; ++copy) (note += ';') += text;
    texts.push_back(note);
  }
  std::string chunk;
  size_t i = 0;
  for (std::chrono::sys_days day{std::chrono::year(1583) / 1 / 1}; day <= std::chrono::sys_days{std::chrono::year(32767) / 12 / 31};
       day += std::chrono::days(1), ++i) {
    chunk += hiduke::formatNoteRecord(std::chrono::year_month_day(day), texts[i % texts.size()]);
    if (chunk.size() > (1 << 20)) out << chunk, chunk.clear();
  }
  out << chunk;
  return file;
}

void BM_Search_Huge(benchmark::State& state) {
  const std::string file = hugeFile();
  const hiduke::NoteStore store = openStore(file);
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak from here on
  const long before = memoryFigure("VmHWM:");
  std::optional<hiduke::StoreResult<hiduke::NoteSearch>> search;
  for (auto _ : state) {
    search.emplace(hiduke::NoteSearch::read(store));
    if (!*search) state.SkipWithError(reason(search->error()).c_str());
  }
  const long opened = memoryFigure("VmHWM:");
  // The same keystrokes as BM_Search_Keystroke, on the huge file's notes.
  hiduke::SearchDialog dialog(std::move(*search), kShown / 1, QStringLiteral("予定を検索"));
  dialog.show();
  QCoreApplication::processEvents();
  Keystrokes milliseconds;
  typeInto(dialog.findChild<QLineEdit*>(QStringLiteral("searchQuery")), milliseconds);
  reportKeystrokes(state, milliseconds, "key_");
  state.counters["file_MB"] = static_cast<double>(fileSize(file)) / 1e6;
  state.counters["VmHWM_before_MB"] = static_cast<double>(before) / 1e3;
  state.counters["VmHWM_open_MB"] = static_cast<double>(opened) / 1e3;
  state.counters["VmHWM_keys_MB"] = static_cast<double>(memoryFigure("VmHWM:")) / 1e3;
}

void sizes(benchmark::internal::Benchmark* b) {
  for (long records : {100'000L, 1'000'000L}) b->Arg(records);
  b->ArgName("records")->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Search_Floor)->Apply(sizes)->UseManualTime();
BENCHMARK(BM_Search_Open)->Apply(sizes)->UseRealTime();
BENCHMARK(BM_Search_Keystroke)->Apply(sizes)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Search_Huge)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
