// SPDX-License-Identifier: GPL-3.0-or-later
// Coupons of every back end: importing them at their points by tag, once each, the list with
// each coupon's rate beside the point's probe rate over the same exposure, moving a coupon and
// entering its pit depth.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/number_text.h"
#include "history/point_figures.h"
#include "history/point_path.h"
#include "history/store_primitives.h"

namespace tarn {

namespace {

constexpr double kDaysPerYear = 365.0;  // as every other rate of the history

template <std::size_t N>
std::string Field(const char (&f)[N]) {
  return std::string(f, strnlen(f, N));
}

std::string TrimmedTag(const _coupon_values_& c) {
  const std::string tag = Field(c.tag);
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
  std::size_t a = 0, b = tag.size();
  while (a < b && blank(tag[a])) ++a;
  while (b > a && blank(tag[b - 1])) --b;
  return tag.substr(a, b - a);
}

std::string TimeText(HistoryTime t) {
  return DateTime2Str(DateTime{t * kTicksPerSecond});
}

HistoryTime FromOf(const PointMemberRow& m) {
  return m.from ? *m.from : m.first_time;
}

// The point a coupon of `tag` was exposed at: the one whose current probe has the tag (of
// several, the one most recently replaced), else the first by path whose last name is the tag;
// 0 when none is. Letter case is not compared.
int64_t PointOfCouponTag(const std::vector<PointMemberRow>& rows, const std::string& tag) {
  const std::string key = PointPathKey(tag);
  const PointMemberRow* best = nullptr;
  for (const auto& [point, m] : CurrentProbes(rows)) {
    if (PointPathKey(m->key.tag) == key && (best == nullptr || FromOf(*m) > FromOf(*best))) {
      best = m;
    }
  }
  if (best) return best->point_id;
  const PointMemberRow* named = nullptr;
  for (const PointMemberRow& m : rows) {
    const std::vector<std::string> names = PointPathNames(m.path);
    if (names.empty() || PointPathKey(names.back()) != key) continue;
    if (named == nullptr || PointPathKey(m.path) < PointPathKey(named->path)) named = &m;
  }
  return named ? named->point_id : 0;
}

const PointMemberRow* PointRow(const std::vector<PointMemberRow>& rows, int64_t point_id) {
  for (const PointMemberRow& m : rows) {
    if (m.point_id == point_id) return &m;
  }
  return nullptr;
}

using CouponKey = std::tuple<std::string, HistoryTime, HistoryTime>;

CouponKey KeyOf(const HistoryCoupon& c) {
  return {TrimmedTag(c.values), c.install, c.removal};
}

// Runs `change` in a write transaction, rolled back when it fails.
template <typename Change>
Status InWrite(StorePrimitives& store, Change change) {
  if (Status st = store.BeginWrite(); !st) return st;
  Status st = change();
  if (st) st = store.Commit();
  if (!st) store.RollbackWrite();
  return st;
}

Status FindCoupon(StorePrimitives& store, int64_t coupon_id, HistoryCoupon* out) {
  std::vector<HistoryCoupon> coupons;
  if (Status st = store.ReadCoupons(&coupons); !st) return st;
  for (HistoryCoupon& c : coupons) {
    if (c.id == coupon_id) {
      *out = std::move(c);
      return {};
    }
  }
  return Status::Fail("No coupon with id " + std::to_string(coupon_id) + ".");
}

std::string DepthText(const std::optional<double>& mm) {
  return mm ? FormatFixed(*mm, 4) + " mm" : "none";
}

// The probe rate over an exposure from the point's readings there: the least-squares slope of a
// cumulative metal-loss series, or the mean of a corrosion-rate series, in mpy; none with fewer
// than two readings or a unit other than mpy and mm/y.
std::optional<double> ProbeRateMpy(const std::vector<HistoryReading>& readings, bool metal_loss,
                                   const std::string& unit) {
  if (readings.size() < 2) return std::nullopt;
  double per_year = 0.0;
  if (metal_loss) {
    RegressionSums sums;
    const HistoryTime origin = readings.front().time;
    for (const HistoryReading& r : readings) {
      sums.Add(static_cast<double>(r.time - origin) / static_cast<double>(kSecondsPerDay), r.value);
    }
    const std::optional<double> slope = LeastSquaresSlope(sums);
    if (!slope) return std::nullopt;
    per_year = *slope * kDaysPerYear;
  } else {
    for (const HistoryReading& r : readings) per_year += r.value;
    per_year /= static_cast<double>(readings.size());
  }
  if (unit == "mpy") return per_year;
  if (unit == "mm/y") return per_year / kMmPerMil;
  return std::nullopt;
}

}  // namespace

Status CouponTimes(const _coupon_values_& c, HistoryTime* install, HistoryTime* removal) {
  const std::string tag = NarrowToUtf8(TrimmedTag(c));
  const std::string in = Field(c.install_time), out = Field(c.removal_time);
  int32_t ok_in = 0, ok_out = 0;
  const DateTime a = Str2DateTime(in, &ok_in), b = Str2DateTime(out, &ok_out);
  if (ok_in != 1) {
    return Status::Fail("The coupon " + tag + " has an installation time that is not a date: \"" +
                        NarrowToUtf8(in) + "\".");
  }
  if (ok_out != 1) {
    return Status::Fail("The coupon " + tag + " has a removal time that is not a date: \"" +
                        NarrowToUtf8(out) + "\".");
  }
  if (b <= a) {
    return Status::Fail("The coupon " + tag + " was removed (" + NarrowToUtf8(out) +
                        ") no later than it was installed (" + NarrowToUtf8(in) + ").");
  }
  *install = a.ticks / kTicksPerSecond;
  *removal = b.ticks / kTicksPerSecond;
  return {};
}

void PutCouponTimes(HistoryCoupon* c) {
  PutField(c->values.install_time, TimeText(c->install));
  PutField(c->values.removal_time, TimeText(c->removal));
}

std::string CouponName(const HistoryCoupon& c) {
  return "coupon " + std::to_string(c.id) + " (" + NarrowToUtf8(TrimmedTag(c.values)) + ", " +
         TimeText(c.install) + " to " + TimeText(c.removal) + ")";
}

Status CouponPoints(StorePrimitives& store, std::set<int64_t>* points) {
  std::vector<HistoryCoupon> coupons;
  if (Status st = store.ReadCoupons(&coupons); !st) return st;
  for (const HistoryCoupon& c : coupons) points->insert(c.point_id);
  return {};
}

CouponImportResult ImportCouponsInto(StorePrimitives& store,
                                     const std::vector<_coupon_values_>& records, bool mils) {
  CouponImportResult result;
  if (result.status = store.MayWrite(); !result.status) return result;
  std::vector<HistoryCoupon> offered(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    offered[i].values = records[i];
    offered[i].mils = mils;
    if (result.status = CouponTimes(records[i], &offered[i].install, &offered[i].removal);
        !result.status) {
      return result;
    }
  }
  int64_t added = 0, held = 0;
  result.status = InWrite(store, [&]() -> Status {
    std::vector<HistoryCoupon> stored;
    if (Status st = store.ReadCoupons(&stored); !st) return st;
    std::set<CouponKey> keys;
    for (const HistoryCoupon& c : stored) keys.insert(KeyOf(c));
    std::vector<PointMemberRow> rows;
    if (Status st = store.ReadPointMembers(&rows); !st) return st;
    for (HistoryCoupon& c : offered) {
      if (!keys.insert(KeyOf(c)).second) {
        ++held;
        continue;
      }
      const std::string tag = TrimmedTag(c.values);
      c.point_id = PointOfCouponTag(rows, tag);
      if (c.point_id == 0) {
        if (Status st = FindOrAddPoint(store, &rows, UnassignedPath(tag), &c.point_id); !st) {
          return st;
        }
      }
      if (Status st = store.AddCoupon(c, &c.id); !st) return st;
      ++added;
    }
    if (added == 0) return {};
    return RecordChange(
        store, "coupons imported", "",
        std::to_string(added) + " added, " + std::to_string(held) + " already held");
  });
  if (result.status) {
    result.added = added;
    result.held = held;
  }
  return result;
}

std::vector<CouponFigures> CouponsIn(StorePrimitives& store, WindowSumCache& cache,
                                     const std::vector<ProbeStretch>& left_out, Status* error) {
  if (*error = store.ReadyToRead(); !*error) return {};
  std::vector<HistoryCoupon> coupons;
  if (*error = store.ReadCoupons(&coupons); !*error) return {};
  std::map<int64_t, PointSummary> points;
  if (!coupons.empty()) {
    for (PointSummary& p : PointsIn(store, cache, 0, error)) points[p.id] = std::move(p);
    if (!*error) return {};
  }
  // Every reading of the point's series there, but those set aside.
  const auto read = [&](int64_t probe, HistoryTime lo, HistoryTime hi, int32_t) {
    std::vector<HistoryReading> out;
    if (*error = store.ReadingsBetween(probe, lo, hi, &out); !*error) return out;
    out.erase(std::remove_if(out.begin(), out.end(),
                             [&](const HistoryReading& r) {
                               return std::any_of(left_out.begin(), left_out.end(),
                                                  [&](const ProbeStretch& s) {
                                                    return s.probe_id == probe &&
                                                           r.time >= s.from && r.time <= s.to;
                                                  });
                             }),
              out.end());
    return out;
  };
  std::vector<CouponFigures> list;
  for (HistoryCoupon& c : coupons) {
    CouponFigures f;
    const _coupon_values_& v = c.values;
    f.exposure_days = v.exposure / 24.0;
    f.rate_mpy = v.corr_rate / kMmPerMil;
    f.severity = GeneralRateClass(v.corr_rate);
    if (c.pit_depth_mm) f.pitting = PitRate(*c.pit_depth_mm, false, v.exposure);
    if (const auto p = points.find(c.point_id); p != points.end()) {
      const PointSeries s =
          PointSeriesIn(store, cache, c.point_id, c.install, c.removal, 1, read, error);
      if (!*error) return {};
      const SeriesKind kind = KindOfSeries(p->second.current.key.data_type);
      if (kind != SeriesKind::kOther) {
        f.probe_rate_mpy =
            ProbeRateMpy(s.readings, kind == SeriesKind::kMetalLoss, p->second.rate_unit);
      }
    }
    if (f.probe_rate_mpy && f.rate_mpy != 0.0) f.ratio = *f.probe_rate_mpy / f.rate_mpy;
    f.coupon = std::move(c);
    list.push_back(std::move(f));
  }
  std::sort(list.begin(), list.end(), [](const CouponFigures& a, const CouponFigures& b) {
    const std::string ka = PointPathKey(a.coupon.point_path),
                      kb = PointPathKey(b.coupon.point_path);
    return std::tie(ka, a.coupon.point_path, a.coupon.install, a.coupon.id) <
           std::tie(kb, b.coupon.point_path, b.coupon.install, b.coupon.id);
  });
  return list;
}

Status AssignCouponIn(StorePrimitives& store, int64_t coupon_id, const std::string& path,
                      std::string* placed) {
  if (Status st = store.MayWrite(); !st) return st;
  std::string stored;
  if (Status st = ParsePointPath(path, &stored); !st) return st;
  return InWrite(store, [&]() -> Status {
    HistoryCoupon c;
    if (Status s = FindCoupon(store, coupon_id, &c); !s) return s;
    std::vector<PointMemberRow> rows;
    if (Status s = store.ReadPointMembers(&rows); !s) return s;
    int64_t point_id = 0;
    if (Status s = FindOrAddPoint(store, &rows, stored, &point_id); !s) return s;
    *placed = PointRow(rows, point_id)->path;
    if (point_id == c.point_id) return {};
    if (Status s = store.WriteCouponPoint(coupon_id, point_id); !s) return s;
    // The point it leaves goes when nothing else is at it.
    std::set<int64_t> held;
    if (Status s = CouponPoints(store, &held); !s) return s;
    const bool probes = std::any_of(rows.begin(), rows.end(), [&](const PointMemberRow& m) {
      return m.point_id == c.point_id && m.probe_id != 0;
    });
    if (!probes && held.count(c.point_id) == 0) {
      if (Status s = store.DropPoint(c.point_id); !s) return s;
    }
    return RecordChange(store, "point of " + CouponName(c), NarrowToUtf8(c.point_path),
                        NarrowToUtf8(*placed));
  });
}

Status SetPitDepthIn(StorePrimitives& store, int64_t coupon_id, double depth, bool mils) {
  if (Status st = store.MayWrite(); !st) return st;
  if (!std::isfinite(depth) || depth < 0.0) {
    return Status::Fail("A pit depth is a number, 0 or more.");
  }
  const double mm = mils ? depth * kMmPerMil : depth;
  return InWrite(store, [&]() -> Status {
    HistoryCoupon c;
    if (Status s = FindCoupon(store, coupon_id, &c); !s) return s;
    if (c.pit_depth_mm == mm) return {};
    if (Status s = store.WritePitDepth(coupon_id, mm); !s) return s;
    return RecordChange(store, "pit depth of " + CouponName(c), DepthText(c.pit_depth_mm),
                        DepthText(mm));
  });
}

CouponImportResult LayeredHistory::ImportCoupons(const std::vector<_coupon_values_>& records,
                                                 bool mils) {
  return ImportCouponsInto(*this, records, mils);
}

std::vector<CouponFigures> LayeredHistory::ListCoupons(const std::vector<ProbeStretch>& extra) {
  // The probe rate beside a coupon never counts readings set aside.
  std::vector<SetAsideStretch> aside;
  if (last_error_ = ReadyToRead(); !last_error_) return {};
  if (last_error_ = SetAsideIn(*this, {}, &aside); !last_error_) return {};
  std::vector<ProbeStretch> left_out = extra;
  for (const SetAsideStretch& a : aside) left_out.push_back({a.probe_id, a.from, a.to});
  return CouponsIn(*this, window_sums_, left_out, &last_error_);
}

Status LayeredHistory::AssignCoupon(int64_t coupon_id, const std::string& path,
                                    std::string* placed) {
  return AssignCouponIn(*this, coupon_id, path, placed);
}

Status LayeredHistory::SetPitDepth(int64_t coupon_id, double depth, bool mils) {
  return SetPitDepthIn(*this, coupon_id, depth, mils);
}

}  // namespace tarn
