// SPDX-License-Identifier: GPL-3.0-or-later
// The probe history: every reading of every probe across files and downloads, behind one narrow
// interface so that the embedded (SQLite) and the shared (PostgreSQL) stores are interchangeable.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"
#include "history/history_coupons.h"

namespace tarn {

struct ImportBatch;      // history/import_source.h
struct ImportFileFacts;  // history/import_source.h

// Times in the history are local wall-clock seconds since 01/01/0001 00:00:00, the same clock as
// DateTime (DateTime.ticks / kTicksPerSecond), so they convert without any time zone.
using HistoryTime = int64_t;

// A probe is identified by tag name + serial number + data type (0-7, as the reader gives it);
// a Metal Samples tag has no serial number (empty).
struct ProbeKey {
  std::string tag;
  std::string serial;
  int32_t data_type = 0;
};

// The latest header values seen for a probe (narrow texts as the reader gives them).
struct ProbeHeader {
  std::string part_no;
  std::string probe_type_str;
  int32_t probe_type = 0;
  std::string mloss_unit;
  double thickness = 0.0;  // element thickness, in the metal loss unit
  std::string read_interval;
  double probe_life = 0.0;  // metal loss at which the element is consumed
};

struct HistoryReading {
  HistoryTime time = 0;
  double value = 0.0;
};

// Warning and alarm levels; a probe without its own uses the defaults. Rates are in mpy for
// mils probes and converted for mm probes by the store (mm/y = mpy * 0.0254); consumed shares
// are fractions (0.5 = 50 %).
struct HistoryLimits {
  double rate_warn = 5.0;
  double rate_alarm = 10.0;
  double consumed_warn = 0.5;
  double consumed_alarm = 0.8;
};

enum class ProbeState { kOk = 0, kWarning = 1, kAlarm = 2 };

// One line of the probe list, with the figures the store derives.
struct ProbeSummary {
  int64_t id = 0;
  ProbeKey key;
  ProbeHeader header;
  int64_t count = 0;
  HistoryTime first_time = 0;
  HistoryTime last_time = 0;
  double latest_value = 0.0;
  // Over the window ending at the last reading: least-squares metal-loss rate (per year, in the
  // probe's rate unit) for metal-loss probes, mean value for corrosion-rate probes; none for
  // current and potential.
  std::optional<double> rate;
  std::string rate_unit;           // "mpy", "mm/y", or the value unit for corrosion-rate probes
  std::optional<double> consumed;  // latest metal loss / probe life
  std::optional<HistoryTime> end_time;  // element consumed at the current rate
  HistoryLimits limits;
  bool own_limits = false;
  ProbeState state = ProbeState::kOk;
  std::string state_reason;  // e.g. "rate 12.3 mpy above alarm 10"
  // Of `count`, the readings set aside: the figures above leave them out.
  int64_t set_aside = 0;
};

// A probe at a monitoring point, from when it counts there: its readings from `from` until the
// next probe's `from` are the point's.
struct PointProbe {
  int64_t probe_id = 0;
  ProbeKey key;
  HistoryTime from = 0;   // its first reading, unless it was assigned from a date
  bool from_set = false;  // assigned from a date
};

// A monitoring point: a place on the plant whose probes replace one another over the years.
struct PointSummary {
  int64_t id = 0;
  std::string path;                // "Site/Unit/Point", as stored
  std::vector<PointProbe> probes;  // its succession, oldest first
  ProbeSummary current;            // the latest probe, with its own figures
  int64_t count = 0;               // readings the point counts
  HistoryTime first_time = 0;
  HistoryTime last_time = 0;
  // Cumulative metal loss across replacements for metal-loss points; the latest value otherwise.
  double value = 0.0;
  // The rate over the window ending at the point's last reading (least squares of the cumulative
  // series; mean for corrosion-rate points); consumed share and end date of the current probe's
  // element at that rate; state against the point's limits.
  std::optional<double> rate;
  std::string rate_unit;
  std::optional<double> consumed;
  std::optional<HistoryTime> end_time;
  HistoryLimits limits;
  bool own_limits = false;
  ProbeState state = ProbeState::kOk;
  std::string state_reason;
};

// Where a point's probe was replaced: the first reading of the next probe.
struct PointReplacement {
  HistoryTime time = 0;
  int64_t probe_id = 0;
  std::string serial;  // of the new probe
  std::string tag;
};

// A point's series for a graph: cumulative (for metal loss) and decimated, with the replacements
// inside the range.
struct PointSeries {
  std::vector<HistoryReading> readings;
  std::vector<bool> set_aside;  // for each reading: set aside (drawn greyed, in no figure)
  std::vector<PointReplacement> replacements;
};

// A file readings were imported from.
struct HistorySourceFile {
  int64_t id = 0;
  std::string name;
  int64_t size = 0;
  std::string sha256;  // lower-case hex
  HistoryTime imported_at = 0;
  int64_t readings = 0;  // new readings it brought
};

// A stretch of a probe's readings that one file brought: `n` readings from `first` to `last`.
// A later file may have filled gaps inside an earlier file's stretch; a reading came from the
// latest file (highest id) whose stretch spans its second.
struct HistoryRun {
  int64_t file_id = 0;
  HistoryTime first = 0;
  HistoryTime last = 0;
  int64_t n = 0;
};

// A reading offered for a second already stored with another value, kept apart.
struct StoredConflict {
  int64_t file_id = 0;  // the file that offered it
  HistoryTime time = 0;
  double stored = 0.0;
  double offered = 0.0;
};

struct HistoryConflict {
  std::string tag;
  std::string serial;
  HistoryTime time = 0;
  double stored = 0.0;
  double offered = 0.0;
  bool same_file = false;  // the value it met came earlier in the same file, not from the store
};

// A reading an import could not take, and why; line 0 when it did not come from a file line.
struct SkippedReading {
  int64_t line = 0;
  std::string tag;
  std::string reason;
};

// What importing one file did.
struct ImportResult {
  Status status;
  int32_t tags = 0;
  int64_t added = 0;
  int64_t duplicates = 0;
  int64_t conflicts = 0;
  std::vector<HistoryConflict> first_conflicts;  // the first few, for the message
  int64_t skipped = 0;  // readings with a time that does not convert or a value not a number
  std::vector<ProbeKey> conflict_probes;      // every probe that received conflicts, in id order
  std::vector<SkippedReading> first_skipped;  // the first few, for the message
  // The cancel came once the commit had begun: the file is stored in full all the same.
  bool cancelled_too_late = false;
};

// A value a file offered for a stored reading's second, as the review of conflicts lists it.
struct ConflictOffer {
  int64_t conflict_id = 0;
  int64_t file_id = 0;
  std::string file;
  double value = 0.0;
  bool in_use = false;  // the reading holds this value now
};

// A stored reading that files offered other values for. The value first stored is kept with
// the offers, so that taking an offered value can always be undone.
struct ReadingConflicts {
  HistoryTime time = 0;
  double value = 0.0;   // the reading's value now
  double stored = 0.0;  // the value first stored
  int64_t file_id = 0;  // the file that brought the reading
  std::string file;
  std::vector<ConflictOffer> offers;  // in the order they were found
};

// What undoing the import of one file does (or would do); the counts mean nothing when the
// status is a failure.
struct UnimportResult {
  Status status;
  std::string file;
  int64_t readings = 0;   // readings of the file removed
  int64_t conflicts = 0;  // conflicts it offered, dropped
  int64_t promoted = 0;   // values other files offered that take the place of a removed reading
  std::vector<ProbeKey> emptied;  // probes left without readings, removed with their limits
};

// One change a user made to the history, as its trail keeps it: when (local wall-clock seconds,
// as readings), who (the operating system's user name, or the server's role), what was changed
// and its value before and after, as UTF-8 text.
struct HistoryChange {
  int64_t id = 0;
  HistoryTime time = 0;
  std::string user;
  std::string what;
  std::string before;
  std::string after;
};

// What an event on the history was.
enum class EventKind { kInhibitor, kProcess, kCleaning, kProbe, kOther };

// Something that happened on the plant at a time: at a point, or on a unit or a site (a path
// prefix), when it applies to every point under it. Path and note are narrow texts, as tags.
struct HistoryEvent {
  int64_t id = 0;
  HistoryTime time = 0;
  std::string path;  // as stored: the points' own spelling of the names
  EventKind kind = EventKind::kOther;
  std::string note;
};

// Which events a list holds: those that apply to a point at or under `path` (empty: every
// event), at `from` <= time <= `to`.
struct EventFilter {
  std::string path;
  HistoryTime from = INT64_MIN;
  HistoryTime to = INT64_MAX;
};

// An event with the rate of one point it applies to over the days before and after it, in
// the point's rate unit (metal loss per year; the mean for corrosion-rate points): the change
// after - before with its 95 % interval. The figures are empty and `reason` says why when a
// side has too few readings or the point's series has no rate.
struct EventFigure {
  HistoryEvent event;
  int64_t point_id = 0;
  std::string point_path;
  std::string rate_unit;
  std::optional<double> before, after, change, low, high;
  bool significant = false;
  std::string reason;
};

// A stretch of a probe's readings set aside, from..to inclusive: they stay in the history and
// on its graphs, but no rate, status or figure counts them. Reason and user are UTF-8.
struct SetAsideStretch {
  int64_t id = 0;
  int64_t probe_id = 0;
  HistoryTime from = 0;
  HistoryTime to = 0;
  std::string reason;
  HistoryTime set_at = 0;  // when it was set aside (local wall-clock, as readings)
  std::string user;
};

// A fall of a metal-loss probe's reading an import found too large to be corrosion, kept for
// review: at the reading after the fall, by `drop` in the probe's unit.
struct StepDownFlag {
  int64_t probe_id = 0;
  HistoryTime time = 0;
  double drop = 0.0;
};

// How many conflicts and skipped readings an ImportResult lists by example.
inline constexpr std::size_t kConflictExamples = 5;
inline constexpr std::size_t kSkippedExamples = 3;

// Progress of a long import: called now and then with the readings handled so far; the import
// stops (and changes nothing) when `cancel` becomes true at any moment before its commit.
struct ImportControl {
  std::function<void(int64_t readings_done)> progress;
  const std::atomic<bool>* cancel = nullptr;
  // Called as the commit begins, past the last moment a cancel can undo the import.
  std::function<void()> committing;
  // Outside diameter of tubular ER elements (the settings' value), so that imported metal loss
  // equals what the Analysis tab shows.
  double pi_of_tubular = 312.5;
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  // The path or connection text it was opened with (a password is never part of it).
  virtual const std::string& Location() const = 0;
  // True when the store can be read but not written (read-only file or role).
  virtual bool ReadOnly() const = 0;

