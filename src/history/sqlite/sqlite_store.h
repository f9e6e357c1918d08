// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite history's store object, shared by the files that implement it: opening
// (sqlite_open.cpp), import (sqlite_import.cpp), reads and decimation (sqlite_reads.cpp), and the
// probe list, limits, files and removal (sqlite_probes.cpp).
#pragma once

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "history/history_store.h"
#include "history/probe_figures.h"
#include "history/sqlite/sqlite_statement.h"
#include "history/sqlite/sqlite_statements.h"
#include "history/sqlite/sqlite_trail.h"
#include "history/store_primitives.h"

namespace tarn::sqlite_store {

namespace sql = sqlite_sql;

// A reading's row id is probe_id * 2^34 + (time + 2^33): one integer key that keeps a probe's
// readings together in time order, in a table that SQLite fills page by page as readings are
// appended. Times within 2^33 seconds (272 years) of 2000 fit.
inline constexpr int kKeyShift = 34;
inline constexpr int64_t kTimeBias = int64_t{1} << 33;
inline bool StorableTime(HistoryTime t) {
  return t - kReadingEpoch >= -kTimeBias && t - kReadingEpoch < kTimeBias;
}
// The key of a probe's reading at `t`, with `t` clamped to the storable span.
inline int64_t ReadingKey(int64_t probe_id, HistoryTime t) {
  const HistoryTime rel = t < kReadingEpoch - kTimeBias    ? -kTimeBias
                          : t >= kReadingEpoch + kTimeBias ? kTimeBias - 1
                                                           : t - kReadingEpoch;
  // Shifted unsigned: a nonsense id read by a caller gives a key of no probe, never overflow.
  return static_cast<int64_t>(static_cast<uint64_t>(probe_id) << kKeyShift) + rel + kTimeBias;
}
inline HistoryTime KeyTime(int64_t key) {
  return (key & ((int64_t{1} << kKeyShift) - 1)) - kTimeBias + kReadingEpoch;
}
// The rate windows the probe list offers, whose sums each probe keeps up to date.
inline constexpr int32_t kStoredWindows[] = {7, 30, 90, 365};
// Another process may hold the file for a whole import; wait that long rather than fail.
inline constexpr int kBusyTimeoutMs = 120000;
// Readings handed from the file reader at a time: bounds memory for very long tags.
inline constexpr std::size_t kBatchSize = 1 << 18;

inline double Days(HistoryTime t, HistoryTime origin) {
  return static_cast<double>(t - origin) / static_cast<double>(kSecondsPerDay);
}

inline constexpr int64_t kHour = 3600;

inline int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0 && a < 0) ? 1 : 0);
}

// An hour gets a row in reading_hour only once it holds this many readings: a row costs about
// as much as six readings, and for sparser readings reading them is as quick as reading a row.
inline constexpr int64_t kHourRowMin = 12;

