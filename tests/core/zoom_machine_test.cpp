// SPDX-License-Identifier: GPL-3.0-or-later
// The zoom machine with both views' policies: press, drag, release, wheel and reset sequences
// and the ranges they leave.
#include "graph/zoom_machine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "graph/graph_view.h"
#include "graph/grp_values.h"
#include "history/history_graph.h"
#include "settings/settings.h"

namespace tarn {
namespace {

struct Step {
  enum Kind { kPress, kRelease, kWheel, kReset } kind;
  PlotPoint at;
  int button_or_delta = kMouseLeft;  // the button of a press, the delta of a wheel turn
};

Step Press(int x, double y, int button = kMouseLeft) {
  return {Step::kPress, {true, x, y}, button};
}
Step Release(int x, double y, bool inside = true) {
  return {Step::kRelease, {inside, x, y}};
}
Step Wheel(int delta, int x = 0, double y = 0.0, bool inside = false) {
  return {Step::kWheel, {inside, x, y}, delta};
}
Step Reset() {
  return {Step::kReset, {}};
}

struct Case {
  const char* name;
  int drag_opt;
  PlotSpan start;
  std::vector<Step> steps;
  PlotSpan want;
  bool last_release = true;  // what the last release answered
};

// Runs the steps as the views do: a release or wheel turn shows the span it gives, a reset
// (a new showing) ends any drag and "View All" shows the whole.
void Play(const ZoomPolicy& policy, const Case& c) {
  SCOPED_TRACE(c.name);
  ZoomMachine zoom(&policy);
  zoom.SetDragOpt(c.drag_opt);
  PlotSpan span = c.start;
  bool released = true;
  for (const Step& s : c.steps) {
    switch (s.kind) {
      case Step::kPress:
        zoom.Press(s.button_or_delta, s.at);
        break;
      case Step::kRelease:
        released = zoom.Release(s.at, &span);
        EXPECT_FALSE(zoom.is_drawing);
        break;
      case Step::kWheel:
        span = zoom.Wheel(s.button_or_delta, s.at, span);
        break;
      case Step::kReset:
        zoom.Reset();
        span = zoom.Full();
        break;
    }
  }
  EXPECT_EQ(released, c.last_release);
  EXPECT_EQ(span.x_lo, c.want.x_lo);
  EXPECT_EQ(span.x_hi, c.want.x_hi);
  EXPECT_DOUBLE_EQ(span.y_lo, c.want.y_lo);
  EXPECT_DOUBLE_EQ(span.y_hi, c.want.y_hi);
}

// Samples at the given minutes after 01/03/2024 00:00.
std::unique_ptr<_grp_values_> Samples(const std::vector<int>& minutes) {
  DateTime base;
  MakeDateTime(2024, 3, 1, 0, 0, 0, &base);
  auto grp = std::make_unique<_grp_values_>();
  int p = 0;
  for (int m : minutes)
    if (StoreGrpSample(*grp, p, TimeSpan2Str(base, m) + ":00", 1.0)) ++p;
  FinishGrpValues(*grp, p, 0, "Z");
  return grp;
}

std::vector<int> Every(int step, int last) {
  std::vector<int> v;
  for (int m = 0; m <= last; m += step) v.push_back(m);
  return v;
}

TEST(ZoomMachine, SamplePolicyInMinutesSnappedToSamples) {
  const auto even = Samples(Every(10, 600));
  const auto gap = Samples({0, 10, 20, 500, 510});
  _basic_set_ setup{};
  setup.y_low = 0.0;
  setup.y_high = 10.0;
  const SampleZoom policy(*even, setup);
  const SampleZoom gap_policy(*gap, setup);
  const PlotSpan all{0, 600, 0.0, 10.0};
  const Case cases[] = {
      {"drag across", 1, all, {Press(101, 5), Release(135, 9)}, {101, 135, 0.0, 10.0}},
      {"right to left", 1, all, {Press(135, 5), Release(101, 1)}, {101, 135, 0.0, 10.0}},
      {"20 minutes is a click", 1, all, {Press(100, 5), Release(120, 5)}, all},
      {"21 minutes zooms", 1, all, {Press(100, 5), Release(121, 5)}, {100, 121, 0.0, 10.0}},
      {"released outside", 3, all, {Press(100, 2), Release(300, 8, false)}, all},
      {"right button", 3, all, {Press(100, 2, kMouseRight), Release(300, 8)}, all, false},
      {"release without press", 3, all, {Release(300, 8)}, all, false},
      {"a new showing ends the drag",
       3,
       all,
       {Press(100, 2), Reset(), Release(300, 8)},
       all,
       false},
      {"up and down", 2, all, {Press(100, 7.5), Release(300, 2.0)}, {0, 600, 2.0, 7.5}},
      {"a tenth is a click", 2, all, {Press(100, 5.0), Release(300, 5.1)}, all},
      {"both ways", 3, all, {Press(100, 2.0), Release(300, 8.0)}, {100, 300, 2.0, 8.0}},
      {"wheel out at the ends", 3, all, {Wheel(120)}, {0, 600, -1.0, 11.0}},
      {"wheel in", 3, {100, 200, 0.0, 10.0}, {Wheel(-120)}, {110, 190, 1.0, 9.0}},
      {"wheel in, five samples stay",
       1,
       {100, 140, 0.0, 10.0},
       {Wheel(-120)},
       {100, 140, 0.0, 10.0}},
      {"wheel in, six samples", 1, {100, 150, 0.0, 10.0}, {Wheel(-120)}, {110, 140, 0.0, 10.0}},
      {"wheel in, Y two units wide", 2, {0, 600, 0.0, 2.05}, {Wheel(-120)}, {0, 600, 0.0, 2.05}},
      {"wheel out then in",
       1,
       {100, 200, 0.0, 10.0},
       {Wheel(120), Wheel(-120)},
       {100, 200, 0.0, 10.0}},
      {"zoom then View All", 3, all, {Press(100, 2.0), Release(300, 8.0), Reset()}, all},
  };
  for (const Case& c : cases) Play(policy, c);

  // Across a gap between readings the view would hold one sample: it stays, in Y too.
  const PlotSpan gap_all{0, 510, 0.0, 10.0};
  const Case gap_cases[] = {
      {"inside the gap", 3, gap_all, {Press(100, 2.0), Release(400, 8.0)}, gap_all},
      {"onto the first sample after it", 1, gap_all, {Press(100, 2.0), Release(500, 8.0)}, gap_all},
      {"over two samples", 1, gap_all, {Press(100, 2.0), Release(510, 8.0)}, {100, 510, 0.0, 10.0}},
      {"View All", 1, {10, 20, 3.0, 4.0}, {Reset()}, gap_all},
  };
  for (const Case& c : gap_cases) Play(gap_policy, c);
}

TEST(ZoomMachine, HistoryPolicyInSecondsAroundThePointer) {
  std::vector<HistorySeries> series(1);
  for (int t = 0; t <= 60000; t += 600) {
    series[0].x.push_back(t);
    series[0].y.push_back(1.0);
  }
  HistoryZoom policy(&series);
  policy.full_max = 60000;
  policy.y_low = 0.0;
  policy.y_high = 10.0;
  const PlotSpan all{0, 60000, 0.0, 10.0};
  const Case cases[] = {
      {"20 minutes is a click", 1, all, {Press(1000, 5), Release(2200, 5)}, all},
      {"a second more zooms", 1, all, {Press(1000, 5), Release(2201, 5)}, {1000, 2201, 0.0, 10.0}},
      {"any stretch is shown",
       3,
       all,
       {Press(100, 2.0), Release(1400, 8.0)},
       {100, 1400, 2.0, 8.0}},
      {"a notch in at the pointer",
       3,
       all,
       {Wheel(120, 30000, 5.0, true)},
       {6000, 54000, 1.0, 9.0}},
      {"off centre", 3, all, {Wheel(120, 10000, 2.0, true)}, {2000, 50000, 0.4, 8.4}},
      {"outside: around the middle",
       1,
       all,
       {Wheel(120, 10000, 2.0, false)},
       {6000, 54000, 0.0, 10.0}},
      {"out from the whole stays within it", 1, all, {Wheel(-120, 30000, 5.0, true)}, all},
      {"out near an end slides back",
       1,
       {0, 30000, 0.0, 10.0},
       {Wheel(-120, 3000, 5.0, true)},
       {0, 37500, 0.0, 10.0}},
      {"in stops before one reading", 1, {0, 600, 0.0, 10.0}, {Wheel(120)}, {0, 600, 0.0, 10.0}},
      {"Y only", 2, all, {Wheel(120, 30000, 5.0, true)}, {0, 60000, 1.0, 9.0}},
      {"View All", 3, {600, 1200, 3.0, 4.0}, {Reset()}, all},
  };
  for (const Case& c : cases) Play(policy, c);

  // With nothing read yet the wheel cannot zoom in, but out it still can.
  std::vector<HistorySeries> none;
  HistoryZoom empty(&none);
  empty.full_max = 60000;
  Play(empty, {"nothing read",
               1,
               {6000, 54000, 0.0, 1.0},
               {Wheel(120, 30000, 0.5, true)},
               {6000, 54000, 0.0, 1.0}});
  Play(empty, {"nothing read, out",
               1,
               {6000, 54000, 0.0, 1.0},
               {Wheel(-120, 30000, 0.5, true)},
               {0, 60000, 0.0, 1.0}});
}

}  // namespace
}  // namespace tarn