  // Imports every tag of an instrument file in one transaction: all of it or nothing.
  virtual ImportResult Import(const std::string& path, const ImportControl& control) = 0;

  // Imports readings that come from elsewhere than an instrument file (another history, when
  // one is copied): `source` stands for the file and `produce` hands every batch to the sink it
  // is given. The same rules and the one transaction of Import.
  using BatchSink = std::function<Status(ImportBatch&)>;
  virtual ImportResult ImportBatches(const ImportFileFacts& source,
                                     const std::function<Status(const BatchSink&)>& produce) = 0;

  // Every probe with its derived figures; `window_days` 0 means the whole history.
  virtual std::vector<ProbeSummary> ListProbes(int32_t window_days) = 0;
  virtual std::optional<ProbeSummary> GetProbe(int64_t probe_id, int32_t window_days) = 0;

  // All readings of a probe with from <= time <= to, in time order.
  virtual std::vector<HistoryReading> ReadRange(int64_t probe_id, HistoryTime from,
                                                HistoryTime to) = 0;
  // The same range cut into `columns` equal time columns, each giving its first, lowest,
  // highest and last reading (in time order, without repeats); read from the index, never the
  // whole history.
  virtual std::vector<HistoryReading> ReadDecimated(int64_t probe_id, HistoryTime from,
                                                    HistoryTime to, int32_t columns) = 0;

