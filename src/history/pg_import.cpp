#include "history/pg_store.h"

#include <climits>

#include "history/import_source.h"
#include "history/pg_statements.h"
#include "history/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

namespace {

// Readings handed from the file reader at a time: bounds memory for very long tags.
constexpr std::size_t kBatchSize = 1 << 18;
constexpr int64_t kSecondsPerHour = 3600;

}  // namespace

HistoryStatus PgHistory::ImportBatchInto(ImportBatch& batch, ImportState* state) {
  ImportResult& result = state->result;
  state->tags.insert(batch.tag_index);
  result.skipped += batch.skipped;

  const std::string tag = ToServer(batch.key.tag);
  const std::string serial = ToServer(batch.key.serial);
  const auto k = std::make_tuple(tag, serial, batch.key.data_type);
  bool created = false;
  auto it = state->probes.find(k);
  if (it == state->probes.end()) {
    ProbeRun run;
    PgResult found = db_.Exec(sql::kFindProbe, {tag, serial, batch.key.data_type});
    if (!found.ok()) return Failure(found);
    if (found.rows() > 0) {
      run.id = found.Int(0, 0);
      run.count = found.Int(0, 1);
      run.first = found.Int(0, 2);
      run.last = found.Int(0, 3);
      run.latest = found.Real(0, 4);
      run.origin = found.Int(0, 5);
      run.sums = {run.count, found.Real(0, 6), found.Real(0, 7), found.Real(0, 8),
                  found.Real(0, 9)};
    } else {
      PgResult made = db_.Exec(sql::kInsertProbe, {tag, serial, batch.key.data_type});
      if (!made.ok() || made.rows() != 1) return Failure(made);
      run.id = made.Int(0, 0);
      created = true;
    }
    it = state->probes.emplace(k, run).first;
  }
  ProbeRun& run = it->second;
  const int64_t probe_id = run.id;

  std::vector<BatchConflict> conflicts;
  NormaliseReadings(&batch.readings, &result.duplicates, &conflicts);
  const std::vector<HistoryReading>& r = batch.readings;

  if (created || !r.empty()) {
    const ProbeHeader& h = batch.header;
    const HistoryTime header_time = r.empty() ? INT64_MIN : r.back().time;
    if (HistoryStatus st =
            Run(sql::kWriteHeader,
                {probe_id, ToServer(h.part_no), ToServer(h.probe_type_str), h.probe_type,
                 ToServer(h.mloss_unit), h.thickness, ToServer(h.read_interval), h.probe_life,
                 header_time, created ? "true" : "false"});
        !st) {
      return st;
    }
  }
  if (!conflicts.empty()) {
    std::vector<int64_t> times;
    std::vector<double> kept, offered;
    for (const BatchConflict& c : conflicts) {
      times.push_back(c.time);
      kept.push_back(c.stored);
      offered.push_back(c.offered);
    }
    if (HistoryStatus st =
            Run(sql::kInsertFileConflicts, {probe_id, NumberArray(times), NumberArray(kept),
                                            NumberArray(offered), state->file_id});
        !st) {
      return st;
    }
    result.conflicts += static_cast<int64_t>(conflicts.size());
  }
  if (r.empty()) return {};

  // Readings outside the span the probe already holds (the usual case: a download that goes
  // on where the last one ended) cannot meet a stored one, so they go straight into the
  // table; the others wait in the load table for the one merge that sorts them out.
  const bool straight =
      !run.staged && (run.count == 0 || r.front().time > run.last || r.back().time < run.first);
  std::string why;
  if (!db_.BeginCopy(straight ? sql::kCopyReadings : sql::kCopyLoad, &why)) {
    return db_.Bad() ? Failure(PgResult())
                     : HistoryStatus::Fail("The history server " + location_ + " refused: " + why);
  }
  const int32_t file = straight ? static_cast<int32_t>(state->file_id) : -1;
  for (const HistoryReading& reading : r) {
    db_.CopyRow(static_cast<int32_t>(probe_id), reading.time - kPgReadingEpoch, reading.value,
                file);
  }
  if (!db_.EndCopy(&why)) {
    return db_.Bad() ? Failure(PgResult())
                     : HistoryStatus::Fail("The history server " + location_ + " refused: " + why);
  }
  if (!straight) {
    run.staged = true;
    state->loaded += static_cast<int64_t>(r.size());
    return {};
  }
  if (run.count == 0) {
    run.origin = r.front().time;
    run.first = r.front().time;
    run.last = r.back().time;
    run.latest = r.back().value;
  } else if (r.front().time > run.last) {
    run.last = r.back().time;
    run.latest = r.back().value;
  } else {
    run.first = r.front().time;
  }
  for (const HistoryReading& reading : r) {
    run.sums.Add(static_cast<double>(reading.time - run.origin) / kSecondsPerDay, reading.value);
  }
  if (HistoryStatus st = MergeHours(probe_id, r); !st) return st;
  run.count += static_cast<int64_t>(r.size());
  run.changed = true;
  result.added += static_cast<int64_t>(r.size());
  return {};
}

