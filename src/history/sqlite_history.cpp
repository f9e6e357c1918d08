#include "history/sqlite_history.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "common/date_time.h"
#include "history/import_source.h"
#include "history/probe_figures.h"
#include "history/sqlite_schema.h"
#include "history/sqlite_statements.h"

namespace tarn {

namespace {

namespace sql = sqlite_sql;

// Readings store their time as seconds from 01/01/2000, which fits four bytes for 68 years on
// either side.
constexpr HistoryTime kReadingEpoch = 63082281600;
// Another process may hold the file for a whole import; wait that long rather than fail.
constexpr int kBusyTimeoutMs = 120000;
// Readings handed from the file reader at a time: bounds memory for very long tags.
constexpr std::size_t kBatchSize = 1 << 18;

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

double Days(HistoryTime t, HistoryTime origin) {
  return static_cast<double>(t - origin) / static_cast<double>(kSecondsPerDay);
}

// A prepared statement, reset for every use.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }

  bool Prepare(sqlite3* db, const std::string& text) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    return sqlite3_prepare_v3(db, text.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) ==
           SQLITE_OK;
  }
  void Finalize() {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
  sqlite3_stmt* get() const { return stmt_; }
  // Resets and clears the bindings before a new use.
  Statement& Start() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    return *this;
  }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, double v) {
    sqlite3_bind_double(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // Ends a use that stopped at a row: an unfinished statement would keep the connection's read
  // snapshot open and hide what other processes write.
  void Reset() { sqlite3_reset(stmt_); }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return sqlite3_step(stmt_); }
  int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  double Real(int col) const { return sqlite3_column_double(stmt_, col); }
  bool IsNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
  std::string Text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
             : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

struct Summary {
  int64_t count = 0;
  HistoryTime first = 0, last = 0;
  double latest = 0.0;
  HistoryTime origin = 0;
  RegressionSums sums;
  HistoryTime header_time = 0;
};

constexpr int64_t kHour = 3600;

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0 && a < 0) ? 1 : 0);
}

// First, last, lowest and highest of readings within one hour, offered in time order.
struct HourFigures {
  int64_t hour = 0;
  int64_t n = 0;
  HistoryReading first, last, low, high;
  void Offer(const HistoryReading& r) {
    if (n++ == 0) {
      first = last = low = high = r;
      return;
    }
    last = r;
    if (r.value < low.value) low = r;
    if (r.value > high.value) high = r;
  }
};

struct Run {
  HistoryTime first = 0, last = 0;
  int64_t n = 0;
};

struct WindowEntry {
  int64_t count = 0;
  HistoryTime last = 0;
  RegressionSums sums;
};

class SqliteHistory : public HistoryStore {
 public:
  SqliteHistory(sqlite3* db, std::string path, bool read_only)
      : db_(db), path_(std::move(path)), read_only_(read_only) {}
  ~SqliteHistory() override {
    // Statements first: the connection closes only without them.
    for (Statement* s : AllStatements()) s->Finalize();
    sqlite3_close(db_);
  }

  bool PrepareAll(std::string* error) {
    const std::pair<Statement*, const char*> list[] = {
        {&find_probe_, sql::kFindProbe},        {&insert_probe_, sql::kInsertProbe},
        {&read_summary_, sql::kReadSummary},    {&write_summary_, sql::kWriteSummary},
        {&write_header_, sql::kWriteHeader},    {&insert_file_, sql::kInsertFile},
        {&finish_file_, sql::kFinishFile},      {&readings_in_range_, sql::kReadingsInRange},
        {&readings_from_, sql::kReadingsFrom},  {&insert_reading_, sql::kInsertReading},
        {&insert_run_, sql::kInsertRun},        {&merge_hour_, sql::kMergeHour},
        {&hours_in_range_, sql::kHoursInRange}, {&insert_conflict_, sql::kInsertConflict},
        {&read_limits_, sql::kReadLimits},      {&read_default_limits_, sql::kReadDefaultLimits},
    };
    for (const auto& [stmt, text] : list) {
      if (!stmt->Prepare(db_, text)) {
        *error = sqlite3_errmsg(db_);
        return false;
      }
    }
    return true;
  }

