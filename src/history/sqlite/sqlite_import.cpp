// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <ctime>

#include "common/date_time.h"
#include "history/import_source.h"
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

Status SqliteHistory::ProbeId(const ProbeKey& key, ImportState* state, int64_t* id, bool* created) {
  *created = false;
  const auto k = std::make_tuple(key.tag, key.serial, key.data_type);
  if (const auto it = state->probes.find(k); it != state->probes.end()) {
    *id = it->second;
    return {};
  }
  find_probe_.Start().Bind(1, key.tag).Bind(2, key.serial).Bind(3, int64_t{key.data_type});
  int rc = find_probe_.Step();
  if (rc == SQLITE_ROW) {
    *id = find_probe_.Int(0);
    find_probe_.Reset();
  } else if (rc == SQLITE_DONE) {
    insert_probe_.Start().Bind(1, key.tag).Bind(2, key.serial).Bind(3, int64_t{key.data_type});
    if (insert_probe_.Step() != SQLITE_DONE) return Error(path_);
    *id = sqlite3_last_insert_rowid(db_);
    *created = true;
  } else {
    return Error(path_);
  }
  state->probes.emplace(k, *id);
  return {};
}

bool SqliteHistory::ReadSummaryRow(int64_t probe_id, Summary* s) {
  read_summary_.Start().Bind(1, probe_id);
  if (read_summary_.Step() != SQLITE_ROW) return false;
  s->count = read_summary_.Int(0);
  s->first = read_summary_.Int(1);
  s->last = read_summary_.Int(2);
  s->latest = read_summary_.Real(3);
  s->origin = read_summary_.Int(4);
  s->sums.n = s->count;
  s->sums.sx = read_summary_.Real(5);
  s->sums.sy = read_summary_.Real(6);
  s->sums.sxy = read_summary_.Real(7);
  s->sums.sxx = read_summary_.Real(8);
  s->header_time = read_summary_.Int(9);
  read_summary_.Reset();
  return true;
}

Status SqliteHistory::FlushHour(const HourContext& c, const HourFigures& h) {
  if (std::binary_search(c.rows.begin(), c.rows.end(), h.hour)) return MergeHour(c.probe_id, h);
  const HistoryTime start = kReadingEpoch + h.hour * kHour, end = start + kHour - 1;
  bool old_here = true;  // unless known otherwise
  if (!c.had_readings || end < c.old_first || start > c.old_last) {
    old_here = false;
  } else if (start >= c.span_first && end <= c.span_last) {
    const auto it =
        std::lower_bound(c.stored->begin(), c.stored->end(), start,
                         [](const HistoryReading& x, HistoryTime t) { return x.time < t; });
    old_here = it != c.stored->end() && it->time <= end;
  }
  if (!old_here) return h.n >= kHourRowMin ? MergeHour(c.probe_id, h) : Status{};
  // Old and new readings of the hour together: the new ones are in the table already.
  HourFigures all;
  if (Status st = ReadHour(c.probe_id, h.hour, &all); !st) return st;
  return all.n >= kHourRowMin ? MergeHour(c.probe_id, all) : Status{};
}

