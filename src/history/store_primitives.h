// SPDX-License-Identifier: GPL-3.0-or-later
// What a history back end provides so that the history's logic is written once: transactions,
// rows read and written, and the derived sums brought up to date. Internal to src/history/.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "history/event_figures.h"
#include "history/history_review.h"
#include "history/history_store.h"
#include "history/import_source.h"
#include "history/probe_figures.h"

namespace tarn {

// Every back end stores reading times as seconds from 01/01/2000, and sums readings by the
// hours counted from then.
inline constexpr HistoryTime kReadingEpoch = 63082281600;
inline constexpr int64_t kSecondsPerHour = 3600;
inline int64_t HistoryHour(HistoryTime t) {
  const int64_t rel = t - kReadingEpoch;
  return rel / kSecondsPerHour - (rel % kSecondsPerHour < 0 ? 1 : 0);
}

// A kept conflict as the review lists it, with the reading now stored at its second (told by
// the first row of each second at least).
struct ConflictRow {
  int64_t conflict_id = 0;
  int64_t file_id = 0;
  std::string file;
  HistoryTime time = 0;
  double stored = 0.0;
  double offered = 0.0;
  std::optional<double> reading;  // none: no reading at that second now
  int64_t reading_file_id = 0;    // the file that brought that reading; 0 when unknown
  std::string reading_file;
};

// A conflict looked up by its id, with the value first stored for its second.
struct ConflictAt {
  int64_t probe_id = 0;
  HistoryTime time = 0;
  double offered = 0.0;
  double first_stored = 0.0;
};

// One second that undoing an import concerns: its reading went with the file (`removed`) or
// stays with `value`, and every conflict kept for it, in the order found.
struct UnimportSecond {
  bool removed = false;
  double value = 0.0;
  std::vector<SecondConflict> conflicts;
};
// What a back end took away of a file's readings, by probe.
struct UnimportProbe {
  std::set<int64_t> hours;  // hours whose readings changed
  std::map<HistoryTime, UnimportSecond> seconds;
};
struct FileReadingsTaken {
  int64_t readings = 0;
  std::map<int64_t, UnimportProbe> probes;
};

// A probe as the probe list reads it: `probe` with its key, header, count, times, latest value
// and its own limits when it has them (own_limits), the sums of all its readings and, when the
// store keeps them, the sums of the window asked for (x in days from any origin).
struct ProbeRow {
  ProbeSummary probe;
  HistoryTime origin = 0;  // of the whole sums' x
  RegressionSums whole;
  std::optional<RegressionSums> window;
  // When some of its readings are set aside (probe.set_aside of them): its stretches, with
  // `whole` and `window` leaving those readings out, the window ending at its last reading
  // kept, and its first and last readings kept (none when every reading is set aside).
  std::vector<SetAsideStretch> aside;
  std::optional<HistoryReading> kept_first, kept_last;
};

// A probe an import offers readings for: its id and stored summary, kept up to date as the
// import's batches go in.
struct ImportProbe {
  int64_t id = 0;
  int64_t count = 0;
  HistoryTime first = 0, last = 0, origin = 0;
  double latest = 0.0;
  RegressionSums sums;                  // x in days from origin
  HistoryTime header_time = INT64_MIN;  // of the readings the stored header came with
  bool grown = false;                   // readings went in: its summary must be written
};

// A monitoring point with one of its probes (probe_id 0: a point without probes), or a probe at
// no point yet (point_id 0).
struct PointMemberRow {
  int64_t point_id = 0;
  std::string path;
  std::optional<HistoryLimits> own_limits;
  int64_t probe_id = 0;
  ProbeKey key;
  HistoryTime first_time = 0;
  std::optional<HistoryTime> from;  // none: from the probe's first reading
};

// A stretch of one probe's readings: from <= time <= to.
struct ReadingSpan {
  int64_t probe_id = 0;
  HistoryTime from = 0;
  HistoryTime to = 0;
};

class StorePrimitives {
 public:
  virtual ~StorePrimitives() = default;

