// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_copy.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "history/import_source.h"

namespace tarn {

namespace {

using KeyTuple = std::tuple<std::string, std::string, int32_t>;
using FileIdentity = std::tuple<std::string, int64_t, std::string, HistoryTime>;

KeyTuple KeyOf(const ProbeKey& k) {
  return {k.tag, k.serial, k.data_type};
}
FileIdentity IdentityOf(const HistorySourceFile& f) {
  return {f.name, f.size, f.sha256, f.imported_at};
}

// Where a probe's readings came from at the source.
struct Trail {
  std::vector<HistoryRun> runs;
  std::vector<StoredConflict> conflicts;
};

// The readings of a probe that `file_id` brought: those in its runs that no later file's run
// spans (a later file only ever filled gaps).
Status ReadingsOfFile(HistoryStore& from, int64_t probe_id, const Trail& trail, int64_t file_id,
                      std::vector<HistoryReading>* out) {
  for (const HistoryRun& run : trail.runs) {
    if (run.file_id != file_id) continue;
    std::vector<const HistoryRun*> later;
    for (const HistoryRun& r : trail.runs) {
      if (r.file_id > file_id && r.first <= run.last && r.last >= run.first) later.push_back(&r);
    }
    for (const HistoryReading& reading : from.ReadRange(probe_id, run.first, run.last)) {
      bool theirs = false;
      for (const HistoryRun* r : later)
        theirs |= r->first <= reading.time && reading.time <= r->last;
      if (!theirs) out->push_back(reading);
    }
    if (Status st = from.LastError(); !st) return st;
  }
  return {};
}

void Add(const ImportResult& r, ImportResult* total) {
  total->tags = std::max(total->tags, r.tags);
  total->added += r.added;
  total->duplicates += r.duplicates;
  total->conflicts += r.conflicts;
}

Status Incomplete(int64_t offered, const ImportResult& r) {
  return Status::Fail("The copy is incomplete: " + std::to_string(offered) + " readings read, " +
                      std::to_string(r.added + r.duplicates + r.conflicts) + " accounted for.");
}

// Imports into `to`, as one file, the probes `which` names with the readings `fill` gives them,
// checks that every reading offered was counted, and adds the counts to the report. A probe
// given no readings is left out, unless offer_empty (so that the probe itself is made).
template <typename Fill>
Status ImportAsOneFile(HistoryStore& to, const ImportFileFacts& facts,
                       const std::vector<ProbeSummary>& probes,
                       const std::vector<std::size_t>& which, bool offer_empty, Fill fill,
                       HistoryCopyReport* report) {
  int64_t offered = 0;
  const ImportResult r = to.ImportBatches(facts, [&](const HistoryStore::BatchSink& sink) {
    for (std::size_t i : which) {
      ImportBatch batch;
      batch.tag_index = static_cast<int32_t>(i);
      batch.key = probes[i].key;
      batch.header = probes[i].header;
      // Readings of a history are distinct already: a copy keeps every one, however close.
      batch.same_reading_seconds = 1;
      if (Status st = fill(i, &batch.readings); !st) return st;
      if (batch.readings.empty() && !offer_empty) continue;
      offered += static_cast<int64_t>(batch.readings.size());
      if (Status st = sink(batch); !st) return st;
    }
    return Status{};
  });
  if (!r.status) return r.status;
  // A reading the destination cannot take (one kept before both kept the same years): name it.
  if (!r.first_skipped.empty()) {
    const SkippedReading& k = r.first_skipped.front();
    return Status::Fail("The copy is incomplete: " + to.Location() + " cannot take probe " + k.tag +
                        "'s " + k.reason + " (" + std::to_string(r.skipped) + " such readings).");
  }
  if (r.added + r.duplicates + r.conflicts != offered) return Incomplete(offered, r);
  Add(r, &report->result);
  report->readings += offered;
  ++report->files;
  return {};
}

// Every coupon of `from` into `to` (those it holds already are left), then each at its point at
// the source, with its pit depth.
Status CopyCoupons(HistoryStore& from, HistoryStore& to, HistoryCopyReport* report) {
  const std::vector<CouponFigures> coupons = from.ListCoupons({});
  if (Status st = from.LastError(); !st) return st;
  if (coupons.empty()) return {};
  for (const bool mils : {false, true}) {
    std::vector<_coupon_values_> records;
    for (const CouponFigures& f : coupons) {
      if (f.coupon.mils == mils) records.push_back(f.coupon.values);
    }
    if (records.empty()) continue;
    const CouponImportResult r = to.ImportCoupons(records, mils);
    if (!r.status) return r.status;
    report->coupons += r.added;
  }
  using CouponKey = std::tuple<std::string, HistoryTime, HistoryTime>;
  const auto key = [](const HistoryCoupon& c) {
    return CouponKey{std::string(c.values.tag, strnlen(c.values.tag, sizeof c.values.tag)),
                     c.install, c.removal};
  };
  std::map<CouponKey, HistoryCoupon> there;
  for (CouponFigures& f : to.ListCoupons({})) there[key(f.coupon)] = std::move(f.coupon);
  if (Status st = to.LastError(); !st) return st;
  for (const CouponFigures& f : coupons) {
    const auto it = there.find(key(f.coupon));
    if (it == there.end()) {
      return Status::Fail("The copy is incomplete: the coupon " + std::get<0>(key(f.coupon)) +
                          " is not at " + to.Location() + ".");
    }
    std::string placed = it->second.point_path;
    if (placed != f.coupon.point_path) {
      if (Status st = to.AssignCoupon(it->second.id, f.coupon.point_path, &placed); !st) return st;
    }
    // A point found whatever its letter case takes the source's.
    if (placed != f.coupon.point_path) {
      if (Status st = to.RenamePoint(placed, f.coupon.point_path); !st) return st;
    }
    if (f.coupon.pit_depth_mm && it->second.pit_depth_mm != f.coupon.pit_depth_mm) {
      if (Status st = to.SetPitDepth(it->second.id, *f.coupon.pit_depth_mm, false); !st) return st;
    }
  }
  return {};
}

// The stretches set aside at the source that the destination's probe lacks (a copy made
// again adds none), set aside there with their reasons.
Status CopySetAside(HistoryStore& from, int64_t from_id, HistoryStore& to, int64_t to_id) {
  const std::vector<SetAsideStretch> source = from.ListSetAside(from_id);
  if (Status st = from.LastError(); !st || source.empty()) return st;
  const std::vector<SetAsideStretch> there = to.ListSetAside(to_id);
  if (Status st = to.LastError(); !st) return st;
  for (const SetAsideStretch& s : source) {
    const bool held = std::any_of(there.begin(), there.end(), [&](const SetAsideStretch& t) {
      return t.from == s.from && t.to == s.to && t.reason == s.reason;
    });
    int64_t changed = 0;
    if (!held) {
      if (Status st = to.SetAside(to_id, s.from, s.to, s.reason, &changed); !st) return st;
    }
  }
  return {};
}

}  // namespace

Status CopyHistory(HistoryStore& from, HistoryStore& to, HistoryCopyReport* report) {
  *report = {};
  if (to.ReadOnly()) {
    return Status::Fail("The history " + to.Location() +
                        " is read-only; nothing was copied into it.");
  }
  const std::vector<ProbeSummary> probes = from.ListProbes(0);
  if (Status st = from.LastError(); !st) return st;
  const HistoryLimits defaults = from.GetLimits(0);
  if (Status st = from.LastError(); !st) return st;
  const std::vector<HistorySourceFile> files = from.SourceFiles();
  if (Status st = from.LastError(); !st) return st;
  std::vector<Trail> trails(probes.size());
  for (std::size_t i = 0; i < probes.size(); ++i) {
    trails[i].runs = from.ReadingRuns(probes[i].id);
    if (Status st = from.LastError(); !st) return st;
    trails[i].conflicts = from.ProbeConflicts(probes[i].id);
    if (Status st = from.LastError(); !st) return st;
  }
  const bool fresh = to.ListProbes(0).empty();
  if (Status st = to.LastError(); !st) return st;
  std::set<FileIdentity> held;
  for (const HistorySourceFile& f : to.SourceFiles()) held.insert(IdentityOf(f));
  if (Status st = to.LastError(); !st) return st;
  report->probes = static_cast<int64_t>(probes.size());
  std::vector<std::size_t> every(probes.size());
  for (std::size_t i = 0; i < every.size(); ++i) every[i] = i;

  // File by file in import order, each with the readings and conflicts it brought, so that the
  // destination traces every reading to the same file. A file the destination already holds
  // (an earlier copy) brought all it has there already.
  for (const HistorySourceFile& file : files) {
    if (held.count(IdentityOf(file)) > 0) {
      ++report->files_held;
      continue;
    }
    const ImportFileFacts facts{file.name, file.size, file.sha256, file.imported_at};
    const auto brought = [&](std::size_t i, std::vector<HistoryReading>* readings) {
      const Status st = ReadingsOfFile(from, probes[i].id, trails[i], file.id, readings);
      if (!st) return st;
      // Offered again after the readings, a conflict meets its stored value as it did.
      for (const StoredConflict& c : trails[i].conflicts) {
        if (c.file_id == file.id) readings->push_back({c.time, c.offered});
      }
      return Status{};
    };
    const Status st = ImportAsOneFile(to, facts, probes, every, false, brought, report);
    if (!st) return st;
  }

  // Whatever no file accounts for at the destination (readings without a trail, or a probe
  // removed there after an earlier copy) goes in under one file named for the copy.
  std::map<KeyTuple, const ProbeSummary*> copied;
  std::vector<ProbeSummary> now = to.ListProbes(0);
  if (Status st = to.LastError(); !st) return st;
  for (const ProbeSummary& p : now) copied[KeyOf(p.key)] = &p;
  std::vector<std::size_t> short_of;
  for (std::size_t i = 0; i < probes.size(); ++i) {
    const auto it = copied.find(KeyOf(probes[i].key));
    if (it == copied.end() || it->second->count < probes[i].count) short_of.push_back(i);
  }
  if (!short_of.empty()) {
    ImportFileFacts facts;
    facts.name = "copy of " + from.Location();
    const auto whole = [&](std::size_t i, std::vector<HistoryReading>* readings) {
      *readings = from.ReadRange(probes[i].id, INT64_MIN, INT64_MAX);
      return from.LastError();
    };
    const Status st = ImportAsOneFile(to, facts, probes, short_of, true, whole, report);
    if (!st) return st;
    now = to.ListProbes(0);
    if (Status st = to.LastError(); !st) return st;
    copied.clear();
    for (const ProbeSummary& p : now) copied[KeyOf(p.key)] = &p;
  }

  for (std::size_t i = 0; i < probes.size(); ++i) {
    const ProbeSummary& p = probes[i];
    const auto it = copied.find(KeyOf(p.key));
    if (it == copied.end() || it->second->count < p.count) {
      return Status::Fail("The copy is incomplete: probe " + p.key.tag + " holds " +
                          std::to_string(it == copied.end() ? 0 : it->second->count) +
                          " readings at " + to.Location() + " but " + std::to_string(p.count) +
                          " at " + from.Location() + ".");
    }
    const std::size_t kept = to.ProbeConflicts(it->second->id).size();
    if (Status st = to.LastError(); !st) return st;
    if (kept < trails[i].conflicts.size()) {
      return Status::Fail("The copy is incomplete: probe " + p.key.tag + " keeps " +
                          std::to_string(kept) + " conflicts at " + to.Location() + " but " +
                          std::to_string(trails[i].conflicts.size()) + " at " + from.Location() +
                          ".");
    }
    if (p.own_limits) {
      if (Status st = to.SetLimits(it->second->id, p.limits); !st) return st;
    }
    if (Status st = CopySetAside(from, p.id, to, it->second->id); !st) return st;
  }
  // Each probe goes to its point at the source, from the same date.
  const std::vector<PointSummary> points = from.ListPoints(0);
  if (Status st = from.LastError(); !st) return st;
  for (const PointSummary& point : points) {
    for (const PointProbe& p : point.probes) {
      const auto it = copied.find(KeyOf(p.key));
      if (it == copied.end()) continue;
      std::string placed;
      const std::optional<HistoryTime> since =
          p.from_set ? std::optional<HistoryTime>(p.from) : std::nullopt;
      if (Status st = to.AssignProbe(it->second->id, point.path, since, &placed); !st) return st;
    }
  }
  const std::vector<PointSummary> placed = to.ListPoints(0);
  if (Status st = to.LastError(); !st) return st;
  for (const PointSummary& point : points) {
    for (const PointSummary& there : placed) {
      if (there.path != point.path || there.own_limits == point.own_limits) continue;
      const std::optional<HistoryLimits> own =
          point.own_limits ? std::optional<HistoryLimits>(point.limits) : std::nullopt;
      if (Status st = to.SetPointLimits(there.id, own); !st) return st;
    }
  }
  if (Status st = CopyCoupons(from, to, report); !st) return st;
  if (fresh) return to.SetLimits(0, defaults);
  return {};
}

}  // namespace tarn
