// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/zoom_machine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarn {

void ZoomMachine::Press(int button, const PlotPoint& at) {
  if (!at.inside || button != kMouseLeft) return;
  is_drawing = true;
  gr_posx1 = at.x;
  gr_posy1 = at.y;
}

bool ZoomMachine::Release(const PlotPoint& at, PlotSpan* span) {
  if (!is_drawing) return false;
  is_drawing = false;
  bool keep = false;  // the drag chose a stretch not worth showing
  if (XEnabled() && at.inside && std::abs(at.x - gr_posx1) > policy_->MinDragX()) {
    const int lo = std::min(at.x, gr_posx1);
    const int hi = std::max(at.x, gr_posx1);
    keep = !policy_->Shows(lo, hi);
    if (!keep) {
      span->x_lo = lo;
      span->x_hi = hi;
    }
  }
  if (YEnabled() && at.inside && !keep && std::abs(at.y - gr_posy1) > kMinDragY) {
    span->y_lo = std::min(at.y, gr_posy1);
    span->y_hi = std::max(at.y, gr_posy1);
  }
  return true;
}

}  // namespace tarn