// First, last, lowest and highest of readings within one hour, offered in time order, and
// (at import) their least-squares sums with x in seconds from the hour's start.
struct HourFigures {
  int64_t hour = 0;
  int64_t n = 0;
  HistoryReading first, last, low, high;
  RegressionSums sums;
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

class SqliteHistory : public LayeredHistory {
 public:
  SqliteHistory(sqlite3* db, std::string path, bool read_only)
      : db_(db), path_(std::move(path)), read_only_(read_only) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
      dev_ = st.st_dev;
      ino_ = st.st_ino;
    }
  }
  ~SqliteHistory() override {
    // Statements first: the connection closes only without them.
    for (Statement* s : AllStatements()) s->Finalize();
    for (auto& [text, s] : kept_) s.Finalize();
    sqlite3_close(db_);
  }

  Status PrepareAll() {
    const std::pair<Statement*, const char*> list[] = {
        {&find_probe_, sql::kFindProbe},        {&insert_probe_, sql::kInsertProbe},
        {&read_summary_, sql::kReadSummary},    {&write_summary_, sql::kWriteSummary},
        {&write_header_, sql::kWriteHeader},    {&insert_file_, sql::kInsertFile},
        {&finish_file_, sql::kFinishFile},      {&readings_in_range_, sql::kReadingsInRange},
        {&window_hours_, sql::kWindowHours},    {&insert_reading_, sql::kInsertReading},
        {&insert_run_, sql::kInsertRun},        {&merge_hour_, sql::kMergeHour},
        {&hours_in_range_, sql::kHoursInRange}, {&insert_conflict_, sql::kInsertConflict},
        {&read_limits_, sql::kReadLimits},      {&read_default_limits_, sql::kReadDefaultLimits},
        {&write_window_, sql::kWriteWindow},    {&remove_readings_, sql::kRemoveReadings},

        {&remove_probe_, sql::kRemoveProbe},
    };
    for (const auto& [stmt, text] : list) {
      if (!stmt->Prepare(db_, text)) return Status::Fail(sqlite3_errmsg(db_));
    }
    if (!list_probes_.Prepare(db_, std::string(sql::kListProbes) + sql::kListOrder) ||
        !one_probe_.Prepare(db_, std::string(sql::kListProbes) + sql::kOneProbe)) {
      return Status::Fail(sqlite3_errmsg(db_));
    }
    return {};
  }

  const std::string& Location() const override { return path_; }
  bool ReadOnly() const override { return read_only_; }

  ImportResult Import(const std::string& path, const ImportControl& control) override;
  std::vector<HistoryReading> ReadRange(int64_t probe_id, HistoryTime from,
                                        HistoryTime to) override;
  std::vector<HistoryReading> ReadDecimated(int64_t probe_id, HistoryTime from, HistoryTime to,
                                            int32_t columns) override;
  std::vector<HistorySourceFile> ProbeFiles(int64_t probe_id) override;
  std::optional<HistorySourceFile> ReadingFile(int64_t probe_id, HistoryTime time) override;
  std::string ChangeMark() override;
  std::vector<HistorySourceFile> SourceFiles() override {
    return SqliteSourceFiles(db_, path_, &last_error_);
  }
  std::vector<HistoryRun> ReadingRuns(int64_t probe_id) override {
    return SqliteReadingRuns(db_, path_, probe_id, &last_error_);
  }
  std::vector<StoredConflict> ProbeConflicts(int64_t probe_id) override {
    return SqliteProbeConflicts(db_, path_, probe_id, &last_error_);
  }

 private:
  // A statement prepared on its first use and kept with the connection, for those an import
  // runs once a probe: preparing them cost more than running them. `text` is one of the
  // statement constants, whose address is the key. Started for a new use; null when it does
  // not prepare.
  Statement* Kept(const char* text) {
    auto [it, made] = kept_.try_emplace(text);
    if (made && !it->second.Prepare(db_, text)) {
      kept_.erase(it);
      return nullptr;
    }
    return &it->second.Start();
  }

  std::vector<Statement*> AllStatements() {
    return {
        &find_probe_,      &insert_probe_, &read_summary_,        &write_summary_, &write_header_,
        &insert_file_,     &finish_file_,  &readings_in_range_,   &window_hours_,  &insert_reading_,
        &insert_conflict_, &read_limits_,  &read_default_limits_, &insert_run_,    &merge_hour_,
        &hours_in_range_,  &write_window_, &remove_readings_,     &remove_probe_,  &list_probes_,
        &one_probe_};
  }

  // The connection keeps reading a file removed or replaced under it: a read says so instead of
  // passing the old contents off as the history at the path.
  Status Present() const {
    if (path_ == ":memory:") return {};
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
      return Status::Fail("Cannot reach the history " + path_ +
                          ": the file is not there (removed or moved).");
    }
    if (st.st_dev != dev_ || st.st_ino != ino_) {
      return Status::Fail("Cannot reach the history " + path_ +
                          ": another file took its place; open it again.");
    }
    return {};
  }
  Status Error(const std::string& what) const {
    return Status::Fail(what + ": " + sqlite3_errmsg(db_));
  }
  Status Exec(const char* text) {
    if (sqlite3_exec(db_, text, nullptr, nullptr, nullptr) == SQLITE_OK) return {};
    return Error(path_);
  }
  Status WriteRefusal() const {
    return Status::Fail("The history " + path_ +
                        " is a read-only history (no write permission on the file or its "
                        "folder): it can be listed and graphed, not changed.");
  }

  Status WriteRun(int64_t probe_id, int64_t file_id, const Run& run) {
    insert_run_.Start()
        .Bind(1, probe_id)
        .Bind(2, file_id)
        .Bind(3, run.first - kReadingEpoch)
        .Bind(4, run.last - kReadingEpoch)
        .Bind(5, run.n);
    if (insert_run_.Step() != SQLITE_DONE) return Error(path_);
    return {};
  }
  Status MergeHour(int64_t probe_id, const HourFigures& h) {
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
        .Bind(11, h.high.value)
        .Bind(12, h.sums.sx)
        .Bind(13, h.sums.sy)
        .Bind(14, h.sums.sxy)
        .Bind(15, h.sums.sxx);
    if (merge_hour_.Step() != SQLITE_DONE) return Error(path_);
    return {};
  }
  // The figures of every stored reading of one hour.
  Status ReadHour(int64_t probe_id, int64_t hour, HourFigures* all) {
    const HistoryTime start = kReadingEpoch + hour * kHour;
    *all = {};
    all->hour = hour;
    readings_in_range_.Start()
        .Bind(1, ReadingKey(probe_id, start))
        .Bind(2, ReadingKey(probe_id, start + kHour - 1));
    int rc;
    while ((rc = readings_in_range_.Step()) == SQLITE_ROW) {
      const HistoryReading x{KeyTime(readings_in_range_.Int(0)), readings_in_range_.Real(1)};
      all->Offer(x);
      all->sums.Add(static_cast<double>(x.time - start), x.value);
    }
    return rc == SQLITE_DONE ? Status{} : Error(path_);
  }
  // What the import of a batch knows of the probe's readings before it, to keep each hour row
  // covering every reading of its hour.
  struct HourContext {
    int64_t probe_id = 0;
    bool had_readings = false;
    HistoryTime old_first = 0, old_last = 0;
    HistoryTime span_first = 0, span_last = 0;  // `stored` holds every old reading in this span
    const std::vector<HistoryReading>* stored = nullptr;
    std::vector<int64_t> rows;  // hours of the span that have a row, ascending
  };
  // Writes the figures of an hour's new readings (already inserted): merged into the hour's
  // row, or a new row from all the hour's readings once there are enough of them.
  Status FlushHour(const HourContext& c, const HourFigures& h);
  // The primitives of an import (sqlite_import.cpp).
  Status StartImport(const ImportFileFacts& facts, int64_t* file_id) override;
  Status FindOrAddProbe(const ProbeKey& key, ImportProbe* probe, bool* created) override;
  Status WriteHeader(int64_t probe_id, const ProbeHeader& header, HistoryTime time) override;
  Status ReadingsBetween(int64_t probe_id, HistoryTime from, HistoryTime to,
                         std::vector<HistoryReading>* out) override;
  Status AddConflicts(int64_t probe_id, int64_t file_id,
                      const std::vector<BatchConflict>& conflicts) override;
  Status AddReadings(const ImportProbe& before, int64_t file_id,
                     const std::vector<HistoryReading>& fresh,
                     const std::vector<HistoryReading>& stored) override;
  Status WriteSummary(const ImportProbe& probe) override;
  Status EndImportReadings(const std::vector<const ImportProbe*>& touched) override;
  Status FinishFile(int64_t file_id, const ImportResult& result,
                    const ImportFileFacts& facts) override;
  Status AbortImport(const Status& failure, const std::string& file) override;
  bool ReadSummaryRow(int64_t probe_id, ImportProbe* s);
  // The probe list (sqlite_probes.cpp).
  Status ReadProbeRows(int64_t probe_id, int32_t window_days, std::vector<ProbeRow>* rows) override;
  Status SumWindows(const std::vector<const ProbeSummary*>& probes, int32_t days,
                    std::map<int64_t, RegressionSums>* sums) override;
  // Sums (x in days from the window's start) of the readings in the window of `days` ending at
  // `last`: whole hours from the hour sums, the hour the window starts in from its readings.
  Status WindowSums(int64_t probe_id, HistoryTime last, int32_t days, RegressionSums* out);
  // Rewrites the stored window sums of a probe whose readings changed.
  Status StoreWindows(int64_t probe_id, HistoryTime last);
  // Limits (sqlite_probes.cpp).
  Status ReadyToRead() override { return Present(); }
  Status AppendChange(const HistoryChange& change) override;
  Status ReadChanges(std::vector<HistoryChange>* out) override;
  std::string ChangeUser() override;
  Status ReadOwnLimits(int64_t probe_id, std::optional<HistoryLimits>* own) override;
  HistoryLimits DefaultLimits() override;
  Status WriteLimits(int64_t probe_id, const HistoryLimits& limits) override;
  Status DeleteLimits(int64_t probe_id) override;
  // The primitives of the review of conflicts and the undoing of an import
  // (sqlite_conflicts.cpp).
  Status MayWrite() const override;
  Status BeginWrite() override;
  Status Commit() override;
  void RollbackWrite() override;
  Status ConflictRows(int64_t probe_id, std::vector<ConflictRow>* rows) override;
  Status FindConflict(int64_t conflict_id, bool* found, ConflictAt* at) override;
  Status SetReadingValue(int64_t probe_id, HistoryTime t, double value, bool* changed) override;
  Status RefreshDerived(int64_t probe_id, const std::set<int64_t>& hours, int64_t* count) override;
  Status FileName(int64_t file_id, bool* found, std::string* name) override;
  Status TakeFileReadings(int64_t file_id, FileReadingsTaken* taken) override;
  Status DropConflicts(const std::vector<int64_t>& ids) override;
  Status RebaseConflict(int64_t conflict_id, double stored) override;
  Status PromoteOffer(int64_t probe_id, HistoryTime t, double value, int64_t file_id) override;
  Status DropReadings(int64_t probe_id) override;
  Status RemoveEmptyProbe(int64_t probe_id, std::optional<ProbeKey>* key) override;
  Status ForgetFile(int64_t file_id) override;
  Status ConflictProbes(int64_t file_id, ImportResult* result) override;
  // Monitoring points (sqlite_points.cpp).
  Status ReadPointMembers(std::vector<PointMemberRow>* rows) override;
  Status AddPoint(const std::string& path, const std::string& key, int64_t* point_id) override;
  Status PlaceProbe(int64_t probe_id, int64_t point_id, std::optional<HistoryTime> from) override;
  Status WritePointPath(int64_t point_id, const std::string& path, const std::string& key) override;
  Status DropPoint(int64_t point_id) override;
  Status UnplacedProbes(std::vector<PointMemberRow>* probes) override;
  Status WritePointLimits(int64_t point_id, const std::optional<HistoryLimits>& limits) override;
  Status AddEventRow(const HistoryEvent& event, int64_t* id) override;
  Status WriteEventRow(const HistoryEvent& event, bool* found) override;
  Status DeleteEventRow(int64_t event_id, bool* found) override;
  Status ReadEventRows(std::vector<HistoryEvent>* out) override;
  Status MemberRows(const char* text, std::vector<PointMemberRow>* rows);
  // Coupons (sqlite_coupons.cpp).
  Status ReadCoupons(std::vector<HistoryCoupon>* coupons) override;
  Status AddCoupon(const HistoryCoupon& coupon, int64_t* coupon_id) override;
  Status WriteCouponPoint(int64_t coupon_id, int64_t point_id) override;
  Status WritePitDepth(int64_t coupon_id, double depth_mm) override;
  // Readings set aside and flagged falls (sqlite_set_aside.cpp).
  Status ReadSetAside(int64_t probe_id, std::vector<SetAsideStretch>* out) override;
  Status AddSetAside(const SetAsideStretch& stretch) override;
  Status DropSetAside(int64_t stretch_id) override;
  Status SumReadings(int64_t probe_id, HistoryTime from, HistoryTime to, HistoryTime origin,
                     RegressionSums* sums) override;
  Status AddFlags(const std::vector<StepDownFlag>& flags) override;
  Status ReadFlags(std::vector<StepDownFlag>* out) override;

  sqlite3* db_;
  std::string path_;
  bool read_only_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;

  Statement find_probe_, insert_probe_, read_summary_, write_summary_, write_header_;
  Statement insert_file_, finish_file_, readings_in_range_, window_hours_, insert_reading_;
  Statement insert_conflict_, read_limits_, read_default_limits_, insert_run_;
  Statement merge_hour_, hours_in_range_, write_window_, remove_readings_, remove_probe_;
  Statement list_probes_, one_probe_;
  std::unordered_map<const char*, Statement> kept_;
};

}  // namespace tarn::sqlite_store