  // Importing, inside the write transaction. The file's record (*file_id its id), and whatever
  // the back end gathers for the end of the import made ready.
  virtual Status StartImport(const ImportFileFacts& facts, int64_t* file_id) = 0;
  // The probe of `key` as stored, added when there is none (*created).
  virtual Status FindOrAddProbe(const ProbeKey& key, ImportProbe* probe, bool* created) = 0;
  virtual Status WriteHeader(int64_t probe_id, const ProbeHeader& header, HistoryTime time) = 0;
  // A probe's stored readings from `from` to `to`, in time order (this import's too).
  virtual Status ReadingsBetween(int64_t probe_id, HistoryTime from, HistoryTime to,
                                 std::vector<HistoryReading>* out) = 0;
  // The readings of many spans: (*out)[i] those of spans[i], in time order. A back end that
  // pays a round trip a read reads them together.
  virtual Status ReadingsOfSpans(const std::vector<ReadingSpan>& spans,
                                 std::vector<std::vector<HistoryReading>>* out) {
    out->assign(spans.size(), {});
    for (std::size_t i = 0; i < spans.size(); ++i) {
      const ReadingSpan& s = spans[i];
      if (Status st = ReadingsBetween(s.probe_id, s.from, s.to, &(*out)[i]); !st) return st;
    }
    return {};
  }
  virtual Status AddConflicts(int64_t probe_id, int64_t file_id,
                              const std::vector<BatchConflict>& conflicts) = 0;
  // New readings of a probe brought by `file_id`, in time order, none at a stored reading's
  // second: `before` is the probe as it stood before them, `stored` every stored reading in
  // their span (in time order).
  virtual Status AddReadings(const ImportProbe& before, int64_t file_id,
                             const std::vector<HistoryReading>& fresh,
                             const std::vector<HistoryReading>& stored) = 0;
  virtual Status WriteSummary(const ImportProbe& probe) = 0;
  // Once every reading is in: the hour sums and the kept window sums of the probes touched.
  virtual Status EndImportReadings(const std::vector<const ImportProbe*>& touched) = 0;
  // Fills result->conflict_probes with the probes file `file_id` offered conflicts for.
  virtual Status ConflictProbes(int64_t file_id, ImportResult* result) = 0;
  // The file's record completed with the import's counts and its size and digest.
  virtual Status FinishFile(int64_t file_id, const ImportResult& result,
                            const ImportFileFacts& facts) = 0;
  // Rolls a failed import back: the failure to tell (a lost connection says nothing went in).
  virtual Status AbortImport(const Status& failure, const std::string& file) = 0;

  // Probe `probe_id` (0: every probe, by id) as the list shows it, with the kept sums of the
  // window of `window_days` where they are up to date.
  virtual Status ReadProbeRows(int64_t probe_id, int32_t window_days,
                               std::vector<ProbeRow>* rows) = 0;
  // Sums (x in days from the window's start) of each probe's readings in the window of `days`
  // ending at its last reading, by probe id: from the hour sums, not every reading.
  virtual Status SumWindows(const std::vector<const ProbeSummary*>& probes, int32_t days,
                            std::map<int64_t, RegressionSums>* sums) = 0;

  // The refusal of a change, when the history is read-only; ok otherwise.
  virtual Status MayWrite() const = 0;
  // A write transaction, exclusive of every other writer.
  virtual Status BeginWrite() = 0;
  virtual Status Commit() = 0;
  // Rolls back, and forgets what was remembered of the changes rolled back.
  virtual void RollbackWrite() = 0;

  // Conflicts of a probe in time order, then the order found.
  virtual Status ConflictRows(int64_t probe_id, std::vector<ConflictRow>* rows) = 0;
  // Conflict `conflict_id`; false when there is none.
  virtual Status FindConflict(int64_t conflict_id, bool* found, ConflictAt* at) = 0;
  // Sets the value of the probe's reading at `t`; *changed false when there is none.
  virtual Status SetReadingValue(int64_t probe_id, HistoryTime t, double value, bool* changed) = 0;
  // After readings of a probe were removed, added or changed in `hours`: its summary, those
  // hours' sums and its window sums again from the readings; *count its readings now.
  virtual Status RefreshDerived(int64_t probe_id, const std::set<int64_t>& hours,
                                int64_t* count) = 0;

