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
#include "history/pg/pg_day_statements.h"
#include "history/pg/pg_periods.h"
#include "history/pg/pg_statements.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

namespace {

// Readings handed from the file reader at a time: bounds memory for very long tags.
constexpr std::size_t kBatchSize = 1 << 18;
// Hour rows gathered before they go to the server: bounds memory for a plant's import.
constexpr std::size_t kHoursHeld = 1 << 16;

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

Status PgHistory::StartImport(const ImportFileFacts& facts, int64_t* file_id) {
  for (Gathered* g : {&hours_, &weeks_}) {
    g->rows.clear();
    g->recount.clear();
    if (Status st = Run(g->kind->create_temp); !st) return st;
  }
  days_ = {};
  if (Status st = Run(sql::kCreateDayTemp); !st) return st;
  PgResult file =
      db_.Exec(sql::kInsertFile, {FileNameToServer(facts.name), facts.size, facts.sha256,
                                  facts.imported_at != 0 ? facts.imported_at : HistoryNow()});
  if (!file.ok() || file.rows() != 1) return Failure(file);
  *file_id = file.Int(0, 0);
  return {};
}

Status PgHistory::FindOrAddProbe(const ProbeKey& key, ImportProbe* probe, bool* created) {
  const std::string tag = ToServer(key.tag);
  const std::string serial = ToServer(key.serial);
  *created = false;
  PgResult found = db_.Exec(sql::kFindProbe, {tag, serial, key.data_type});
  if (!found.ok()) return Failure(found);
  if (found.rows() > 0) {
    probe->id = found.Int(0, 0);
    probe->count = found.Int(0, 1);
    probe->first = found.Int(0, 2);
    probe->last = found.Int(0, 3);
    probe->latest = found.Real(0, 4);
    probe->origin = found.Int(0, 5);
    probe->sums = {probe->count, found.Real(0, 6), found.Real(0, 7), found.Real(0, 8),
                   found.Real(0, 9)};
    probe->header_time = found.Int(0, 10);
    return {};
  }
  PgResult made = db_.Exec(sql::kInsertProbe, {tag, serial, key.data_type});
  if (!made.ok() || made.rows() != 1) return Failure(made);
  probe->id = made.Int(0, 0);
  *created = true;
  return {};
}

Status PgHistory::WriteHeader(int64_t probe_id, const ProbeHeader& h, HistoryTime time) {
  return Run(sql::kWriteHeader,
             {probe_id, ToServer(h.part_no), ToServer(h.probe_type_str), h.probe_type,
              ToServer(h.mloss_unit), h.thickness, ToServer(h.read_interval), h.probe_life, time});
}

Status PgHistory::ReadingsBetween(int64_t probe_id, HistoryTime from, HistoryTime to,
                                  std::vector<HistoryReading>* out) {
  PgResult q = db_.Exec(sql::kReadingsInRange,
                        {probe_id, from - kReadingEpoch, to - kReadingEpoch, kReadingEpoch});
  if (!q.ok()) return Failure(q);
  out->reserve(static_cast<std::size_t>(q.rows()));
  for (int i = 0; i < q.rows(); ++i) out->push_back({q.Int(i, 0), q.Real(i, 1)});
  return {};
}

Status PgHistory::AddConflicts(int64_t probe_id, int64_t file_id,
                               const std::vector<BatchConflict>& conflicts) {
  std::vector<int64_t> times;
  std::vector<double> kept, offered;
  for (const BatchConflict& c : conflicts) {
    times.push_back(c.time);
    kept.push_back(c.stored);
    offered.push_back(c.offered);
  }
  return Run(sql::kInsertFileConflicts,
             {probe_id, NumberArray(times), NumberArray(kept), NumberArray(offered), file_id});
}

Status PgHistory::AddReadings(const ImportProbe& before, int64_t file_id,
                              const std::vector<HistoryReading>& fresh,
                              const std::vector<HistoryReading>& stored) {
  if (const Status begun = db_.BeginCopy(sql::kCopyReadings); !begun) {
    return db_.Bad()
               ? Failure(PgResult())
               : Status::Fail("The history server " + location_ + " refused: " + begun.message);
  }
  for (const HistoryReading& reading : fresh) {
    db_.CopyRow(static_cast<int32_t>(before.id), reading.time - kReadingEpoch, reading.value,
                static_cast<int32_t>(file_id));
  }
  if (const Status ended = db_.EndCopy(); !ended) {
    return db_.Bad()
               ? Failure(PgResult())
               : Status::Fail("The history server " + location_ + " refused: " + ended.message);
  }
  for (Gathered* g : {&hours_, &weeks_}) {
    Gather(before, fresh, stored, g);
    if (g->rows.size() >= kHoursHeld) {
      if (Status st = Flush(g); !st) return st;
    }
  }
  GatherDays(before, fresh, stored);
  if (days_.rows.size() >= kHoursHeld) return FlushDays();
  return {};
}

void PgHistory::Gather(const ImportProbe& before, const std::vector<HistoryReading>& fresh,
                       const std::vector<HistoryReading>& stored, Gathered* gathered) {
  WalkPeriods(
      before, fresh, stored, gathered->kind->seconds,
      [&](int64_t period, HistoryTime start, const std::vector<const HistoryReading*>& readings) {
        PeriodSums h{static_cast<int32_t>(before.id), period};
        for (const HistoryReading* r : readings) {
          const double x = static_cast<double>(r->time - start);
          ++h.n;
          h.sx += x;
          h.sy += r->value;
          h.sxy += x * r->value;
          h.sxx += x * x;
        }
        if (h.n >= sql::kHourRowMin) gathered->rows.push_back(h);
      },
      [&](int64_t period) { gathered->recount.emplace_back(before.id, period); });
}

Status PgHistory::Flush(Gathered* gathered) {
  if (gathered->rows.empty()) return {};
  Status copied = db_.BeginCopy(gathered->kind->copy);
  if (copied) {
    for (const PeriodSums& h : gathered->rows) {
      db_.CopyHourRow(h.probe_id, h.period, h.n, h.sx, h.sy, h.sxy, h.sxx);
    }
    copied = db_.EndCopy();
  }
  if (!copied) {
    return db_.Bad()
               ? Failure(PgResult())
               : Status::Fail("The history server " + location_ + " refused: " + copied.message);
  }
  gathered->rows.clear();
  return {};
}

Status PgHistory::Merge(Gathered* gathered) {
  if (Status st = Flush(gathered); !st) return st;
  std::vector<int64_t> probes, periods;
  for (const auto& [probe, period] : gathered->recount) {
    probes.push_back(probe);
    periods.push_back(period);
  }
  gathered->recount.clear();
  const std::string probe_list = NumberArray(probes), period_list = NumberArray(periods);
  if (Status st = Run(gathered->kind->merge, {probe_list, period_list}); !st) return st;
  if (probes.empty()) return {};
  if (Status st = Run(gathered->kind->drop_rows, {probe_list, period_list}); !st) return st;
  return Run(gathered->kind->sum_rows, {probe_list, period_list, sql::kHourRowMin});
}

Status PgHistory::WriteSummary(const ImportProbe& p) {
  return Run(sql::kWriteSummary, {p.id, p.count, p.first, p.last, p.latest, p.origin, p.sums.sx,
                                  p.sums.sy, p.sums.sxy, p.sums.sxx});
}

Status PgHistory::EndImportReadings(const std::vector<const ImportProbe*>& touched) {
  for (Gathered* g : {&hours_, &weeks_}) {
    if (Status st = Merge(g); !st) return st;
  }
  if (Status st = MergeDays(); !st) return st;
  std::vector<int64_t> ids;
  for (const ImportProbe* p : touched) ids.push_back(p->id);
  if (ids.empty()) return {};
  return Run(sql::kRefreshWindows, {NumberArray(ids), sql::kStoredWindows, kReadingEpoch});
}

Status PgHistory::FinishFile(int64_t file_id, const ImportResult& result,
                             const ImportFileFacts& facts) {
  return Run(sql::kFinishFile, {file_id, int64_t{result.tags}, result.added, result.duplicates,
                                result.conflicts, facts.size, facts.sha256});
}

Status PgHistory::AbortImport(const Status& failure, const std::string& file) {
  RollbackWrite();
  for (Gathered* g : {&hours_, &weeks_}) {
    g->rows.clear();
    g->recount.clear();
  }
  days_ = {};
  if (!db_.Bad()) return failure;
  return Status::Fail("The connection to the history server " + location_ +
                      " was lost; nothing of " + file + " was imported: " + db_.Error());
}

ImportResult PgHistory::Import(const std::string& path, const ImportControl& control) {
  ImportResult failed;
  if (failed.status = MayWrite(); !failed.status) return failed;
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
  return ImportInto(
      *this, facts, [&](const BatchSink& sink) { return ReadAhead(path, control, sink); },
      [&](ImportFileFacts* f) {
        auto [st, d] = digest.get();
        f->size = d.size;
        f->sha256 = d.sha256;
        return st;
      },
      &control);
}

}  // namespace tarn
