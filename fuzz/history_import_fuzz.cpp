// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes as an instrument data file imported into a probe history, which
// must then hold exactly what the import reported, twice over (the second import adds nothing).
// The history lives in memory and is emptied between inputs; the input file on a RAM disk.
#include <sqlite3.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace {

std::string InputPath() {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/tarn-fuzz-" + std::to_string(static_cast<long>(getpid())) + ".nid";
}

struct Input {
  ~Input() { std::remove(path.c_str()); }
  std::string path = InputPath();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const Input input;
  static std::unique_ptr<tarn::HistoryStore> store = [] {
    // SQLite's pages and small objects from its own pools: the sanitiser's allocator, with its
    // quarantine, would otherwise take a third of every run. Our own code keeps it.
    static std::vector<char> pages(4200 * 512);
    sqlite3_config(SQLITE_CONFIG_PAGECACHE, pages.data(), 4200, 512);
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 512, 512);
    std::string error;
    auto s = tarn::OpenHistory(":memory:", &error);
    if (!s) std::abort();
    return s;
  }();
  FILE* f = std::fopen(input.path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  const tarn::ImportResult first = store->Import(input.path, {});
  const std::vector<tarn::ProbeSummary> probes = store->ListProbes(0);
  if (first.status.ok) {
    int64_t held = 0;
    for (const tarn::ProbeSummary& p : probes) {
      const auto readings = store->ReadRange(p.id, INT64_MIN, INT64_MAX);
      if (static_cast<int64_t>(readings.size()) != p.count) std::abort();
      held += p.count;
    }
    if (held != first.added) std::abort();
    const tarn::ImportResult again = store->Import(input.path, {});
    if (!again.status.ok || again.added != 0 ||
        again.duplicates != first.added + first.duplicates || again.conflicts != first.conflicts ||
        again.skipped != first.skipped) {
      std::abort();
    }
  } else if (!probes.empty()) {
    std::abort();  // a failed import left something behind
  }
  for (const tarn::ProbeSummary& p : probes) {
    if (!store->RemoveProbe(p.id)) std::abort();
  }
  return 0;
}
