// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history store, shared by the files that implement it: pg_history.cpp (opening,
// limits, removal), pg_import.cpp (imports), pg_probe_list.cpp (the probe list and its figures)
// pg_readings.cpp (readings and the files they came from), pg_day_extremes.cpp (what a long
// graph reads) and pg_trail.cpp (the whole trail of files and conflicts, for copies).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "history/column_decimator.h"
#include "history/history_store.h"
#include "history/import_source.h"
#include "history/pg/pg_connection.h"
#include "history/pg/pg_statements.h"
#include "history/probe_figures.h"
#include "history/store_primitives.h"

namespace tarn {

// SQLSTATEs that mean "this role or server may not write".
inline constexpr const char* kPgNoPrivilege = "42501";
inline constexpr const char* kPgReadOnlyTransaction = "25006";

class PgHistory : public LayeredHistory {
 public:
  explicit PgHistory(const std::string& uri) : db_(uri), location_(uri) {
    // Server notices ("already exists, skipping") are for a console, not for Tarn's users.
    if (db_.get() != nullptr)
      PQsetNoticeProcessor(
          db_.get(), [](void*, const char*) {}, nullptr);
  }

  PgConnection& db() { return db_; }
  // Compiling the list's short queries to machine code costs more than running them.
  void SessionSettings() { db_.Exec("SET jit = off"); }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

  const std::string& Location() const override { return location_; }
  bool ReadOnly() const override { return read_only_; }

  ImportResult Import(const std::string& path, const ImportControl& control) override;
  std::vector<HistoryReading> ReadRange(int64_t probe_id, HistoryTime from,
                                        HistoryTime to) override;
  std::vector<HistoryReading> ReadDecimated(int64_t probe_id, HistoryTime from, HistoryTime to,
                                            int32_t columns) override;
  std::vector<HistorySourceFile> ProbeFiles(int64_t probe_id) override;
  std::optional<HistorySourceFile> ReadingFile(int64_t probe_id, HistoryTime time) override;
  std::vector<HistorySourceFile> SourceFiles() override;
  std::vector<HistoryRun> ReadingRuns(int64_t probe_id) override;
  std::vector<StoredConflict> ProbeConflicts(int64_t probe_id) override;
  std::string ChangeMark() override;

  Status ReadOnlyRefusal() const {
    return Status::Fail("The history " + location_ + " is a read-only history for role " +
                        db_.User() + ": it can be listed and graphed, not changed.");
  }

  // The reason a statement failed, fit for the user.
  Status Failure(const PgResult& r) const {
    if (db_.Bad()) {
      return Status::Fail("The connection to the history server " + location_ +
                          " was lost: " + db_.Error());
    }
    const std::string state = r.SqlState();
    if (state == kPgNoPrivilege || state == kPgReadOnlyTransaction) return ReadOnlyRefusal();
    return Status::Fail("The history server " + location_ + " refused: " + r.Message());
  }

 private:
  // Least-squares sums of one probe-period (an hour or a week), x in seconds from its start.
  struct PeriodSums {
    int32_t probe_id = 0;
    int64_t period = 0;
    int64_t n = 0;
    double sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
  };
  // What an import gathers of one kind of kept sums: whole rows, and the (probe, period)s
  // whose rows are summed from the table at its end.
  struct Gathered {
    const pg_sql::KeptSums* kind;
    std::vector<PeriodSums> rows;
    std::vector<std::pair<int64_t, int64_t>> recount;
  };

  // A busy day's first, lowest, highest and last reading (`start` the day's first second), with
  // how many readings it holds.
  struct DayExtremes {
    int32_t n = 0;
    int32_t probe_id = 0;
    int32_t day = 0;
    HistoryTime start = 0;
    HistoryReading four[4];
  };
  struct GatheredDays {
    std::vector<DayExtremes> rows;
    std::vector<std::pair<int64_t, int64_t>> recount;
  };

  // Connects again when the server dropped the connection since the last call.
  Status Ready() {
    if (!db_.Bad()) return {};
    if (db_.Reset()) {
      SessionSettings();
      return {};
    }
    return Status::Fail("Cannot reach the history server " + location_ + ": " + db_.Error());
  }
  Status Run(const std::string& text, std::initializer_list<PgParam> params = {}) {
    PgResult r = db_.Exec(text, params);
    return r.ok() ? Status{} : Failure(r);
  }
  // Runs a query and makes a T of each row; a failure is kept in last_error_ and gives nothing.
  template <typename T, typename MakeRow>
  std::vector<T> Rows(const char* text, std::initializer_list<PgParam> params, MakeRow make) {
    std::vector<T> out;
    if (last_error_ = Ready(); !last_error_) return out;
    PgResult q = db_.Exec(text, params);
    if (!q.ok()) {
      last_error_ = Failure(q);
      return out;
    }
    out.reserve(static_cast<std::size_t>(q.rows()));
    for (int i = 0; i < q.rows(); ++i) out.push_back(make(q, i));
    return out;
  }
  void Rollback() {
    if (!db_.Bad()) PQclear(PQexec(db_.get(), "ROLLBACK"));
  }

