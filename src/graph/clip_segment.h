// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting a line segment to a rectangle, for the drawing surfaces: a series far outside the view
// is neither stroked whole nor handed to a painter whose fixed-point coordinates would overflow.
#pragma once

namespace tarn {

struct Segment {
  double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
};

// The rectangle's edges, both included.
struct ClipBox {
  double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
};

// Cuts *s to the box (Liang-Barsky), keeping its direction. False, with *s unchanged, when no
// part of it lies in the box.
bool ClipSegment(Segment* s, const ClipBox& box);

}  // namespace tarn
