// SPDX-License-Identifier: GPL-3.0-or-later
// The history graph at 1920 by 1080 over one probe of 10 million readings (one a minute for 19
// years) in a real history file: a redraw once read, and a zoom (a new read of the visible range
// from the store plus the redraw). The history is built once and kept in the temporary folder.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "common/date_time.h"
#include "graph/ui/qimage_surface.h"
#include "history/history_graph.h"
#include "history/history_store.h"

namespace tarn {
namespace {

constexpr int64_t kReadings = 10'000'000;
constexpr int kPerFile = 65535;

std::string HistoryPath() {
  return (std::filesystem::temp_directory_path() / "tarn-bench-history-10M.sqlite").string();
}

// Writes the readings from..to of the probe as one ER download.
void WriteFile(const std::string& path, int64_t from, int64_t to, DateTime start) {
  std::ofstream out(path, std::ios::binary);
  out << "NEMBRA NDL-200 PORTABLE LOGGER\nDOWNLOAD OF STORED ER PROBES\n\n"
         "TAG NUMBER      : BENCH-10M\nSERIAL NUMBER   : B1\nPART NUMBER     : ER-F10-316\n"
         "PROBE TYPE      : FLUSH\nMETAL LOSS UNIT : MILS\nTHICKNESS       : 10\n"
         "READING INTERVAL: 1 MIN\nSTART TIME      : "
      << DateTime2Str(DateTime{start.ticks + from * kTicksPerMinute})
      << "\n  NO.  DATE       TIME       RS_RR    TEMP(C)\n";
  char line[80];
  for (int64_t i = from; i < to; ++i) {
    const double ratio = 1.0 + 0.2 * double(i) / kReadings + 0.002 * std::sin(double(i) / 5000.0);
    std::snprintf(line, sizeof line, "%5lld %s %.4f    25.0\n",
                  static_cast<long long>(i - from + 1),
                  DateTime2Str(DateTime{start.ticks + i * kTicksPerMinute}).c_str(), ratio);
    out << line;
  }
}

HistoryStore* Store(int64_t* probe_id) {
  static std::unique_ptr<HistoryStore> store;
  static int64_t id = 0;
  if (!store) {
    std::string error;
    store = OpenHistory(HistoryPath(), &error);
    if (!store) {
      std::fprintf(stderr, "history: %s\n", error.c_str());
      return nullptr;
    }
    std::vector<ProbeSummary> probes = store->ListProbes(30);
    if (probes.empty() || probes.front().count < kReadings) {
      std::fprintf(stderr, "building the 10M-reading history in %s ...\n", HistoryPath().c_str());
      DateTime start;
      MakeDateTime(2005, 1, 1, 0, 0, 0, &start);
      const std::string file = HistoryPath() + ".nid";
      for (int64_t from = 0; from < kReadings; from += kPerFile) {
        WriteFile(file, from, std::min<int64_t>(from + kPerFile, kReadings), start);
        const ImportResult r = store->Import(file, ImportControl{});
        if (!r.status) std::fprintf(stderr, "import: %s\n", r.status.message.c_str());
      }
      std::filesystem::remove(file);
      probes = store->ListProbes(30);
    }
    if (probes.empty()) return nullptr;
    id = probes.front().id;
  }
  *probe_id = id;
  return store.get();
}

struct Graph {
  HistoryStore* store;
  std::unique_ptr<HistoryGraph> view;
};

Graph Open() {
  int64_t id = 0;
  HistoryStore* store = Store(&id);
  Graph g{store, nullptr};
  if (store == nullptr) return g;
  g.view = std::make_unique<HistoryGraph>(
      [store](int64_t probe, HistoryTime from, HistoryTime to, int32_t columns) {
        return store->ReadDecimated(probe, from, to, columns);
      },
      QImageSurface::Factory());
  g.view->SetProbes({*store->GetProbe(id, 30)}, 0xFF0000FFu, 0xFFFF0000u);
  g.view->gInit(1920, 1080, 0, 10);
  g.view->RedrawGraph();
  return g;
}

void BM_HistoryRedraw(benchmark::State& state) {
  Graph g = Open();
  if (!g.view) return state.SkipWithError("no history");
  const int64_t reads = g.view->reads();
  for (auto _ : state) g.view->RedrawGraph();
  if (g.view->reads() != reads) state.SkipWithError("a redraw read the store");
  state.counters["points"] = static_cast<double>(g.view->series()[0].x.size());
  state.counters["readings"] = static_cast<double>(g.view->series()[0].probe.count);
}
BENCHMARK(BM_HistoryRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

// A zoom to a random stretch of 1/range(0) of the whole history: read + redraw.
void BM_HistoryZoom(benchmark::State& state) {
  Graph g = Open();
  if (!g.view) return state.SkipWithError("no history");
  std::mt19937 rng(7);
  const int full = g.view->full_max();
  const int span = full / static_cast<int>(state.range(0));
  int64_t points = 0;
  for (auto _ : state) {
    const int from = std::uniform_int_distribution<int>(0, full - span)(rng);
    g.view->engine.grMinx = from;
    g.view->engine.grMaxx = from + span;
    g.view->RedrawGraph();
    points += static_cast<int64_t>(g.view->series()[0].x.size());
  }
  state.counters["points"] = static_cast<double>(points) / state.iterations();
}
BENCHMARK(BM_HistoryZoom)
    ->Arg(1)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tarn

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
