// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/clip_segment.h"

#include <algorithm>

namespace tarn {

bool ClipSegment(Segment* s, const ClipBox& box) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = s->x2 - s->x1, dy = s->y2 - s->y1;
  // Distances to the left, right, top and bottom edges, and how fast the segment closes them.
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {s->x1 - box.left, box.right - s->x1, s->y1 - box.top, box.bottom - s->y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      // Parallel to this edge: wholly outside it, or no limit from it.
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  // An end inside the box stays exactly where it was.
  const Segment whole = *s;
  if (t0 > 0.0) {
    s->x1 = whole.x1 + t0 * dx;
    s->y1 = whole.y1 + t0 * dy;
  }
  if (t1 < 1.0) {
    s->x2 = whole.x1 + t1 * dx;
    s->y2 = whole.y1 + t1 * dy;
  }
  return true;
}

}  // namespace tarn
