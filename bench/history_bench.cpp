// SPDX-License-Identifier: GPL-3.0-or-later
// Probe history: import speed beside the sqlite3 shell's own .import of the same readings, the
// probe list and a decimated read on a large history, bytes on disk per reading, and the points
// list and a point's cumulative graph on a plant of points.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/date_time.h"
#include "history/history_store.h"
#include "points_plant.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStart = 63871000000;  // a second in 2025

// Fast text of seconds since 01/01/0001: the generator writes millions of them.
std::string When(int64_t s) {
  return DateTime2Str(DateTime{s * kTicksPerSecond});
}

// A Nembra LPR file of `tags` tags × `n` readings a minute apart, tag names from `first`.
void WriteFile(const std::string& path, int first, int tags, int n) {
  std::ofstream out(path, std::ios::binary);
  std::string block;
  for (int t = first; t < first + tags; ++t) {
    block = "TAG NUMBER : P" + std::to_string(t) + "\nSERIAL NUMBER : S" + std::to_string(t) +
            "\nPROBE TYPE : PR 3\nSTART TIME : " + When(kStart) + "\n NO. COR RATE\n";
    char line[64];
    for (int i = 0; i < n; ++i) {
      const int len = std::snprintf(line, sizeof line, "%d %s %.4f\n", i + 1,
                                    When(kStart + 60LL * i).c_str(), 1.0 + (i % 997) * 0.001);
      block.append(line, static_cast<std::size_t>(len));
      if (block.size() > (1 << 20)) {
        out << block;
        block.clear();
      }
    }
    out << block;
  }
}

struct Work {
  Work() {
    dir = fs::temp_directory_path() / ("tarn-history-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  ~Work() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string file(const std::string& name) const { return (dir / name).string(); }
  fs::path dir;
};

Work& TheWork() {
  static Work w;
  return w;
}

int64_t DiskBytes(const std::string& db) {
  int64_t total = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code ec;
    const auto n = fs::file_size(db + suffix, ec);
    if (!ec) total += static_cast<int64_t>(n);
  }
  return total;
}

void BM_ImportVsSqliteShell(benchmark::State& state) {
  Work& w = TheWork();
  const int tags = 100, n = 65535;
  const std::string file = w.file("import.nid");
  if (!fs::exists(file)) WriteFile(file, 0, tags, n);
  // The same readings as CSV in the table's own layout, for the shell.
  const std::string csv = w.file("import.csv");
  if (!fs::exists(csv)) {
    std::ofstream out(csv, std::ios::binary);
    std::string block;
    char line[96];
    for (int t = 1; t <= tags; ++t) {
      for (int i = 0; i < n; ++i) {
        // The store's key: probe · 2^34 + seconds from 2000 + 2^33.
        const long long key =
            (static_cast<long long>(t) << 34) + kStart + 60LL * i - 63082281600LL + (1LL << 33);
        const int len =
            std::snprintf(line, sizeof line, "%lld,%.4f\n", key, 1.0 + (i % 997) * 0.001);
        block.append(line, static_cast<std::size_t>(len));
      }
      out << block;
      block.clear();
    }
  }
  double ours = 0, shell = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    const std::string db = w.file("import.sqlite");
    fs::remove(db);
    std::string error;
    auto store = OpenHistory(db, &error);
    if (!store) {
      state.SkipWithError(error.c_str());
      return;
    }
    auto t0 = std::chrono::steady_clock::now();
    const ImportResult r = store->Import(file, {});
    ours = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!r.status.ok || r.added != int64_t{tags} * n) {
      state.SkipWithError(r.status.message.c_str());
      return;
    }
    store.reset();
    bytes = DiskBytes(db);

