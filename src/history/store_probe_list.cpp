// SPDX-License-Identifier: GPL-3.0-or-later
// The probe list of every back end: each probe's figures from its stored sums and the sums of
// its rate window.
#include <climits>
#include <cstddef>
#include <set>
#include <utility>

#include "history/store_primitives.h"

namespace tarn {

std::vector<ProbeRow> ProbeRowsIn(StorePrimitives& store, WindowSumCache& cache, int64_t probe_id,
                                  int32_t window_days, Status* error,
                                  const std::set<int64_t>* windowed) {
  if (*error = store.ReadyToRead(); !*error) return {};
  const HistoryLimits defaults = store.DefaultLimits();
  std::vector<ProbeRow> rows;
  if (*error = store.ReadProbeRows(probe_id, window_days, &rows); !*error) return {};

  auto unchanged = [&](const ProbeRow& row) {
    const auto it = cache.entries.find({row.probe.id, window_days});
    return it != cache.entries.end() && it->second.count == row.probe.count &&
           it->second.last == row.probe.last_time && it->second.sy == row.whole.sy &&
           it->second.sxy == row.whole.sxy;
  };
  std::vector<const ProbeSummary*> unkept;
  for (const ProbeRow& row : rows) {
    if (window_days > 0 && !row.window && row.probe.count > 0 && !unchanged(row) &&
        (windowed == nullptr || windowed->count(row.probe.id) > 0)) {
      unkept.push_back(&row.probe);
    }
  }
  if (!unkept.empty()) {
    std::map<int64_t, RegressionSums> sums;
    if (*error = store.SumWindows(unkept, window_days, &sums); !*error) return {};
    for (const ProbeRow& row : rows) {
      if (const auto it = sums.find(row.probe.id); it != sums.end()) {
        cache.entries[{row.probe.id, window_days}] = {row.probe.count, row.probe.last_time,
                                                      row.whole.sy, row.whole.sxy, it->second};
      }
    }
  }
  for (ProbeRow& row : rows) {
    ProbeSummary& p = row.probe;
    if (!p.own_limits) p.limits = defaults;
    if (window_days <= 0) {
      row.window.reset();
    } else if (!row.window && (windowed == nullptr || windowed->count(p.id) > 0)) {
      row.window = p.count > 0 ? cache.entries[{p.id, window_days}].sums : RegressionSums{};
    }
  }
  if (*error = LeaveOutSetAside(store, probe_id, window_days, &rows); !*error) return {};
  return rows;
}

std::vector<ProbeSummary> ProbesIn(StorePrimitives& store, WindowSumCache& cache, int64_t probe_id,
                                   int32_t window_days, Status* error) {
  std::vector<ProbeRow> rows = ProbeRowsIn(store, cache, probe_id, window_days, error);
  std::vector<ProbeSummary> list;
  list.reserve(rows.size());
  for (ProbeRow& row : rows) {
    FillRowFigures(&row);
    list.push_back(std::move(row.probe));
  }
  return list;
}

void WindowSumCache::Forget(int64_t probe_id) {
  if (probe_id == 0) {
    entries.clear();
    firsts.clear();
    return;
  }
  firsts.erase(probe_id);
  entries.erase(entries.lower_bound({probe_id, INT32_MIN}),
                entries.upper_bound({probe_id, INT32_MAX}));
}

void LayeredHistory::ForgetWindowSums(int64_t probe_id) {
  window_sums_.Forget(probe_id);
}

std::vector<ProbeSummary> LayeredHistory::ListProbes(int32_t window_days) {
  return ProbesIn(*this, window_sums_, 0, window_days, &last_error_);
}

std::optional<ProbeSummary> LayeredHistory::GetProbe(int64_t probe_id, int32_t window_days) {
  if (probe_id <= 0) return std::nullopt;
  auto list = ProbesIn(*this, window_sums_, probe_id, window_days, &last_error_);
  if (list.empty()) return std::nullopt;
  return std::move(list.front());
}

}  // namespace tarn
