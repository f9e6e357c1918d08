// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes as an instrument data file imported into a probe history, which
// must then hold exactly what the import reported, twice over (the second import adds nothing).
// The history lives in memory and is emptied between inputs; the input file on a RAM disk.
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

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
  if (first.status.ok) {
    int64_t held = 0;
    for (const tarn::ProbeSummary& p : store->ListProbes(0)) {
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
  }
  for (const tarn::ProbeSummary& p : store->ListProbes(0)) {
    if (!store->RemoveProbe(p.id)) std::abort();
  }
  return 0;
}