  const std::string& Location() const override { return path_; }
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

 private:
  struct ImportState {
    int64_t file_id = 0;
    std::set<int32_t> tags;
    std::map<std::tuple<std::string, std::string, int32_t>, int64_t> probes;
    ImportResult result;
    int64_t done = 0;
  };

  std::vector<Statement*> AllStatements() {
    return {&find_probe_,          &insert_probe_,   &read_summary_,    &write_summary_,
            &write_header_,        &insert_file_,    &finish_file_,     &readings_in_range_,
            &readings_from_,       &insert_reading_, &insert_conflict_, &read_limits_,
            &read_default_limits_, &insert_run_,     &merge_hour_,      &hours_in_range_};
  }

  HistoryStatus Error(const std::string& what) const {
    return HistoryStatus::Fail(what + ": " + sqlite3_errmsg(db_));
  }
  HistoryStatus Exec(const char* text) {
    if (sqlite3_exec(db_, text, nullptr, nullptr, nullptr) == SQLITE_OK) return {};
    return Error(path_);
  }
  HistoryStatus WriteRefusal() const {
    return HistoryStatus::Fail("The history " + path_ +
                               " is read-only (no write permission); it cannot be changed.");
  }

  HistoryStatus ImportBatchInto(ImportBatch& batch, ImportState* state);
  HistoryStatus WriteRun(int64_t probe_id, int64_t file_id, const Run& run) {
    insert_run_.Start()
        .Bind(1, probe_id)
        .Bind(2, file_id)
        .Bind(3, run.first - kReadingEpoch)
        .Bind(4, run.last - kReadingEpoch)
        .Bind(5, run.n);
    if (insert_run_.Step() != SQLITE_DONE) return Error(path_);
    return {};
  }
  HistoryStatus MergeHour(int64_t probe_id, const HourFigures& h) {
    merge_hour_.Start()
        .Bind(1, probe_id)
        .Bind(2, h.hour)
        .Bind(3, h.n)
        .Bind(4, h.first.time - kReadingEpoch)
        .Bind(5, h.first.value)
        .Bind(6, h.last.time - kReadingEpoch)
        .Bind(7, h.last.value)
        .Bind(8, h.low.time - kReadingEpoch)
        .Bind(9, h.low.value)
        .Bind(10, h.high.time - kReadingEpoch)
        .Bind(11, h.high.value);
    if (merge_hour_.Step() != SQLITE_DONE) return Error(path_);
    return {};
  }
  HistoryStatus ProbeId(const ProbeKey& key, ImportState* state, int64_t* id, bool* created);
  bool ReadSummaryRow(int64_t probe_id, Summary* s);
  std::vector<ProbeSummary> QueryProbes(const std::string& text, int64_t probe_id,
                                        int32_t window_days);
  RegressionSums WindowSums(int64_t probe_id, int32_t window_days, int64_t count, HistoryTime last);
  HistoryLimits DefaultLimits();

  sqlite3* db_;
  std::string path_;
  bool read_only_;
  HistoryStatus last_error_;
  std::map<std::pair<int64_t, int32_t>, WindowEntry> window_cache_;

  Statement find_probe_, insert_probe_, read_summary_, write_summary_, write_header_;
  Statement insert_file_, finish_file_, readings_in_range_, readings_from_, insert_reading_;
  Statement insert_conflict_, read_limits_, read_default_limits_, insert_run_;
  Statement merge_hour_, hours_in_range_;
};

