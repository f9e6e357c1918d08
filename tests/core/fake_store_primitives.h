// SPDX-License-Identifier: GPL-3.0-or-later
// A history back end's primitives that record every call and fail the one named, for the tests
// of what the history computes over them.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "history/store_primitives.h"

namespace tarn {

// A second within an hour of the stored clock.
inline constexpr HistoryTime kT = kReadingEpoch + 10 * kSecondsPerHour + 5;

// Records every call by name; the primitive named `fail` fails.
class FakeStore : public StorePrimitives {
 public:
  std::string fail;
  std::vector<std::string> calls;
  bool read_only = false;
  bool conflict_found = true, reading_there = true, file_found = true;
  int64_t count_after = 3;
  std::vector<ConflictRow> rows;
  FileReadingsTaken taken;
  std::vector<int64_t> dropped;
  std::vector<std::pair<int64_t, double>> rebased;
  std::vector<double> values_set;
  std::set<int64_t> refreshed_hours;
  bool probe_there = true;
  std::optional<HistoryLimits> own;
  HistoryLimits defaults{1, 2, 0.1, 0.2};
  std::optional<std::pair<int64_t, HistoryLimits>> written;
  std::vector<ProbeRow> probe_rows;
  std::map<int64_t, RegressionSums> window_sums;  // what SumWindows gives, by probe
  std::vector<int64_t> summed;                    // the probes SumWindows was asked for

  // Importing: `import_probe` is what FindOrAddProbe finds (id 0: it adds probe 9),
  // `stored_readings` what ReadingsBetween gives; what goes in is kept.
  ImportProbe import_probe;
  std::vector<HistoryReading> stored_readings;
  std::vector<HistoryReading> added;
  std::vector<BatchConflict> conflicts_added;
  std::vector<HistoryTime> header_times;
  std::vector<ImportProbe> summaries;
  std::string aborted;  // the failure AbortImport was told

  Status StartImport(const ImportFileFacts&, int64_t* file_id) override {
    *file_id = 4;
    return Call("StartImport");
  }
  Status FindOrAddProbe(const ProbeKey&, ImportProbe* probe, bool* created) override {
    *probe = import_probe;
    *created = probe->id == 0;
    if (*created) probe->id = 9;
    return Call("FindOrAddProbe");
  }
  Status WriteHeader(int64_t, const ProbeHeader&, HistoryTime time) override {
    header_times.push_back(time);
    return Call("WriteHeader");
  }
  Status ReadingsBetween(int64_t, HistoryTime from, HistoryTime to,
                         std::vector<HistoryReading>* out) override {
    for (const HistoryReading& r : stored_readings) {
      if (r.time >= from && r.time <= to) out->push_back(r);
    }
    return Call("ReadingsBetween");
  }
  Status AddConflicts(int64_t, int64_t, const std::vector<BatchConflict>& c) override {
    conflicts_added.insert(conflicts_added.end(), c.begin(), c.end());
    return Call("AddConflicts");
  }
  Status AddReadings(const ImportProbe&, int64_t, const std::vector<HistoryReading>& fresh,
                     const std::vector<HistoryReading>&) override {
    added.insert(added.end(), fresh.begin(), fresh.end());
    return Call("AddReadings");
  }
  Status WriteSummary(const ImportProbe& probe) override {
    summaries.push_back(probe);
    return Call("WriteSummary");
  }
  Status EndImportReadings(const std::vector<const ImportProbe*>&) override {
    return Call("EndImportReadings");
  }
  Status ConflictProbes(int64_t, ImportResult*) override { return Call("ConflictProbes"); }
  Status FinishFile(int64_t, const ImportResult&, const ImportFileFacts&) override {
    return Call("FinishFile");
  }
  Status AbortImport(const Status& failure, const std::string&) override {
    aborted = failure.message;
    calls.push_back("AbortImport");
    return failure;
  }

  Status ReadProbeRows(int64_t probe_id, int32_t, std::vector<ProbeRow>* out) override {
    for (const ProbeRow& row : probe_rows) {
      if (probe_id == 0 || row.probe.id == probe_id) out->push_back(row);
    }
    // Without rows of its own, the probe asked for is T1 S1 while `probe_there`.
    if (probe_rows.empty() && probe_id != 0 && probe_there) {
      ProbeRow row;
      row.probe.id = probe_id;
      row.probe.key = {"T1", "S1", 1};
      row.probe.count = count_after;
      out->push_back(row);
    }
    return Call("ReadProbeRows");
  }
  Status SumWindows(const std::vector<const ProbeSummary*>& probes, int32_t,
                    std::map<int64_t, RegressionSums>* out) override {
    for (const ProbeSummary* p : probes) {
      summed.push_back(p->id);
      (*out)[p->id] = window_sums[p->id];
    }
    return Call("SumWindows");
  }

