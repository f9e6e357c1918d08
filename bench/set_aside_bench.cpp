// SPDX-License-Identifier: GPL-3.0-or-later
// Readings set aside: setting 10,000 readings of a probe read hourly for 20 years aside, then
// what the graph's redraw reads again (the probe's figures over the list's window and the whole
// history, its stretches and its decimated readings for 1920 columns). SQLite always; PostgreSQL
// too when TARN_BENCH_PG_URI names an empty database.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "history/history_store.h"
#include "history/import_source.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStart = 63871000000;  // a second in 2025
constexpr int64_t kHourly = 20 * 8760;   // readings of 20 years
constexpr int64_t kAside = 10000;

// The history with one metal-loss probe read hourly for 20 years; its id in *probe.
std::unique_ptr<HistoryStore> Build(const std::string& location, int64_t* probe) {
  std::string error;
  auto store = OpenHistory(location, &error);
  if (!store) return nullptr;
  if (store->ListProbes(0).empty()) {
    ImportFileFacts facts;
    facts.name = "bench.nid";
    facts.sha256 = std::string(64, '0');
    store->ImportBatches(facts, [](const HistoryStore::BatchSink& sink) {
      ImportBatch b;
      b.key = {"V-101", "A", 0};
      b.header.mloss_unit = "MILS";
      b.header.probe_life = 1000.0;
      b.readings.reserve(kHourly);
      for (int64_t i = 0; i < kHourly; ++i) {
        b.readings.push_back({kStart + i * 3600, i * 0.001 + (i % 24) * 0.0001});
      }
      return sink(b);
    });
  }
  const auto probes = store->ListProbes(0);
  if (probes.empty()) return nullptr;
  *probe = probes.front().id;
  return store;
}

void SetAsideAndRedraw(benchmark::State& state, HistoryStore& store, int64_t probe) {
  // A stretch in the middle, inside the list's window of a year too when it is the last.
  const HistoryTime from = kStart + (kHourly - kAside - 100) * 3600;
  const HistoryTime to = from + (kAside - 1) * 3600;
  int64_t changed = 0;
  std::size_t points = 0;
  // Argument 0: the redraw alone, the floor the set-aside readings add to.
  const bool aside = state.range(0) != 0;
  for (auto _ : state) {
    if (Status st = aside ? store.SetAside(probe, from, to, "bench", &changed) : Status{}; !st) {
      state.SkipWithError(st.message.c_str());
      return;
    }
    const auto windowed = store.GetProbe(probe, 365);
    const auto whole = store.GetProbe(probe, 0);
    const auto marks = store.ListSetAside(probe);
    points = store.ReadDecimated(probe, kStart, kStart + kHourly * 3600, 1920).size();
    benchmark::DoNotOptimize(windowed);
    benchmark::DoNotOptimize(whole);
    benchmark::DoNotOptimize(marks);
    state.PauseTiming();
    int64_t restored = 0;
    if (aside) store.Restore(probe, from, to, &restored);
    state.ResumeTiming();
  }
  state.counters["set_aside"] = static_cast<double>(changed);
  state.counters["points"] = static_cast<double>(points);
}

void BM_SetAside10000AndRedrawSqlite(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("tarn-aside-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  int64_t probe = 0;
  {
    auto store = Build((dir / "h.sqlite").string(), &probe);
    if (!store) {
      state.SkipWithError("cannot build the history");
    } else {
      SetAsideAndRedraw(state, *store, probe);
    }
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}
BENCHMARK(BM_SetAside10000AndRedrawSqlite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SetAside10000AndRedrawPostgres(benchmark::State& state) {
  const char* uri = std::getenv("TARN_BENCH_PG_URI");
  if (uri == nullptr || *uri == '\0') {
    state.SkipWithError("TARN_BENCH_PG_URI names no database");
    return;
  }
  int64_t probe = 0;
  auto store = Build(uri, &probe);
  if (!store) {
    state.SkipWithError("cannot build the history");
    return;
  }
  SetAsideAndRedraw(state, *store, probe);
}
BENCHMARK(BM_SetAside10000AndRedrawPostgres)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarn
