// SPDX-License-Identifier: GPL-3.0-or-later
// The graph windows' one zoom state machine: a left-button drag zooms to the stretch dragged
// over, the wheel zooms by notches, "View All" goes back to the whole. A policy gives each view
// its own units, snapping and wheel steps.
#pragma once

namespace tarn {

enum MouseButton { kMouseNone = 0, kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 4 };

// The visible ranges: X in the view's time units after its base time, Y in value units.
struct PlotSpan {
  int x_lo = 0, x_hi = 0;
  double y_lo = 0.0, y_hi = 0.0;
  bool operator==(const PlotSpan&) const = default;
};

// The pointer over the plot: whether it is inside the plot box, and the time and value there.
struct PlotPoint {
  bool inside = false;
  int x = 0;
  double y = 0.0;
};

// What one view makes of the gestures.
class ZoomPolicy {
 public:
  virtual ~ZoomPolicy() = default;
  // The least drag across, in X units, that zooms; a shorter one is taken for a click.
  virtual int MinDragX() const = 0;
  // False when the view would show too little of the stretch lo..hi to draw: it then stays.
  virtual bool Shows(int lo, int hi) const = 0;
  // The ranges after a wheel turn of `delta` (120 a notch) with the pointer at `at`; only the
  // directions asked for change.
  virtual PlotSpan Wheel(const PlotSpan& now, int delta, const PlotPoint& at, bool along_x,
                         bool along_y) const = 0;
  // What "View All" shows.
  virtual PlotSpan Full() const = 0;
};

class ZoomMachine {
 public:
  // The least drag up or down, in value units, that zooms.
  static constexpr double kMinDragY = 0.1;

  explicit ZoomMachine(const ZoomPolicy* policy) : policy_(policy) {}

  // 1 X, 2 Y, 3 both.
  void SetDragOpt(int opt) { gDragOpt = opt; }
  bool XEnabled() const { return (gDragOpt & 1) != 0; }
  bool YEnabled() const { return (gDragOpt & 2) != 0; }
  // No drag under way (a new showing).
  void Reset() { is_drawing = false; }

  // A press inside the plot box with the left button starts a drag.
  void Press(int button, const PlotPoint& at);
  // Ends a drag: false when none was under way. Otherwise *span becomes what to show: the
  // stretch dragged over in the directions enabled, unchanged for a drag too short, released
  // outside the box, or onto a stretch the policy would not show.
  bool Release(const PlotPoint& at, PlotSpan* span);
  PlotSpan Wheel(int delta, const PlotPoint& at, const PlotSpan& now) const {
    return policy_->Wheel(now, delta, at, XEnabled(), YEnabled());
  }
  PlotSpan Full() const { return policy_->Full(); }

  bool is_drawing = false;
  // Where the drag began, in plot units.
  int gr_posx1 = 0;
  double gr_posy1 = 0.0;
  int gDragOpt = 3;

 private:
  const ZoomPolicy* policy_;
};

}  // namespace tarn