  // The name of imported file `file_id`; false when there is none.
  virtual Status FileName(int64_t file_id, bool* found, std::string* name) = 0;
  // Removes the readings file `file_id` brought and tells, by probe, the seconds concerned:
  // those whose reading went and those the file offered a value for.
  virtual Status TakeFileReadings(int64_t file_id, FileReadingsTaken* taken) = 0;
  virtual Status DropConflicts(const std::vector<int64_t>& ids) = 0;
  virtual Status RebaseConflict(int64_t conflict_id, double stored) = 0;
  // A new reading at `t` brought by `file_id` (a value it had offered).
  virtual Status PromoteOffer(int64_t probe_id, HistoryTime t, double value, int64_t file_id) = 0;
  // Removes every reading of a probe.
  virtual Status DropReadings(int64_t probe_id) = 0;
  // Removes a probe left without readings; *key the probe it was (untouched when unknown).
  virtual Status RemoveEmptyProbe(int64_t probe_id, std::optional<ProbeKey>* key) = 0;
  // Removes the file's row with what is left of its conflicts and stretches.
  virtual Status ForgetFile(int64_t file_id) = 0;

  // The trail of changes: one appended inside the write transaction under way, all of them
  // oldest first, and who is making changes (user name or role).
  virtual Status AppendChange(const HistoryChange& change) = 0;
  virtual Status ReadChanges(std::vector<HistoryChange>* out) = 0;
  virtual std::string ChangeUser() = 0;

  // Ready for a read (the server reached again when it dropped the connection).
  virtual Status ReadyToRead() = 0;
  // A probe's own limits (none: it follows the defaults), the defaults (built-in ones when
  // they cannot be read), writing a probe's own (probe_id 0: the defaults) and dropping them.
  virtual Status ReadOwnLimits(int64_t probe_id, std::optional<HistoryLimits>* own) = 0;
  virtual HistoryLimits DefaultLimits() = 0;
  virtual Status WriteLimits(int64_t probe_id, const HistoryLimits& limits) = 0;
  virtual Status DeleteLimits(int64_t probe_id) = 0;

  // Monitoring points. Every point with each of its probes, by point id.
  virtual Status ReadPointMembers(std::vector<PointMemberRow>* rows) = 0;
  // A new point; `key` is PointPathKey(path), unique among points.
  virtual Status AddPoint(const std::string& path, const std::string& key, int64_t* point_id) = 0;
  // Puts the probe at the point, counting there from `from` (none: from its first reading).
  virtual Status PlaceProbe(int64_t probe_id, int64_t point_id,
                            std::optional<HistoryTime> from) = 0;
  virtual Status WritePointPath(int64_t point_id, const std::string& path,
                                const std::string& key) = 0;
  virtual Status DropPoint(int64_t point_id) = 0;
  // Probes at no point, oldest first (by first reading, then id).
  virtual Status UnplacedProbes(std::vector<PointMemberRow>* probes) = 0;
  // A point's own limits (none: the defaults).
  virtual Status WritePointLimits(int64_t point_id, const std::optional<HistoryLimits>& limits) = 0;

