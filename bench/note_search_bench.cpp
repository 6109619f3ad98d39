// A search over every note, as the search dialog makes it, beside read() of
// the same file: the store's one reading of all notes, the folding of every
// note for comparison, and a query over them all.
//   ReadFile   read() of the file, and nothing else
//   AllNotes   NoteStore::allNotes: read, last record of each day, decoded
//   Open       what opening the search costs: allNotes and the folding
//   Query      one query over every note, as the user types it

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "bench_stores.h"
#include "main_window/note_search.h"

namespace {

using namespace bench;

void BM_Search_ReadFile(benchmark::State& state) {
  const std::string& path = dir().store(state.range(0));
  auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (auto _ : state) benchmark::DoNotOptimize(readFile(path, buffer.get()));
}

void BM_Search_AllNotes(benchmark::State& state) {
  const hiduke::NoteStore store = openStore(dir().store(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(store.allNotes());
}

void BM_Search_Open(benchmark::State& state) {
  const hiduke::NoteStore store = openStore(dir().store(state.range(0)));
  for (auto _ : state) {
    const hiduke::NoteSearch search(std::move(*store.allNotes()));
    benchmark::DoNotOptimize(&search);
  }
}

void BM_Search_Query(benchmark::State& state) {
  const hiduke::NoteStore store = openStore(dir().store(state.range(0)));
  const hiduke::NoteSearch search(std::move(*store.allNotes()));
  for (auto _ : state) benchmark::DoNotOptimize(search.find(QStringLiteral("新幹線"), 1000));
}

void sizes(benchmark::internal::Benchmark* b) {
  for (long records : {100'000L, 1'000'000L}) b->Arg(records);
  b->ArgName("records")->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Search_ReadFile)->Apply(sizes);
BENCHMARK(BM_Search_AllNotes)->Apply(sizes);
BENCHMARK(BM_Search_Open)->Apply(sizes);
BENCHMARK(BM_Search_Query)->Apply(sizes);

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
