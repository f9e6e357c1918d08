// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes as an instrument data file imported into a probe history, which
// must then hold exactly what the import reported, twice over (the second import adds nothing).
// The history lives in memory and is emptied between inputs; the input file on a RAM disk. Run it
// with -max_len=1024, as the README says.
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

// The C library's own allocator, which the sanitiser does not intercept.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace {

std::string InputPath() {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/tarn-fuzz-" + std::to_string(static_cast<long>(getpid())) + ".nid";
}

struct Input {
  ~Input() { std::remove(path.c_str()); }
  std::string path = InputPath();
};

// SQLite's memory methods over the C library's allocator. Each block keeps its size in the eight
// bytes before it, as SQLite's methods must report it.
void* DirectMalloc(int n) {
  auto* p = static_cast<int64_t*>(__libc_malloc(static_cast<std::size_t>(n) + 8));
  if (!p) return nullptr;
  *p = n;
  return p + 1;
}
void DirectFree(void* p) {
  if (p) __libc_free(static_cast<int64_t*>(p) - 1);
}
void* DirectRealloc(void* p, int n) {
  auto* q = static_cast<int64_t*>(
      __libc_realloc(static_cast<int64_t*>(p) - 1, static_cast<std::size_t>(n) + 8));
  if (!q) return nullptr;
  *q = n;
  return q + 1;
}
int DirectSize(void* p) {
  return p ? static_cast<int>(static_cast<int64_t*>(p)[-1]) : 0;
}
int DirectRoundup(int n) {
  return (n + 7) & ~7;
}
int DirectInit(void*) {
  return SQLITE_OK;
}
void DirectShutdown(void*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const Input input;
  static std::unique_ptr<tarn::HistoryStore> store = [] {
    // SQLite's memory straight from the C library, past the sanitiser's allocator: its
    // quarantine and the stack kept with every block took a third of every run, for memory
    // that only SQLite, which is not what is fuzzed here, ever touches. Our own code keeps it.
    static const sqlite3_mem_methods kDirect = {&DirectMalloc,   &DirectFree,    &DirectRealloc,
                                                &DirectSize,     &DirectRoundup, &DirectInit,
                                                &DirectShutdown, nullptr};
    sqlite3_config(SQLITE_CONFIG_MALLOC, &kDirect);
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
