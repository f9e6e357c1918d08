// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_store.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "history/import_source.h"
#include "history/pg/pg_statements.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

namespace {

// Readings handed from the file reader at a time: bounds memory for very long tags.
constexpr std::size_t kBatchSize = 1 << 18;

// Reads the file on a thread of its own, one batch ahead, while the server takes in the one
// before; hands the batches to `sink` here, in file order.
Status ReadAhead(const std::string& path, const ImportControl& control,
                 const HistoryStore::BatchSink& sink) {
  std::mutex m;
  std::condition_variable cv;
  std::deque<ImportBatch> queue;
  bool read_all = false, stop = false;
  Status read_status;
  std::thread reader([&] {
    Status st = ReadImportSource(path, control.pi_of_tubular, kBatchSize, control.cancel,
                                 [&](ImportBatch& batch) {
                                   std::unique_lock<std::mutex> lock(m);
                                   cv.wait(lock, [&] { return stop || queue.size() < 2; });
                                   if (stop) return Status::Fail(kImportCancelled);
                                   queue.push_back(std::move(batch));
                                   cv.notify_all();
                                   return Status{};
                                 });
    std::lock_guard<std::mutex> lock(m);
    read_status = st;
    read_all = true;
    cv.notify_all();
  });
  Status st;
  int64_t done = 0;
  for (;;) {
    ImportBatch batch;
    {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return read_all || !queue.empty(); });
      if (queue.empty()) break;
      batch = std::move(queue.front());
      queue.pop_front();
      cv.notify_all();
    }
    // The reader may be batches ahead: a cancel stops the writing too.
    if (Cancelled(&control)) {
      st = Status::Fail(kImportCancelled);
      break;
    }
    done += static_cast<int64_t>(batch.readings.size());
    if (st = sink(batch); !st) break;
    if (control.progress) control.progress(done);
  }
  {
    std::lock_guard<std::mutex> lock(m);
    stop = true;
    cv.notify_all();
  }
  reader.join();
  return st ? read_status : st;
}

}  // namespace

