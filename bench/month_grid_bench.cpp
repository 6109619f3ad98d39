// The month grid of every showable month, and the holidays of a run of
// months: what the window computes each time it shows a month.
#include <benchmark/benchmark.h>

#include "month_model/japanese_holidays.h"
#include "month_model/month_grid.h"

namespace hiduke {
namespace {

constexpr int kShowableMonths = (kLastShowableYear - kFirstShowableYear + 1) * 12;

// Builds the grid of every month from January 1583 to December 32767.
void BM_MonthGrid_BuildEveryMonth(benchmark::State& state) {
  for (auto _ : state) {
    for (int year = kFirstShowableYear; year <= kLastShowableYear; ++year) {
      for (int month = 1; month <= 12; ++month) {
        auto grid = BuildMonthGrid(year, month);
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
    for (int year = kFirstShowableYear; year <= kLastShowableYear; ++year) {
      for (int month = 1; month <= 12; ++month) {
        const auto grid = BuildMonthGrid(year, month);
        for (int cell = 0; cell < kCellCount; ++cell) sum += grid->DayOfCell(cell);
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
    for (int year = 1948; year <= 2047; ++year) {
      for (int month = 1; month <= 12; ++month) {
        auto holidays = HolidaysOf(year, month);
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
