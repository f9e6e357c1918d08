// SPDX-License-Identifier: GPL-3.0-or-later
// The periods (hours, days, weeks) that an import's new readings of a probe fall in, for the
// figures the server keeps of each period.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "history/store_primitives.h"

namespace tarn {

// The period of `length` seconds that time t falls in, counted from the readings' epoch.
inline int64_t PeriodOf(HistoryTime t, int64_t length) {
  const int64_t rel = t - kReadingEpoch;
  return rel / length - (rel % length < 0 ? 1 : 0);
}

// Walks the periods of a probe's readings added straight (`fresh`, in time order, with the
// stored readings `stored` of their span). `whole(period, readings)` gets each period whose every
// reading is at hand (the new ones, then the stored ones); `recount(period)` each period that may
// hold stored readings not at hand, whose figures must come from the table.
template <typename Whole, typename Recount>
void WalkPeriods(const ImportProbe& before, const std::vector<HistoryReading>& fresh,
                 const std::vector<HistoryReading>& stored, int64_t length, Whole whole,
                 Recount recount) {
  if (fresh.empty()) return;
  const int64_t first_period = PeriodOf(fresh.front().time, length);
  const int64_t last_period = PeriodOf(fresh.back().time, length);
  // When the new readings' span meets the probe's, `stored` holds every stored reading of it,
  // so of every period inside it; the periods at its ends may hold stored readings beyond.
  const bool span_read =
      before.count > 0 && fresh.front().time <= before.last && fresh.back().time >= before.first;
  std::size_t s = 0;
  std::vector<const HistoryReading*> readings;
  for (std::size_t i = 0, j = 0; i < fresh.size(); i = j) {
    const int64_t period = PeriodOf(fresh[i].time, length);
    while (j < fresh.size() && PeriodOf(fresh[j].time, length) == period) ++j;
    const HistoryTime start = kReadingEpoch + period * length;
    const HistoryTime end = start + length - 1;
    const bool none_stored = before.count == 0 || start > before.last || end < before.first;
    if (!none_stored && !(span_read && period > first_period && period < last_period)) {
      recount(period);
      continue;
    }
    readings.clear();
    for (std::size_t k = i; k < j; ++k) readings.push_back(&fresh[k]);
    if (!none_stored) {
      while (s < stored.size() && stored[s].time < start) ++s;
      for (; s < stored.size() && stored[s].time <= end; ++s) readings.push_back(&stored[s]);
    }
    whole(period, start, readings);
  }
}

}  // namespace tarn