Status PgHistory::ImportBatchInto(ImportBatch& batch, ImportState* state) {
  ImportResult& result = state->result;
  state->tags.insert(batch.tag_index);

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

  DropOutOfRange(&batch);
  TakeSkipped(batch, &result);
  std::vector<BatchConflict> conflicts;
  NormaliseReadings(&batch.readings, batch.precision, batch.same_reading_seconds,
                    &result.duplicates, &conflicts);
  std::vector<HistoryReading>& r = batch.readings;

  if (created || !r.empty()) {
    const ProbeHeader& h = batch.header;
    const HistoryTime header_time = r.empty() ? INT64_MIN : r.back().time;
    if (Status st = Run(sql::kWriteHeader,
                        {probe_id, ToServer(h.part_no), ToServer(h.probe_type_str), h.probe_type,
                         ToServer(h.mloss_unit), h.thickness, ToServer(h.read_interval),
                         h.probe_life, header_time, created ? "true" : "false"});
        !st) {
      return st;
    }
  }

  // Readings within a minute of a stored one (this import's own included: the transaction
  // sees them) are that reading again; only the usual download that goes on where the last one
  // ended needs no look at what is stored.
  const HistoryTime kNear = std::max<HistoryTime>(batch.same_reading_seconds, 1) - 1;
  if (!r.empty() && run.count > 0 && r.front().time - kNear <= run.last &&
      r.back().time + kNear >= run.first) {
    PgResult q =
        db_.Exec(sql::kReadingsInRange, {probe_id, r.front().time - kNear - kReadingEpoch,
                                         r.back().time + kNear - kReadingEpoch, kReadingEpoch});
    if (!q.ok()) return Failure(q);
    std::vector<HistoryReading> stored;
    stored.reserve(static_cast<std::size_t>(q.rows()));
    for (int i = 0; i < q.rows(); ++i) stored.push_back({q.Int(i, 0), q.Real(i, 1)});
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
    std::vector<int64_t> times;
    std::vector<double> kept, offered;
    for (const BatchConflict& c : conflicts) {
      times.push_back(c.time);
      kept.push_back(c.stored);
      offered.push_back(c.offered);
      if (result.first_conflicts.size() < kConflictExamples) {
        result.first_conflicts.push_back(
            {batch.key.tag, batch.key.serial, c.time, c.stored, c.offered, c.same_file});
      }
    }
    if (Status st = Run(sql::kInsertFileConflicts, {probe_id, NumberArray(times), NumberArray(kept),
                                                    NumberArray(offered), state->file_id});
        !st) {
      return st;
    }
    result.conflicts += static_cast<int64_t>(conflicts.size());
  }
  if (r.empty()) return {};

  if (const Status begun = db_.BeginCopy(sql::kCopyReadings); !begun) {
    return db_.Bad()
               ? Failure(PgResult())
               : Status::Fail("The history server " + location_ + " refused: " + begun.message);
  }
  for (const HistoryReading& reading : r) {
    db_.CopyRow(static_cast<int32_t>(probe_id), reading.time - kReadingEpoch, reading.value,
                static_cast<int32_t>(state->file_id));
  }
  if (const Status ended = db_.EndCopy(); !ended) {
    return db_.Bad()
               ? Failure(PgResult())
               : Status::Fail("The history server " + location_ + " refused: " + ended.message);
  }
  if (run.count == 0) {
    run.origin = r.front().time;
    run.first = r.front().time;
    run.last = r.back().time;
    run.latest = r.back().value;
  } else {
    run.first = std::min(run.first, r.front().time);
    if (r.back().time > run.last) {
      run.last = r.back().time;
      run.latest = r.back().value;
    }
  }
  for (const HistoryReading& reading : r) {
    run.sums.Add(static_cast<double>(reading.time - run.origin) / kSecondsPerDay, reading.value);
  }
  AddHours(probe_id, r, &state->hours);
  run.count += static_cast<int64_t>(r.size());
  run.changed = true;
  result.added += static_cast<int64_t>(r.size());
  return {};
}

void PgHistory::AddHours(int64_t probe_id, const std::vector<HistoryReading>& sorted,
                         std::vector<HourSums>* hours) {
  const std::size_t start = hours->size();
  for (const HistoryReading& reading : sorted) {
    const int64_t t = reading.time - kReadingEpoch;
    const int64_t hour = t / kSecondsPerHour - (t % kSecondsPerHour < 0 ? 1 : 0);
    if (hours->size() == start || hours->back().hour != hour) {
      hours->push_back({static_cast<int32_t>(probe_id), hour});
    }
    HourSums& h = hours->back();
    const double x = static_cast<double>(t - hour * kSecondsPerHour);
    ++h.n;
    h.sx += x;
    h.sy += reading.value;
    h.sxy += x * reading.value;
    h.sxx += x * x;
  }
}

Status PgHistory::MergeHours(const ImportState& state) {
  if (state.hours.empty()) return {};
  Status copied = db_.BeginCopy(sql::kCopyHours);
  if (copied) {
    for (const HourSums& h : state.hours) {
      db_.CopyHourRow(h.probe_id, h.hour, h.n, h.sx, h.sy, h.sxy, h.sxx);
    }
    copied = db_.EndCopy();
  }
  if (!copied) {
    return db_.Bad()
               ? Failure(PgResult())
               : Status::Fail("The history server " + location_ + " refused: " + copied.message);
  }
  return Run(sql::kMergeHours);
}

Status PgHistory::RefreshWindows(const ImportState& state) {
  std::vector<int64_t> ids;
  for (const auto& [key, run] : state.probes) ids.push_back(run.id);
  if (ids.empty()) return {};
  return Run(sql::kRefreshWindows, {NumberArray(ids), sql::kStoredWindows, kReadingEpoch});
}