  // Events: a new one (*id its id), one written again by its id (*found false when there is
  // none), one removed, and every event in time order, then by id.
  virtual Status AddEventRow(const HistoryEvent& event, int64_t* id) = 0;
  virtual Status WriteEventRow(const HistoryEvent& event, bool* found) = 0;
  virtual Status DeleteEventRow(int64_t event_id, bool* found) = 0;
  virtual Status ReadEventRows(std::vector<HistoryEvent>* out) = 0;
  // Coupons. Every coupon with its point's path, by id.
  virtual Status ReadCoupons(std::vector<HistoryCoupon>* coupons) = 0;
  // A new coupon at coupon.point_id; *coupon_id its id.
  virtual Status AddCoupon(const HistoryCoupon& coupon, int64_t* coupon_id) = 0;
  virtual Status WriteCouponPoint(int64_t coupon_id, int64_t point_id) = 0;
  virtual Status WritePitDepth(int64_t coupon_id, double depth_mm) = 0;
  // Readings set aside: the stretches of a probe (0: of every probe) by probe and time, a new
  // one (its id, set_at and user as given), and removing one.
  virtual Status ReadSetAside(int64_t probe_id, std::vector<SetAsideStretch>* out) = 0;
  virtual Status AddSetAside(const SetAsideStretch& stretch) = 0;
  virtual Status DropSetAside(int64_t stretch_id) = 0;
  // Least-squares sums of a probe's readings from `from` to `to` (x in days from `origin`),
  // summed where they are stored.
  virtual Status SumReadings(int64_t probe_id, HistoryTime from, HistoryTime to, HistoryTime origin,
                             RegressionSums* sums) = 0;
  // Falls flagged at import, each probe and time kept once (a flag found again is skipped);
  // every flag by probe and time.
  virtual Status AddFlags(const std::vector<StepDownFlag>& flags) = 0;
  virtual Status ReadFlags(std::vector<StepDownFlag>* out) = 0;
};

// Sums of windows a store does not keep, by probe and window, with what tells that the probe's
// readings are unchanged since (by this program or another): their count, last time and whole
// sums, which a changed value moves too.
struct WindowSumCache {
  struct Entry {
    int64_t count = 0;
    HistoryTime last = 0;
    double sy = 0.0, sxy = 0.0;
    RegressionSums sums;
  };
  std::map<std::pair<int64_t, int32_t>, Entry> entries;
  // The value of each probe's first reading (which a point's cumulative series needs for every
  // replacement), with what tells it is unchanged: count, first time and whole sums.
  struct First {
    int64_t count = 0;
    HistoryTime time = 0;
    double sy = 0.0, sxy = 0.0;
    double value = 0.0;
  };
  std::map<int64_t, First> firsts;
  // Forgets a probe's sums (0: every probe's).
  void Forget(int64_t probe_id);
};

// A history store whose back end provides only the primitives: the operations computed from
// them are written here once, for every back end.
class LayeredHistory : public HistoryStore, protected StorePrimitives {
 public:
  ImportResult ImportBatches(const ImportFileFacts& source,
                             const std::function<Status(const BatchSink&)>& produce) final;
  std::vector<ProbeSummary> ListProbes(int32_t window_days) final;
  std::optional<ProbeSummary> GetProbe(int64_t probe_id, int32_t window_days) final;
  Status LastError() const final { return last_error_; }
  HistoryLimits GetLimits(int64_t probe_id) final;
  Status SetLimits(int64_t probe_id, const HistoryLimits& limits) final;
  Status ClearLimits(int64_t probe_id) final;
  std::vector<ReadingConflicts> ReviewConflicts(int64_t probe_id) final;
  Status ChooseConflict(int64_t conflict_id, bool take) final;
  UnimportResult Unimport(int64_t file_id, bool apply) final;
  Status RemoveProbe(int64_t probe_id) final;
  std::vector<HistoryChange> ListChanges() final;
  std::vector<PointSummary> ListPoints(int32_t window_days) final;
  PointSeries ReadPointSeries(int64_t point_id, HistoryTime from, HistoryTime to,
                              int32_t columns) final;
  Status AssignProbe(int64_t probe_id, const std::string& path, std::optional<HistoryTime> from,
                     std::string* placed) final;
  Status RenamePoint(const std::string& path, const std::string& new_path) final;
  Status SetPointLimits(int64_t point_id, const std::optional<HistoryLimits>& limits) final;
  Status AddEvent(const HistoryEvent& event, int64_t* id) final;
  Status EditEvent(const HistoryEvent& event) final;
  Status RemoveEvent(int64_t event_id) final;
  std::vector<HistoryEvent> ListEvents(const EventFilter& filter) final;
  std::vector<EventFigure> EventFigures(int32_t days, const std::string& path) final;
  CouponImportResult ImportCoupons(const std::vector<_coupon_values_>& records, bool mils) final;
  std::vector<CouponFigures> ListCoupons(const std::vector<ProbeStretch>& left_out) final;
  Status AssignCoupon(int64_t coupon_id, const std::string& path, std::string* placed) final;
  Status SetPitDepth(int64_t coupon_id, double depth, bool mils) final;
  Status SetAside(int64_t probe_id, HistoryTime from, HistoryTime to, const std::string& reason,
                  int64_t* changed) final;
  Status Restore(int64_t probe_id, HistoryTime from, HistoryTime to, int64_t* changed) final;
  std::vector<SetAsideStretch> ListSetAside(int64_t probe_id) final;
  std::vector<StepDownFlag> ListFlags() final;

  // Puts every probe that is at no point where an import would have put it, oldest first: a
  // history from before points were kept, once upgraded.
  Status PlaceUnplacedProbes();

 protected:
  // Forgets the window sums worked out for a probe (0: every probe) whose readings changed or
  // whose change was rolled back.
  void ForgetWindowSums(int64_t probe_id);

  // What LastError tells; the back end's reads set it too.
  Status last_error_;