    const std::string peer = w.file("shell.sqlite");
    fs::remove(peer);
    const std::string script = w.file("shell.sql");
    std::ofstream(script) << "PRAGMA page_size = 16384;\nPRAGMA journal_mode = WAL;\n"
                             "PRAGMA synchronous = NORMAL;\n"
                             "CREATE TABLE reading(k INTEGER PRIMARY KEY, v REAL NOT NULL);\n"
                             ".import --csv "
                          << csv << " reading\n";
    const std::string command = "sqlite3 " + peer + " < " + script + " > /dev/null";
    t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("sqlite3 shell failed");
      return;
    }
    shell = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  const double readings = double(tags) * n;
  state.counters["readings_per_s"] = readings / ours;
  state.counters["ours_s"] = ours;
  state.counters["shell_import_s"] = shell;
  state.counters["ratio_to_shell"] = ours / shell;
  state.counters["bytes_per_reading"] = double(bytes) / readings;
}
BENCHMARK(BM_ImportVsSqliteShell)->Iterations(1)->Unit(benchmark::kMillisecond);

std::string BigHistoryPath() {
  return (fs::temp_directory_path() / "tarn-bench-history-1000x10k.sqlite").string();
}

// 1000 probes × 10000 readings, and one probe of a million. Built once and kept in the
// temporary folder, so that later runs measure a process that starts cold.
HistoryStore& BigHistory(int64_t* big_probe) {
  static std::unique_ptr<HistoryStore> store;
  static int64_t big = 0;
  if (!store) {
    Work& w = TheWork();
    std::string error;
    store = OpenHistory(BigHistoryPath(), &error);
    const bool built = store->ListProbes(0).size() == 1001;
    for (int f = 0; f < 10 && !built; ++f) {
      const std::string file = w.file("part.nid");
      WriteFile(file, f * 100, 100, 10000);
      store->Import(file, {});
    }
    if (!built) {
      WriteFile(w.file("million.nid"), 100000, 1, 1000000);
      store->Import(w.file("million.nid"), {});
    }
    for (const ProbeSummary& p : store->ListProbes(0)) {
      if (p.count == 1000000) big = p.id;
    }
  }
  *big_probe = big;
  return *store;
}

void BM_ProbeList1000x10000(benchmark::State& state) {
  int64_t big = 0;
  HistoryStore& store = BigHistory(&big);
  std::size_t n = 0;
  for (auto _ : state) n = store.ListProbes(static_cast<int32_t>(state.range(0))).size();
  state.counters["probes"] = static_cast<double>(n);
  state.counters["bytes_per_reading"] =
      double(fs::file_size(BigHistoryPath())) / (1000.0 * 10000 + 1000000);
}
BENCHMARK(BM_ProbeList1000x10000)
    ->Arg(0)
    ->Arg(7)
    ->Arg(30)
    ->Arg(90)
    ->Arg(365)
    ->Arg(14)
    ->Unit(benchmark::kMillisecond);

// The first list of a process, with a window the list offers: nothing cached yet.
void BM_ProbeListColdStart(benchmark::State& state) {
  int64_t big = 0;
  BigHistory(&big);
  std::size_t n = 0;
  for (auto _ : state) {
    std::string error;
    auto store = OpenHistory(BigHistoryPath(), &error);
    n = store->ListProbes(static_cast<int32_t>(state.range(0))).size();
  }
  state.counters["probes"] = static_cast<double>(n);
}
BENCHMARK(BM_ProbeListColdStart)->Arg(7)->Arg(365)->Unit(benchmark::kMillisecond);

void BM_Decimate1MillionTo1920(benchmark::State& state) {
  int64_t big = 0;
  HistoryStore& store = BigHistory(&big);
  std::size_t n = 0;
  for (auto _ : state) {
    n = store.ReadDecimated(big, kStart, kStart + 60LL * 1000000, 1920).size();
  }
  state.counters["points"] = static_cast<double>(n);
}
BENCHMARK(BM_Decimate1MillionTo1920)->Unit(benchmark::kMillisecond);

// 80 points × 6 readings a day × 20 years (3.5 million readings), each element replaced every
// 3 years: 7 probes a point. Built once and kept in the temporary folder.
std::string PlantPath() {
  return (fs::temp_directory_path() / "tarn-bench-points-80x6x20.sqlite").string();
}