Status PgHistory::WriteSummaries(const ImportState& state) {
  for (const auto& [key, run] : state.probes) {
    if (!run.changed) continue;
    if (Status st =
            Run(sql::kWriteSummary, {run.id, run.count, run.first, run.last, run.latest, run.origin,
                                     run.sums.sx, run.sums.sy, run.sums.sxy, run.sums.sxx});
        !st) {
      return st;
    }
  }
  return {};
}

ImportResult PgHistory::Import(const std::string& path, const ImportControl& control) {
  ImportResult failed;
  if (read_only_) {
    failed.status = ReadOnlyRefusal();
    return failed;
  }
  if (std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose); !f) {
    failed.status = Status::Fail("Cannot open file " + path + ".");
    return failed;
  }
  // The digest is taken while the readings go in; the file's record gets it at the end.
  auto digest = std::async(std::launch::async, [path] {
    ImportFileFacts f;
    Status st = DigestFile(path, &f);
    return std::make_pair(st, f);
  });
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  ImportFileFacts facts;
  facts.name = ec ? path : absolute.string();
  return ImportAll(
      facts, [&](const BatchSink& sink) { return ReadAhead(path, control, sink); },
      [&](ImportFileFacts* f) {
        auto [st, d] = digest.get();
        f->size = d.size;
        f->sha256 = d.sha256;
        return st;
      },
      &control);
}

ImportResult PgHistory::ImportBatches(const ImportFileFacts& facts,
                                      const std::function<Status(const BatchSink&)>& produce) {
  return ImportAll(facts, produce, nullptr, nullptr);
}

ImportResult PgHistory::ImportAll(ImportFileFacts facts,
                                  const std::function<Status(const BatchSink&)>& produce,
                                  const std::function<Status(ImportFileFacts*)>& complete,
                                  const ImportControl* control) {
  ImportResult failed;
  if (read_only_) {
    failed.status = ReadOnlyRefusal();
    return failed;
  }
  if (Status st = Ready(); !st) {
    failed.status = st;
    return failed;
  }
  ImportState state;
  // One importer at a time: a second one waits here, before it has read anything, and then
  // sees everything the first one added.
  Status status = Run("BEGIN");
  if (status) status = Run(sql::kLockHistory);
  if (status) status = Run(sql::kCreateHours);
  if (status) {
    PgResult file =
        db_.Exec(sql::kInsertFile, {FileNameToServer(facts.name), facts.size, facts.sha256,
                                    facts.imported_at != 0 ? facts.imported_at : HistoryNow()});
    if (!file.ok() || file.rows() != 1) {
      status = Failure(file);
    } else {
      state.file_id = file.Int(0, 0);
    }
  }
  if (status) {
    status = produce([&](ImportBatch& batch) { return ImportBatchInto(batch, &state); });
  }
  if (status && Cancelled(control)) status = Status::Fail(kImportCancelled);
  if (status) status = WriteSummaries(state);
  if (status) status = MergeHours(state);
  if (status && Cancelled(control)) status = Status::Fail(kImportCancelled);
  if (status) status = RefreshWindows(state);
  ImportResult& result = state.result;
  result.tags = static_cast<int32_t>(state.tags.size());
  if (status && result.conflicts > 0) status = ConflictProbes(state.file_id, &result);
  if (status && complete) status = complete(&facts);
  if (status) {
    status = Run(sql::kFinishFile, {state.file_id, int64_t{result.tags}, result.added,
                                    result.duplicates, result.conflicts, facts.size, facts.sha256});
  }
  if (status) status = CommitUnlessCancelled(control, &result, [&] { return Run("COMMIT"); });
  if (!status) {
    Rollback();
    if (db_.Bad()) {
      status =
          Status::Fail("The connection to the history server " + location_ +
                       " was lost; nothing of " + facts.name + " was imported: " + db_.Error());
    }
    failed.status = status;
    return failed;
  }
  return result;
}

}  // namespace tarn
