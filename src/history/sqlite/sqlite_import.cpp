// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <ctime>

#include "common/date_time.h"
#include "history/import_source.h"
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

Status SqliteHistory::StartImport(const ImportFileFacts& facts, int64_t* file_id) {
  insert_file_.Start()
      .Bind(1, facts.name)
      .Bind(2, facts.size)
      .Bind(3, facts.sha256)
      .Bind(4, facts.imported_at != 0 ? facts.imported_at : HistoryNow());
  if (insert_file_.Step() != SQLITE_DONE) return Error(path_);
  *file_id = sqlite3_last_insert_rowid(db_);
  return {};
}

Status SqliteHistory::FindOrAddProbe(const ProbeKey& key, ImportProbe* probe, bool* created) {
  *created = false;
  find_probe_.Start().Bind(1, key.tag).Bind(2, key.serial).Bind(3, int64_t{key.data_type});
  int rc = find_probe_.Step();
  if (rc == SQLITE_ROW) {
    probe->id = find_probe_.Int(0);
    find_probe_.Reset();
  } else if (rc == SQLITE_DONE) {
    insert_probe_.Start().Bind(1, key.tag).Bind(2, key.serial).Bind(3, int64_t{key.data_type});
    if (insert_probe_.Step() != SQLITE_DONE) return Error(path_);
    probe->id = sqlite3_last_insert_rowid(db_);
    *created = true;
  } else {
    return Error(path_);
  }
  return ReadSummaryRow(probe->id, probe) ? Status{} : Error(path_);
}

bool SqliteHistory::ReadSummaryRow(int64_t probe_id, ImportProbe* s) {
  read_summary_.Start().Bind(1, probe_id);
  s->id = probe_id;
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

Status SqliteHistory::WriteHeader(int64_t probe_id, const ProbeHeader& h, HistoryTime time) {
  write_header_.Start()
      .Bind(1, probe_id)
      .Bind(2, h.part_no)
      .Bind(3, h.probe_type_str)
      .Bind(4, int64_t{h.probe_type})
      .Bind(5, h.mloss_unit)
      .Bind(6, h.thickness)
      .Bind(7, h.read_interval)
      .Bind(8, h.probe_life)
      .Bind(9, time);
  return write_header_.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::ReadingsBetween(int64_t probe_id, HistoryTime from, HistoryTime to,
                                      std::vector<HistoryReading>* out) {
  readings_in_range_.Start().Bind(1, ReadingKey(probe_id, from)).Bind(2, ReadingKey(probe_id, to));
  int rc;
  while ((rc = readings_in_range_.Step()) == SQLITE_ROW) {
    out->push_back({KeyTime(readings_in_range_.Int(0)), readings_in_range_.Real(1)});
  }
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::AddConflicts(int64_t probe_id, int64_t file_id,
                                   const std::vector<BatchConflict>& conflicts) {
  for (const BatchConflict& c : conflicts) {
    insert_conflict_.Start()
        .Bind(1, probe_id)
        .Bind(2, c.time)
        .Bind(3, c.stored)
        .Bind(4, c.offered)
        .Bind(5, file_id);
    if (insert_conflict_.Step() != SQLITE_DONE) return Error(path_);
  }
  return {};
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

Status SqliteHistory::AddReadings(const ImportProbe& before, int64_t file_id,
                                  const std::vector<HistoryReading>& fresh,
                                  const std::vector<HistoryReading>& stored) {
  const int64_t probe_id = before.id;
  HourContext hc;
  hc.probe_id = probe_id;
  hc.had_readings = before.count > 0;
  hc.old_first = before.first;
  hc.old_last = before.last;
  hc.stored = &stored;
  if (hc.had_readings) {
    hc.span_first = fresh.front().time;
    hc.span_last = fresh.back().time;
    hours_in_range_.Start()
        .Bind(1, probe_id)
        .Bind(2, FloorDiv(fresh.front().time - kReadingEpoch, kHour))
        .Bind(3, FloorDiv(fresh.back().time - kReadingEpoch, kHour));
    int rc;
    while ((rc = hours_in_range_.Step()) == SQLITE_ROW) hc.rows.push_back(hours_in_range_.Int(0));
    if (rc != SQLITE_DONE) return Error(path_);
  }

  std::size_t k = 0;
  Run run;
  std::size_t run_k = 0;
  HourFigures hour;
  for (const HistoryReading& reading : fresh) {
    while (k < stored.size() && stored[k].time < reading.time) ++k;
    insert_reading_.Start().Bind(1, ReadingKey(probe_id, reading.time)).Bind(2, reading.value);
    if (insert_reading_.Step() != SQLITE_DONE) return Error(path_);
    // A stored reading between this one and the last one added ends the run.
    if (run.n > 0 && k != run_k) {
      if (Status st = WriteRun(probe_id, file_id, run); !st) return st;
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
  }
  if (Status st = WriteRun(probe_id, file_id, run); !st) return st;
  return FlushHour(hc, hour);
}

Status SqliteHistory::WriteSummary(const ImportProbe& p) {
  write_summary_.Start()
      .Bind(1, p.id)
      .Bind(2, p.count)
      .Bind(3, p.first)
      .Bind(4, p.last)
      .Bind(5, p.latest)
      .Bind(6, p.origin)
      .Bind(7, p.sums.sx)
      .Bind(8, p.sums.sy)
      .Bind(9, p.sums.sxy)
      .Bind(10, p.sums.sxx);
  return write_summary_.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::EndImportReadings(const std::vector<const ImportProbe*>& touched) {
  for (const ImportProbe* p : touched) {
    if (!p->grown) continue;
    if (Status st = StoreWindows(p->id, p->last); !st) return st;
  }
  return {};
}

Status SqliteHistory::FinishFile(int64_t file_id, const ImportResult& result,
                                 const ImportFileFacts&) {
  finish_file_.Start()
      .Bind(1, file_id)
      .Bind(2, int64_t{result.tags})
      .Bind(3, result.added)
      .Bind(4, result.duplicates)
      .Bind(5, result.conflicts);
  return finish_file_.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::AbortImport(const Status& failure, const std::string&) {
  RollbackWrite();
  return failure;
}

ImportResult SqliteHistory::Import(const std::string& path, const ImportControl& control) {
  ImportResult failed;
  if (failed.status = MayWrite(); !failed.status) return failed;
  ImportFileFacts facts;
  if (failed.status = DigestFile(path, &facts); !failed.status) return failed;
  int64_t done = 0;
  return ImportInto(
      *this, facts,
      [&](const BatchSink& sink) {
        return ReadImportSource(path, control.pi_of_tubular, kBatchSize, control.cancel,
                                [&](ImportBatch& batch) {
                                  done += static_cast<int64_t>(batch.readings.size());
                                  Status st = sink(batch);
                                  if (st && control.progress) control.progress(done);
                                  return st;
                                });
      },
      nullptr, &control);
}

}  // namespace tarn::sqlite_store
