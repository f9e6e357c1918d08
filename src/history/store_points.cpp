// SPDX-License-Identifier: GPL-3.0-or-later
// Monitoring points of every back end: placing new probes by tag, the points list with each
// point's cumulative figures across replacements, its graph series, and moving probes and
// points.
#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <utility>

#include "common/code_page.h"
#include "common/date_time.h"
#include "history/point_figures.h"
#include "history/point_path.h"
#include "history/store_primitives.h"

namespace tarn {

namespace {

HistoryTime FromOf(const PointMemberRow& m) {
  return m.from ? *m.from : m.first_time;
}

// The point whose latest probe has `tag`; 0 when none has.
int64_t PointOfTag(const std::vector<PointMemberRow>& rows, const std::string& tag) {
  // Of several, the one most recently replaced.
  const PointMemberRow* best = nullptr;
  for (const auto& [point, m] : CurrentProbes(rows)) {
    if (m->key.tag == tag && (best == nullptr || FromOf(*m) > FromOf(*best))) best = m;
  }
  return best ? best->point_id : 0;
}

// The point with path key `key`, as its first row; null when there is none.
const PointMemberRow* PointWithKey(const std::vector<PointMemberRow>& rows,
                                   const std::string& key) {
  for (const PointMemberRow& m : rows) {
    if (PointPathKey(m.path) == key) return &m;
  }
  return nullptr;
}

bool HasProbes(const std::vector<PointMemberRow>& rows, int64_t point_id) {
  return std::any_of(rows.begin(), rows.end(), [&](const PointMemberRow& m) {
    return m.point_id == point_id && m.probe_id != 0;
  });
}

void NoteMember(std::vector<PointMemberRow>* rows, int64_t point_id, int64_t probe_id,
                const ProbeKey& key, HistoryTime first, std::optional<HistoryTime> from) {
  std::string path;
  std::optional<HistoryLimits> own;
  for (auto it = rows->begin(); it != rows->end();) {
    if (it->point_id == point_id) {
      path = it->path;
      own = it->own_limits;
    }
    // The probe leaves its old point; a point's row without a probe goes once it has one.
    if (it->probe_id == probe_id || (it->point_id == point_id && it->probe_id == 0)) {
      it = rows->erase(it);
    } else {
      ++it;
    }
  }
  rows->push_back({point_id, path, own, probe_id, key, first, from});
}

// "North/V-101", or "North/V-101 from 01/02/2025 00:00:00", for the trail.
std::string PlaceText(const std::string& path, std::optional<HistoryTime> from) {
  std::string text = NarrowToUtf8(path);
  if (from) text += " from " + DateTime2Str(DateTime{*from * kTicksPerSecond});
  return text;
}

Status ReadPlaces(StorePrimitives& store, PointPlaces* places) {
  if (places->read) return {};
  if (Status st = store.ReadPointMembers(&places->rows); !st) return st;
  places->read = true;
  return {};
}

}  // namespace

std::map<int64_t, const PointMemberRow*> CurrentProbes(const std::vector<PointMemberRow>& rows) {
  std::map<int64_t, const PointMemberRow*> latest;
  for (const PointMemberRow& m : rows) {
    if (m.probe_id == 0) continue;
    const PointMemberRow*& l = latest[m.point_id];
    if (l == nullptr || FromOf(m) > FromOf(*l) ||
        (FromOf(m) == FromOf(*l) && m.probe_id > l->probe_id)) {
      l = &m;
    }
  }
  return latest;
}

Status FindOrAddPoint(StorePrimitives& store, std::vector<PointMemberRow>* rows,
                      const std::string& path, int64_t* point_id) {
  if (const PointMemberRow* m = PointWithKey(*rows, PointPathKey(path))) {
    *point_id = m->point_id;
    return {};
  }
  if (Status st = store.AddPoint(path, PointPathKey(path), point_id); !st) return st;
  PointMemberRow made;
  made.point_id = *point_id;
  made.path = path;
  rows->push_back(made);
  return {};
}

Status PlaceByTag(StorePrimitives& store, PointPlaces* places, int64_t probe_id,
                  const ProbeKey& key, HistoryTime first) {
  if (Status st = ReadPlaces(store, places); !st) return st;
  int64_t point_id = PointOfTag(places->rows, key.tag);
  if (point_id == 0) {
    // A new point, even where a point of that path holds probes of another tag (renamed to
    // it, or a tag that differs only in letter case).
    const std::string base = UnassignedPath(key.tag);
    std::string path = base;
    for (int n = 2;; ++n) {
      const PointMemberRow* m = PointWithKey(places->rows, PointPathKey(path));
      if (m == nullptr || !HasProbes(places->rows, m->point_id)) break;
      path = base + " (" + std::to_string(n) + ")";
    }
    if (Status st = FindOrAddPoint(store, &places->rows, path, &point_id); !st) return st;
  }
  if (Status st = store.PlaceProbe(probe_id, point_id, std::nullopt); !st) return st;
  NoteMember(&places->rows, point_id, probe_id, key, first, std::nullopt);
  return {};
}

Status PlaceUnplacedIn(StorePrimitives& store) {
  std::vector<PointMemberRow> unplaced;
  if (Status st = store.UnplacedProbes(&unplaced); !st || unplaced.empty()) return st;
  if (Status st = store.MayWrite(); !st) return {};  // placed by the next writer to open it
  if (Status st = store.BeginWrite(); !st) return st;
  // Again under the write lock: another program may have placed them meanwhile.
  unplaced.clear();
  PointPlaces places;
  Status st = store.UnplacedProbes(&unplaced);
  for (std::size_t i = 0; st && i < unplaced.size(); ++i) {
    st = PlaceByTag(store, &places, unplaced[i].probe_id, unplaced[i].key, unplaced[i].first_time);
  }
  if (st) st = store.Commit();
  if (!st) store.RollbackWrite();
  return st;
}

namespace {

// One probe's readings at a point.
struct Stretch {
  const ProbeRow* row = nullptr;
  PointProbe probe;
  bool empty = true;
  bool whole = false;                      // every reading of the probe counts at the point
  HistoryTime lo = 0, hi = 0;              // of the readings that count
  HistoryTime drawn_lo = 0, drawn_hi = 0;  // of all its readings at the point, set aside too
  std::vector<HistoryReading> readings;    // read when not whole
  StretchEnds ends;
};

// A point's members in succession, with the probe rows they refer to.
struct PointRows {
  int64_t id = 0;
  std::string path;
  std::optional<HistoryLimits> own_limits;
  std::vector<PointProbe> probes;
};

std::vector<PointRows> GroupPoints(const std::vector<PointMemberRow>& members,
                                   const std::map<int64_t, const ProbeRow*>& rows) {
  std::vector<PointRows> points;
  for (const PointMemberRow& m : members) {
    if (m.probe_id == 0) continue;
    if (points.empty() || points.back().id != m.point_id) {
      points.push_back({m.point_id, m.path, m.own_limits, {}});
    }
    const auto row = rows.find(m.probe_id);
    const HistoryTime first = row != rows.end() ? row->second->probe.first_time : m.first_time;
    points.back().probes.push_back(
        {m.probe_id, m.key, m.from ? *m.from : first, m.from.has_value()});
  }
  for (PointRows& p : points) OrderSuccession(&p.probes);
  return points;
}

// The last reading of a probe that counts.
HistoryReading KeptLast(const ProbeRow& row) {
  if (row.kept_last) return *row.kept_last;
  return {row.probe.last_time, row.probe.latest_value};
}

void LeaveOutReadings(const ProbeRow& row, std::vector<HistoryReading>* readings) {
  if (row.aside.empty()) return;
  readings->erase(
      std::remove_if(readings->begin(), readings->end(),
                     [&](const HistoryReading& r) { return IsSetAside(row.aside, r.time); }),
      readings->end());
}

// The value of a probe's first reading, read once while its readings stay as they are.
Status FirstValue(StorePrimitives& store, WindowSumCache& cache, const ProbeRow& row,
                  double* value) {
  const ProbeSummary& p = row.probe;
  if (!row.aside.empty()) {
    *value = row.kept_first ? row.kept_first->value : p.latest_value;
    return {};
  }
  WindowSumCache::First& f = cache.firsts[p.id];
  if (f.count == p.count && f.time == p.first_time && f.sy == row.whole.sy &&
      f.sxy == row.whole.sxy && f.count > 0) {
    *value = f.value;
    return {};
  }
  std::vector<HistoryReading> first;
  if (Status st = store.ReadingsBetween(p.id, p.first_time, p.first_time, &first); !st) return st;
  *value = first.empty() ? p.latest_value : first.front().value;
  f = {p.count, p.first_time, row.whole.sy, row.whole.sxy, *value};
  return {};
}

Status StretchesOf(StorePrimitives& store, WindowSumCache& cache, const PointRows& point,
                   const std::map<int64_t, const ProbeRow*>& rows, std::vector<Stretch>* out) {
  for (std::size_t k = 0; k < point.probes.size(); ++k) {
    Stretch s;
    s.probe = point.probes[k];
    const auto it = rows.find(s.probe.probe_id);
    if (it != rows.end() && it->second->probe.count > 0) {
      s.row = it->second;
      const ProbeSummary& p = s.row->probe;
      const HistoryReading last = KeptLast(*s.row);
      const HistoryTime until =
          k + 1 < point.probes.size() ? point.probes[k + 1].from - 1 : INT64_MAX;
      s.drawn_lo = std::max(s.probe.from, p.first_time);
      s.drawn_hi = std::min(until, p.last_time);
      // A probe whose every reading is set aside counts nowhere.
      if (!s.row->aside.empty() && !s.row->kept_last) {
        out->push_back(std::move(s));
        continue;
      }
      s.whole = s.probe.from <= p.first_time && until >= p.last_time;
      s.lo = std::max(s.probe.from, s.row->kept_first ? s.row->kept_first->time : p.first_time);
      s.hi = std::min(until, last.time);
      if (s.whole) {
        // Only a later probe's first value moves the cumulative series.
        double first = last.value;
        if (k > 0) {
          if (Status st = FirstValue(store, cache, *s.row, &first); !st) return st;
        }
        s.ends = {first, last.value};
        s.empty = false;
      } else if (s.lo <= s.hi) {
        if (Status st = store.ReadingsBetween(p.id, s.lo, s.hi, &s.readings); !st) return st;
        LeaveOutReadings(*s.row, &s.readings);
        s.empty = s.readings.empty();
        if (!s.empty) {
          s.lo = s.readings.front().time;
          s.hi = s.readings.back().time;
          s.ends = {s.readings.front().value, s.readings.back().value};
        }
      }
    }
    out->push_back(std::move(s));
  }
  return {};
}

bool MetalLoss(const ProbeSummary& current) {
  return KindOfSeries(current.key.data_type) == SeriesKind::kMetalLoss;
}

// Offsets of the point's cumulative series (all 0 for points other than metal loss).
std::vector<double> OffsetsOf(const std::vector<Stretch>& stretches, bool metal_loss) {
  std::vector<StretchEnds> ends;
  std::vector<std::size_t> at;
  for (std::size_t k = 0; k < stretches.size(); ++k) {
    if (stretches[k].empty) continue;
    ends.push_back(stretches[k].ends);
    at.push_back(k);
  }
  std::vector<double> offsets(stretches.size(), 0.0);
  if (!metal_loss) return offsets;
  const std::vector<double> cumulative = CumulativeOffsets(ends);
  for (std::size_t i = 0; i < at.size(); ++i) offsets[at[i]] = cumulative[i];
  return offsets;
}

double Days(HistoryTime t, HistoryTime origin) {
  return static_cast<double>(t - origin) / static_cast<double>(kSecondsPerDay);
}

// The point's figures from its stretches.
Status FigureOf(StorePrimitives& store, const PointRows& rows, const HistoryLimits& defaults,
                int32_t window_days, const std::vector<Stretch>& stretches, PointSummary* point) {
  point->id = rows.id;
  point->path = rows.path;
  point->probes = rows.probes;
  point->own_limits = rows.own_limits.has_value();
  point->limits = rows.own_limits ? *rows.own_limits : defaults;
  const Stretch& latest = stretches.back();
  if (latest.row) {
    ProbeRow current = *latest.row;
    FillRowFigures(&current);
    point->current = std::move(current.probe);
  } else {
    point->current.id = latest.probe.probe_id;
    point->current.key = latest.probe.key;
  }
  const bool metal = MetalLoss(point->current);
  const std::vector<double> offsets = OffsetsOf(stretches, metal);

  bool any = false;
  for (std::size_t k = 0; k < stretches.size(); ++k) {
    const Stretch& s = stretches[k];
    if (s.empty) continue;
    point->first_time = any ? std::min(point->first_time, s.lo) : s.lo;
    point->last_time = any ? std::max(point->last_time, s.hi) : s.hi;
    if (!any || s.hi >= point->last_time) point->value = s.ends.last + offsets[k];
    any = true;
    point->count += s.whole ? s.row->probe.count - s.row->probe.set_aside
                            : static_cast<int64_t>(s.readings.size());
  }
  if (!any) {
    FillPointFigures({}, point);
    return {};
  }
  const HistoryTime origin = window_days > 0
                                 ? point->last_time - int64_t{window_days} * kSecondsPerDay
                                 : point->first_time;
  const HistoryTime start = window_days > 0 ? origin : INT64_MIN;
  RegressionSums sums;
  for (std::size_t k = 0; k < stretches.size(); ++k) {
    const Stretch& s = stretches[k];
    if (s.empty || s.hi < start) continue;
    const ProbeSummary& p = s.row->probe;
    if (s.whole && s.lo >= start) {
      sums = AddSums(sums, ShiftSums(s.row->whole, Days(s.row->origin, origin), offsets[k]));
      continue;
    }
    if (s.whole && s.row->window && KeptLast(*s.row).time == point->last_time) {
      // Its own window is the point's: x already from the window's start.
      sums = AddSums(sums, ShiftSums(*s.row->window, 0.0, offsets[k]));
      continue;
    }
    std::vector<HistoryReading> part;
    const std::vector<HistoryReading>* readings = &s.readings;
    if (s.whole) {
      if (Status st = store.ReadingsBetween(p.id, std::max(start, s.lo), s.hi, &part); !st) {
        return st;
      }
      LeaveOutReadings(*s.row, &part);
      readings = &part;
    }
    for (const HistoryReading& r : *readings) {
      if (r.time >= start) sums.Add(Days(r.time, origin), r.value + offsets[k]);
    }
  }
  FillPointFigures(sums, point);
  return {};
}

std::map<int64_t, const ProbeRow*> ById(const std::vector<ProbeRow>& rows) {
  std::map<int64_t, const ProbeRow*> by_id;
  for (const ProbeRow& r : rows) by_id[r.probe.id] = &r;
  return by_id;
}

}  // namespace

std::vector<PointSummary> PointsIn(StorePrimitives& store, WindowSumCache& cache,
                                   int32_t window_days, Status* error) {
  if (*error = store.ReadyToRead(); !*error) return {};
  std::vector<PointMemberRow> members;
  if (*error = store.ReadPointMembers(&members); !*error) return {};
  // Only the latest probe of each point needs its own window's sums.
  std::set<int64_t> latest;
  for (const PointRows& point : GroupPoints(members, {}))
    latest.insert(point.probes.back().probe_id);
  std::vector<ProbeRow> rows = ProbeRowsIn(store, cache, 0, window_days, error, &latest);
  if (!*error) return {};
  const HistoryLimits defaults = store.DefaultLimits();
  const std::map<int64_t, const ProbeRow*> by_id = ById(rows);
  std::vector<PointSummary> list;
  for (const PointRows& point : GroupPoints(members, by_id)) {
    std::vector<Stretch> stretches;
    PointSummary summary;
    if (*error = StretchesOf(store, cache, point, by_id, &stretches); !*error) return {};
    if (*error = FigureOf(store, point, defaults, window_days, stretches, &summary); !*error) {
      return {};
    }
    list.push_back(std::move(summary));
  }
  std::sort(list.begin(), list.end(), [](const PointSummary& a, const PointSummary& b) {
    const std::string ka = PointPathKey(a.path), kb = PointPathKey(b.path);
    return ka != kb ? ka < kb : a.path < b.path;
  });
  return list;
}

std::vector<PointPieces> PointPiecesIn(StorePrimitives& store, WindowSumCache& cache,
                                       const std::vector<PointMemberRow>& members,
                                       const std::vector<ProbeRow>& rows, Status* error) {
  const std::map<int64_t, const ProbeRow*> by_id = ById(rows);
  std::vector<PointPieces> out;
  for (const PointRows& point : GroupPoints(members, by_id)) {
    std::vector<Stretch> stretches;
    if (*error = StretchesOf(store, cache, point, by_id, &stretches); !*error) return {};
    PointPieces p;
    p.point_id = point.id;
    p.path = point.path;
    const Stretch& latest = stretches.back();
    if (latest.row) {
      p.current = latest.row->probe;
    } else {
      p.current.id = latest.probe.probe_id;
      p.current.key = latest.probe.key;
    }
    const std::vector<double> offsets = OffsetsOf(stretches, MetalLoss(p.current));
    for (std::size_t k = 0; k < stretches.size(); ++k) {
      Stretch& s = stretches[k];
      if (s.empty) continue;
      p.pieces.push_back(
          {s.probe.probe_id, s.lo, s.hi, offsets[k], !s.whole, std::move(s.readings)});
    }
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<PointSummary> LayeredHistory::ListPoints(int32_t window_days) {
  return PointsIn(*this, window_sums_, window_days, &last_error_);
}

PointSeries PointSeriesIn(
    StorePrimitives& store, WindowSumCache& cache, int64_t point_id, HistoryTime from,
    HistoryTime to, int32_t columns,
    const std::function<std::vector<HistoryReading>(int64_t, HistoryTime, HistoryTime, int32_t)>&
        read,
    Status* error) {
  PointSeries series;
  if (*error = store.ReadyToRead(); !*error) return series;
  std::vector<PointMemberRow> members;
  if (*error = store.ReadPointMembers(&members); !*error) return series;
  members.erase(std::remove_if(members.begin(), members.end(),
                               [&](const PointMemberRow& m) { return m.point_id != point_id; }),
                members.end());
  std::vector<ProbeRow> rows;
  for (const PointMemberRow& m : members) {
    if (m.probe_id == 0) continue;
    if (*error = store.ReadProbeRows(m.probe_id, 0, &rows); !*error) return series;
  }
  if (!rows.empty()) {
    if (*error = LeaveOutSetAside(store, 0, 0, &rows); !*error) return series;
  }
  const std::map<int64_t, const ProbeRow*> by_id = ById(rows);
  const std::vector<PointRows> points = GroupPoints(members, by_id);
  if (points.empty() || columns <= 0 || from > to) return series;
  std::vector<Stretch> stretches;
  if (*error = StretchesOf(store, cache, points[0], by_id, &stretches); !*error) return series;
  const ProbeSummary* current = stretches.back().row ? &stretches.back().row->probe : nullptr;
  const std::vector<double> offsets =
      OffsetsOf(stretches, current != nullptr && MetalLoss(*current));

  const double span = static_cast<double>(to) - static_cast<double>(from) + 1.0;
  bool first = true;
  for (std::size_t k = 0; k < stretches.size(); ++k) {
    const Stretch& s = stretches[k];
    // Readings set aside are drawn too, from the probe's first to its last at the point.
    const bool aside = s.row != nullptr && !s.row->aside.empty();
    if (s.empty && !aside) continue;
    const HistoryTime start = aside ? s.drawn_lo : s.lo, end = aside ? s.drawn_hi : s.hi;
    if (!first && start >= from && start <= to) {
      series.replacements.push_back({start, s.probe.probe_id, s.probe.key.serial, s.probe.key.tag});
    }
    first = false;
    const HistoryTime lo = std::max(from, start), hi = std::min(to, end);
    if (lo > hi) continue;
    // Each probe's share of the columns, so that the whole range keeps about `columns`.
    const double share = (static_cast<double>(hi) - static_cast<double>(lo) + 1.0) / span;
    const auto n = static_cast<int32_t>(std::max(1.0, share * columns + 0.5));
    std::vector<HistoryReading> part = read(s.probe.probe_id, lo, hi, n);
    if (!*error) return {};
    for (HistoryReading& r : part) {
      r.value += offsets[k];
      series.readings.push_back(r);
      // Still drawn, greyed: the screen tells them apart.
      series.set_aside.push_back(s.row != nullptr && IsSetAside(s.row->aside, r.time));
    }
  }
  return series;
}

PointSeries LayeredHistory::ReadPointSeries(int64_t point_id, HistoryTime from, HistoryTime to,
                                            int32_t columns) {
  // The back end's ReadDecimated tells its failure in last_error_, which the series checks.
  return PointSeriesIn(
      *this, window_sums_, point_id, from, to, columns,
      [this](int64_t probe, HistoryTime lo, HistoryTime hi, int32_t n) {
        return ReadDecimated(probe, lo, hi, n);
      },
      &last_error_);
}

Status AssignProbeIn(StorePrimitives& store, int64_t probe_id, const std::string& path,
                     std::optional<HistoryTime> from, std::string* placed) {
  if (Status st = store.MayWrite(); !st) return st;
  std::string stored;
  if (Status st = ParsePointPath(path, &stored); !st) return st;
  if (Status st = store.BeginWrite(); !st) return st;
  Status st = [&]() -> Status {
    std::string probe;
    if (Status s = NameProbe(store, probe_id, &probe); !s) return s;
    std::vector<PointMemberRow> rows;
    if (Status s = store.ReadPointMembers(&rows); !s) return s;
    int64_t old_point = 0;
    std::string before = "no point";
    for (const PointMemberRow& m : rows) {
      if (m.probe_id != probe_id) continue;
      old_point = m.point_id;
      before = PlaceText(m.path, m.from);
    }
    int64_t point_id = 0;
    if (Status s = FindOrAddPoint(store, &rows, stored, &point_id); !s) return s;
    if (Status s = store.PlaceProbe(probe_id, point_id, from); !s) return s;
    NoteMember(&rows, point_id, probe_id, {}, 0, from);
    *placed = PointWithKey(rows, PointPathKey(stored))->path;
    if (old_point != 0 && old_point != point_id && !HasProbes(rows, old_point)) {
      // A point whose coupons stay there stays with them.
      std::set<int64_t> coupons;
      if (Status s = CouponPoints(store, &coupons); !s) return s;
      if (coupons.count(old_point) == 0) {
        if (Status s = store.DropPoint(old_point); !s) return s;
      }
    }
    const std::string after = PlaceText(*placed, from);
    if (after != before) {
      if (Status s = RecordChange(store, "point of " + probe, before, after); !s) return s;
    }
    return store.Commit();
  }();
  if (!st) store.RollbackWrite();
  return st;
}

Status RenamePointIn(StorePrimitives& store, const std::string& path, const std::string& new_path) {
  if (Status st = store.MayWrite(); !st) return st;
  std::string old_stored, new_stored;
  if (Status st = ParsePointPath(path, &old_stored); !st) return st;
  if (Status st = ParsePointPath(new_path, &new_stored); !st) return st;
  const std::string old_key = PointPathKey(old_stored), new_key = PointPathKey(new_stored);
  if (PointPathUnder(new_key, old_key) && new_key != old_key) {
    return Status::Fail("The point " + old_stored + " cannot move under itself (" + new_stored +
                        ").");
  }
  if (Status st = store.BeginWrite(); !st) return st;
  Status st = [&]() -> Status {
    std::vector<PointMemberRow> rows;
    if (Status s = store.ReadPointMembers(&rows); !s) return s;
    // The point at the path and every point under it, with the paths they take.
    std::map<int64_t, std::string> moved;
    std::map<std::string, int64_t> others;  // key -> point, of the points that stay
    for (const PointMemberRow& m : rows) {
      const std::string key = PointPathKey(m.path);
      if (PointPathUnder(key, old_key)) {
        moved[m.point_id] = new_stored + m.path.substr(old_stored.size());
      } else if (m.probe_id != 0) {
        others[key] = m.point_id;
      }
    }
    if (moved.empty()) return Status::Fail("No point " + old_stored + ".");
    for (const auto& [id, to] : moved) {
      if (others.count(PointPathKey(to)) > 0) {
        return Status::Fail("A point " + to + " exists already.");
      }
    }
    // Points without probes in the way give their place, their coupons going to the point
    // that takes it; then the moved ones pass through names no path has, so that no two share
    // a key at any moment.
    std::vector<HistoryCoupon> coupons;
    if (Status s = store.ReadCoupons(&coupons); !s) return s;
    for (const PointMemberRow& m : rows) {
      if (m.probe_id != 0 || moved.count(m.point_id) > 0) continue;
      for (const auto& [id, to] : moved) {
        if (PointPathKey(m.path) != PointPathKey(to)) continue;
        for (const HistoryCoupon& c : coupons) {
          if (c.point_id != m.point_id) continue;
          if (Status s = store.WriteCouponPoint(c.id, id); !s) return s;
        }
        if (Status s = store.DropPoint(m.point_id); !s) return s;
      }
    }
    for (const auto& [id, to] : moved) {
      const std::string parked = std::string("\x01") + std::to_string(id);
      if (Status s = store.WritePointPath(id, parked, parked); !s) return s;
    }
    for (const auto& [id, to] : moved) {
      if (Status s = store.WritePointPath(id, to, PointPathKey(to)); !s) return s;
    }
    if (Status s = MoveEventsIn(store, old_key, old_stored, new_stored); !s) return s;
    if (Status s = RecordChange(store, "point " + NarrowToUtf8(old_stored),
                                NarrowToUtf8(old_stored), NarrowToUtf8(new_stored));
        !s) {
      return s;
    }
    return store.Commit();
  }();
  if (!st) store.RollbackWrite();
  return st;
}

Status LayeredHistory::AssignProbe(int64_t probe_id, const std::string& path,
                                   std::optional<HistoryTime> from, std::string* placed) {
  return AssignProbeIn(*this, probe_id, path, from, placed);
}

Status LayeredHistory::RenamePoint(const std::string& path, const std::string& new_path) {
  return RenamePointIn(*this, path, new_path);
}

Status SetPointLimitsIn(StorePrimitives& store, int64_t point_id,
                        const std::optional<HistoryLimits>& limits) {
  if (Status st = store.MayWrite(); !st) return st;
  if (limits) {
    if (Status st = CheckLimits(*limits); !st) return st;
  }
  if (Status st = store.BeginWrite(); !st) return st;
  Status st = [&]() -> Status {
    std::vector<PointMemberRow> rows;
    if (Status s = store.ReadPointMembers(&rows); !s) return s;
    if (!HasProbes(rows, point_id)) {
      return Status::Fail("No point with id " + std::to_string(point_id) + ".");
    }
    const PointMemberRow* point = nullptr;
    for (const PointMemberRow& m : rows) {
      if (m.point_id == point_id) point = &m;
    }
    const std::string defaults = "the defaults (" + LimitsText(store.DefaultLimits()) + ")";
    const std::string before = point->own_limits ? LimitsText(*point->own_limits) : defaults;
    const std::string after = limits ? LimitsText(*limits) : defaults;
    if (Status s = store.WritePointLimits(point_id, limits); !s) return s;
    if (before != after) {
      if (Status s =
              RecordChange(store, "limits of point " + NarrowToUtf8(point->path), before, after);
          !s) {
        return s;
      }
    }
    return store.Commit();
  }();
  if (!st) store.RollbackWrite();
  return st;
}

Status LayeredHistory::SetPointLimits(int64_t point_id,
                                      const std::optional<HistoryLimits>& limits) {
  return SetPointLimitsIn(*this, point_id, limits);
}

Status LayeredHistory::PlaceUnplacedProbes() {
  return PlaceUnplacedIn(*this);
}

}  // namespace tarn
