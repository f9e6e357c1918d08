// SPDX-License-Identifier: GPL-3.0-or-later
// Readings set aside, on every back end: stretches of a probe's readings that stay in the
// history but count in no figure, set aside and restored with the trail, and left out of the
// probe rows that every figure is computed from (their own sums taken off, so that a probe
// without stretches costs nothing more).
#include <algorithm>
#include <climits>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <utility>

#include "common/date_time.h"
#include "common/number_text.h"
#include "history/import_source.h"
#include "history/reading_flags.h"
#include "history/store_primitives.h"

namespace tarn {

namespace {

std::string WhenText(HistoryTime t) {
  // A range given as "everything" reaches past any time the clock's ticks can hold.
  constexpr HistoryTime kLimit = std::numeric_limits<HistoryTime>::max() / kTicksPerSecond;
  return DateTime2Str(DateTime{std::clamp(t, -kLimit, kLimit) * kTicksPerSecond});
}

double Days(HistoryTime t, HistoryTime origin) {
  return static_cast<double>(t - origin) / static_cast<double>(kSecondsPerDay);
}

// The stretch holding `t`; null when none does.
const SetAsideStretch* StretchAt(const std::vector<SetAsideStretch>& stretches, HistoryTime t) {
  auto it = std::upper_bound(stretches.begin(), stretches.end(), t,
                             [](HistoryTime v, const SetAsideStretch& s) { return v < s.from; });
  if (it == stretches.begin()) return nullptr;
  --it;
  return t <= it->to ? &*it : nullptr;
}

// The probe's reading nearest `edge` on one side that is not set aside (`back`: the latest
// before it, else the earliest after it), looking in spans that double; none when there is none.
Status NearestKept(StorePrimitives& store, const ProbeRow& row, HistoryTime edge, bool back,
                   std::optional<HistoryReading>* out) {
  const ProbeSummary& p = row.probe;
  HistoryTime span = kSecondsPerDay;
  while (back ? edge > p.first_time : edge < p.last_time) {
    const HistoryTime next = back ? edge - 1 : edge + 1;
    if (const SetAsideStretch* s = StretchAt(row.aside, next)) {
      edge = back ? s->from : s->to;  // the whole stretch is passed over at once
      continue;
    }
    const HistoryTime lo = back ? std::max(p.first_time, edge - span) : next;
    const HistoryTime hi = back ? next : std::min(p.last_time, edge + span);
    std::vector<HistoryReading> found;
    if (Status st = store.ReadingsBetween(p.id, lo, hi, &found); !st) return st;
    if (back) std::reverse(found.begin(), found.end());
    for (const HistoryReading& r : found) {
      if (!IsSetAside(row.aside, r.time)) {
        *out = r;
        return {};
      }
    }
    edge = back ? lo : hi;
    span = std::min<HistoryTime>(span * 2, HistoryTime{1} << 40);
  }
  return {};
}

void Subtract(RegressionSums* s, const RegressionSums& part) {
  s->n -= part.n;
  s->sx -= part.sx;
  s->sy -= part.sy;
  s->sxy -= part.sxy;
  s->sxx -= part.sxx;
}

// Takes off `sums` the sums of the probe's readings set aside between `from` and `to` (x in
// days from `origin`); *n their count.
Status SubtractSetAside(StorePrimitives& store, const ProbeRow& row, HistoryTime from,
                        HistoryTime to, HistoryTime origin, RegressionSums* sums, int64_t* n) {
  for (const SetAsideStretch& s : row.aside) {
    if (s.to < from || s.from > to) continue;
    RegressionSums part;
    if (Status st = store.SumReadings(row.probe.id, std::max(s.from, from), std::min(s.to, to),
                                      origin, &part);
        !st) {
      return st;
    }
    Subtract(sums, part);
    *n += part.n;
  }
  return {};
}

// Leaves the set-aside readings out of one row that has stretches: their own sums come off, so
// that they are never read one by one.
Status LeaveOut(StorePrimitives& store, int32_t window_days, ProbeRow* row) {
  ProbeSummary& p = row->probe;
  int64_t aside = 0;
  if (Status st = SubtractSetAside(store, *row, p.first_time, p.last_time, row->origin, &row->whole,
                                   &aside);
      !st) {
    return st;
  }
  if (aside == 0) {
    row->aside.clear();  // nothing of it set aside: its sums stand
    return {};
  }
  p.set_aside = aside;

  if (!StretchAt(row->aside, p.last_time)) {
    row->kept_last = HistoryReading{p.last_time, p.latest_value};
  } else if (Status st = NearestKept(store, *row, p.last_time, true, &row->kept_last); !st) {
    return st;
  }
  if (!StretchAt(row->aside, p.first_time)) {
    std::vector<HistoryReading> first;
    if (Status st = store.ReadingsBetween(p.id, p.first_time, p.first_time, &first); !st) return st;
    if (!first.empty()) row->kept_first = first.front();
  } else if (Status st = NearestKept(store, *row, p.first_time, false, &row->kept_first); !st) {
    return st;
  }
  if (!row->kept_first) row->kept_first = row->kept_last;

  if (window_days <= 0 || !row->window) return {};
  if (!row->kept_last) {
    row->window = RegressionSums{};
    return {};
  }
  const HistoryTime end = row->kept_last->time;
  const HistoryTime start = end - int64_t{window_days} * kSecondsPerDay;
  if (end == p.last_time) {
    // The same window as the stored sums': only its own set-aside readings come off.
    int64_t in_window = 0;
    return SubtractSetAside(store, *row, start, end, start, &*row->window, &in_window);
  }
  // The last readings are set aside: the window ends at the last one kept.
  std::vector<HistoryReading> in;
  if (Status st = store.ReadingsBetween(p.id, start, end, &in); !st) return st;
  RegressionSums sums;
  for (const HistoryReading& r : in) {
    if (!IsSetAside(row->aside, r.time)) sums.Add(Days(r.time, start), r.value);
  }
  row->window = sums;
  return {};
}

// "kept", or "set aside: REASON" for each reason of the stretches overlapping from..to.
std::string StateText(const std::vector<SetAsideStretch>& stretches, HistoryTime from,
                      HistoryTime to) {
  std::string reasons;
  for (const SetAsideStretch& s : stretches) {
    if (s.to < from || s.from > to) continue;
    if (reasons.find(s.reason) != std::string::npos) continue;
    reasons += (reasons.empty() ? "" : "; ") + s.reason;
  }
  return reasons.empty() ? "kept" : "set aside: " + reasons;
}

// Cuts from..to out of the stretches: each overlapping one goes, its parts outside stay.
Status Cut(StorePrimitives& store, const std::vector<SetAsideStretch>& stretches, HistoryTime from,
           HistoryTime to, bool* cut) {
  for (const SetAsideStretch& s : stretches) {
    if (s.to < from || s.from > to) continue;
    *cut = true;
    if (Status st = store.DropSetAside(s.id); !st) return st;
    if (s.from < from) {
      SetAsideStretch before = s;
      before.to = from - 1;
      if (Status st = store.AddSetAside(before); !st) return st;
    }
    if (s.to > to) {
      SetAsideStretch after = s;
      after.from = to + 1;
      if (Status st = store.AddSetAside(after); !st) return st;
    }
  }
  return {};
}

// Checks and opens the change of a probe's readings from..to: its name for the trail, its
// stretches, and how many of its readings lie there and how many of those are set aside.
struct Change {
  std::string probe;
  std::vector<SetAsideStretch> stretches;
  int64_t readings = 0;
  int64_t aside = 0;
};

Status StartChange(StorePrimitives& store, int64_t probe_id, HistoryTime from, HistoryTime to,
                   Change* c) {
  if (Status st = NameProbe(store, probe_id, &c->probe); !st) return st;
  if (Status st = store.ReadSetAside(probe_id, &c->stretches); !st) return st;
  RegressionSums in;
  if (Status st = store.SumReadings(probe_id, from, to, from, &in); !st) return st;
  c->readings = in.n;
  for (const SetAsideStretch& s : c->stretches) {
    if (s.to < from || s.from > to) continue;
    if (Status st =
            store.SumReadings(probe_id, std::max(s.from, from), std::min(s.to, to), from, &in);
        !st) {
      return st;
    }
    c->aside += in.n;
  }
  return {};
}

std::string Readings(int64_t n) {
  return std::to_string(n) + (n == 1 ? " reading" : " readings");
}

// Runs `change` on the probe's readings from..to in one write transaction, given the state they
// start from and the trail's name for them; all or nothing (*changed 0 on failure).
Status InStretch(StorePrimitives& store, int64_t probe_id, HistoryTime from, HistoryTime to,
                 int64_t* changed,
                 const std::function<Status(const Change&, const std::string& what)>& change) {
  *changed = 0;
  if (Status st = store.MayWrite(); !st) return st;
  if (from > to) return Status::Fail("The stretch must not end before it starts.");
  if (Status st = store.BeginWrite(); !st) return st;
  Change c;
  Status st = StartChange(store, probe_id, from, to, &c);
  if (st) {
    st = change(c, "readings of " + c.probe + " from " + WhenText(from) + " to " + WhenText(to));
  }
  if (st) st = store.Commit();
  if (!st) {
    store.RollbackWrite();
    *changed = 0;
  }
  return st;
}

}  // namespace

bool IsSetAside(const std::vector<SetAsideStretch>& stretches, HistoryTime t) {
  return StretchAt(stretches, t) != nullptr;
}

Status SetAsideIn(StorePrimitives& store, const std::vector<int64_t>& probe_ids,
                  std::vector<SetAsideStretch>* out) {
  if (probe_ids.size() != 1) {
    std::vector<SetAsideStretch> all;
    if (Status st = store.ReadSetAside(0, &all); !st) return st;
    for (SetAsideStretch& s : all) {
      if (probe_ids.empty() ||
          std::find(probe_ids.begin(), probe_ids.end(), s.probe_id) != probe_ids.end()) {
        out->push_back(std::move(s));
      }
    }
    return {};
  }
  return store.ReadSetAside(probe_ids.front(), out);
}

Status LeaveOutSetAside(StorePrimitives& store, int64_t probe_id, int32_t window_days,
                        std::vector<ProbeRow>* rows) {
  std::vector<SetAsideStretch> all;
  if (Status st = store.ReadSetAside(probe_id, &all); !st || all.empty()) return st;
  std::map<int64_t, std::vector<SetAsideStretch>> by_probe;
  for (SetAsideStretch& s : all) by_probe[s.probe_id].push_back(std::move(s));
  for (ProbeRow& row : *rows) {
    const auto it = by_probe.find(row.probe.id);
    if (it == by_probe.end() || row.probe.count == 0) continue;
    row.aside = it->second;
    if (Status st = LeaveOut(store, window_days, &row); !st) return st;
  }
  return {};
}

void FillRowFigures(ProbeRow* row) {
  const RegressionSums& sums = row->window ? *row->window : row->whole;
  if (row->aside.empty()) {
    FillProbeFigures(sums, &row->probe);
    return;
  }
  // The figures of the readings kept: consumed and the end date from the last one kept.
  ProbeSummary kept = row->probe;
  kept.count -= kept.set_aside;
  if (row->kept_last) {
    kept.last_time = row->kept_last->time;
    kept.latest_value = row->kept_last->value;
  }
  FillProbeFigures(sums, &kept);
  ProbeSummary& p = row->probe;
  p.rate = kept.rate;
  p.rate_unit = kept.rate_unit;
  p.consumed = kept.consumed;
  p.end_time = kept.end_time;
  p.state = kept.state;
  p.state_reason = kept.state_reason;
}

Status SetAsideInStore(StorePrimitives& store, int64_t probe_id, HistoryTime from, HistoryTime to,
                       const std::string& reason, int64_t* changed) {
  const std::size_t a = reason.find_first_not_of(" \t\r\n");
  const std::string why =
      a == std::string::npos ? "" : reason.substr(a, reason.find_last_not_of(" \t\r\n") - a + 1);
  if (why.empty() && store.MayWrite()) {
    *changed = 0;
    return Status::Fail("Readings are set aside only with a reason.");
  }
  return InStretch(store, probe_id, from, to, changed,
                   [&](const Change& c, const std::string& what) -> Status {
                     if (c.readings == 0) return {};  // nothing there: nothing to keep
                     bool cut = false;
                     if (Status s = Cut(store, c.stretches, from, to, &cut); !s) return s;
                     SetAsideStretch made;
                     made.probe_id = probe_id;
                     made.from = from;
                     made.to = to;
                     made.reason = why;
                     made.set_at = HistoryNow();
                     made.user = store.ChangeUser();
                     if (Status s = store.AddSetAside(made); !s) return s;
                     *changed = c.readings - c.aside;
                     return RecordChange(store, what, StateText(c.stretches, from, to),
                                         "set aside: " + why + " (" + Readings(c.readings) + ")");
                   });
}

Status RestoreInStore(StorePrimitives& store, int64_t probe_id, HistoryTime from, HistoryTime to,
                      int64_t* changed) {
  return InStretch(
      store, probe_id, from, to, changed, [&](const Change& c, const std::string& what) -> Status {
        bool cut = false;
        if (Status s = Cut(store, c.stretches, from, to, &cut); !s || !cut) return s;
        *changed = c.aside;
        return RecordChange(
            store, what, StateText(c.stretches, from, to) + " (" + Readings(c.aside) + ")", "kept");
      });
}

Status FlagStepDowns(StorePrimitives& store, const ImportProbe& before, double probe_life,
                     const std::vector<HistoryReading>& fresh,
                     const std::vector<HistoryReading>& stored) {
  if (fresh.empty() || probe_life <= 0) return {};
  const HistoryTime first = fresh.front().time, last = fresh.back().time;
  auto earlier = [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; };
  // The new readings among the stored ones they fall between.
  std::vector<HistoryReading> series;
  std::merge(stored.begin(), stored.end(), fresh.begin(), fresh.end(), std::back_inserter(series),
             earlier);
  // The stored neighbours just outside them, when `stored` does not reach that far (the usual
  // download goes on after the probe's last reading, which its summary holds).
  auto nearest = [&](bool back, HistoryTime edge) -> Status {
    if (before.count == 0 || (back ? before.first >= edge : before.last <= edge)) return {};
    if (back && before.last < edge) {
      series.insert(series.begin(), {before.last, before.latest});
      return {};
    }
    for (HistoryTime span = kSecondsPerDay;; span *= 2) {
      const HistoryTime lo = back ? std::max(before.first, edge - span) : edge + 1;
      const HistoryTime hi = back ? edge - 1 : std::min(before.last, edge + span);
      std::vector<HistoryReading> found;
      if (Status st = store.ReadingsBetween(before.id, lo, hi, &found); !st) return st;
      if (!found.empty()) {
        if (back) {
          series.insert(series.begin(), found.back());
        } else {
          series.push_back(found.front());
        }
        return {};
      }
      if (back ? lo == before.first : hi == before.last) return {};
    }
  };
  if (stored.empty() || stored.front().time >= first) {
    if (Status st = nearest(true, stored.empty() ? first : stored.front().time); !st) return st;
  }
  if (stored.empty() || stored.back().time <= last) {
    if (Status st = nearest(false, stored.empty() ? last : stored.back().time); !st) return st;
  }
  auto is_fresh = [&](HistoryTime t) {
    return std::binary_search(fresh.begin(), fresh.end(), HistoryReading{t, 0.0}, earlier);
  };
  std::vector<StepDownFlag> flags;
  for (const StepDown& d : FindStepDowns(series, probe_life)) {
    if (is_fresh(d.from.time) || is_fresh(d.to.time)) {
      flags.push_back({before.id, d.to.time, d.from.value - d.to.value});
    }
  }
  return flags.empty() ? Status{} : store.AddFlags(flags);
}

Status LayeredHistory::SetAside(int64_t probe_id, HistoryTime from, HistoryTime to,
                                const std::string& reason, int64_t* changed) {
  return SetAsideInStore(*this, probe_id, from, to, reason, changed);
}

Status LayeredHistory::Restore(int64_t probe_id, HistoryTime from, HistoryTime to,
                               int64_t* changed) {
  return RestoreInStore(*this, probe_id, from, to, changed);
}

std::vector<SetAsideStretch> LayeredHistory::ListSetAside(int64_t probe_id) {
  std::vector<SetAsideStretch> out;
  if (last_error_ = ReadyToRead(); !last_error_) return out;
  if (probe_id > 0) {
    last_error_ = SetAsideIn(*this, {probe_id}, &out);
  } else {
    last_error_ = SetAsideIn(*this, {}, &out);
  }
  if (!last_error_) out.clear();
  return out;
}

std::vector<StepDownFlag> LayeredHistory::ListFlags() {
  std::vector<StepDownFlag> out;
  if (last_error_ = ReadyToRead(); !last_error_) return out;
  if (last_error_ = ReadFlags(&out); !last_error_) out.clear();
  return out;
}

}  // namespace tarn
