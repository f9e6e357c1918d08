// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of monitoring points: the order of a point's probes, the cumulative metal loss
// across replacements, the point's figures from the sums of that series, and the roll-up of
// points' states into sites and units. Pure functions shared by every history back end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history/probe_figures.h"

namespace tarn {

// The point's probes in succession: by the time each counts from, then by id.
void OrderSuccession(std::vector<PointProbe>* probes);

// Sums of the same readings with x moved by dx and y by dy.
RegressionSums ShiftSums(const RegressionSums& s, double dx, double dy);
// Sums of two sets of readings (same origin).
RegressionSums AddSums(const RegressionSums& a, const RegressionSums& b);

// One probe's readings at a point: its first and last value there.
struct StretchEnds {
  double first = 0.0;
  double last = 0.0;
};
// What to add to each probe's values for the point's cumulative series: the first probe's are
// as they are, and each later probe's first reading starts where the one before it left off.
std::vector<double> CumulativeOffsets(const std::vector<StretchEnds>& ends);

// Fills the point's rate, consumed share, end date and state from the sums of its (cumulative)
// series over the window ending at its last reading (x in days from any origin), its current
// probe and its limits.
void FillPointFigures(const RegressionSums& window, PointSummary* point);

// A site, unit or point of the plant tree.
struct PointNode {
  std::string name;  // the last name of its path; empty for the root
  std::string path;
  int32_t point = -1;  // index in the list of the point at this path, -1 when none is
  ProbeState state = ProbeState::kOk;  // the worst of the points at and under it
  int32_t points = 0;
  int32_t alarms = 0;
  int32_t warnings = 0;
  std::vector<PointNode> children;  // by name, compared as paths are
};
// The tree of the points' paths, each node with the worst state and the counts below it.
PointNode StatusRollUp(const std::vector<PointSummary>& points);

}  // namespace tarn
