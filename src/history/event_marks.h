// SPDX-License-Identifier: GPL-3.0-or-later
// Events as a history graph shows them: each kind's symbol and colour, the marks with their
// short labels, and the read-out of an event's rate before and after.
#pragma once

#include <string>
#include <vector>

#include "history/history_graph.h"
#include "history/history_store.h"

namespace tarn {

// "Inhibitor", "Process", "Cleaning", "Probe", "Other".
const char* EventKindTitle(EventKind kind);
// A symbol each kind is known by on a graph (UTF-8).
const char* EventSymbol(EventKind kind);
uint32_t EventColor(EventKind kind);

// One mark per event: its kind's symbol and the start of its note (the kind's title without
// one), in the kind's colour.
std::vector<GraphMark> EventMarks(const std::vector<HistoryEvent>& events);

// One mark per fall flagged for review within `spans` (each probe's part of the graph), at the
// reading after the fall: "▼ fall 0.1234", in amber.
std::vector<GraphMark> FlagMarks(const std::vector<StepDownFlag>& flags,
                                 const std::vector<SetAsideStretch>& spans);

// "Inhibitor 03/03/2026: 8.4 → 2.1 mpy, change −6.3 (−7.1 to −5.5), significant"; with the
// reason instead of the figures when they could not be had.
std::string EventReadout(const EventFigure& figure);

}  // namespace tarn