HistoryStatus SqliteHistory::ProbeId(const ProbeKey& key, ImportState* state, int64_t* id,
                                     bool* created) {
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

HistoryStatus SqliteHistory::ImportBatchInto(ImportBatch& batch, ImportState* state) {
  ImportResult& result = state->result;
  state->tags.insert(batch.tag_index);
  result.skipped += batch.skipped;
  int64_t probe_id = 0;
  bool created = false;
  if (HistoryStatus st = ProbeId(batch.key, state, &probe_id, &created); !st) return st;

  std::vector<BatchConflict> conflicts;
  NormaliseReadings(&batch.readings, &result.duplicates, &conflicts);
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

  // What is already stored over the batch's span decides, reading by reading, between new,
  // duplicate and conflicting.
  std::vector<HistoryReading> stored;
  if (s.count > 0 && !r.empty() && r.front().time <= s.last && r.back().time >= s.first) {
    readings_in_range_.Start()
        .Bind(1, probe_id)
        .Bind(2, r.front().time - kReadingEpoch)
        .Bind(3, r.back().time - kReadingEpoch);
    int rc;
    while ((rc = readings_in_range_.Step()) == SQLITE_ROW) {
      stored.push_back({readings_in_range_.Int(0) + kReadingEpoch, readings_in_range_.Real(1)});
    }
    if (rc != SQLITE_DONE) return Error(path_);
  }

  if (s.count == 0) s.origin = r.empty() ? 0 : r.front().time;
  std::size_t k = 0;
  int64_t added = 0;
  Run run;
  std::size_t run_k = 0;
  HourFigures hour;
  HistoryTime newest = s.count > 0 ? s.last : INT64_MIN;
  for (const HistoryReading& reading : r) {
    while (k < stored.size() && stored[k].time < reading.time) ++k;
    if (k < stored.size() && stored[k].time == reading.time) {
      if (stored[k].value == reading.value) {
        ++result.duplicates;
      } else {
        conflicts.push_back({reading.time, stored[k].value, reading.value});
      }
      continue;
    }
    insert_reading_.Start()
        .Bind(1, probe_id)
        .Bind(2, reading.time - kReadingEpoch)
        .Bind(3, reading.value);
    if (insert_reading_.Step() != SQLITE_DONE) return Error(path_);
    // A stored reading between this one and the last one added ends the run.
    if (run.n > 0 && k != run_k) {
      if (HistoryStatus st = WriteRun(probe_id, state->file_id, run); !st) return st;
      run = {};
    }
    if (run.n == 0) run.first = reading.time;
    run.last = reading.time;
    ++run.n;
    run_k = k;
    const int64_t h = FloorDiv(reading.time - kReadingEpoch, kHour);
    if (hour.n > 0 && h != hour.hour) {
      if (HistoryStatus st = MergeHour(probe_id, hour); !st) return st;
      hour = {};
    }
    hour.hour = h;
    hour.Offer(reading);
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
    if (HistoryStatus st = WriteRun(probe_id, state->file_id, run); !st) return st;
  }
  if (hour.n > 0) {
    if (HistoryStatus st = MergeHour(probe_id, hour); !st) return st;
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
          {batch.key.tag, batch.key.serial, c.time, c.stored, c.offered});
    }
  }
  result.conflicts += static_cast<int64_t>(conflicts.size());
  if (added > 0) {
    s.count += added;
    s.last = newest;
    write_summary_.Start()
        .Bind(1, probe_id)
        .Bind(2, s.count)
        .Bind(3, s.first)
        .Bind(4, s.last)
        .Bind(5, s.latest)
        .Bind(6, s.origin)
        .Bind(7, s.sums.sx)
        .Bind(8, s.sums.sy)
        .Bind(9, s.sums.sxy)
        .Bind(10, s.sums.sxx);
    if (write_summary_.Step() != SQLITE_DONE) return Error(path_);
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

ImportResult SqliteHistory::ImportBatches(
    const ImportFileFacts& facts, const std::function<HistoryStatus(const BatchSink&)>& produce) {
  ImportResult failed;
  if (read_only_) {
    failed.status = WriteRefusal();
    return failed;
  }
  // Taking the write lock first means a second importer waits here, not halfway through.
  if (HistoryStatus st = Exec("BEGIN IMMEDIATE"); !st) {
    failed.status = st;
    return failed;
  }
  ImportState state;
  HistoryStatus status;
  insert_file_.Start().Bind(1, facts.name).Bind(2, facts.size).Bind(3, facts.sha256).Bind(4, Now());
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
  if (status) status = Exec("COMMIT");
  if (!status) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    failed.status = status;
    return failed;
  }
  return result;
}