  Status MayWrite() const override { return read_only ? Status::Fail("read-only") : Status{}; }
  Status BeginWrite() override { return Call("BeginWrite"); }
  Status Commit() override { return Call("Commit"); }
  void RollbackWrite() override { calls.push_back("RollbackWrite"); }
  Status ConflictRows(int64_t, std::vector<ConflictRow>* out) override {
    *out = rows;
    return Call("ConflictRows");
  }
  Status FindConflict(int64_t, bool* found, ConflictAt* at) override {
    *found = conflict_found;
    *at = {7, kT, 2.5, 1.5};
    return Call("FindConflict");
  }
  Status SetReadingValue(int64_t, HistoryTime, double value, bool* changed) override {
    *changed = reading_there;
    values_set.push_back(value);
    return Call("SetReadingValue");
  }
  Status RefreshDerived(int64_t, const std::set<int64_t>& hours, int64_t* count) override {
    refreshed_hours.insert(hours.begin(), hours.end());
    *count = count_after;
    return Call("RefreshDerived");
  }
  Status FileName(int64_t, bool* found, std::string* name) override {
    *found = file_found;
    *name = "a.nid";
    return Call("FileName");
  }
  Status TakeFileReadings(int64_t, FileReadingsTaken* out) override {
    *out = taken;
    return Call("TakeFileReadings");
  }
  Status DropConflicts(const std::vector<int64_t>& ids) override {
    dropped.insert(dropped.end(), ids.begin(), ids.end());
    return Call("DropConflicts");
  }
  Status RebaseConflict(int64_t id, double stored) override {
    rebased.emplace_back(id, stored);
    return Call("RebaseConflict");
  }
  Status PromoteOffer(int64_t, HistoryTime, double, int64_t) override {
    return Call("PromoteOffer");
  }
  Status DropReadings(int64_t) override { return Call("DropReadings"); }
  Status RemoveEmptyProbe(int64_t, std::optional<ProbeKey>* key) override {
    if (probe_there) *key = ProbeKey{"T1", "S1", 1};
    return Call("RemoveEmptyProbe");
  }
  Status ForgetFile(int64_t) override { return Call("ForgetFile"); }
  Status ReadyToRead() override { return Call("ReadyToRead"); }
  std::vector<HistoryChange> changes;  // the trail as appended
  Status AppendChange(const HistoryChange& c) override {
    changes.push_back(c);
    return Call("AppendChange");
  }
  Status ReadChanges(std::vector<HistoryChange>* out) override {
    *out = changes;
    return Call("ReadChanges");
  }
  std::string ChangeUser() override { return "alice"; }
  Status ReadOwnLimits(int64_t, std::optional<HistoryLimits>* out) override {
    *out = own;
    return Call("ReadOwnLimits");
  }
  HistoryLimits DefaultLimits() override {
    calls.push_back("DefaultLimits");
    return defaults;
  }
  Status WriteLimits(int64_t probe_id, const HistoryLimits& l) override {
    written = {probe_id, l};
    (probe_id == 0 ? defaults : own.emplace()) = l;
    return Call("WriteLimits");
  }
  Status DeleteLimits(int64_t) override {
    own.reset();
    return Call("DeleteLimits");
  }

  // Points: `members` is what ReadPointMembers gives; placements and new points are kept.
  std::vector<PointMemberRow> members;
  std::vector<std::string> points_added;
  std::vector<std::pair<int64_t, int64_t>> placed;  // probe, point
  Status ReadPointMembers(std::vector<PointMemberRow>* out) override {
    *out = members;
    return Call("ReadPointMembers");
  }
  Status AddPoint(const std::string& path, const std::string&, int64_t* point_id) override {
    points_added.push_back(path);
    *point_id = 100 + static_cast<int64_t>(points_added.size());
    return Call("AddPoint");
  }
  Status PlaceProbe(int64_t probe_id, int64_t point_id, std::optional<HistoryTime>) override {
    placed.emplace_back(probe_id, point_id);
    return Call("PlaceProbe");
  }
  Status WritePointPath(int64_t, const std::string&, const std::string&) override {
    return Call("WritePointPath");
  }
  Status DropPoint(int64_t) override { return Call("DropPoint"); }
  Status UnplacedProbes(std::vector<PointMemberRow>*) override { return Call("UnplacedProbes"); }
  Status WritePointLimits(int64_t, const std::optional<HistoryLimits>&) override {
    return Call("WritePointLimits");
  }

