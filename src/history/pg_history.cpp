#include "history/pg_history.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "common/code_page.h"
#include "common/date_time.h"
#include "history/import_source.h"
#include "history/pg_connection.h"
#include "history/pg_schema.h"
#include "history/pg_statements.h"
#include "history/probe_figures.h"

namespace tarn {

namespace {

namespace sql = pg_sql;

// Reading times are stored as seconds from 01/01/2000, as in the embedded store.
constexpr HistoryTime kReadingEpoch = 63082281600;
// Readings handed from the file reader at a time: bounds memory for very long tags.
constexpr std::size_t kBatchSize = 1 << 18;
// SQLSTATEs that mean "this role or server may not write".
constexpr const char* kNoPrivilege = "42501";
constexpr const char* kReadOnlyTransaction = "25006";

HistoryTime Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateTime dt;
  if (!MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, std::min(local.tm_sec, 59), &dt)) {
    return 0;
  }
  return dt.ticks / kTicksPerSecond;
}

bool ValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80         ? 1
                          : (b >> 5) == 6  ? 2
                          : (b >> 4) == 14 ? 3
                          : (b >> 3) == 30 ? 4
                                           : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// Record texts are Windows-1252; the server keeps UTF-8 so that any client reads them right.
std::string ToServer(const std::string& narrow) {
  return NarrowToUtf8(narrow);
}
std::string FromServer(const std::string& utf8) {
  return Utf8ToNarrow(utf8);
}

// A file name is the system's own bytes: kept as they are when they are UTF-8.
std::string FileNameToServer(const std::string& name) {
  return ValidUtf8(name) ? name : NarrowToUtf8(name);
}

std::string NumberArray(const std::vector<double>& values) {
  std::string out = "{";
  for (double v : values) {
    if (out.size() > 1) out += ',';
    out += PgParam(v).text;
  }
  return out + "}";
}
std::string NumberArray(const std::vector<int64_t>& values) {
  std::string out = "{";
  for (int64_t v : values) {
    if (out.size() > 1) out += ',';
    out += std::to_string(v);
  }
  return out + "}";
}

class PgHistory : public HistoryStore {
 public:
  explicit PgHistory(const std::string& uri) : db_(uri), location_(uri) {
    // Server notices ("already exists, skipping") are for a console, not for Tarn's users.
    if (db_.get() != nullptr)
      PQsetNoticeProcessor(
          db_.get(), [](void*, const char*) {}, nullptr);
  }