HistoryLimits SqliteHistory::DefaultLimits() {
  HistoryLimits l;
  read_default_limits_.Start();
  if (read_default_limits_.Step() == SQLITE_ROW) {
    l = {read_default_limits_.Real(0), read_default_limits_.Real(1), read_default_limits_.Real(2),
         read_default_limits_.Real(3)};
  }
  read_default_limits_.Reset();
  return l;
}

RegressionSums SqliteHistory::WindowSums(int64_t probe_id, int32_t window_days, int64_t count,
                                         HistoryTime last) {
  WindowEntry& e = window_cache_[{probe_id, window_days}];
  if (e.count == count && e.last == last && e.sums.n > 0) return e.sums;
  const HistoryTime from = last - int64_t{window_days} * kSecondsPerDay;
  RegressionSums sums;
  readings_from_.Start().Bind(1, probe_id).Bind(2, from - kReadingEpoch);
  int rc;
  while ((rc = readings_from_.Step()) == SQLITE_ROW) {
    sums.Add(Days(readings_from_.Int(0) + kReadingEpoch, from), readings_from_.Real(1));
  }
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  e = {count, last, sums};
  return sums;
}

std::vector<ProbeSummary> SqliteHistory::QueryProbes(const std::string& text, int64_t probe_id,
                                                     int32_t window_days) {
  last_error_ = {};
  std::vector<ProbeSummary> list;
  const HistoryLimits defaults = DefaultLimits();
  Statement q;
  if (!q.Prepare(db_, text)) {
    last_error_ = Error(path_);
    return list;
  }
  if (probe_id != 0) q.Bind(1, probe_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    ProbeSummary p;
    p.id = q.Int(0);
    p.key = {q.Text(1), q.Text(2), static_cast<int32_t>(q.Int(3))};
    p.header.part_no = q.Text(4);
    p.header.probe_type_str = q.Text(5);
    p.header.probe_type = static_cast<int32_t>(q.Int(6));
    p.header.mloss_unit = q.Text(7);
    p.header.thickness = q.Real(8);
    p.header.read_interval = q.Text(9);
    p.header.probe_life = q.Real(10);
    p.count = q.Int(11);
    p.first_time = q.Int(12);
    p.last_time = q.Int(13);
    p.latest_value = q.Real(14);
    RegressionSums sums;
    if (window_days <= 0) {
      sums = {p.count, q.Real(16), q.Real(17), q.Real(18), q.Real(19)};
    } else if (p.count > 0) {
      sums = WindowSums(p.id, window_days, p.count, p.last_time);
    }
    p.own_limits = !q.IsNull(20);
    p.limits =
        p.own_limits ? HistoryLimits{q.Real(20), q.Real(21), q.Real(22), q.Real(23)} : defaults;
    FillProbeFigures(sums, &p);
    list.push_back(std::move(p));
  }
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return list;
}

std::vector<ProbeSummary> SqliteHistory::ListProbes(int32_t window_days) {
  return QueryProbes(std::string(sql::kListProbes) + sql::kListOrder, 0, window_days);
}

std::optional<ProbeSummary> SqliteHistory::GetProbe(int64_t probe_id, int32_t window_days) {
  if (probe_id <= 0) return std::nullopt;
  auto list = QueryProbes(std::string(sql::kListProbes) + sql::kOneProbe, probe_id, window_days);
  if (list.empty()) return std::nullopt;
  return std::move(list.front());
}

