// SPDX-License-Identifier: GPL-3.0-or-later
// Importing into every back end: each offered reading new, a duplicate or a conflict, the
// probes' summaries kept up to date, all in one transaction.
#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <tuple>

#include "history/store_primitives.h"

namespace tarn {

namespace {

struct ImportState {
  int64_t file_id = 0;
  std::set<int32_t> tags;
  std::map<std::tuple<std::string, std::string, int32_t>, int64_t> ids;
  std::map<int64_t, ImportProbe> probes;
  PointPlaces places;
  ImportResult result;
};

Status ImportBatchInto(StorePrimitives& store, ImportBatch& batch, ImportState* state) {
  ImportResult& result = state->result;
  state->tags.insert(batch.tag_index);
  const auto key = std::make_tuple(batch.key.tag, batch.key.serial, batch.key.data_type);
  bool created = false;
  auto id = state->ids.find(key);
  if (id == state->ids.end()) {
    ImportProbe found;
    if (Status st = store.FindOrAddProbe(batch.key, &found, &created); !st) return st;
    // Its readings are the newest of its tag: it is the latest probe wherever it goes.
    if (created) {
      if (Status st = PlaceByTag(store, &state->places, found.id, batch.key, INT64_MAX); !st) {
        return st;
      }
    }
    // Two keys the store holds as one probe share one summary.
    state->probes.emplace(found.id, found);
    id = state->ids.emplace(key, found.id).first;
  }
  ImportProbe& p = state->probes.at(id->second);

  DropOutOfRange(&batch);
  TakeSkipped(batch, &result);
  std::vector<BatchConflict> conflicts;
  NormaliseReadings(&batch.readings, batch.precision, batch.same_reading_seconds,
                    &result.duplicates, &conflicts);
  std::vector<HistoryReading>& r = batch.readings;

  // The header follows the newest readings offered: a new probe takes it, an older file does
  // not overwrite a newer one's.
  if (created || (!r.empty() && r.back().time >= p.header_time)) {
    const HistoryTime time = r.empty() ? p.header_time : r.back().time;
    if (Status st = store.WriteHeader(p.id, batch.header, time); !st) return st;
    p.header_time = time;
  }

  // Readings within a minute of a stored one are that reading again; only the usual download
  // that goes on where the last one ended needs no look at what is stored.
  std::vector<HistoryReading> stored;
  const HistoryTime near = std::max<HistoryTime>(batch.same_reading_seconds, 1) - 1;
  if (!r.empty() && p.count > 0 && r.front().time - near <= p.last &&
      r.back().time + near >= p.first) {
    if (Status st =
            store.ReadingsBetween(p.id, r.front().time - near, r.back().time + near, &stored);
        !st) {
      return st;
    }
    std::size_t k = 0, out = 0;
    for (const HistoryReading& reading : r) {
      if (MeetStored(stored, reading, batch.precision, batch.same_reading_seconds, &k,
                     &result.duplicates, &conflicts))
        continue;
      r[out++] = reading;
    }
    r.resize(out);
  }

  if (!conflicts.empty()) {
    if (Status st = store.AddConflicts(p.id, state->file_id, conflicts); !st) return st;
    for (const BatchConflict& c : conflicts) {
      if (result.first_conflicts.size() == kConflictExamples) break;
      result.first_conflicts.push_back(
          {batch.key.tag, batch.key.serial, c.time, c.stored, c.offered, c.same_file});
    }
    result.conflicts += static_cast<int64_t>(conflicts.size());
  }
  if (r.empty()) return {};

  if (Status st = store.AddReadings(p, state->file_id, r, stored); !st) return st;
  // A fall too large to be corrosion is flagged for review, never set aside here.
  if (KindOfSeries(batch.key.data_type) == SeriesKind::kMetalLoss) {
    if (Status st = FlagStepDowns(store, p, batch.header.probe_life, r, stored); !st) return st;
  }
  if (p.count == 0) {
    p.origin = p.first = r.front().time;
    p.last = r.back().time;
    p.latest = r.back().value;
  } else {
    p.first = std::min(p.first, r.front().time);
    if (r.back().time > p.last) {
      p.last = r.back().time;
      p.latest = r.back().value;
    }
  }
  for (const HistoryReading& reading : r) {
    p.sums.Add(static_cast<double>(reading.time - p.origin) / kSecondsPerDay, reading.value);
  }
  p.count += static_cast<int64_t>(r.size());
  p.grown = true;
  result.added += static_cast<int64_t>(r.size());
  return {};
}

Status ImportAll(StorePrimitives& store, ImportFileFacts& facts,
                 const std::function<Status(const HistoryStore::BatchSink&)>& produce,
                 const std::function<Status(ImportFileFacts*)>& complete,
                 const ImportControl* control, ImportState* state) {
  // Taking the write lock first means a second importer waits here, before it has read
  // anything, and then sees everything the first one added.
  if (Status st = store.BeginWrite(); !st) return st;
  if (Status st = store.StartImport(facts, &state->file_id); !st) return st;
  if (Status st = produce([&](ImportBatch& b) { return ImportBatchInto(store, b, state); }); !st) {
    return st;
  }
  if (Cancelled(control)) return Status::Fail(kImportCancelled);
  std::vector<const ImportProbe*> touched;
  for (const auto& [id, probe] : state->probes) {
    touched.push_back(&probe);
    if (!probe.grown) continue;
    if (Status st = store.WriteSummary(probe); !st) return st;
  }
  if (Status st = store.EndImportReadings(touched); !st) return st;
  if (Cancelled(control)) return Status::Fail(kImportCancelled);
  ImportResult& result = state->result;
  result.tags = static_cast<int32_t>(state->tags.size());
  if (result.conflicts > 0) {
    if (Status st = store.ConflictProbes(state->file_id, &result); !st) return st;
  }
  if (complete) {
    if (Status st = complete(&facts); !st) return st;
  }
  if (Status st = store.FinishFile(state->file_id, result, facts); !st) return st;
  return CommitUnlessCancelled(control, &result, [&] { return store.Commit(); });
}

}  // namespace

ImportResult ImportInto(StorePrimitives& store, ImportFileFacts facts,
                        const std::function<Status(const HistoryStore::BatchSink&)>& produce,
                        const std::function<Status(ImportFileFacts*)>& complete,
                        const ImportControl* control) {
  ImportResult failed;
  if (failed.status = store.MayWrite(); !failed.status) return failed;
  ImportState state;
  if (Status st = ImportAll(store, facts, produce, complete, control, &state); !st) {
    failed.status = store.AbortImport(st, facts.name);
    return failed;
  }
  return state.result;
}

ImportResult LayeredHistory::ImportBatches(const ImportFileFacts& source,
                                           const std::function<Status(const BatchSink&)>& produce) {
  return ImportInto(*this, source, produce, nullptr, nullptr);
}

}  // namespace tarn