  // Limits of a probe (its own or the defaults), and setting them; probe_id 0 = the defaults.
  virtual HistoryLimits GetLimits(int64_t probe_id) = 0;
  virtual Status SetLimits(int64_t probe_id, const HistoryLimits& limits) = 0;
  // Drops a probe's own limits so that it follows the defaults again.
  virtual Status ClearLimits(int64_t probe_id) = 0;

  // The files a probe's readings came from (`readings`: how many of this probe's each brought).
  virtual std::vector<HistorySourceFile> ProbeFiles(int64_t probe_id) = 0;
  // The file that brought the probe's reading at `time` (`readings`: all it brought); none when
  // there is no such reading.
  virtual std::optional<HistorySourceFile> ReadingFile(int64_t probe_id, HistoryTime time) = 0;
  // Where readings came from, for copying a history with its trail: every file in import order
  // (`readings`: the new readings it brought), a probe's stretches by file (ordered by file,
  // then time) and the conflicts kept for a probe (in the order they were found).
  virtual std::vector<HistorySourceFile> SourceFiles() = 0;
  virtual std::vector<HistoryRun> ReadingRuns(int64_t probe_id) = 0;
  virtual std::vector<StoredConflict> ProbeConflicts(int64_t probe_id) = 0;
  // Removes a probe with its readings and conflicts.
  virtual Status RemoveProbe(int64_t probe_id) = 0;
  // A cheap fingerprint of what the probe list shows (probes, their readings' count, sums and
  // latest time, files imported, conflicts found, limits): it differs once anyone, another
  // program too, has changed any of it. Empty on failure (LastError says why).
  virtual std::string ChangeMark() = 0;

