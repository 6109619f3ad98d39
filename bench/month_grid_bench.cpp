// The month grid of every showable month, and the holidays of a run of
// months: what the window computes each time it shows a month.
#include <benchmark/benchmark.h>

#include "month_model/japanese_holidays.h"
#include "month_model/month_grid.h"

namespace hiduke {
namespace {

using namespace std::chrono;

constexpr int kShowableMonths = (int{kLastShowableYear} - int{kFirstShowableYear} + 1) * 12;

// Builds the grid of every month from January 1583 to December 32767.
void BM_MonthGrid_BuildEveryMonth(benchmark::State& state) {
  for (auto _ : state) {
    for (int y = int{kFirstShowableYear}; y <= int{kLastShowableYear}; ++y) {
      for (unsigned m = 1; m <= 12; ++m) {
        auto grid = buildMonthGrid(year{y} / m);
        benchmark::DoNotOptimize(grid);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kShowableMonths);
}
BENCHMARK(BM_MonthGrid_BuildEveryMonth)->Unit(benchmark::kMillisecond);

// The same, then reads the day of each of the 42 cells, as the window does.
void BM_MonthGrid_BuildAndReadEveryCell(benchmark::State& state) {
  for (auto _ : state) {
    long sum = 0;
    for (int y = int{kFirstShowableYear}; y <= int{kLastShowableYear}; ++y) {
      for (unsigned m = 1; m <= 12; ++m) {
        const auto grid = buildMonthGrid(year{y} / m);
        for (int cell = 0; cell < kCellCount; ++cell) sum += grid->dayOfCell(cell);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kShowableMonths);
}
BENCHMARK(BM_MonthGrid_BuildAndReadEveryCell)->Unit(benchmark::kMillisecond);

// The holidays of every month from January 1948 to December 2047.
void BM_HolidaysOf_Months1948To2047(benchmark::State& state) {
  for (auto _ : state) {
    for (int y = 1948; y <= 2047; ++y) {
      for (unsigned m = 1; m <= 12; ++m) {
        auto holidays = holidaysOf(year{y} / m);
        benchmark::DoNotOptimize(holidays);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * 100 * 12);
}
BENCHMARK(BM_HolidaysOf_Months1948To2047)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hiduke

BENCHMARK_MAIN();
