// A search over every note, as the search dialog makes it, beside the
// floor of reading the same file through iconv into grep in the same run.
//   Floor      sh -c "iconv -f CP932 -t UTF-8 FILE | grep -c 新幹線"
//   Open       the dialog opened and painted: the file read once, every
//              note folded (NoteSearch::read), today's notes listed
//   Keystroke  the dialog on the same notes, typed into: each keystroke
//              from the key to the list painted (p50, p95 in ms)
//   Huge       NoteSearch::read of $HIDUKE_BENCH_HUGE (a note file of
//              about 1 GB, written there when missing), then the keystrokes
//              of Keystroke in a dialog on it; the peak of the process's
//              memory (VmHWM) before, after the reading and after the keys

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
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
  const std::string command = "iconv -f CP932 -t UTF-8 " + dir().store(state.range(0)) + " | grep -c 新幹線 >/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("iconv | grep failed");
  }
}

void BM_Search_Open(benchmark::State& state) {
  const hiduke::NoteStore store = openStore(dir().store(state.range(0)));
  for (auto _ : state) {
    hiduke::SearchDialog dialog(hiduke::NoteSearch::read(store), kShown / 1, QStringLiteral("予定を検索"));
    dialog.show();
    QCoreApplication::processEvents();  // painted
  }
}

// What a person types, a key (or an input method's commit) at a time, and
// takes back.
void typeInto(QLineEdit* query, std::vector<double>& milliseconds) {
  const auto timed = [&](const std::function<void()>& key) {
    const auto start = std::chrono::steady_clock::now();
    key();
    QCoreApplication::processEvents();  // the list painted
    milliseconds.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  };
  for (const char* word : {"1", "5", ":", "0", "0"}) timed([&] { QTest::keyClicks(query, QString::fromUtf8(word)); });
  for (int i = 0; i < 5; ++i) timed([&] { QTest::keyClick(query, Qt::Key_Backspace); });
  for (const char* word : {"新", "幹", "線", "に", "乗"}) timed([&] { query->insert(QString::fromUtf8(word)); });
  for (int i = 0; i < 5; ++i) timed([&] { QTest::keyClick(query, Qt::Key_Backspace); });
  for (const char* word : {"会", "議", "資", "料"}) timed([&] { query->insert(QString::fromUtf8(word)); });
  for (int i = 0; i < 4; ++i) timed([&] { QTest::keyClick(query, Qt::Key_Backspace); });
  for (const char* word : {"a", "b", "c"}) timed([&] { QTest::keyClicks(query, QString::fromUtf8(word)); });
  for (int i = 0; i < 3; ++i) timed([&] { QTest::keyClick(query, Qt::Key_Backspace); });
}

void reportKeystrokes(benchmark::State& state, std::vector<double>& milliseconds, const std::string& prefix) {
  std::sort(milliseconds.begin(), milliseconds.end());
  const auto at = [&](double share) { return milliseconds[static_cast<size_t>(share * static_cast<double>(milliseconds.size() - 1))]; };
  state.counters[prefix + "p50_ms"] = at(0.5);
  state.counters[prefix + "p95_ms"] = at(0.95);
  state.counters[prefix + "max_ms"] = milliseconds.back();
}

void BM_Search_Keystroke(benchmark::State& state) {
  const hiduke::NoteStore store = openStore(dir().store(state.range(0)));
  hiduke::SearchDialog dialog(hiduke::NoteSearch::read(store), kShown / 1, QStringLiteral("予定を検索"));
  dialog.show();
  QCoreApplication::processEvents();
  auto* query = dialog.findChild<QLineEdit*>(QStringLiteral("searchQuery"));
  std::vector<double> milliseconds;
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
  std::vector<double> milliseconds;
  typeInto(dialog.findChild<QLineEdit*>(QStringLiteral("searchQuery")), milliseconds);
  reportKeystrokes(state, milliseconds, "key_");
  state.counters["file_MB"] = static_cast<double>(fileSize(file)) / 1e6;
  state.counters["VmHWM_before_MB"] = static_cast<double>(before) / 1e3;
  state.counters["VmHWM_open_MB"] = static_cast<double>(opened) / 1e3;
  state.counters["VmHWM_keys_MB"] = static_cast<double>(memoryFigure("VmHWM:")) / 1e3;
}

void sizes(benchmark::internal::Benchmark* b) {
  for (long records : {100'000L, 1'000'000L}) b->Arg(records);
  b->ArgName("records")->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_Search_Floor)->Apply(sizes);
BENCHMARK(BM_Search_Open)->Apply(sizes);
BENCHMARK(BM_Search_Keystroke)->Apply(sizes)->Iterations(5);
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
