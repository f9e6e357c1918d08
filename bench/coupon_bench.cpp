// SPDX-License-Identifier: GPL-3.0-or-later
// Saving, opening and exporting a full store of 65535 coupons, and building every table text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "common/code_page.h"
#include "coupon/coupon_export.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_store.h"

namespace {

struct SilentNotifier : tarn::Notifier {
  void Error(std::string_view) override {}
};

std::unique_ptr<tarn::CouponStore> FullStore() {
  auto store = std::make_unique<tarn::CouponStore>();
  for (int i = 0; i < tarn::kCouponCapacity; ++i) {
    tarn::_coupon_values_& c = store->items[i];
    tarn::CopyToField(c.tag, "TAG" + std::to_string(i));
    tarn::ApplyCouponType(c, 1 + i % 16);
    c.alloy = 1 + i % 33;
    c.density = 7.94;
    tarn::CopyToField(c.install_time, "01/03/2024 08:00:00");
    tarn::CopyToField(c.removal_time, "31/03/2024 08:00:00");
    c.weight_init = 10.0 + i * 0.001;
    c.weight_final = 9.9;
    c.exposure = 720.0;
    c.metal_loss = 0.0058;
    c.corr_rate = 0.0702;
    tarn::CopyToField(c.comment, "coupon in the cooling water return line");
  }
  store->record_count = tarn::kCouponCapacity;
  return store;
}

tarn::CouponUnits Units(int sel) {
  tarn::_select_unit_ unit[tarn::kUnitCount] = {{sel, 0.036127292},
                                                {sel, 0.393700787},
                                                {sel, 39.3700787},
                                                {sel, 0.03527396},
                                                {sel, 39.3700787}};
  tarn::CouponUnits units;
  tarn::SetUnitRatio(unit, units);
  return units;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void BM_SaveFullStore(benchmark::State& state) {
  auto store = FullStore();
  SilentNotifier n;
  const std::string path = TempPath("tarn_bench.CPN");
  for (auto _ : state) {
    if (!tarn::Save(path, *store, n)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveFullStore)->Unit(benchmark::kMillisecond);

void BM_OpenFullStore(benchmark::State& state) {
  auto store = FullStore();
  SilentNotifier n;
  const std::string path = TempPath("tarn_bench_open.CPN");
  tarn::Save(path, *store, n);
  auto back = std::make_unique<tarn::CouponStore>();
  for (auto _ : state) {
    if (tarn::Open(path, *back, n) != tarn::CouponFileResult::kOk) state.SkipWithError("open");
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_OpenFullStore)->Unit(benchmark::kMillisecond);

void BM_AllTableTexts(benchmark::State& state) {
  auto store = FullStore();
  const tarn::CouponUnits units = Units(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (int r = 0; r < store->record_count; ++r) {
      for (int c = 0; c < tarn::kCouponColumns; ++c) {
        bytes += tarn::CouponCellText(store->items[r], c, units).size();
      }
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_AllTableTexts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SaveCsvFullStore(benchmark::State& state) {
  auto store = FullStore();
  SilentNotifier n;
  const tarn::CouponUnits units = Units(0);
  const std::string path = TempPath("tarn_bench.csv");
  for (auto _ : state) tarn::SaveCsv(path, *store, units, n);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveCsvFullStore)->Unit(benchmark::kMillisecond);

void BM_SaveXlsFullStore(benchmark::State& state) {
  auto store = FullStore();
  SilentNotifier n;
  const tarn::CouponUnits units = Units(0);
  const std::string path = TempPath("tarn_bench.xls");
  for (auto _ : state) tarn::SaveXls(path, *store, units, n);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveXlsFullStore)->Unit(benchmark::kMillisecond);

double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The spreadsheet and the CSV of the full store taken in turns under the same load; the fastest
// of each in processor time and their ratio.
void BM_XlsBesideCsvFullStore(benchmark::State& state) {
  auto store = FullStore();
  SilentNotifier n;
  const tarn::CouponUnits units = Units(0);
  const std::string xls = TempPath("tarn_bench_pair.xls"), csv = TempPath("tarn_bench_pair.csv");
  double best_xls = 1e9, best_csv = 1e9;
  for (auto _ : state) {
    double t = CpuMs();
    tarn::SaveXls(xls, *store, units, n);
    best_xls = std::min(best_xls, CpuMs() - t);
    t = CpuMs();
    tarn::SaveCsv(csv, *store, units, n);
    best_csv = std::min(best_csv, CpuMs() - t);
  }
  state.counters["xls_cpu_ms"] = best_xls;
  state.counters["csv_cpu_ms"] = best_csv;
  state.counters["ratio"] = best_xls / best_csv;
  std::filesystem::remove(xls);
  std::filesystem::remove(csv);
}
BENCHMARK(BM_XlsBesideCsvFullStore)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
