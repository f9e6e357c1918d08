// SPDX-License-Identifier: GPL-3.0-or-later
// Warning and alarm levels of every back end: a probe's own or the defaults, checked before
// they are stored.
#include <string>

#include "history/probe_figures.h"
#include "history/store_primitives.h"

namespace tarn {

HistoryLimits LimitsOf(StorePrimitives& store, int64_t probe_id, Status* error) {
  if (*error = store.ReadyToRead(); !*error) return {};
  if (probe_id != 0) {
    std::optional<HistoryLimits> own;
    *error = store.ReadOwnLimits(probe_id, &own);
    if (own) return *own;
  }
  return store.DefaultLimits();
}

Status SetLimitsIn(StorePrimitives& store, int64_t probe_id, const HistoryLimits& limits) {
  if (Status st = store.MayWrite(); !st) return st;
  if (Status st = CheckLimits(limits); !st) return st;
  if (probe_id != 0) {
    bool exists = false;
    if (Status st = store.ProbeExists(probe_id, &exists); !st) return st;
    if (!exists) return Status::Fail("No probe with id " + std::to_string(probe_id) + ".");
  }
  return store.WriteLimits(probe_id, limits);
}

Status ClearLimitsIn(StorePrimitives& store, int64_t probe_id) {
  if (Status st = store.MayWrite(); !st) return st;
  if (probe_id == 0) return SetLimitsIn(store, 0, HistoryLimits{});
  return store.DeleteLimits(probe_id);
}

HistoryLimits LayeredHistory::GetLimits(int64_t probe_id) {
  return LimitsOf(*this, probe_id, &last_error_);
}

Status LayeredHistory::SetLimits(int64_t probe_id, const HistoryLimits& limits) {
  return SetLimitsIn(*this, probe_id, limits);
}

Status LayeredHistory::ClearLimits(int64_t probe_id) {
  return ClearLimitsIn(*this, probe_id);
}

}  // namespace tarn
