// SPDX-License-Identifier: GPL-3.0-or-later
// The review of conflicts and the undoing of an import, for every back end: the back end reads
// and writes rows, this decides what they become.
#include <string>
#include <utility>

#include "common/date_time.h"
#include "common/number_text.h"
#include "history/store_primitives.h"

namespace tarn {

std::vector<ReadingConflicts> ReviewConflictsOf(StorePrimitives& store, int64_t probe_id,
                                                Status* error) {
  std::vector<ConflictRow> rows;
  if (*error = store.ConflictRows(probe_id, &rows); !*error) return {};
  // Rows of one second come together; the first tells the reading now stored.
  std::vector<ReadingConflicts> out;
  bool reading_now = false;
  for (ConflictRow& row : rows) {
    if (out.empty() || out.back().time != row.time) {
      reading_now = row.reading.has_value();
      ReadingConflicts r;
      r.time = row.time;
      r.stored = row.stored;
      r.value = row.reading.value_or(row.stored);
      r.file_id = row.reading_file_id;
      r.file = std::move(row.reading_file);
      out.push_back(std::move(r));
    }
    ReadingConflicts& r = out.back();
    const bool in_use = reading_now && row.offered == r.value;
    r.offers.push_back({row.conflict_id, row.file_id, std::move(row.file), row.offered, in_use});
  }
  return out;
}

Status ChooseConflictIn(StorePrimitives& store, int64_t conflict_id, bool take) {
  if (Status st = store.MayWrite(); !st) return st;
  Status st = store.BeginWrite();
  if (!st) return st;
  bool found = false;
  ConflictAt c;
  st = store.FindConflict(conflict_id, &found, &c);
  if (st && !found) {
    st = Status::Fail("No conflict with id " + std::to_string(conflict_id) + ".");
  }
  std::vector<HistoryReading> now;
  std::string probe;
  if (st) st = NameProbe(store, c.probe_id, &probe);
  if (st) st = store.ReadingsBetween(c.probe_id, c.time, c.time, &now);
  const double value = take ? c.offered : c.first_stored;
  if (st) {
    bool changed = false;
    st = store.SetReadingValue(c.probe_id, c.time, value, &changed);
    if (st && !changed) {
      st = Status::Fail("The reading of that conflict is no longer in the history.");
    }
  }
  int64_t count = 0;
  if (st) st = store.RefreshDerived(c.probe_id, {HistoryHour(c.time)}, &count);
  if (st && !now.empty() && now.front().value != value) {
    st = RecordChange(
        store, "reading of " + probe + " at " + DateTime2Str(DateTime{c.time * kTicksPerSecond}),
        FormatFixed(now.front().value, 4),
        FormatFixed(value, 4) +
            (take ? " (offered value taken, conflict " + std::to_string(conflict_id) + ")"
                  : " (value first stored)"));
  }
  if (st) st = store.Commit();
  if (!st) store.RollbackWrite();
  return st;
}

namespace {

Status UnimportIn(StorePrimitives& store, int64_t file_id, UnimportResult* result) {
  bool found = false;
  if (Status st = store.FileName(file_id, &found, &result->file); !st) return st;
  if (!found) {
    return Status::Fail("No imported file with id " + std::to_string(file_id) + ".");
  }
  FileReadingsTaken taken;
  if (Status st = store.TakeFileReadings(file_id, &taken); !st) return st;
  result->readings += taken.readings;
  for (auto& [probe_id, probe] : taken.probes) {
    std::vector<int64_t> drop;
    for (const auto& [t, second] : probe.seconds) {
      const SecondPlan plan =
          PlanUnimportSecond(file_id, second.conflicts, second.removed, second.value);
      probe.hours.insert(HistoryHour(t));
      drop.insert(drop.end(), plan.drop.begin(), plan.drop.end());
      for (const SecondConflict& c : second.conflicts) result->conflicts += c.file_id == file_id;
      for (const auto& [id, stored] : plan.rebase) {
        if (Status st = store.RebaseConflict(id, stored); !st) return st;
      }
      if (plan.write_value) {
        bool changed = false;
        if (Status st = store.SetReadingValue(probe_id, t, plan.value, &changed); !st) return st;
      }
      if (plan.promote) {
        if (Status st = store.PromoteOffer(probe_id, t, plan.value, plan.file_id); !st) return st;
        ++result->promoted;
      }
    }
    if (!drop.empty()) {
      if (Status st = store.DropConflicts(drop); !st) return st;
    }
    int64_t count = 0;
    if (Status st = store.RefreshDerived(probe_id, probe.hours, &count); !st) return st;
    if (count == 0) {
      std::optional<ProbeKey> key;
      if (Status st = store.RemoveEmptyProbe(probe_id, &key); !st) return st;
      if (key) result->emptied.push_back(std::move(*key));
    }
  }
  return store.ForgetFile(file_id);
}

}  // namespace

UnimportResult UnimportFrom(StorePrimitives& store, int64_t file_id, bool apply) {
  UnimportResult result;
  // Even the count is taken by doing the work and rolling it back.
  if (result.status = store.MayWrite(); !result.status) return result;
  if (result.status = store.BeginWrite(); !result.status) return result;
  result.status = UnimportIn(store, file_id, &result);
  if (result.status && apply) {
    result.status = RecordChange(
        store, "import of " + result.file + " (file " + std::to_string(file_id) + ")", "imported",
        "undone: " + std::to_string(result.readings) + " readings removed, " +
            std::to_string(result.conflicts) + " conflicts dropped, " +
            std::to_string(result.promoted) + " offered values took removed readings' places" +
            (result.emptied.empty()
                 ? std::string()
                 : ", " + std::to_string(result.emptied.size()) + " probes left empty removed"));
  }
  if (result.status && apply) result.status = store.Commit();
  if (!result.status || !apply) store.RollbackWrite();
  return result;
}

std::vector<ReadingConflicts> LayeredHistory::ReviewConflicts(int64_t probe_id) {
  return ReviewConflictsOf(*this, probe_id, &last_error_);
}

Status LayeredHistory::ChooseConflict(int64_t conflict_id, bool take) {
  return ChooseConflictIn(*this, conflict_id, take);
}

UnimportResult LayeredHistory::Unimport(int64_t file_id, bool apply) {
  return UnimportFrom(*this, file_id, apply);
}

}  // namespace tarn