HistoryStore& Plant() {
  static std::unique_ptr<HistoryStore> store;
  if (!store) {
    std::string error;
    store = OpenHistory(PlantPath(), &error);
    if (store->ListPoints(0).size() != 80) {
      const auto start = std::chrono::steady_clock::now();
      bench::ImportPointsPlant(*store, bench::PointsPlant{});
      std::fprintf(
          stderr, "plant of %lld readings imported in %.1f s, %.1f B a reading\n",
          static_cast<long long>(bench::PlantReadings(bench::PointsPlant{})),
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          double(DiskBytes(PlantPath())) / double(bench::PlantReadings(bench::PointsPlant{})));
    }
  }
  return *store;
}

// The Points view's one call, on a connection already open (windows kept or summed and cached).
void BM_PointList80x6x20(benchmark::State& state) {
  HistoryStore& store = Plant();
  std::size_t n = 0;
  for (auto _ : state) n = store.ListPoints(static_cast<int32_t>(state.range(0))).size();
  state.counters["points"] = static_cast<double>(n);
}
// 1000 days back reach the element before the current one.
BENCHMARK(BM_PointList80x6x20)
    ->Arg(0)
    ->Arg(30)
    ->Arg(14)
    ->Arg(365)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);

// A fresh connection's first points list: nothing cached.
void BM_PointListFreshConnection(benchmark::State& state) {
  Plant();
  std::size_t n = 0;
  for (auto _ : state) {
    std::string error;
    auto store = OpenHistory(PlantPath(), &error);
    n = store->ListPoints(static_cast<int32_t>(state.range(0))).size();
  }
  state.counters["points"] = static_cast<double>(n);
}
BENCHMARK(BM_PointListFreshConnection)
    ->Arg(30)
    ->Arg(14)
    ->Arg(365)
    ->Arg(1000)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

// A point's 20-year cumulative graph, 7 probes, decimated for 1920 columns.
void BM_PointGraph20YearsTo1920(benchmark::State& state) {
  HistoryStore& store = Plant();
  const PointSummary point = store.ListPoints(0).front();
  std::size_t n = 0, marks = 0;
  for (auto _ : state) {
    const PointSeries s = store.ReadPointSeries(point.id, point.first_time, point.last_time, 1920);
    n = s.readings.size();
    marks = s.replacements.size();
  }
  state.counters["points"] = static_cast<double>(n);
  state.counters["replacements"] = static_cast<double>(marks);
}
BENCHMARK(BM_PointGraph20YearsTo1920)->Unit(benchmark::kMillisecond);

// The same plant with its points in units of ten and 320 events over the 20 years (one in ten
// on a unit), built afresh in a file of this run's own.
HistoryStore& EventsPlant() {
  static std::unique_ptr<HistoryStore> store;
  static const std::string path =
      (fs::temp_directory_path() / ("tarn-bench-events-" + std::to_string(getpid()) + ".sqlite"))
          .string();
  if (!store) {
    std::string error;
    fs::remove(path);
    store = OpenHistory(path, &error);
    const auto start = std::chrono::steady_clock::now();
    bench::ImportPointsPlant(*store, bench::PointsPlant{});
    const Status st = bench::AddPlantEvents(*store, bench::PointsPlant{}, 320);
    std::fprintf(stderr, "events plant built in %.1f s%s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                 st ? "" : (": " + st.message).c_str());
    std::atexit([] { fs::remove(path); });
  }
  return *store;
}

// The events list with the rates before and after each event, for every point it applies to.
void BM_EventFigures80x6x20(benchmark::State& state) {
  HistoryStore& store = EventsPlant();
  std::size_t n = 0;
  for (auto _ : state) n = store.EventFigures(static_cast<int32_t>(state.range(0)), "").size();
  state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_EventFigures80x6x20)->Arg(30)->Arg(365)->Unit(benchmark::kMillisecond);

// The same on a fresh connection: nothing cached.
void BM_EventFiguresFreshConnection(benchmark::State& state) {
  const std::string path = EventsPlant().Location();
  std::size_t n = 0;
  for (auto _ : state) {
    std::string error;
    auto store = OpenHistory(path, &error);
    n = store->EventFigures(30, "").size();
  }
  state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_EventFiguresFreshConnection)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarn
