// SPDX-License-Identifier: GPL-3.0-or-later
// Exports of one tag of 65535 readings: the XLSX workbook and the BIFF2 spreadsheet beside the
// CSV text in the same run, so their ratio is read on the same machine load.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/analysis_export.h"
#include "analysis/nembra_reader.h"
#include "common/date_time.h"
#include "graph/grp_values.h"
#include "settings/settings.h"

namespace tarn {
namespace {

// One tag of `readings` readings, read once; the files live in a folder removed at exit.
struct Tag {
  explicit Tag(int readings = kGrpCapacity)
      : grp(std::make_unique<_grp_values_>()), reader(*grp, setup, nullptr) {
    dir = std::filesystem::temp_directory_path() /
          ("tarn-export-bench-" + std::to_string(static_cast<long>(getpid())) + "-" +
           std::to_string(readings));
    std::filesystem::create_directories(dir);
    const std::string nid = (dir / "tag.nid").string();
    FILE* f = std::fopen(nid.c_str(), "wb");
    if (!f) std::abort();
    DateTime start;
    MakeDateTime(2020, 1, 1, 8, 0, 30, &start);
    std::fprintf(f,
                 "ER DATA\nTAG NUMBER : PROBE-1\nSERIAL NUMBER : 1234\nPART NUMBER : ER-100\n"
                 "PROBE TYPE : FLUSH\nMETAL LOSS UNIT : MILS\nTHICKNESS : 10\n"
                 "READING INTERVAL : 1 HOUR\nSTART TIME : %s\nINDEX  DATE TIME  RS_RR  RS\n",
                 DateTime2Str(start).c_str());
    for (int i = 0; i < readings; ++i) {
      const std::string when = DateTime2Str(DateTime{start.ticks + i * 60 * kTicksPerMinute});
      std::fprintf(f, "%d %s %.4f %.4f\n", i + 1, when.c_str(), 1.0 + i * 1e-5, 100.0);
    }
    std::fclose(f);
    reader.Open(nid);
    reader.FileName = nid;
    reader.cur_tag = 0;
    reader.GetData(0);
    if (reader.record_count != readings) {
      std::fprintf(stderr, "read %d readings\n", reader.record_count);
      std::abort();
    }
  }
  ~Tag() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string Out(const char* name) const { return (dir / name).string(); }

  _basic_set_ setup{};
  std::unique_ptr<_grp_values_> grp;
  NembraReader reader;
  std::filesystem::path dir;
};

Tag& TheTag() {
  static Tag tag;
  return tag;
}

// The most readings a spreadsheet file takes below the 12 rows of a Nembra ER tag's header.
Tag& SheetTag() {
  static Tag tag(65524);
  return tag;
}

void BM_ExportCsv(benchmark::State& state) {
  Tag& t = TheTag();
  const std::string out = t.Out("tag.csv");
  for (auto _ : state) {
    if (!SaveCsv(t.reader, out)) state.SkipWithError("CSV export failed");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ExportXlsx(benchmark::State& state) {
  Tag& t = TheTag();
  const std::string out = t.Out("tag.xlsx");
  for (auto _ : state) {
    if (!SaveXlsx(t.reader, out)) state.SkipWithError("XLSX export failed");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
}
BENCHMARK(BM_ExportXlsx)->Unit(benchmark::kMillisecond)->MinTime(2.0);

double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The spreadsheet export and the CSV of the same tag taken in turns, so that both see the same
// load; the fastest of each (processor time, and wall time with the disk sync) and their ratio.
void BM_ExportXlsBesideCsv(benchmark::State& state) {
  Tag& t = SheetTag();
  const std::string xls = t.Out("tag.xls"), csv = t.Out("tag.csv");
  double best[2][2] = {{1e9, 1e9}, {1e9, 1e9}};  // [xls, csv][cpu, wall]
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      const auto wall = std::chrono::steady_clock::now();
      const double cpu = CpuMs();
      const bool ok = k == 0 ? SaveXls(t.reader, xls).ok : SaveCsv(t.reader, csv).ok;
      if (!ok) state.SkipWithError("export failed");
      best[k][0] = std::min(best[k][0], CpuMs() - cpu);
      best[k][1] = std::min(best[k][1], std::chrono::duration<double, std::milli>(
                                            std::chrono::steady_clock::now() - wall)
                                            .count());
    }
  }
  state.counters["xls_cpu_ms"] = best[0][0];
  state.counters["csv_cpu_ms"] = best[1][0];
  state.counters["cpu_ratio"] = best[0][0] / best[1][0];
  state.counters["xls_wall_ms"] = best[0][1];
  state.counters["csv_wall_ms"] = best[1][1];
  state.counters["wall_ratio"] = best[0][1] / best[1][1];
}
BENCHMARK(BM_ExportXlsBesideCsv)->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace
}  // namespace tarn
