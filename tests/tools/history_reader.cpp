// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a history as the user running it and says what that user may do with it:
//   history_reader LOCATION FILE
// prints "probes N readings M read-only 0|1" and then the outcome of importing FILE ("import ok"
// or "import failed: MESSAGE"). The two-user tests run it as another user.
#include <climits>
#include <cstdio>
#include <string>

#include "history/history_store.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: history_reader LOCATION FILE\n");
    return 2;
  }
  std::string error;
  auto store = tarn::OpenHistory(argv[1], &error);
  if (!store) {
    std::printf("open failed: %s\n", error.c_str());
    return 1;
  }
  const auto probes = store->ListProbes(0);
  long long readings = 0;
  for (const tarn::ProbeSummary& p : probes) {
    readings += static_cast<long long>(store->ReadRange(p.id, INT64_MIN, INT64_MAX).size());
  }
  std::printf("probes %zu readings %lld read-only %d\n", probes.size(), readings,
              store->ReadOnly() ? 1 : 0);
  const tarn::ImportResult r = store->Import(argv[2], {});
  if (r.status.ok) {
    std::printf("import ok\n");
  } else {
    std::printf("import failed: %s\n", r.status.message.c_str());
  }
  return 0;
}
