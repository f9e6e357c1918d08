// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/point_figures.h"

#include <algorithm>

#include "history/point_path.h"

namespace tarn {

void OrderSuccession(std::vector<PointProbe>* probes) {
  std::sort(probes->begin(), probes->end(), [](const PointProbe& a, const PointProbe& b) {
    return a.from != b.from ? a.from < b.from : a.probe_id < b.probe_id;
  });
}

RegressionSums ShiftSums(const RegressionSums& s, double dx, double dy) {
  const double n = static_cast<double>(s.n);
  return {s.n, s.sx + n * dx, s.sy + n * dy, s.sxy + dy * s.sx + dx * s.sy + n * dx * dy,
          s.sxx + 2.0 * dx * s.sx + n * dx * dx};
}

RegressionSums AddSums(const RegressionSums& a, const RegressionSums& b) {
  return {a.n + b.n, a.sx + b.sx, a.sy + b.sy, a.sxy + b.sxy, a.sxx + b.sxx};
}

std::vector<double> CumulativeOffsets(const std::vector<StretchEnds>& ends) {
  std::vector<double> offsets;
  offsets.reserve(ends.size());
  for (std::size_t k = 0; k < ends.size(); ++k) {
    offsets.push_back(k == 0 ? 0.0 : ends[k - 1].last + offsets[k - 1] - ends[k].first);
  }
  return offsets;
}

void FillPointFigures(const RegressionSums& window, PointSummary* point) {
  // The current probe's figures, with the point's series and limits.
  ProbeSummary s = point->current;
  s.limits = point->limits;
  FillProbeFigures(window, &s);
  point->rate = s.rate;
  point->rate_unit = s.rate_unit;
  point->consumed = s.consumed;
  point->end_time = s.end_time;
  point->state = s.state;
  point->state_reason = s.state_reason;
}

namespace {

PointNode* ChildNamed(PointNode* node, const std::string& name, const std::string& path) {
  const std::string key = PointPathKey(name);
  auto it = std::lower_bound(
      node->children.begin(), node->children.end(), key,
      [](const PointNode& c, const std::string& k) { return PointPathKey(c.name) < k; });
  if (it == node->children.end() || PointPathKey(it->name) != key) {
    PointNode child;
    child.name = name;
    child.path = path;
    it = node->children.insert(it, std::move(child));
  }
  return &*it;
}

void Count(PointNode* node, ProbeState state) {
  ++node->points;
  if (state == ProbeState::kAlarm) ++node->alarms;
  if (state == ProbeState::kWarning) ++node->warnings;
  node->state = std::max(node->state, state);
}

}  // namespace

PointNode StatusRollUp(const std::vector<PointSummary>& points) {
  PointNode root;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointSummary& p = points[i];
    PointNode* node = &root;
    Count(node, p.state);
    std::string path;
    for (const std::string& name : PointPathNames(p.path)) {
      path += (path.empty() ? "" : "/") + name;
      node = ChildNamed(node, name, path);
      Count(node, p.state);
    }
    node->point = static_cast<int32_t>(i);
  }
  return root;
}

}  // namespace tarn