Status SqliteHistory::ImportBatchInto(ImportBatch& batch, ImportState* state) {
  ImportResult& result = state->result;
  state->tags.insert(batch.tag_index);
  int64_t probe_id = 0;
  bool created = false;
  if (Status st = ProbeId(batch.key, state, &probe_id, &created); !st) return st;

  DropOutOfRange(&batch);
  TakeSkipped(batch, &result);
  std::vector<BatchConflict> conflicts;
  NormaliseReadings(&batch.readings, batch.precision, batch.same_reading_seconds,
                    &result.duplicates, &conflicts);
  const std::vector<HistoryReading>& r = batch.readings;

  Summary s;
  if (!ReadSummaryRow(probe_id, &s)) return Error(path_);
  if (created || (!r.empty() && r.back().time >= s.header_time)) {
    const ProbeHeader& h = batch.header;
    write_header_.Start()
        .Bind(1, probe_id)
        .Bind(2, h.part_no)
        .Bind(3, h.probe_type_str)
        .Bind(4, int64_t{h.probe_type})
        .Bind(5, h.mloss_unit)
        .Bind(6, h.thickness)
        .Bind(7, h.read_interval)
        .Bind(8, h.probe_life)
        .Bind(9, r.empty() ? s.header_time : r.back().time);
    if (write_header_.Step() != SQLITE_DONE) return Error(path_);
  }
  if (r.empty() && conflicts.empty()) return {};

  // What is already stored within a minute of the batch's span decides, reading by reading,
  // between new, duplicate and conflicting.
  std::vector<HistoryReading> stored;
  const HistoryTime kNear = std::max<HistoryTime>(batch.same_reading_seconds, 1) - 1;
  if (s.count > 0 && !r.empty() && r.front().time - kNear <= s.last &&
      r.back().time + kNear >= s.first) {
    readings_in_range_.Start()
        .Bind(1, ReadingKey(probe_id, r.front().time - kNear))
        .Bind(2, ReadingKey(probe_id, r.back().time + kNear));
    int rc;
    while ((rc = readings_in_range_.Step()) == SQLITE_ROW) {
      stored.push_back({KeyTime(readings_in_range_.Int(0)), readings_in_range_.Real(1)});
    }
    if (rc != SQLITE_DONE) return Error(path_);
  }

  HourContext hc;
  hc.probe_id = probe_id;
  hc.had_readings = s.count > 0;
  hc.old_first = s.first;
  hc.old_last = s.last;
  hc.stored = &stored;
  if (hc.had_readings && !r.empty()) {
    hc.span_first = r.front().time;
    hc.span_last = r.back().time;
    hours_in_range_.Start()
        .Bind(1, probe_id)
        .Bind(2, FloorDiv(r.front().time - kReadingEpoch, kHour))
        .Bind(3, FloorDiv(r.back().time - kReadingEpoch, kHour));
    int rc;
    while ((rc = hours_in_range_.Step()) == SQLITE_ROW) hc.rows.push_back(hours_in_range_.Int(0));
    if (rc != SQLITE_DONE) return Error(path_);
  }

  if (s.count == 0) s.origin = r.empty() ? 0 : r.front().time;
  std::size_t k = 0;
  int64_t added = 0;
  Run run;
  std::size_t run_k = 0;
  HourFigures hour;
  HistoryTime newest = s.count > 0 ? s.last : INT64_MIN;
  std::size_t near_k = 0;
  for (const HistoryReading& reading : r) {
    while (k < stored.size() && stored[k].time < reading.time) ++k;
    if (MeetStored(stored, reading, batch.precision, batch.same_reading_seconds, &near_k,
                   &result.duplicates, &conflicts))
      continue;
    insert_reading_.Start().Bind(1, ReadingKey(probe_id, reading.time)).Bind(2, reading.value);
    if (insert_reading_.Step() != SQLITE_DONE) return Error(path_);
    // A stored reading between this one and the last one added ends the run.
    if (run.n > 0 && k != run_k) {
      if (Status st = WriteRun(probe_id, state->file_id, run); !st) return st;
      run = {};
    }
    if (run.n == 0) run.first = reading.time;
    run.last = reading.time;
    ++run.n;
    run_k = k;
    const int64_t h = FloorDiv(reading.time - kReadingEpoch, kHour);
    if (hour.n > 0 && h != hour.hour) {
      if (Status st = FlushHour(hc, hour); !st) return st;
      hour = {};
    }
    hour.hour = h;
    hour.Offer(reading);
    hour.sums.Add(static_cast<double>(reading.time - kReadingEpoch - h * kHour), reading.value);
    ++added;
    s.sums.Add(Days(reading.time, s.origin), reading.value);
    if (s.count == 0 && added == 1) s.first = reading.time;
    s.first = std::min(s.first, reading.time);
    if (reading.time > newest) {
      newest = reading.time;
      s.latest = reading.value;
    }
  }
  if (run.n > 0) {
    if (Status st = WriteRun(probe_id, state->file_id, run); !st) return st;
  }
  if (hour.n > 0) {
    if (Status st = FlushHour(hc, hour); !st) return st;
  }
  for (const BatchConflict& c : conflicts) {
    insert_conflict_.Start()
        .Bind(1, probe_id)
        .Bind(2, c.time)
        .Bind(3, c.stored)
        .Bind(4, c.offered)
        .Bind(5, state->file_id);
    if (insert_conflict_.Step() != SQLITE_DONE) return Error(path_);
    if (result.first_conflicts.size() < kConflictExamples) {
      result.first_conflicts.push_back(
          {batch.key.tag, batch.key.serial, c.time, c.stored, c.offered, c.same_file});
    }
  }
  result.conflicts += static_cast<int64_t>(conflicts.size());
  if (added > 0) {
    state->grown.insert(probe_id);
    s.count += added;
    s.last = newest;
    if (Status st = WriteSummary(probe_id, s); !st) return st;
  }
  result.added += added;
  state->done += static_cast<int64_t>(r.size());
  return {};
}