std::vector<HistoryReading> SqliteHistory::ReadRange(int64_t probe_id, HistoryTime from,
                                                     HistoryTime to) {
  last_error_ = {};
  std::vector<HistoryReading> out;
  readings_in_range_.Start()
      .Bind(1, probe_id)
      .Bind(2, std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch)
      .Bind(3, std::min(to, INT64_MAX - 1) - kReadingEpoch);
  int rc;
  while ((rc = readings_in_range_.Step()) == SQLITE_ROW) {
    out.push_back({readings_in_range_.Int(0) + kReadingEpoch, readings_in_range_.Real(1)});
  }
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return out;
}

std::vector<HistoryReading> SqliteHistory::ReadDecimated(int64_t probe_id, HistoryTime from,
                                                         HistoryTime to, int32_t columns) {
  last_error_ = {};
  std::vector<HistoryReading> out;
  if (columns <= 0 || to < from) return out;
  // In doubles: the range may be as wide as the whole time scale.
  const double span = static_cast<double>(to) - static_cast<double>(from) + 1.0;
  auto column_of = [&](HistoryTime t) {
    return static_cast<int64_t>((static_cast<double>(t) - static_cast<double>(from)) * columns /
                                span);
  };
  // Readings (or an hour's four figures) arrive in time order; each column keeps its first,
  // lowest, highest and last.
  int64_t column = -1;
  HourFigures acc;
  auto flush = [&] {
    if (acc.n == 0) return;
    HistoryReading four[4] = {acc.first, acc.low, acc.high, acc.last};
    std::sort(std::begin(four), std::end(four),
              [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; });
    for (const HistoryReading& r : four) {
      if (out.empty() || out.back().time != r.time) out.push_back(r);
    }
    acc = {};
  };
  auto offer = [&](const HistoryReading& r) {
    const int64_t c = column_of(r.time);
    if (c != column) {
      flush();
      column = c;
    }
    acc.Offer(r);
  };
  int rc = SQLITE_DONE;
  auto read_raw = [&](HistoryTime a, HistoryTime b) {
    readings_in_range_.Start()
        .Bind(1, probe_id)
        .Bind(2, a - kReadingEpoch)
        .Bind(3, b - kReadingEpoch);
    sqlite3_stmt* st = readings_in_range_.get();
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      offer({sqlite3_column_int64(st, 0) + kReadingEpoch, sqlite3_column_double(st, 1)});
    }
  };
  // An hour wholly inside one column gives its four figures; any other hour its readings.
  const HistoryTime lo = std::max(from, INT64_MIN / 2), hi = std::min(to, INT64_MAX / 2);
  hours_in_range_.Start()
      .Bind(1, probe_id)
      .Bind(2, FloorDiv(lo - kReadingEpoch, kHour))
      .Bind(3, FloorDiv(hi - kReadingEpoch, kHour));
  int hrc;
  Statement& h = hours_in_range_;
  while ((hrc = h.Step()) == SQLITE_ROW) {
    const HistoryTime start = h.Int(0) * kHour + kReadingEpoch;
    const HistoryTime end = start + kHour - 1;
    if (start >= from && end <= to && column_of(start) == column_of(end)) {
      HistoryReading four[4] = {{h.Int(2) + kReadingEpoch, h.Real(3)},
                                {h.Int(6) + kReadingEpoch, h.Real(7)},
                                {h.Int(8) + kReadingEpoch, h.Real(9)},
                                {h.Int(4) + kReadingEpoch, h.Real(5)}};
      std::sort(std::begin(four), std::end(four),
                [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; });
      for (int i = 0; i < 4; ++i) {
        if (i == 0 || four[i].time != four[i - 1].time) offer(four[i]);
      }
    } else {
      read_raw(std::max(start, from), std::min(end, to));
      if (rc != SQLITE_DONE) break;
    }
  }
  flush();
  if (hrc != SQLITE_DONE && hrc != SQLITE_ROW) last_error_ = Error(path_);
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  h.Reset();
  return out;
}

