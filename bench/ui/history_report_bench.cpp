// SPDX-License-Identifier: GPL-3.0-or-later
// The PDF report of 50 probes with 100,000 readings each (one a minute) from a real history
// file, cover and fleet table included. The history is built once and kept in the temporary
// folder.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/date_time.h"
#include "history/history_store.h"
#include "history/ui/history_report.h"

namespace tarn {
namespace {

constexpr int kProbes = 50;
constexpr int64_t kReadings = 100'000;

std::string BenchPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void WriteFile(const std::string& path, int probe, DateTime start) {
  std::ofstream out(path, std::ios::binary);
  out << "NEMBRA NDL-200 PORTABLE LOGGER\nDOWNLOAD OF STORED ER PROBES\n\n"
         "TAG NUMBER      : R-"
      << probe
      << "\nSERIAL NUMBER   : B1\nPART NUMBER     : ER-F10-316\n"
         "PROBE TYPE      : FLUSH\nMETAL LOSS UNIT : MILS\nTHICKNESS       : 10\n"
         "READING INTERVAL: 1 MIN\nSTART TIME      : "
      << DateTime2Str(start) << "\n  NO.  DATE       TIME       RS_RR    TEMP(C)\n";
  char line[80];
  for (int64_t i = 0; i < kReadings; ++i) {
    const double ratio =
        1.0 + (0.05 + 0.005 * probe) * double(i) / kReadings + 0.002 * std::sin(double(i) / 500.0);
    std::snprintf(line, sizeof line, "%5lld %s %.4f    25.0\n", static_cast<long long>(i + 1),
                  DateTime2Str(DateTime{start.ticks + i * kTicksPerMinute}).c_str(), ratio);
    out << line;
  }
}

HistoryStore* Store() {
  static std::unique_ptr<HistoryStore> store;
  if (!store) {
    std::string error;
    store = OpenHistory(BenchPath("tarn-bench-history-50x100k.sqlite"), &error);
    if (!store) {
      std::fprintf(stderr, "history: %s\n", error.c_str());
      return nullptr;
    }
    if (store->ListProbes(0).size() < kProbes) {
      std::fprintf(stderr, "building the 50 x 100000 history ...\n");
      DateTime start;
      MakeDateTime(2024, 1, 1, 0, 0, 0, &start);
      const std::string file = BenchPath("tarn-bench-report.nid");
      for (int p = 0; p < kProbes; ++p) {
        WriteFile(file, p, start);
        const ImportResult r = store->Import(file, ImportControl{});
        if (!r.status) std::fprintf(stderr, "import: %s\n", r.status.message.c_str());
      }
      std::filesystem::remove(file);
    }
  }
  return store.get();
}

void BM_HistoryReport(benchmark::State& state) {
  HistoryStore* store = Store();
  if (store == nullptr) {
    state.SkipWithError("no history");
    return;
  }
  const std::string out = BenchPath("tarn-bench-report.pdf");
  for (auto _ : state) {
    std::string error;
    if (!SaveHistoryReport(*store, ReportRequest{}, out, &error))
      state.SkipWithError(error.c_str());
  }
  state.counters["pdf_bytes"] = static_cast<double>(std::filesystem::file_size(out));
}
BENCHMARK(BM_HistoryReport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace tarn

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