ImportResult SqliteHistory::Import(const std::string& path, const ImportControl& control) {
  ImportResult failed;
  if (read_only_) {
    failed.status = WriteRefusal();
    return failed;
  }
  ImportFileFacts facts;
  if (Status st = DigestFile(path, &facts); !st) {
    failed.status = st;
    return failed;
  }
  int64_t done = 0;
  return ImportAll(
      facts,
      [&](const BatchSink& sink) {
        return ReadImportSource(path, control.pi_of_tubular, kBatchSize, control.cancel,
                                [&](ImportBatch& batch) {
                                  done += static_cast<int64_t>(batch.readings.size());
                                  Status st = sink(batch);
                                  if (st && control.progress) control.progress(done);
                                  return st;
                                });
      },
      &control);
}

ImportResult SqliteHistory::ImportBatches(const ImportFileFacts& facts,
                                          const std::function<Status(const BatchSink&)>& produce) {
  return ImportAll(facts, produce, nullptr);
}

ImportResult SqliteHistory::ImportAll(const ImportFileFacts& facts,
                                      const std::function<Status(const BatchSink&)>& produce,
                                      const ImportControl* control) {
  ImportResult failed;
  if (read_only_) {
    failed.status = WriteRefusal();
    return failed;
  }
  // Taking the write lock first means a second importer waits here, not halfway through.
  if (Status st = Exec("BEGIN IMMEDIATE"); !st) {
    failed.status = st;
    return failed;
  }
  ImportState state;
  Status status;
  insert_file_.Start()
      .Bind(1, facts.name)
      .Bind(2, facts.size)
      .Bind(3, facts.sha256)
      .Bind(4, facts.imported_at != 0 ? facts.imported_at : HistoryNow());
  if (insert_file_.Step() != SQLITE_DONE) {
    status = Error(path_);
  } else {
    state.file_id = sqlite3_last_insert_rowid(db_);
    status = produce([&](ImportBatch& batch) { return ImportBatchInto(batch, &state); });
  }
  ImportResult& result = state.result;
  result.tags = static_cast<int32_t>(state.tags.size());
  if (status) {
    finish_file_.Start()
        .Bind(1, state.file_id)
        .Bind(2, int64_t{result.tags})
        .Bind(3, result.added)
        .Bind(4, result.duplicates)
        .Bind(5, result.conflicts);
    if (finish_file_.Step() != SQLITE_DONE) status = Error(path_);
  }
  for (const int64_t probe_id : state.grown) {
    if (!status) break;
    Summary s;
    status = ReadSummaryRow(probe_id, &s) ? StoreWindows(probe_id, s.last) : Error(path_);
  }
  if (status && result.conflicts > 0) status = ConflictProbes(state.file_id, &result);
  if (status) status = CommitUnlessCancelled(control, &result, [&] { return Exec("COMMIT"); });
  if (!status) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    failed.status = status;
    return failed;
  }
  return result;
}

}  // namespace tarn::sqlite_store