  // The probe's readings that received conflicting values, in time order.
  virtual std::vector<ReadingConflicts> ReviewConflicts(int64_t probe_id) = 0;
  // Puts the value offered by conflict `conflict_id` into its reading (`take`), or the value
  // first stored back (not `take`); every derived figure follows.
  virtual Status ChooseConflict(int64_t conflict_id, bool take) = 0;
  // Removes the readings file `file_id` brought, and only those, with the conflicts it offered
  // (a value it offered and that was taken gives way to the value first stored). Where another
  // file offered a value for a removed reading, the first such value becomes the reading, as if
  // the file had never been imported. A probe left without readings goes. With `apply` false
  // nothing changes and the result says what would be done.
  virtual UnimportResult Unimport(int64_t file_id, bool apply) = 0;

  // Every monitoring point with probes, sorted by path, with its figures over the window
  // (`window_days` 0: the whole history).
  virtual std::vector<PointSummary> ListPoints(int32_t window_days) = 0;
  // The point's readings from `from` to `to`, cumulative across replacements for metal-loss
  // points, in `columns` time columns as ReadDecimated gives them.
  virtual PointSeries ReadPointSeries(int64_t point_id, HistoryTime from, HistoryTime to,
                                      int32_t columns) = 0;
  // Moves probe `probe_id` with its readings to the point at `path` (made when there is none),
  // counting there from its first reading or from `from`; *placed the point's stored path. A
  // point left without probes goes.
  virtual Status AssignProbe(int64_t probe_id, const std::string& path,
                             std::optional<HistoryTime> from, std::string* placed) = 0;
  // Renames (moves) the point at `path`, and every point under it, to `new_path`.
  virtual Status RenamePoint(const std::string& path, const std::string& new_path) = 0;
  // Sets a point's own limits; none: it follows the history's defaults again.
  virtual Status SetPointLimits(int64_t point_id, const std::optional<HistoryLimits>& limits) = 0;