HistoryStatus PgHistory::MergeHours(int64_t probe_id, const std::vector<HistoryReading>& sorted) {
  std::vector<int64_t> hours, counts;
  std::vector<double> sx, sy, sxy, sxx;
  for (const HistoryReading& reading : sorted) {
    const int64_t t = reading.time - kPgReadingEpoch;
    const int64_t hour = t / kSecondsPerHour - (t % kSecondsPerHour < 0 ? 1 : 0);
    if (hours.empty() || hours.back() != hour) {
      hours.push_back(hour);
      counts.push_back(0);
      sx.push_back(0);
      sy.push_back(0);
      sxy.push_back(0);
      sxx.push_back(0);
    }
    const double x = static_cast<double>(t - hour * kSecondsPerHour);
    ++counts.back();
    sx.back() += x;
    sy.back() += reading.value;
    sxy.back() += x * reading.value;
    sxx.back() += x * x;
  }
  return Run(sql::kMergeHours, {probe_id, NumberArray(hours), NumberArray(counts), NumberArray(sx),
                                NumberArray(sy), NumberArray(sxy), NumberArray(sxx)});
}

HistoryStatus PgHistory::RefreshWindows(const ImportState& state) {
  std::vector<int64_t> ids;
  for (const auto& [key, run] : state.probes) ids.push_back(run.id);
  if (ids.empty()) return {};
  return Run(sql::kRefreshWindows, {NumberArray(ids), sql::kStoredWindows, kPgReadingEpoch});
}

HistoryStatus PgHistory::MergeLoad(ImportState* state) {
  ImportResult& result = state->result;
  for (const auto& [key, run] : state->probes) {
    if (!run.changed) continue;
    if (HistoryStatus st =
            Run(sql::kWriteSummary, {run.id, run.count, run.first, run.last, run.latest, run.origin,
                                     run.sums.sx, run.sums.sy, run.sums.sxy, run.sums.sxx});
        !st) {
      return st;
    }
  }
  if (state->loaded == 0) return {};
  // The planner knows nothing of a fresh temporary table; a sample keeps the joins sane.
  if (HistoryStatus st = Run(sql::kAnalyzeLoad); !st) return st;
  PgResult merged = db_.Exec(sql::kMergeLoad, {state->file_id, kPgReadingEpoch});
  if (!merged.ok()) return Failure(merged);
  int64_t added = 0;
  for (int i = 0; i < merged.rows(); ++i) added += merged.Int(i, 0);
  result.added += added;
  int64_t kept_apart = 0;
  if (added < state->loaded) {
    PgResult c = db_.Exec(sql::kKeepConflicts, {state->file_id, kPgReadingEpoch});
    if (!c.ok()) return Failure(c);
    kept_apart = c.Int(0, 0);
  }
  result.conflicts += kept_apart;
  result.duplicates += state->loaded - added - kept_apart;
  return {};
}

ImportResult PgHistory::Import(const std::string& path, const ImportControl& control) {
  ImportResult failed;
  if (read_only_) {
    failed.status = ReadOnlyRefusal();
    return failed;
  }
  ImportFileFacts facts;
  if (HistoryStatus st = DigestFile(path, &facts); !st) {
    failed.status = st;
    return failed;
  }
  int64_t done = 0;
  return ImportBatches(facts, [&](const BatchSink& sink) {
    return ReadImportSource(path, control.pi_of_tubular, kBatchSize, control.cancel,
                            [&](ImportBatch& batch) {
                              done += static_cast<int64_t>(batch.readings.size());
                              HistoryStatus st = sink(batch);
                              if (st && control.progress) control.progress(done);
                              return st;
                            });
  });
}

ImportResult PgHistory::ImportBatches(
    const ImportFileFacts& facts, const std::function<HistoryStatus(const BatchSink&)>& produce) {
  ImportResult failed;
  if (read_only_) {
    failed.status = ReadOnlyRefusal();
    return failed;
  }
  if (HistoryStatus st = Ready(); !st) {
    failed.status = st;
    return failed;
  }
  ImportState state;
  // One importer at a time: a second one waits here, before it has read anything, and then
  // sees everything the first one added.
  HistoryStatus status = Run("BEGIN");
  if (status) status = Run(sql::kLockHistory);
  if (status) status = Run(sql::kCreateLoad);
  if (status) {
    PgResult file =
        db_.Exec(sql::kInsertFile, {FileNameToServer(facts.name), facts.size, facts.sha256,
                                    facts.imported_at != 0 ? facts.imported_at : PgNow()});
    if (!file.ok() || file.rows() != 1) {
      status = Failure(file);
    } else {
      state.file_id = file.Int(0, 0);
    }
  }
  if (status) {
    status = produce([&](ImportBatch& batch) { return ImportBatchInto(batch, &state); });
  }
  if (status) status = MergeLoad(&state);
  if (status) status = RefreshWindows(state);
  ImportResult& result = state.result;
  result.tags = static_cast<int32_t>(state.tags.size());
  if (status && result.conflicts > 0) {
    PgResult ex =
        db_.Exec(sql::kConflictExamples, {state.file_id, static_cast<int64_t>(kConflictExamples)});
    if (!ex.ok()) status = Failure(ex);
    for (int i = 0; status && i < ex.rows(); ++i) {
      result.first_conflicts.push_back({FromServer(ex.Text(i, 0)), FromServer(ex.Text(i, 1)),
                                        ex.Int(i, 2), ex.Real(i, 3), ex.Real(i, 4)});
    }
  }
  if (status) {
    status = Run(sql::kFinishFile, {state.file_id, int64_t{result.tags}, result.added,
                                    result.duplicates, result.conflicts});
  }
  if (status) status = Run("COMMIT");
  if (!status) {
    Rollback();
    if (db_.Bad()) {
      status = HistoryStatus::Fail("The connection to the history server " + location_ +
                                   " was lost; nothing of " + facts.name +
                                   " was imported: " + db_.Error());
    }
    failed.status = status;
    return failed;
  }
  return result;
}

}  // namespace tarn
