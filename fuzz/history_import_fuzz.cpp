// libFuzzer target: any bytes as an instrument data file imported into a probe history, which
// must then hold exactly what the import reported, twice over (the second import adds nothing).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_store.h"

namespace {

std::string TempPath(const char* name) {
  return "/tmp/tarn-fuzz-" + std::to_string(static_cast<long>(getpid())) + name;
}

struct TempFiles {
  ~TempFiles() { Clear(); }
  void Clear() const {
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((history + suffix).c_str());
    std::remove(input.c_str());
  }
  std::string input = TempPath(".nid");
  std::string history = TempPath(".sqlite");
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const TempFiles files;
  files.Clear();
  FILE* f = std::fopen(files.input.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::string error;
  auto store = tarn::OpenHistory(files.history, &error);
  if (!store) std::abort();
  const tarn::ImportResult first = store->Import(files.input, {});
  if (!first.status.ok) return 0;
  int64_t held = 0;
  for (const tarn::ProbeSummary& p : store->ListProbes(0)) {
    const auto readings = store->ReadRange(p.id, INT64_MIN, INT64_MAX);
    if (static_cast<int64_t>(readings.size()) != p.count) std::abort();
    held += p.count;
  }
  if (held != first.added) std::abort();
  const tarn::ImportResult again = store->Import(files.input, {});
  if (!again.status.ok || again.added != 0 || again.duplicates != first.added + first.duplicates ||
      again.conflicts < first.conflicts) {
    std::abort();
  }
  return 0;
}