  // Events: `events` is the table, kept in time order as the back ends read it.
  std::vector<HistoryEvent> events;
  Status AddEventRow(const HistoryEvent& e, int64_t* id) override {
    *id = events.empty() ? 1 : events.back().id + 1;
    events.push_back(e);
    events.back().id = *id;
    return Call("AddEventRow");
  }
  Status WriteEventRow(const HistoryEvent& e, bool* found) override {
    *found = false;
    for (HistoryEvent& old : events) {
      if (old.id == e.id) *found = true, old = e;
    }
    return Call("WriteEventRow");
  }
  Status DeleteEventRow(int64_t id, bool* found) override {
    const std::size_t before = events.size();
    events.erase(std::remove_if(events.begin(), events.end(),
                                [&](const HistoryEvent& e) { return e.id == id; }),
                 events.end());
    *found = events.size() < before;
    return Call("DeleteEventRow");
  }
  Status ReadEventRows(std::vector<HistoryEvent>* out) override {
    *out = events;
    return Call("ReadEventRows");
  }
  // Coupons: `coupons` is what ReadCoupons gives; new ones and changes go into it.
  std::vector<HistoryCoupon> coupons;
  Status ReadCoupons(std::vector<HistoryCoupon>* out) override {
    *out = coupons;
    return Call("ReadCoupons");
  }
  Status AddCoupon(const HistoryCoupon& c, int64_t* id) override {
    coupons.push_back(c);
    coupons.back().id = *id = 200 + static_cast<int64_t>(coupons.size());
    return Call("AddCoupon");
  }
  Status WriteCouponPoint(int64_t id, int64_t point_id) override {
    for (HistoryCoupon& c : coupons) {
      if (c.id == id) c.point_id = point_id;
    }
    return Call("WriteCouponPoint");
  }
  Status WritePitDepth(int64_t id, double mm) override {
    for (HistoryCoupon& c : coupons) {
      if (c.id == id) c.pit_depth_mm = mm;
    }
    return Call("WritePitDepth");
  }
  // Readings set aside: `stretches` is the table (ids given in order); flags as added.
  std::vector<SetAsideStretch> stretches;
  std::vector<StepDownFlag> flags;
  Status ReadSetAside(int64_t probe_id, std::vector<SetAsideStretch>* out) override {
    for (const SetAsideStretch& s : stretches) {
      if (probe_id == 0 || s.probe_id == probe_id) out->push_back(s);
    }
    std::sort(out->begin(), out->end(), [](const SetAsideStretch& a, const SetAsideStretch& b) {
      return std::tie(a.probe_id, a.from, a.id) < std::tie(b.probe_id, b.from, b.id);
    });
    return Call("ReadSetAside");
  }
  Status AddSetAside(const SetAsideStretch& s) override {
    stretches.push_back(s);
    stretches.back().id = ++stretch_ids_;
    return Call("AddSetAside");
  }
  Status DropSetAside(int64_t id) override {
    stretches.erase(std::remove_if(stretches.begin(), stretches.end(),
                                   [&](const SetAsideStretch& s) { return s.id == id; }),
                    stretches.end());
    return Call("DropSetAside");
  }
  Status SumReadings(int64_t, HistoryTime from, HistoryTime to, HistoryTime origin,
                     RegressionSums* sums) override {
    *sums = {};
    for (const HistoryReading& r : stored_readings) {
      if (r.time >= from && r.time <= to) {
        sums->Add(static_cast<double>(r.time - origin) / kSecondsPerDay, r.value);
      }
    }
    return Call("SumReadings");
  }
  Status AddFlags(const std::vector<StepDownFlag>& f) override {
    flags.insert(flags.end(), f.begin(), f.end());
    return Call("AddFlags");
  }
  Status ReadFlags(std::vector<StepDownFlag>* out) override {
    *out = flags;
    return Call("ReadFlags");
  }

 private:
  int64_t stretch_ids_ = 0;
  Status Call(const std::string& name) {
    calls.push_back(name);
    return name == fail ? Status::Fail(name + " failed") : Status{};
  }
};

inline bool Called(const FakeStore& s, const std::string& name) {
  return std::find(s.calls.begin(), s.calls.end(), name) != s.calls.end();
}

}  // namespace tarn