  PgConnection& db() { return db_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

  const std::string& Location() const override { return location_; }
  bool ReadOnly() const override { return read_only_; }
  HistoryStatus LastError() const override { return last_error_; }

  ImportResult Import(const std::string& path, const ImportControl& control) override;
  ImportResult ImportBatches(
      const ImportFileFacts& source,
      const std::function<HistoryStatus(const BatchSink&)>& produce) override;
  std::vector<ProbeSummary> ListProbes(int32_t window_days) override;
  std::optional<ProbeSummary> GetProbe(int64_t probe_id, int32_t window_days) override;
  std::vector<HistoryReading> ReadRange(int64_t probe_id, HistoryTime from,
                                        HistoryTime to) override;
  std::vector<HistoryReading> ReadDecimated(int64_t probe_id, HistoryTime from, HistoryTime to,
                                            int32_t columns) override;
  HistoryLimits GetLimits(int64_t probe_id) override;
  HistoryStatus SetLimits(int64_t probe_id, const HistoryLimits& limits) override;
  HistoryStatus ClearLimits(int64_t probe_id) override;
  std::vector<HistorySourceFile> ProbeFiles(int64_t probe_id) override;
  std::optional<HistorySourceFile> ReadingFile(int64_t probe_id, HistoryTime time) override;
  HistoryStatus RemoveProbe(int64_t probe_id) override;

  HistoryStatus ReadOnlyRefusal() const {
    return HistoryStatus::Fail("The history " + location_ + " is a read-only history for role " +
                               db_.User() + ": it can be listed and graphed, not changed.");
  }

  // The reason a statement failed, fit for the user.
  HistoryStatus Failure(const PgResult& r) const {
    if (db_.Bad()) {
      return HistoryStatus::Fail("The connection to the history server " + location_ +
                                 " was lost: " + db_.Error());
    }
    const std::string state = r.SqlState();
    if (state == kNoPrivilege || state == kReadOnlyTransaction) return ReadOnlyRefusal();
    return HistoryStatus::Fail("The history server " + location_ + " refused: " + r.Message());
  }

 private:
  // A probe touched by the import: its stored summary, kept up to date as batches go in.
  struct ProbeRun {
    int64_t id = 0;
    int64_t count = 0;
    HistoryTime first = 0, last = 0, origin = 0;
    double latest = 0.0;
    RegressionSums sums;
    bool staged = false;   // some of its readings wait in the load table
    bool changed = false;  // readings went straight in: the summary row must be written
  };
  struct ImportState {
    int64_t file_id = 0;
    std::set<int32_t> tags;
    std::map<std::tuple<std::string, std::string, int32_t>, ProbeRun> probes;
    ImportResult result;
    int64_t loaded = 0;  // readings sent to the load table
  };

  // Connects again when the server dropped the connection since the last call.
  HistoryStatus Ready() {
    if (!db_.Bad() || db_.Reset()) return {};
    return HistoryStatus::Fail("Cannot reach the history server " + location_ + ": " + db_.Error());
  }
  HistoryStatus Run(const std::string& text, std::initializer_list<PgParam> params = {}) {
    PgResult r = db_.Exec(text, params);
    return r.ok() ? HistoryStatus{} : Failure(r);
  }
  void Rollback() {
    if (!db_.Bad()) PQclear(PQexec(db_.get(), "ROLLBACK"));
  }

  HistoryStatus ImportBatchInto(ImportBatch& batch, ImportState* state);
  HistoryStatus MergeLoad(ImportState* state);
  std::vector<ProbeSummary> QueryProbes(int64_t probe_id, int32_t window_days);
  HistoryLimits DefaultLimits();

  // Window sums by probe and window: readings are only ever added, so a probe whose count and
  // last reading are unchanged has the same sums.
  struct WindowEntry {
    int64_t count = 0;
    HistoryTime last = 0;
    RegressionSums sums;
  };
  HistoryStatus FillWindows(const std::vector<ProbeSummary>& probes, int32_t window_days);

  PgConnection db_;
  std::string location_;
  bool read_only_ = false;
  HistoryStatus last_error_;
  std::map<std::pair<int64_t, int32_t>, WindowEntry> windows_;
};

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
    db_.CopyRow(static_cast<int32_t>(probe_id), reading.time - kReadingEpoch, reading.value, file);
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
  run.count += static_cast<int64_t>(r.size());
  run.changed = true;
  result.added += static_cast<int64_t>(r.size());
  return {};
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
  PgResult merged = db_.Exec(sql::kMergeLoad, {state->file_id, kReadingEpoch});
  if (!merged.ok()) return Failure(merged);
  int64_t added = 0;
  for (int i = 0; i < merged.rows(); ++i) added += merged.Int(i, 0);
  result.added += added;
  int64_t kept_apart = 0;
  if (added < state->loaded) {
    PgResult c = db_.Exec(sql::kKeepConflicts, {state->file_id, kReadingEpoch});
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
        db_.Exec(sql::kInsertFile, {FileNameToServer(facts.name), facts.size, facts.sha256, Now()});
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

HistoryLimits PgHistory::DefaultLimits() {
  HistoryLimits l;
  PgResult r = db_.Exec(sql::kReadDefaultLimits);
  if (r.ok() && r.rows() > 0) l = {r.Real(0, 0), r.Real(0, 1), r.Real(0, 2), r.Real(0, 3)};
  return l;
}

HistoryStatus PgHistory::FillWindows(const std::vector<ProbeSummary>& probes, int32_t window_days) {
  std::vector<int64_t> ids, lasts;
  for (const ProbeSummary& p : probes) {
    const auto it = windows_.find({p.id, window_days});
    if (p.count > 0 &&
        (it == windows_.end() || it->second.count != p.count || it->second.last != p.last_time)) {
      ids.push_back(p.id);
      lasts.push_back(p.last_time);
      windows_[{p.id, window_days}] = {p.count, p.last_time, {}};
    }
  }
  if (ids.empty()) return {};
  PgResult q = db_.Exec(sql::kWindowSums,
                        {NumberArray(ids), NumberArray(lasts), window_days, kReadingEpoch});
  if (!q.ok()) {
    for (int64_t id : ids) windows_.erase({id, window_days});
    return Failure(q);
  }
  for (int i = 0; i < q.rows(); ++i) {
    windows_[{q.Int(i, 0), window_days}].sums = {q.Int(i, 1), q.Real(i, 2), q.Real(i, 3),
                                                 q.Real(i, 4), q.Real(i, 5)};
  }
  return {};
}

std::vector<ProbeSummary> PgHistory::QueryProbes(int64_t probe_id, int32_t window_days) {
  std::vector<ProbeSummary> list;
  if (last_error_ = Ready(); !last_error_) return list;
  const HistoryLimits defaults = DefaultLimits();
  PgResult q = db_.Exec(sql::kListProbes, {probe_id});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return list;
  }
  list.reserve(static_cast<std::size_t>(q.rows()));
  for (int i = 0; i < q.rows(); ++i) {
    ProbeSummary p;
    p.id = q.Int(i, 0);
    p.key = {FromServer(q.Text(i, 1)), FromServer(q.Text(i, 2)), static_cast<int32_t>(q.Int(i, 3))};
    p.header.part_no = FromServer(q.Text(i, 4));
    p.header.probe_type_str = FromServer(q.Text(i, 5));
    p.header.probe_type = static_cast<int32_t>(q.Int(i, 6));
    p.header.mloss_unit = FromServer(q.Text(i, 7));
    p.header.thickness = q.Real(i, 8);
    p.header.read_interval = FromServer(q.Text(i, 9));
    p.header.probe_life = q.Real(i, 10);
    p.count = q.Int(i, 11);
    p.first_time = q.Int(i, 12);
    p.last_time = q.Int(i, 13);
    p.latest_value = q.Real(i, 14);
    p.own_limits = !q.IsNull(i, 19);
    p.limits = p.own_limits
                   ? HistoryLimits{q.Real(i, 19), q.Real(i, 20), q.Real(i, 21), q.Real(i, 22)}
                   : defaults;
    list.push_back(std::move(p));
  }
  if (window_days > 0) {
    if (last_error_ = FillWindows(list, window_days); !last_error_) return {};
  }
  for (int i = 0; i < q.rows(); ++i) {
    ProbeSummary& p = list[static_cast<std::size_t>(i)];
    RegressionSums sums;
    if (window_days <= 0) {
      sums = {p.count, q.Real(i, 15), q.Real(i, 16), q.Real(i, 17), q.Real(i, 18)};
    } else if (p.count > 0) {
      sums = windows_[{p.id, window_days}].sums;
    }
    FillProbeFigures(sums, &p);
  }
  return list;
}

std::vector<ProbeSummary> PgHistory::ListProbes(int32_t window_days) {
  return QueryProbes(0, window_days);
}

std::optional<ProbeSummary> PgHistory::GetProbe(int64_t probe_id, int32_t window_days) {
  if (probe_id <= 0) return std::nullopt;
  auto list = QueryProbes(probe_id, window_days);
  if (list.empty()) return std::nullopt;
  return std::move(list.front());
}

std::vector<HistoryReading> PgHistory::ReadRange(int64_t probe_id, HistoryTime from,
                                                 HistoryTime to) {
  std::vector<HistoryReading> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(sql::kReadingsInRange,
                        {probe_id, std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch,
                         std::min(to, INT64_MAX - 1) - kReadingEpoch, kReadingEpoch});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  out.reserve(static_cast<std::size_t>(q.rows()));
  for (int i = 0; i < q.rows(); ++i) out.push_back({q.Int(i, 0), q.Real(i, 1)});
  return out;
}

std::vector<HistoryReading> PgHistory::ReadDecimated(int64_t probe_id, HistoryTime from,
                                                     HistoryTime to, int32_t columns) {
  std::vector<HistoryReading> out;
  if (columns <= 0 || to < from) return out;
  if (last_error_ = Ready(); !last_error_) return out;
  // Rows arrive one at a time in index order, so no more than one column is ever held.
  const PgParam params[] = {probe_id, std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch,
                            std::min(to, INT64_MAX - 1) - kReadingEpoch, kReadingEpoch};
  const char* values[] = {params[0].text.c_str(), params[1].text.c_str(), params[2].text.c_str(),
                          params[3].text.c_str()};
  if (!PQsendQueryParams(db_.get(), sql::kReadingsInRange, 4, nullptr, values, nullptr, nullptr,
                         0) ||
      !PQsetSingleRowMode(db_.get())) {
    last_error_ = Failure(PgResult());
    return out;
  }
  const double span = static_cast<double>(to - from) + 1.0;
  int64_t column = -1;
  HistoryReading first{}, low{}, high{}, last{};
  auto flush = [&] {
    if (column < 0) return;
    HistoryReading four[4] = {first, low, high, last};
    std::sort(std::begin(four), std::end(four),
              [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; });
    for (const HistoryReading& r : four) {
      if (out.empty() || out.back().time != r.time) out.push_back(r);
    }
  };
  while (PGresult* raw = PQgetResult(db_.get())) {
    PgResult row(raw);
    if (PQresultStatus(raw) == PGRES_TUPLES_OK) continue;  // the end of the rows
    if (PQresultStatus(raw) != PGRES_SINGLE_TUPLE) {
      last_error_ = Failure(row);
      continue;
    }
    const HistoryReading r{row.Int(0, 0), row.Real(0, 1)};
    const auto c = static_cast<int64_t>(static_cast<double>(r.time - from) * columns / span);
    if (c != column) {
      flush();
      column = c;
      first = low = high = last = r;
      continue;
    }
    if (r.value < low.value) low = r;
    if (r.value > high.value) high = r;
    last = r;
  }
  flush();
  if (!last_error_) out.clear();
  return out;
}

HistoryLimits PgHistory::GetLimits(int64_t probe_id) {
  if (last_error_ = Ready(); !last_error_) return {};
  if (probe_id != 0) {
    PgResult r = db_.Exec(sql::kReadLimits, {probe_id});
    if (r.ok() && r.rows() > 0) return {r.Real(0, 0), r.Real(0, 1), r.Real(0, 2), r.Real(0, 3)};
    if (!r.ok()) last_error_ = Failure(r);
  }
  return DefaultLimits();
}

HistoryStatus PgHistory::SetLimits(int64_t probe_id, const HistoryLimits& l) {
  if (read_only_) return ReadOnlyRefusal();
  const double all[] = {l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm};
  for (double v : all) {
    if (!std::isfinite(v) || v < 0) return HistoryStatus::Fail("Limits must be numbers >= 0.");
  }
  if (l.rate_warn > l.rate_alarm || l.consumed_warn > l.consumed_alarm) {
    return HistoryStatus::Fail("A warning level must not be above its alarm level.");
  }
  if (HistoryStatus st = Ready(); !st) return st;
  if (probe_id != 0) {
    PgResult exists = db_.Exec(sql::kProbeExists, {probe_id});
    if (!exists.ok()) return Failure(exists);
    if (exists.rows() == 0) {
      return HistoryStatus::Fail("No probe with id " + std::to_string(probe_id) + ".");
    }
  }
  return Run(probe_id != 0 ? sql::kWriteLimits : sql::kWriteDefaultLimits,
             {probe_id, l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm});
}

HistoryStatus PgHistory::ClearLimits(int64_t probe_id) {
  if (read_only_) return ReadOnlyRefusal();
  if (probe_id == 0) return SetLimits(0, HistoryLimits{});
  if (HistoryStatus st = Ready(); !st) return st;
  return Run(sql::kClearLimits, {probe_id});
}

std::vector<HistorySourceFile> PgHistory::ProbeFiles(int64_t probe_id) {
  std::vector<HistorySourceFile> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(sql::kProbeFiles, {probe_id});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  for (int i = 0; i < q.rows(); ++i) {
    out.push_back({q.Int(i, 0), q.Text(i, 1), q.Int(i, 2), q.Text(i, 3), q.Int(i, 4), q.Int(i, 5)});
  }
  return out;
}

std::optional<HistorySourceFile> PgHistory::ReadingFile(int64_t probe_id, HistoryTime time) {
  if (last_error_ = Ready(); !last_error_) return std::nullopt;
  PgResult q = db_.Exec(sql::kReadingFile, {probe_id, time - kReadingEpoch});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return std::nullopt;
  }
  if (q.rows() == 0) return std::nullopt;
  return HistorySourceFile{q.Int(0, 0),  q.Text(0, 1), q.Int(0, 2),
                           q.Text(0, 3), q.Int(0, 4),  q.Int(0, 5)};
}

