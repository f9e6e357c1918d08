// SPDX-License-Identifier: GPL-3.0-or-later
// The trail of changes of every back end: each change a user makes, recorded in the same
// transaction as the change itself, so that the history never holds one without the other.
// Its text is UTF-8 (tags converted from the files' narrow text).
#include <string>
#include <utility>

#include "common/code_page.h"
#include "common/number_text.h"
#include "history/import_source.h"
#include "history/store_primitives.h"

namespace tarn {

Status RecordChange(StorePrimitives& store, std::string what, std::string before,
                    std::string after) {
  HistoryChange c;
  c.time = HistoryNow();
  c.user = store.ChangeUser();
  c.what = std::move(what);
  c.before = std::move(before);
  c.after = std::move(after);
  return store.AppendChange(c);
}

std::vector<HistoryChange> ChangesIn(StorePrimitives& store, Status* error) {
  std::vector<HistoryChange> out;
  if (*error = store.ReadyToRead(); !*error) return out;
  if (*error = store.ReadChanges(&out); !*error) out.clear();
  return out;
}

std::string ProbeNameOf(int64_t probe_id, const ProbeKey& key) {
  std::string name = "probe " + std::to_string(probe_id) + " (" + NarrowToUtf8(key.tag);
  if (!key.serial.empty()) name += " " + NarrowToUtf8(key.serial);
  return name + ")";
}

Status NameProbe(StorePrimitives& store, int64_t probe_id, std::string* name) {
  std::vector<ProbeRow> rows;
  if (Status st = store.ReadProbeRows(probe_id, 0, &rows); !st) return st;
  if (rows.empty()) return Status::Fail("No probe with id " + std::to_string(probe_id) + ".");
  *name = ProbeNameOf(probe_id, rows.front().probe.key);
  return {};
}

std::string LimitsText(const HistoryLimits& l) {
  return "rate warning " + FormatFixed(l.rate_warn, 2) + ", alarm " + FormatFixed(l.rate_alarm, 2) +
         " mpy; consumed warning " + FormatFixed(l.consumed_warn * 100.0, 1) + " %, alarm " +
         FormatFixed(l.consumed_alarm * 100.0, 1) + " %";
}

std::vector<HistoryChange> LayeredHistory::ListChanges() {
  return ChangesIn(*this, &last_error_);
}

}  // namespace tarn
