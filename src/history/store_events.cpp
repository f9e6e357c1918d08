// SPDX-License-Identifier: GPL-3.0-or-later
// Events of every back end: added, edited and removed with their trail, listed, moved with the
// points they are on, and the rate of each point they apply to before and after them.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "history/event_figures.h"
#include "history/point_path.h"
#include "history/store_primitives.h"

namespace tarn {

namespace {

// The event's path as the points spell it, for a path of one to six names some point with
// probes lies at or under; a sentence when there is none.
Status CheckEvent(StorePrimitives& store, const HistoryEvent& event, HistoryEvent* checked) {
  std::string stored;
  if (Status st = ParsePointPath(event.path, &stored); !st) return st;
  if (event.note.find_first_of("\t\r\n") != std::string::npos) {
    return Status::Fail("An event's note cannot hold tabs or line breaks.");
  }
  std::vector<PointMemberRow> members;
  if (Status st = store.ReadPointMembers(&members); !st) return st;
  const std::string key = PointPathKey(stored);
  const std::size_t names = PointPathNames(stored).size();
  for (const PointMemberRow& m : members) {
    if (m.probe_id == 0 || !EventApplies(key, PointPathKey(m.path))) continue;
    const std::vector<std::string> spelled = PointPathNames(m.path);
    std::string path;
    for (std::size_t i = 0; i < names; ++i) path += (i > 0 ? "/" : "") + spelled[i];
    *checked = event;
    checked->path = path;
    return {};
  }
  return Status::Fail("No point, unit or site " + stored + ".");
}

Status FindEvent(StorePrimitives& store, int64_t event_id, HistoryEvent* found) {
  std::vector<HistoryEvent> events;
  if (Status st = store.ReadEventRows(&events); !st) return st;
  for (const HistoryEvent& e : events) {
    if (e.id == event_id) {
      *found = e;
      return {};
    }
  }
  return Status::Fail("No event with id " + std::to_string(event_id) + ".");
}

// Runs `change` inside a write transaction: committed when it succeeds, rolled back otherwise.
template <typename Change>
Status InWrite(StorePrimitives& store, Change change) {
  if (Status st = store.MayWrite(); !st) return st;
  if (Status st = store.BeginWrite(); !st) return st;
  Status st = change();
  if (st) st = store.Commit();
  if (!st) store.RollbackWrite();
  return st;
}

std::string EventName(int64_t id) {
  return "event " + std::to_string(id);
}

}  // namespace

Status AddEventIn(StorePrimitives& store, const HistoryEvent& event, int64_t* id) {
  return InWrite(store, [&]() -> Status {
    HistoryEvent e;
    if (Status st = CheckEvent(store, event, &e); !st) return st;
    if (Status st = store.AddEventRow(e, &e.id); !st) return st;
    if (Status st = RecordChange(store, EventName(e.id), "(none)", EventText(e)); !st) return st;
    *id = e.id;
    return {};
  });
}

Status EditEventIn(StorePrimitives& store, const HistoryEvent& event) {
  return InWrite(store, [&]() -> Status {
    HistoryEvent old, e;
    if (Status st = FindEvent(store, event.id, &old); !st) return st;
    if (Status st = CheckEvent(store, event, &e); !st) return st;
    bool found = false;
    if (Status st = store.WriteEventRow(e, &found); !st) return st;
    if (!found) return Status::Fail("No event with id " + std::to_string(event.id) + ".");
    const std::string before = EventText(old), after = EventText(e);
    if (before == after) return {};
    return RecordChange(store, EventName(e.id), before, after);
  });
}

Status RemoveEventIn(StorePrimitives& store, int64_t event_id) {
  return InWrite(store, [&]() -> Status {
    HistoryEvent old;
    if (Status st = FindEvent(store, event_id, &old); !st) return st;
    bool found = false;
    if (Status st = store.DeleteEventRow(event_id, &found); !st) return st;
    if (!found) return Status::Fail("No event with id " + std::to_string(event_id) + ".");
    return RecordChange(store, EventName(event_id), EventText(old), "(removed)");
  });
}

Status MoveEventsIn(StorePrimitives& store, const std::string& old_key, const std::string& old_path,
                    const std::string& new_path) {
  std::vector<HistoryEvent> events;
  if (Status st = store.ReadEventRows(&events); !st) return st;
  for (HistoryEvent& e : events) {
    if (!PointPathUnder(PointPathKey(e.path), old_key)) continue;
    e.path = new_path + e.path.substr(old_path.size());
    bool found = false;
    if (Status st = store.WriteEventRow(e, &found); !st) return st;
  }
  return {};
}

std::vector<HistoryEvent> EventsIn(StorePrimitives& store, const EventFilter& filter,
                                   Status* error) {
  std::string key;
  if (!filter.path.empty()) {
    std::string stored;
    if (*error = ParsePointPath(filter.path, &stored); !*error) return {};
    key = PointPathKey(stored);
  }
  std::vector<HistoryEvent> events;
  if (*error = store.ReadyToRead(); !*error) return {};
  if (*error = store.ReadEventRows(&events); !*error) return {};
  events.erase(std::remove_if(events.begin(), events.end(),
                              [&](const HistoryEvent& e) {
                                return e.time < filter.from || e.time > filter.to ||
                                       !EventConcerns(PointPathKey(e.path), key);
                              }),
               events.end());
  return events;
}

std::vector<EventFigure> EventFiguresIn(StorePrimitives& store, WindowSumCache& cache, int32_t days,
                                        const std::string& path,
                                        const std::vector<LeftOutStretch>& left_out,
                                        Status* error) {
  if (days < 1 || days > kMaxEventDays) {
    *error = Status::Fail("The days before and after an event are 1 to " +
                          std::to_string(kMaxEventDays) + ".");
    return {};
  }
  std::string filter_key;
  if (!path.empty()) {
    std::string stored;
    if (*error = ParsePointPath(path, &stored); !*error) return {};
    filter_key = PointPathKey(stored);
  }
  std::vector<HistoryEvent> events;
  std::vector<PointMemberRow> members;
  std::vector<ProbeRow> rows;
  if (*error = store.ReadyToRead(); !*error) return {};
  if (*error = store.ReadEventRows(&events); !*error) return {};
  if (*error = store.ReadPointMembers(&members); !*error) return {};
  if (!filter_key.empty() &&
      std::none_of(members.begin(), members.end(), [&](const PointMemberRow& m) {
        return m.probe_id != 0 && PointPathUnder(PointPathKey(m.path), filter_key);
      })) {
    *error = Status::Fail("No point, unit or site " + path + ".");
    return {};
  }
  std::vector<std::string> event_keys;
  for (const HistoryEvent& e : events) event_keys.push_back(PointPathKey(e.path));
  const std::set<std::string> on(event_keys.begin(), event_keys.end());
  // Only the points under the filter that some event applies to (an event on the point's path
  // or on one of its prefixes) are worked out.
  members.erase(std::remove_if(members.begin(), members.end(),
                               [&](const PointMemberRow& m) {
                                 const std::string key = PointPathKey(m.path);
                                 if (!filter_key.empty() && !PointPathUnder(key, filter_key)) {
                                   return true;
                                 }
                                 for (std::size_t end = key.find('/'); end != std::string::npos;
                                      end = key.find('/', end + 1)) {
                                   if (on.count(key.substr(0, end)) > 0) return false;
                                 }
                                 return on.count(key) == 0;
                               }),
                members.end());
  if (members.empty()) return {};
  if (*error = store.ReadProbeRows(0, 0, &rows); !*error) return {};
  std::vector<PointPieces> points = PointPiecesIn(store, cache, members, rows, error);
  if (!*error) return {};
  std::vector<std::string> point_keys;
  for (const PointPieces& p : points) point_keys.push_back(PointPathKey(p.path));
  std::vector<std::size_t> by_path(points.size());
  for (std::size_t i = 0; i < by_path.size(); ++i) by_path[i] = i;
  std::sort(by_path.begin(), by_path.end(), [&](std::size_t a, std::size_t b) {
    return point_keys[a] != point_keys[b] ? point_keys[a] < point_keys[b]
                                          : points[a].path < points[b].path;
  });
  std::vector<std::string> units;
  for (const PointPieces& p : points) {
    ProbeSummary current = p.current;
    FillProbeFigures({}, &current);
    units.push_back(current.rate_unit);
  }

  // Every event with each point it applies to, and the readings their sides need, read at once.
  const HistoryTime span = int64_t{days} * kSecondsPerDay;
  struct Pair {
    std::size_t event, point;
    std::size_t first_span;  // in `spans`, one for each piece not read already that reaches in
  };
  std::vector<Pair> pairs;
  std::vector<ReadingSpan> spans;
  auto reaches = [&](const PointPiece& piece, HistoryTime at, HistoryTime* lo, HistoryTime* hi) {
    *lo = std::max(piece.lo, at - span);
    *hi = std::min(piece.hi, at + span - 1);
    return *lo <= *hi;
  };
  for (std::size_t e = 0; e < events.size(); ++e) {
    for (const std::size_t i : by_path) {
      if (!EventApplies(event_keys[e], point_keys[i])) continue;
      pairs.push_back({e, i, spans.size()});
      for (const PointPiece& piece : points[i].pieces) {
        HistoryTime lo = 0, hi = 0;
        if (!piece.read && reaches(piece, events[e].time, &lo, &hi)) {
          spans.push_back({piece.probe_id, lo, hi});
        }
      }
    }
  }
  std::vector<std::vector<HistoryReading>> read;
  if (*error = store.ReadingsOfSpans(spans, &read); !*error) return {};

  std::vector<EventFigure> out;
  for (const Pair& pair : pairs) {
    const HistoryEvent& event = events[pair.event];
    const PointPieces& point = points[pair.point];
    EventSides sides;
    std::size_t next = pair.first_span;
    for (const PointPiece& piece : point.pieces) {
      HistoryTime lo = 0, hi = 0;
      if (!reaches(piece, event.time, &lo, &hi)) continue;
      const std::vector<HistoryReading>& readings = piece.read ? piece.readings : read[next++];
      AddToSides(readings, piece.offset, piece.probe_id, event.time, days, left_out, &sides);
    }
    const RateChange c =
        CompareSides(sides.before, sides.after, KindOfSeries(point.current.key.data_type));
    out.push_back({event, point.point_id, point.path, units[pair.point], c.before, c.after,
                   c.change, c.low, c.high, c.significant, c.reason});
  }
  return out;
}

Status LayeredHistory::AddEvent(const HistoryEvent& event, int64_t* id) {
  return AddEventIn(*this, event, id);
}

Status LayeredHistory::EditEvent(const HistoryEvent& event) {
  return EditEventIn(*this, event);
}

Status LayeredHistory::RemoveEvent(int64_t event_id) {
  return RemoveEventIn(*this, event_id);
}

std::vector<HistoryEvent> LayeredHistory::ListEvents(const EventFilter& filter) {
  return EventsIn(*this, filter, &last_error_);
}

std::vector<EventFigure> LayeredHistory::EventFigures(int32_t days, const std::string& path) {
  // Readings set aside count on neither side.
  std::vector<SetAsideStretch> aside;
  if (last_error_ = ReadyToRead(); !last_error_) return {};
  if (last_error_ = SetAsideIn(*this, {}, &aside); !last_error_) return {};
  std::vector<LeftOutStretch> left_out;
  left_out.reserve(aside.size());
  for (const SetAsideStretch& a : aside) left_out.push_back({a.probe_id, a.from, a.to});
  return EventFiguresIn(*this, window_sums_, days, path, left_out, &last_error_);
}

}  // namespace tarn