  // Events: added (*id its id), edited (every field but the id, found by it) and removed; a
  // path must be a point's or a unit's or site's that has points under it.
  virtual Status AddEvent(const HistoryEvent& event, int64_t* id) = 0;
  virtual Status EditEvent(const HistoryEvent& event) = 0;
  virtual Status RemoveEvent(int64_t event_id) = 0;
  // The events the filter takes, in time order (then by id).
  virtual std::vector<HistoryEvent> ListEvents(const EventFilter& filter) = 0;
  // One row per event and point it applies to, for the points at or under `path` (empty:
  // every point), in the events' order then by path: the rates over the `days` (1 to 365)
  // before and after each event.
  virtual std::vector<EventFigure> EventFigures(int32_t days, const std::string& path) = 0;

  // Stores coupons as the Coupon tab computed them (shown in mils and mpy when `mils`), each at
  // the point whose current probe has its tag, else whose last name is its tag (letter case not
  // compared), else at "Unassigned/TAG"; a coupon held already (same tag, installation and
  // removal) is counted and left as it is. One transaction: all of them or none.
  virtual CouponImportResult ImportCoupons(const std::vector<_coupon_values_>& records,
                                           bool mils) = 0;
  // Every coupon with its figures, sorted by point path, then installation; the probe rate over
  // each coupon's exposure leaves out the readings set aside and those of `left_out`.
  virtual std::vector<CouponFigures> ListCoupons(const std::vector<ProbeStretch>& left_out) = 0;
  // Moves a coupon to the point at `path` (made when there is none); *placed its stored path. A
  // point left without probes or coupons goes.
  virtual Status AssignCoupon(int64_t coupon_id, const std::string& path, std::string* placed) = 0;
  // Sets the coupon's deepest pit, `depth` in mils when `mils`, else in mm (kept in mm).
  virtual Status SetPitDepth(int64_t coupon_id, double depth, bool mils) = 0;

  // Sets the probe's readings from `from` to `to` aside with `reason` (they stay in the history
  // and count in no figure), or restores them (a restore of part of a stretch splits it);
  // *changed the readings whose state changed. A new reason for readings already set aside
  // replaces theirs.
  virtual Status SetAside(int64_t probe_id, HistoryTime from, HistoryTime to,
                          const std::string& reason, int64_t* changed) = 0;
  virtual Status Restore(int64_t probe_id, HistoryTime from, HistoryTime to, int64_t* changed) = 0;
  // The stretches set aside of a probe (0: of every probe), by probe and time.
  virtual std::vector<SetAsideStretch> ListSetAside(int64_t probe_id) = 0;
  // The falls imports flagged for review, by probe and time.
  virtual std::vector<StepDownFlag> ListFlags() = 0;

  // The trail of every change made through Tarn (limits, conflicts chosen, imports undone,
  // probes removed, probes assigned, points renamed, events, coupons imported, assigned, pit
  // depths), oldest first. Nothing in Tarn changes or removes it.
  virtual std::vector<HistoryChange> ListChanges() = 0;

  // The failure of the last read call (ListProbes, GetProbe, ReadRange, ReadDecimated,
  // GetLimits, ProbeFiles, SourceFiles, ReadingRuns, ProbeConflicts, ListChanges, ListPoints,
  // ReadPointSeries, ListEvents, EventFigures, ListCoupons, ListSetAside, ListFlags), which
  // return empty results on failure; ok when it succeeded.
  virtual Status LastError() const = 0;
};

// True for a PostgreSQL connection URI or keyword string (in any letter case), false for a
// file path.
bool IsServerLocation(const std::string& location);
// What a window title calls the history: the file's name, or "database on server".
std::string HistoryDisplayName(const std::string& location);

// Opens (creating when missing) the history at `location`: a PostgreSQL connection URI
// ("postgresql://…" or "postgres://…") or keyword string, or a file path for the embedded store.
// Null with *error set when it cannot be opened.
std::unique_ptr<HistoryStore> OpenHistory(const std::string& location, std::string* error);

}  // namespace tarn
