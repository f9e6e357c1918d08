// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the instrument data file reader on a large Nembra file: indexing throughput next to a
// plain line-feed scan of the same file, and reading one full tag.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/nembra_reader.h"
#include "common/date_time.h"
#include "graph/grp_values.h"
#include "settings/settings.h"

namespace tarn {
namespace {

constexpr int kTags = 100;
constexpr int kReadings = kGrpCapacity;

// The generated file lives in a temporary folder for the whole run and is removed at exit.
class BenchFile {
 public:
  BenchFile() {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarn-bench-" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "big.nid").string();
    Generate();
    size_ = static_cast<int64_t>(std::filesystem::file_size(path_));
  }
  ~BenchFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& path() const { return path_; }
  int64_t size() const { return size_; }

 private:
  void Generate() {
    FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) std::abort();
    DateTime start;
    MakeDateTime(2020, 1, 1, 8, 0, 30, &start);
    std::string block;
    for (int t = 0; t < kTags; ++t) {
      block = "ER DATA\nTAG NUMBER : PROBE-" + std::to_string(t) +
              "\nSERIAL NUMBER : 1234\nPART NUMBER : ER-100\nPROBE TYPE : FLUSH\n"
              "METAL LOSS UNIT : MILS\nTHICKNESS : 10\nREADING INTERVAL : 1 HOUR\n"
              "START TIME : " +
              DateTime2Str(start) + "\nINDEX  DATE TIME  RS_RR  RS\n";
      char line[96];
      for (int i = 0; i < kReadings; ++i) {
        const std::string when = DateTime2Str(DateTime{start.ticks + i * 60 * kTicksPerMinute});
        const int n = std::snprintf(line, sizeof line, "%d %s %.4f %.4f\n", i + 1, when.c_str(),
                                    1.0 + i * 1e-5, 100.0 + (i % 7) * 0.01);
        block.append(line, static_cast<std::size_t>(n));
      }
      std::fwrite(block.data(), 1, block.size(), f);
    }
    std::fclose(f);
  }

  std::filesystem::path dir_;
  std::string path_;
  int64_t size_ = 0;
};

const BenchFile& File() {
  static BenchFile file;
  return file;
}

// Reads the whole file in large blocks and counts line feeds: the floor for any line reader.
int64_t PlainScan(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::vector<char> buffer(1 << 20);
  int64_t lines = 0;
  std::size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
    const char* p = buffer.data();
    const char* end = p + got;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
      ++lines;
      ++p;
    }
  }
  std::fclose(f);
  return lines;
}

struct Reader {
  Reader() : grp(std::make_unique<_grp_values_>()), reader(*grp, setup, nullptr) {
    setup.pi_of_tubular = 312.5;
  }
  _basic_set_ setup{};
  std::unique_ptr<_grp_values_> grp;
  NembraReader reader;
};

void BM_PlainScan(benchmark::State& state) {
  const BenchFile& file = File();
  for (auto _ : state) benchmark::DoNotOptimize(PlainScan(file.path()));
  state.SetBytesProcessed(state.iterations() * file.size());
}
BENCHMARK(BM_PlainScan)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_Open(benchmark::State& state) {
  const BenchFile& file = File();
  auto r = std::make_unique<Reader>();
  double open_s = 0, scan_s = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    r->reader.Open(file.path());
    open_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.PauseTiming();
    // A scan after each Open, so both see the same disk cache and machine load.
    const auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(PlainScan(file.path()));
    scan_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
    state.ResumeTiming();
  }
  if (r->reader.tag_count != kTags) state.SkipWithError("wrong tag count");
  state.SetBytesProcessed(state.iterations() * file.size());
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
  state.counters["scan_MB/s"] =
      static_cast<double>(file.size()) * state.iterations() / scan_s / 1e6;
  state.counters["open_over_scan"] = open_s / scan_s;
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Reads bytes [from, to) of the file in 64 KiB blocks and counts their line feeds.
int64_t ScanRange(const std::string& path, int64_t from, int64_t to) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f || fseeko(f, from, SEEK_SET) != 0) return -1;
  std::vector<char> buffer(1 << 16);
  int64_t lines = 0;
  for (int64_t left = to - from; left > 0;) {
    const std::size_t got = std::fread(buffer.data(), 1, std::min<int64_t>(left, buffer.size()), f);
    if (got == 0) break;
    left -= static_cast<int64_t>(got);
    for (const char* p = buffer.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', buffer.data() + got - p))) != nullptr;
         ++p) {
      ++lines;
    }
  }
  std::fclose(f);
  return lines;
}

// One whole tag, beside the floor of reading its lines: the same bytes scanned for line feeds in
// the same loop; the fastest of each.
void BM_GetDataFullTag(benchmark::State& state) {
  const BenchFile& file = File();
  auto r = std::make_unique<Reader>();
  r->reader.Open(file.path());
  r->reader.FileName = file.path();
  const int tag = kTags / 2;
  const int64_t from = r->reader.data_ptr[tag], to = r->reader.tag_ptr[tag + 1];
  double best_get = 1e9, best_scan = 1e9;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    r->reader.GetData(tag);
    best_get = std::min(
        best_get,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    state.PauseTiming();
    const auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ScanRange(file.path(), from, to));
    best_scan = std::min(
        best_scan,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t1).count());
    state.ResumeTiming();
  }
  if (r->reader.record_count != kReadings) state.SkipWithError("wrong reading count");
  state.counters["readings"] = r->reader.record_count;
  state.counters["get_ms"] = best_get;
  state.counters["scan_ms"] = best_scan;
  state.counters["get_over_scan"] = best_get / best_scan;
}
BENCHMARK(BM_GetDataFullTag)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Seconds for one run of a whole command, output thrown away.
double RunSeconds(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  if (std::system((command + " >/dev/null").c_str()) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// tarn-export tags as a whole process (start, index, print) against wc -l on the same file,
// taken in turns so both see the same load; the minimum of each is kept.
void BM_ExportTagsProcess(benchmark::State& state) {
  const BenchFile& file = File();
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return state.SkipWithError("no own path");
  self[n] = '\0';
  const char* env = std::getenv("TARN_EXPORT");
  const std::string tool =
      env ? env : (std::filesystem::path(self).parent_path() / "../src/app/tarn-export").string();
  if (!std::filesystem::exists(tool)) return state.SkipWithError("no tarn-export; set TARN_EXPORT");
  double best_tool = 1e9, best_wc = 1e9;
  for (auto _ : state) {
    best_tool = std::min(best_tool, RunSeconds(tool + " tags " + file.path()));
    state.PauseTiming();
    best_wc = std::min(best_wc, RunSeconds("wc -l " + file.path()));
    state.ResumeTiming();
  }
  state.counters["tags_ms"] = best_tool * 1e3;
  state.counters["wc_ms"] = best_wc * 1e3;
  state.counters["tags_over_wc"] = best_tool / best_wc;
}
BENCHMARK(BM_ExportTagsProcess)->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace
}  // namespace tarn