HistoryLimits SqliteHistory::GetLimits(int64_t probe_id) {
  last_error_ = {};
  if (probe_id != 0) {
    read_limits_.Start().Bind(1, probe_id);
    if (read_limits_.Step() == SQLITE_ROW) {
      const HistoryLimits l{read_limits_.Real(0), read_limits_.Real(1), read_limits_.Real(2),
                            read_limits_.Real(3)};
      read_limits_.Reset();
      return l;
    }
  }
  return DefaultLimits();
}

HistoryStatus SqliteHistory::SetLimits(int64_t probe_id, const HistoryLimits& l) {
  if (read_only_) return WriteRefusal();
  const double all[] = {l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm};
  for (double v : all) {
    if (!std::isfinite(v) || v < 0) return HistoryStatus::Fail("Limits must be numbers >= 0.");
  }
  if (l.rate_warn > l.rate_alarm || l.consumed_warn > l.consumed_alarm) {
    return HistoryStatus::Fail("A warning level must not be above its alarm level.");
  }
  Statement q;
  if (probe_id != 0) {
    if (!GetProbe(probe_id, 0)) {
      return HistoryStatus::Fail("No probe with id " + std::to_string(probe_id) + ".");
    }
    if (!q.Prepare(db_, sql::kWriteLimits)) return Error(path_);
  } else if (!q.Prepare(db_, sql::kWriteDefaultLimits)) {
    return Error(path_);
  }
  q.Bind(1, probe_id)
      .Bind(2, l.rate_warn)
      .Bind(3, l.rate_alarm)
      .Bind(4, l.consumed_warn)
      .Bind(5, l.consumed_alarm);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  return {};
}

HistoryStatus SqliteHistory::ClearLimits(int64_t probe_id) {
  if (read_only_) return WriteRefusal();
  if (probe_id == 0) return SetLimits(0, HistoryLimits{});
  Statement q;
  if (!q.Prepare(db_, sql::kClearLimits)) return Error(path_);
  q.Bind(1, probe_id);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  return {};
}

std::vector<HistorySourceFile> SqliteHistory::ProbeFiles(int64_t probe_id) {
  last_error_ = {};
  std::vector<HistorySourceFile> out;
  Statement q;
  if (!q.Prepare(db_, sql::kProbeFiles)) {
    last_error_ = Error(path_);
    return out;
  }
  q.Bind(1, probe_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    out.push_back({q.Int(0), q.Text(1), q.Int(2), q.Text(3), q.Int(4), q.Int(5)});
  }
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return out;
}

std::optional<HistorySourceFile> SqliteHistory::ReadingFile(int64_t probe_id, HistoryTime time) {
  last_error_ = {};
  Statement q;
  if (!q.Prepare(db_, sql::kReadingFile)) {
    last_error_ = Error(path_);
    return std::nullopt;
  }
  q.Bind(1, probe_id).Bind(2, time - kReadingEpoch);
  const int rc = q.Step();
  if (rc == SQLITE_ROW)
    return HistorySourceFile{q.Int(0), q.Text(1), q.Int(2), q.Text(3), q.Int(4), q.Int(5)};
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return std::nullopt;
}

HistoryStatus SqliteHistory::RemoveProbe(int64_t probe_id) {
  if (read_only_) return WriteRefusal();
  Statement q;
  if (!q.Prepare(db_, sql::kRemoveProbe)) return Error(path_);
  q.Bind(1, probe_id);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  if (sqlite3_changes(db_) == 0) {
    return HistoryStatus::Fail("No probe with id " + std::to_string(probe_id) + ".");
  }
  return {};
}

// The file's write permission decides, not the user's power to override it: a history someone
// made read-only stays so, even for root.
bool WritableFile(const std::string& path, bool* exists) {
  struct stat st {};
  *exists = ::stat(path.c_str(), &st) == 0;
  if (!*exists) return true;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::access(path.c_str(), W_OK) == 0;
}

