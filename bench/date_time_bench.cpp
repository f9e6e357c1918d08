// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one date-time text conversion: the readers convert every reading of a data file, so a
// 65535-reading tag makes 65535 of each.
#include <benchmark/benchmark.h>

#include <string>

#include "common/date_time.h"

namespace tarn {
namespace {

void BM_Str2DateTime(benchmark::State& state) {
  const std::string texts[] = {"07/12/2020 21:31:16", "7-12-2020 9:05", "31/12/9999 23:59:59",
                               "31/02/2020 10:00"};
  int32_t chk = 0;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Str2DateTime(texts[i++ & 3], &chk));
    benchmark::DoNotOptimize(chk);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Str2DateTime);

void BM_DateTime2Str(benchmark::State& state) {
  DateTime dt;
  MakeDateTime(2020, 12, 7, 21, 31, 16, &dt);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DateTime2Str(dt));
    dt.ticks += kTicksPerMinute;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DateTime2Str);

void BM_TimeSpan2Str(benchmark::State& state) {
  DateTime dt;
  MakeDateTime(2020, 12, 7, 0, 0, 0, &dt);
  double minutes = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TimeSpan2Str(dt, minutes));
    minutes += 90.5;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimeSpan2Str);

}  // namespace
}  // namespace tarn