HistoryStatus PgHistory::RemoveProbe(int64_t probe_id) {
  if (read_only_) return ReadOnlyRefusal();
  if (HistoryStatus st = Ready(); !st) return st;
  // Under the import lock: an import must not add readings to a probe going away.
  HistoryStatus st = Run("BEGIN");
  if (st) st = Run(sql::kLockHistory);
  if (st) st = Run(sql::kRemoveReadings, {probe_id});
  if (st) {
    PgResult removed = db_.Exec(sql::kRemoveProbe, {probe_id});
    if (!removed.ok()) {
      st = Failure(removed);
    } else if (removed.Affected() == 0) {
      st = HistoryStatus::Fail("No probe with id " + std::to_string(probe_id) + ".");
    }
  }
  if (st) st = Run("COMMIT");
  if (!st) Rollback();
  return st;
}

}  // namespace

std::unique_ptr<HistoryStore> OpenPgHistory(const std::string& uri, std::string* error) {
  // A password in the location would end up in the settings file: libpq's password file,
  // service file or certificates hold it instead.
  char* parse_error = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.c_str(), &parse_error);
  if (options == nullptr) {
    *error = "The history location " + uri + " is not a valid connection URI" +
             (parse_error ? std::string(": ") + parse_error : std::string("."));
    while (!error->empty() && error->back() == '\n') error->pop_back();
    PQfreemem(parse_error);
    return nullptr;
  }
  bool has_password = false;
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (std::string(o->keyword) == "password" && o->val != nullptr && *o->val != '\0') {
      has_password = true;
    }
  }
  PQconninfoFree(options);
  if (has_password) {
    *error =
        "The history location must not hold a password: put it in ~/.pgpass (or the file "
        "PGPASSFILE names) or a service file instead.";
    return nullptr;
  }

  auto store = std::make_unique<PgHistory>(uri);
  PgConnection& db = store->db();
  if (db.Bad()) {
    *error = "Cannot reach the history server " + uri + ": " + db.Error();
    return nullptr;
  }
  auto version_of = [&](int* version, std::string* why) {
    PgResult id = db.Exec(sql::kReadIdentity);
    if (!id.ok()) {
      *why = id.Message();
      return false;
    }
    *version = 0;
    if (id.Text(0, 0) != "t") return true;
    PgResult v = db.Exec(sql::kReadVersion);
    if (!v.ok()) {
      *why = v.Message();
      return false;
    }
    if (v.rows() != 1 || v.Text(0, 0) != "Tarn") {
      *why = "its schema \"tarn\" belongs to another program";
      return false;
    }
    *version = static_cast<int>(v.Int(0, 1));
    return true;
  };
  int version = 0;
  std::string why;
  if (!version_of(&version, &why)) {
    *error = "Cannot open the history " + uri + ": " + why + ".";
    return nullptr;
  }
  if (version > kPgSchemaVersion) {
    *error = "The history " + uri + " was written by a newer version of Tarn (schema " +
             std::to_string(version) + "; this version knows up to " +
             std::to_string(kPgSchemaVersion) + ").";
    return nullptr;
  }
  if (version < kPgSchemaVersion) {
    // Another Tarn may be creating the same tables: decide again under the lock.
    PgResult r = db.Exec("BEGIN");
    bool ok = r.ok();
    if (ok) ok = (r = db.Exec(sql::kLockHistory)).ok();
    if (ok) ok = version_of(&version, &why);
    if (ok && version > kPgSchemaVersion) {
      why = "it was written by a newer version of Tarn meanwhile";
      ok = false;
    }
    if (ok && version < kPgSchemaVersion) ok = UpgradePgSchema(db, version, &why);
    if (ok) ok = (r = db.Exec("COMMIT")).ok();
    if (!ok) {
      if (why.empty()) why = r.ok() ? db.Error() : r.Message();
      PQclear(PQexec(db.get(), "ROLLBACK"));
      *error = "Cannot prepare the history " + uri + " (role " + db.User() +
               " must be allowed to create its tables once): " + why + ".";
      return nullptr;
    }
  }
  PgResult can_write = db.Exec(sql::kCanWrite);
  if (!can_write.ok()) {
    *error = "Cannot open the history " + uri + ": " + can_write.Message() + ".";
    return nullptr;
  }
  store->SetReadOnly(can_write.Text(0, 0) != "t");
  return store;
}

}  // namespace tarn