std::string Describe(sqlite3* db, const std::string& path, int rc) {
  switch (rc) {
    case SQLITE_NOTADB:
      return "The file " + path + " is not a Tarn history (it is not an SQLite database).";
    case SQLITE_CORRUPT:
      return "The history " + path + " is damaged: " + sqlite3_errmsg(db) + ".";
    default:
      return "Cannot open the history " + path + ": " + sqlite3_errmsg(db) + ".";
  }
}

}  // namespace

std::unique_ptr<HistoryStore> OpenSqliteHistory(const std::string& path, std::string* error) {
  bool exists = false;
  const bool writable = WritableFile(path, &exists);
  sqlite3* raw = nullptr;
  const int flags = writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, &sqlite3_close);
  if (rc != SQLITE_OK) {
    *error = Describe(db.get(), path, rc);
    return nullptr;
  }
  sqlite3_extended_result_codes(db.get(), 0);
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);

  // Read who wrote the file before anything could write to it.
  auto identity = [&](int* app_id, int* version, int* tables) {
    Statement q;
    if (!q.Prepare(db.get(), sqlite_sql::kReadIdentity)) return sqlite3_errcode(db.get());
    const int step = q.Step();
    if (step != SQLITE_ROW) return step;
    *app_id = static_cast<int>(q.Int(0));
    *version = static_cast<int>(q.Int(1));
    *tables = static_cast<int>(q.Int(2));
    return SQLITE_OK;
  };
  int app_id = 0, version = 0, tables = 0;
  rc = identity(&app_id, &version, &tables);
  if (rc != SQLITE_OK) {
    *error = Describe(db.get(), path, rc);
    return nullptr;
  }
  const bool fresh = version == 0 && tables == 0;
  if (!fresh && app_id != sqlite_sql::kApplicationId) {
    *error = "The file " + path + " is an SQLite database of another program, not a Tarn history.";
    return nullptr;
  }
  if (version > kSqliteSchemaVersion) {
    *error = "The history " + path + " was written by a newer version of Tarn (schema " +
             std::to_string(version) + "; this version knows up to " +
             std::to_string(kSqliteSchemaVersion) + ").";
    return nullptr;
  }
  if (sqlite3_exec(db.get(), "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr) != SQLITE_OK) {
    *error = Describe(db.get(), path, sqlite3_errcode(db.get()));
    return nullptr;
  }
  if (!writable) {
    if (version < kSqliteSchemaVersion) {
      *error = "The history " + path +
               " is read-only and in an older layout that this version must upgrade first.";
      return nullptr;
    }
  } else {
    // A new file gets larger pages (fewer page headers per reading) before WAL fixes the size.
    if (fresh) sqlite3_exec(db.get(), "PRAGMA page_size = 16384", nullptr, nullptr, nullptr);
    // A large page cache keeps a big import from spilling pages into the log before it ends.
    if (sqlite3_exec(db.get(),
                     "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
                     " PRAGMA cache_size = -65536",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
      *error = Describe(db.get(), path, sqlite3_errcode(db.get()));
      return nullptr;
    }
    if (version < kSqliteSchemaVersion) {
      // Another process may be upgrading the same file: decide again under the write lock.
      std::string why;
      bool ok = sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
      if (ok) ok = identity(&app_id, &version, &tables) == SQLITE_OK;
      if (ok && version < kSqliteSchemaVersion) ok = UpgradeSqliteSchema(db.get(), version, &why);
      if (ok) ok = sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
      if (!ok) {
        if (why.empty()) why = sqlite3_errmsg(db.get());
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        *error = "Cannot prepare the history " + path + ": " + why + ".";
        return nullptr;
      }
    }
  }
  auto store = std::make_unique<SqliteHistory>(db.release(), path, !writable);
  if (!store->PrepareAll(error)) {
    *error = "Cannot open the history " + path + ": " + *error + ".";
    return nullptr;
  }
  return store;
}

}  // namespace tarn