 private:
  WindowSumCache window_sums_;
};

// The store operations written once over the primitives.
// Imports the batches `produce` hands over in one transaction; `complete` (when given) fills
// in the file's size and digest at the end; a cancel of `control` (when given) stops it.
ImportResult ImportInto(StorePrimitives& store, ImportFileFacts facts,
                        const std::function<Status(const HistoryStore::BatchSink&)>& produce,
                        const std::function<Status(ImportFileFacts*)>& complete,
                        const ImportControl* control);
// The rows of the probe list (probe_id 0) or of one probe, each with the defaults for limits it
// lacks and, for a window, its sums over the window (x in days from the window's start);
// empty with *error set on failure.
// `windowed` (when given) names the only probes whose window sums are wanted.
std::vector<ProbeRow> ProbeRowsIn(StorePrimitives& store, WindowSumCache& cache, int64_t probe_id,
                                  int32_t window_days, Status* error,
                                  const std::set<int64_t>* windowed = nullptr);
// The probe list (probe_id 0) or one probe; empty with *error set on failure.
std::vector<ProbeSummary> ProbesIn(StorePrimitives& store, WindowSumCache& cache, int64_t probe_id,
                                   int32_t window_days, Status* error);
// ReviewConflicts: empty with *error set on failure.
std::vector<ReadingConflicts> ReviewConflictsOf(StorePrimitives& store, int64_t probe_id,
                                                Status* error);
Status ChooseConflictIn(StorePrimitives& store, int64_t conflict_id, bool take);
UnimportResult UnimportFrom(StorePrimitives& store, int64_t file_id, bool apply);
Status RemoveProbeFrom(StorePrimitives& store, int64_t probe_id);
// Records a change in the trail, inside the write transaction under way.
Status RecordChange(StorePrimitives& store, std::string what, std::string before,
                    std::string after);
std::vector<HistoryChange> ChangesIn(StorePrimitives& store, Status* error);
// How the trail names a probe and its limits.
std::string ProbeNameOf(int64_t probe_id, const ProbeKey& key);
// The probe's name as the trail writes it; "No probe with id" when there is none.
Status NameProbe(StorePrimitives& store, int64_t probe_id, std::string* name);
std::string LimitsText(const HistoryLimits& limits);
HistoryLimits LimitsOf(StorePrimitives& store, int64_t probe_id, Status* error);
Status SetLimitsIn(StorePrimitives& store, int64_t probe_id, const HistoryLimits& limits);
Status ClearLimitsIn(StorePrimitives& store, int64_t probe_id);

// The points an import places new probes at, read once per import.
struct PointPlaces {
  bool read = false;
  std::vector<PointMemberRow> rows;
};
// Each point's current probe (the latest to count there), by point id; `rows` must outlive it.
std::map<int64_t, const PointMemberRow*> CurrentProbes(const std::vector<PointMemberRow>& rows);
// The point at `path` among `rows`, made (and noted in them) when there is none; an empty one of
// that path is taken over.
Status FindOrAddPoint(StorePrimitives& store, std::vector<PointMemberRow>* rows,
                      const std::string& path, int64_t* point_id);
// Places a new probe (first reading at `first`): at the point whose latest probe has its tag,
// else at a new point "Unassigned/TAG".
Status PlaceByTag(StorePrimitives& store, PointPlaces* places, int64_t probe_id,
                  const ProbeKey& key, HistoryTime first);
// ListPoints: empty with *error set on failure.
std::vector<PointSummary> PointsIn(StorePrimitives& store, WindowSumCache& cache,
                                   int32_t window_days, Status* error);
Status AssignProbeIn(StorePrimitives& store, int64_t probe_id, const std::string& path,
                     std::optional<HistoryTime> from, std::string* placed);
Status RenamePointIn(StorePrimitives& store, const std::string& path, const std::string& new_path);
Status PlaceUnplacedIn(StorePrimitives& store);
Status SetPointLimitsIn(StorePrimitives& store, int64_t point_id,
                        const std::optional<HistoryLimits>& limits);
// A monitoring point's cumulative series in pieces, one per probe with readings there: the
// probe's readings from `lo` to `hi`, each plus `offset` (0 for points other than metal loss).
struct PointPiece {
  int64_t probe_id = 0;
  HistoryTime lo = 0, hi = 0;
  double offset = 0.0;
  bool read = false;  // `readings` holds them (the probe counts elsewhere too)
  std::vector<HistoryReading> readings;
};
struct PointPieces {
  int64_t point_id = 0;
  std::string path;
  ProbeSummary current;  // the latest probe, as the probe list reads it (no figures)
  std::vector<PointPiece> pieces;
};
// Every point with probes (as ReadPointMembers lists them, with `rows` the probes' rows), in
// pieces; empty with *error set on failure.
std::vector<PointPieces> PointPiecesIn(StorePrimitives& store, WindowSumCache& cache,
                                       const std::vector<PointMemberRow>& members,
                                       const std::vector<ProbeRow>& rows, Status* error);
// Moves the events on the path with key `old_key` and under it to `new_path` (for the part
// `old_path` was), inside the write transaction under way.
Status MoveEventsIn(StorePrimitives& store, const std::string& old_key, const std::string& old_path,
                    const std::string& new_path);
// The events of every back end, and their figures for the points they apply to; readings of
// the `left_out` stretches never count.
Status AddEventIn(StorePrimitives& store, const HistoryEvent& event, int64_t* id);
Status EditEventIn(StorePrimitives& store, const HistoryEvent& event);
Status RemoveEventIn(StorePrimitives& store, int64_t event_id);
std::vector<HistoryEvent> EventsIn(StorePrimitives& store, const EventFilter& filter,
                                   Status* error);
std::vector<EventFigure> EventFiguresIn(StorePrimitives& store, WindowSumCache& cache, int32_t days,
                                        const std::string& path,
                                        const std::vector<LeftOutStretch>& left_out, Status* error);

// ReadPointSeries: empty with *error set on failure; `read` reads a probe's decimated readings
// and tells its failure in *error.
PointSeries PointSeriesIn(
    StorePrimitives& store, WindowSumCache& cache, int64_t point_id, HistoryTime from,
    HistoryTime to, int32_t columns,
    const std::function<std::vector<HistoryReading>(int64_t, HistoryTime, HistoryTime, int32_t)>&
        read,
    Status* error);

// Coupons (store_coupons.cpp).
CouponImportResult ImportCouponsInto(StorePrimitives& store,
                                     const std::vector<_coupon_values_>& records, bool mils);
// ListCoupons: empty with *error set on failure.
std::vector<CouponFigures> CouponsIn(StorePrimitives& store, WindowSumCache& cache,
                                     const std::vector<ProbeStretch>& left_out, Status* error);
Status AssignCouponIn(StorePrimitives& store, int64_t coupon_id, const std::string& path,
                      std::string* placed);
Status SetPitDepthIn(StorePrimitives& store, int64_t coupon_id, double depth, bool mils);
// The points that hold coupons.
Status CouponPoints(StorePrimitives& store, std::set<int64_t>* points);
// Readings set aside. The stretches of the probes named (every probe's when `probe_ids` is
// empty), by probe and time: what any figure over readings must leave out.
Status SetAsideIn(StorePrimitives& store, const std::vector<int64_t>& probe_ids,
                  std::vector<SetAsideStretch>* out);
// True when `t` lies in one of `stretches` (one probe's, in time order).
bool IsSetAside(const std::vector<SetAsideStretch>& stretches, HistoryTime t);
// Leaves the readings set aside out of probe rows read with `window_days` (ProbeRowsIn does).
Status LeaveOutSetAside(StorePrimitives& store, int64_t probe_id, int32_t window_days,
                        std::vector<ProbeRow>* rows);
// The probe's figures from its sums (window or whole), its readings set aside left out.
void FillRowFigures(ProbeRow* row);
Status SetAsideInStore(StorePrimitives& store, int64_t probe_id, HistoryTime from, HistoryTime to,
                       const std::string& reason, int64_t* changed);
Status RestoreInStore(StorePrimitives& store, int64_t probe_id, HistoryTime from, HistoryTime to,
                      int64_t* changed);
// Flags the falls of a metal-loss probe's new readings `fresh` (in time order) from their
// neighbours: the reading before them and the `stored` ones of their span, as AddReadings is
// given them; `before` is the probe before they went in.
Status FlagStepDowns(StorePrimitives& store, const ImportProbe& before, double probe_life,
                     const std::vector<HistoryReading>& fresh,
                     const std::vector<HistoryReading>& stored);

}  // namespace tarn
