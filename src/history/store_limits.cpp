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

namespace {

// The limits `probe_id` (0: the defaults) follows now, as the trail writes them.
Status LimitsNow(StorePrimitives& store, int64_t probe_id, std::string* text) {
  std::optional<HistoryLimits> own;
  if (probe_id != 0) {
    if (Status st = store.ReadOwnLimits(probe_id, &own); !st) return st;
  }
  if (own) {
    *text = LimitsText(*own);
  } else {
    const std::string defaults = LimitsText(store.DefaultLimits());
    *text = probe_id != 0 ? "the defaults (" + defaults + ")" : defaults;
  }
  return {};
}

// Writes a probe's own limits (or the defaults), or drops its own when `limits` is null, with
// the change in the trail.
Status ChangeLimits(StorePrimitives& store, int64_t probe_id, const HistoryLimits* limits) {
  if (Status st = store.BeginWrite(); !st) return st;
  std::string what = "default limits", before, after;
  Status st;
  if (probe_id != 0) {
    st = NameProbe(store, probe_id, &what);
    what = "limits of " + what;
  }
  if (st) st = LimitsNow(store, probe_id, &before);
  if (st) st = limits ? store.WriteLimits(probe_id, *limits) : store.DeleteLimits(probe_id);
  if (st) st = LimitsNow(store, probe_id, &after);
  // Limits set to what they were change nothing and leave no line.
  if (st && before != after) st = RecordChange(store, what, before, after);
  if (st) st = store.Commit();
  if (!st) store.RollbackWrite();
  return st;
}

}  // namespace

Status SetLimitsIn(StorePrimitives& store, int64_t probe_id, const HistoryLimits& limits) {
  if (Status st = store.MayWrite(); !st) return st;
  if (Status st = CheckLimits(limits); !st) return st;
  return ChangeLimits(store, probe_id, &limits);
}

Status ClearLimitsIn(StorePrimitives& store, int64_t probe_id) {
  if (Status st = store.MayWrite(); !st) return st;
  if (probe_id == 0) return SetLimitsIn(store, 0, HistoryLimits{});
  return ChangeLimits(store, probe_id, nullptr);
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
