// SPDX-License-Identifier: GPL-3.0-or-later
// Removing a probe from every back end: its readings, conflicts, sums and limits, at once.
#include <optional>
#include <string>

#include "history/store_primitives.h"

namespace tarn {

Status RemoveProbeFrom(StorePrimitives& store, int64_t probe_id) {
  if (Status st = store.MayWrite(); !st) return st;
  const Status unknown = Status::Fail("No probe with id " + std::to_string(probe_id) + ".");
  if (probe_id <= 0) return unknown;
  // Under the write lock: an import must not add readings to a probe going away.
  if (Status st = store.BeginWrite(); !st) return st;
  std::optional<ProbeKey> key;
  std::vector<ProbeRow> rows;
  Status st = store.ReadProbeRows(probe_id, 0, &rows);
  if (st && rows.empty()) st = unknown;
  if (st) st = store.DropReadings(probe_id);
  if (st) st = store.RemoveEmptyProbe(probe_id, &key);
  if (st && !key) st = unknown;
  if (st) {
    st = RecordChange(store, ProbeNameOf(probe_id, *key),
                      std::to_string(rows.front().probe.count) + " readings", "removed");
  }
  if (st) st = store.Commit();
  if (!st) store.RollbackWrite();
  return st;
}

Status LayeredHistory::RemoveProbe(int64_t probe_id) {
  ForgetWindowSums(probe_id);
  return RemoveProbeFrom(*this, probe_id);
}

}  // namespace tarn