  // The periods of a probe's readings added straight (`fresh`, in time order, with the stored
  // readings `stored` of their span): the whole sums of each period that has kHourRowMin
  // readings or more and whose every reading is known here go to rows; a period that may hold
  // stored readings not at hand goes to recount.
  static void Gather(const ImportProbe& before, const std::vector<HistoryReading>& fresh,
                     const std::vector<HistoryReading>& stored, Gathered* gathered);
  // Sends the gathered rows to the server's temporary table.
  Status Flush(Gathered* gathered);
  // Writes what the import gathered into the kept sums.
  Status Merge(Gathered* gathered);
  // The kept sums of the periods touching `hours` of a probe, again from its readings.
  Status SumAgain(const pg_sql::KeptSums& kind, int64_t probe_id, const std::set<int64_t>& hours);
  // Kept day extremes (pg_day_extremes.cpp): gathered as Gather does, sent, written at the
  // import's end; the days $2 to $3 of probes $1 again from the readings; the days touching
  // `hours` of a probe again; what a graph needs, from the kept days and the readings between
  // them (times of the table).
  void GatherDays(const ImportProbe& before, const std::vector<HistoryReading>& fresh,
                  const std::vector<HistoryReading>& stored);
  Status FlushDays();
  Status MergeDays();
  Status TakeDays(const std::vector<int64_t>& probes, const std::vector<int64_t>& from,
                  const std::vector<int64_t>& to);
  Status DaysAgain(int64_t probe_id, const std::set<int64_t>& hours);
  Status DecimateByDays(int64_t probe_id, int64_t lo, int64_t hi, ColumnExtremes* columns);
  // Runs `query` (two columns: time, value) through a cursor in the open transaction, a page at
  // a time, handing each row to `each`.
  Status FetchReadings(const std::string& query,
                       const std::function<void(const HistoryReading&)>& each);
  // The primitives of an import (pg_import.cpp).
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
  // The probe list (pg_probe_list.cpp).
  Status ReadProbeRows(int64_t probe_id, int32_t window_days, std::vector<ProbeRow>* rows) override;
  Status SumWindows(const std::vector<const ProbeSummary*>& probes, int32_t days,
                    std::map<int64_t, RegressionSums>* sums) override;
  // Limits (pg_history.cpp).
  Status ReadyToRead() override { return Ready(); }
  Status AppendChange(const HistoryChange& change) override;
  Status ReadChanges(std::vector<HistoryChange>* out) override;
  std::string ChangeUser() override;
  Status ReadOwnLimits(int64_t probe_id, std::optional<HistoryLimits>* own) override;
  HistoryLimits DefaultLimits() override;
  Status WriteLimits(int64_t probe_id, const HistoryLimits& limits) override;
  Status DeleteLimits(int64_t probe_id) override;
  // The primitives of the review of conflicts and the undoing of an import (pg_conflicts.cpp).
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
  // Monitoring points (pg_points.cpp).
  Status ReadPointMembers(std::vector<PointMemberRow>* rows) override;
  Status AddPoint(const std::string& path, const std::string& key, int64_t* point_id) override;
  Status PlaceProbe(int64_t probe_id, int64_t point_id, std::optional<HistoryTime> from) override;
  Status WritePointPath(int64_t point_id, const std::string& path, const std::string& key) override;
  Status DropPoint(int64_t point_id) override;
  Status UnplacedProbes(std::vector<PointMemberRow>* probes) override;
  Status WritePointLimits(int64_t point_id, const std::optional<HistoryLimits>& limits) override;
  // Events (pg_events.cpp).
  Status ReadingsOfSpans(const std::vector<ReadingSpan>& spans,
                         std::vector<std::vector<HistoryReading>>* out) override;
  Status AddEventRow(const HistoryEvent& event, int64_t* id) override;
  Status WriteEventRow(const HistoryEvent& event, bool* found) override;
  Status DeleteEventRow(int64_t event_id, bool* found) override;
  Status ReadEventRows(std::vector<HistoryEvent>* out) override;
  Status MemberRows(const char* text, std::vector<PointMemberRow>* rows);
  // Coupons (pg_coupons.cpp).
  Status ReadCoupons(std::vector<HistoryCoupon>* coupons) override;
  Status AddCoupon(const HistoryCoupon& coupon, int64_t* coupon_id) override;
  Status WriteCouponPoint(int64_t coupon_id, int64_t point_id) override;
  Status WritePitDepth(int64_t coupon_id, double depth_mm) override;
  // Readings set aside and flagged falls (pg_set_aside.cpp).
  Status ReadSetAside(int64_t probe_id, std::vector<SetAsideStretch>* out) override;
  Status AddSetAside(const SetAsideStretch& stretch) override;
  Status DropSetAside(int64_t stretch_id) override;
  Status SumReadings(int64_t probe_id, HistoryTime from, HistoryTime to, HistoryTime origin,
                     RegressionSums* sums) override;
  Status AddFlags(const std::vector<StepDownFlag>& flags) override;
  Status ReadFlags(std::vector<StepDownFlag>* out) override;

  PgConnection db_;
  std::string location_;
  bool read_only_ = false;
  // Of the readings an import added, merged at its end.
  Gathered hours_{&pg_sql::kHourSums, {}, {}}, weeks_{&pg_sql::kWeekSums, {}, {}};
  GatheredDays days_;
};

}  // namespace tarn
