// SPDX-License-Identifier: GPL-3.0-or-later
// Events on the history and the readings their figures compare: the kinds' words, which points
// an event applies to, and the split of a point's series into the days before and after it.
// Pure functions shared by every history back end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history/rate_change.h"

namespace tarn {

// A stretch of a probe's readings, from <= time <= to, that no figure counts (readings set
// aside).
struct LeftOutStretch {
  int64_t probe_id = 0;
  HistoryTime from = 0;
  HistoryTime to = 0;
};

// The days compared on each side of an event.
inline constexpr int32_t kDefaultEventDays = 30;
inline constexpr int32_t kMaxEventDays = 365;

// "inhibitor", "process", "cleaning", "probe", "other".
const char* EventKindWord(EventKind kind);
// The kind a word names, in any letter case; false when it names none.
bool ParseEventKind(const std::string& word, EventKind* kind);
// The event as the trail writes it (UTF-8): "inhibitor at 03/03/2026 10:00:00 on North/V-101:
// dose up".
std::string EventText(const HistoryEvent& event);

// True when an event on the path with key `event_key` applies to the point with key
// `point_key`: the point's path is the event's or lies under it, by whole names.
bool EventApplies(const std::string& event_key, const std::string& point_key);
// True when an event applies to some point at or under the path with key `filter_key` (the
// event is on a path above it, on it or under it).
bool EventConcerns(const std::string& event_key, const std::string& filter_key);

// The readings on each side of an event at `at`: before, at - days <= time < at; after,
// at <= time < at + days; x in days from the event.
struct EventSides {
  SideSums before;
  SideSums after;
};
// Adds one probe's readings (each plus `offset`) to the sides, leaving out those in the probe's
// `left_out` stretches and those outside both sides.
void AddToSides(const std::vector<HistoryReading>& readings, double offset, int64_t probe_id,
                HistoryTime at, int32_t days, const std::vector<LeftOutStretch>& left_out,
                EventSides* sides);

}  // namespace tarn
