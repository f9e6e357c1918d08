// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/graph_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "common/date_time.h"
#include "core/fake_surface.h"
#include "graph/grp_values.h"

namespace tarn {
namespace {

using testing::FakeSurface;

constexpr uint32_t kData = 0xFF0000FFu;
constexpr uint32_t kTrend = 0xFFFF0000u;

DateTime Base() {
  DateTime t;
  MakeDateTime(2024, 3, 1, 0, 0, 0, &t);
  return t;
}

// n samples every `step` minutes from 01/03/2024 00:00, value f(i).
std::unique_ptr<_grp_values_> Series(int n, int step, int data_type,
                                     const std::function<double(int)>& f) {
  auto grp = std::make_unique<_grp_values_>();
  int p = 0;
  for (int i = 0; i < n; ++i) {
    if (StoreGrpSample(*grp, p, TimeSpan2Str(Base(), double(i) * step) + ":00", f(i))) ++p;
  }
  FinishGrpValues(*grp, p, data_type, "P-1");
  return grp;
}

_basic_set_ Settings(double y_low = 0.0, double y_high = 10.0) {
  _basic_set_ s{};
  s.y_low = y_low;
  s.y_high = y_high;
  s.data_color = static_cast<int32_t>(kData);
  s.trend_color = static_cast<int32_t>(kTrend);
  s.data_line = 1.0f;
  s.trend_line = 2.0f;
  return s;
}

// A view opened on a 1024 by 600 panel and drawn once, as the window does when shown.
struct Window {
  std::unique_ptr<_grp_values_> grp;
  _basic_set_ setup;
  FakeSurface* surface = nullptr;
  std::unique_ptr<GraphView> view;

  Window(std::unique_ptr<_grp_values_> g, _basic_set_ s = Settings())
      : grp(std::move(g)), setup(s) {
    view = std::make_unique<GraphView>(*grp, setup, FakeSurface::Factory(&surface));
    view->gInit(1024, 600);
    view->RedrawGraph();
  }
  PlotEngine& e() { return view->engine; }
  // The first pixel column inside the box whose time is at least t.
  int XFor(double t) {
    int xf;
    double yf;
    for (int x = e().gX1 + 1; x < e().gX2; ++x) {
      if (e().gMousePos(x, 300, &xf, &yf) && xf >= t) return x;
    }
    return -1;
  }
  int TimeAt(int x) {
    int xf;
    double yf;
    e().gMousePos(x, 300, &xf, &yf);
    return xf;
  }
  void Drag(int x1, int y1, int x2, int y2) {
    view->OnMouseDown(kMouseLeft, x1, y1);
    view->OnMouseMove(kMouseLeft, (x1 + x2) / 2, (y1 + y2) / 2);
    view->OnMouseMove(kMouseLeft, x2, y2);
    view->OnMouseUp(kMouseLeft, x2, y2);
  }
  void Show(int first, int last) {
    e().grMinx = grp->elapsed[first];
    e().grMaxx = grp->elapsed[last];
    view->RedrawGraph();
  }
};

TEST(GraphView, InitialisesRangesTitlesAndColours) {
  auto grp = Series(5, 60, 0, [](int i) { return i * 0.5; });
  grp->tag[0] = '\xDC';  // Windows-1252 text in the record
  Window w(std::move(grp), Settings(-2.0, 8.0));
  PlotEngine& e = w.e();
  GraphView& v = *w.view;
  EXPECT_EQ(e.grMinx, 0);
  EXPECT_EQ(e.grMaxx, 240);
  EXPECT_EQ(e.gridX, 4);
  EXPECT_EQ(e.gridY, 10);
  EXPECT_EQ(e.gTitle, "Tag : \xC3\x9C-1");
  EXPECT_EQ(e.gTitlex, "Date / Time");
  EXPECT_EQ(e.gTitley, "Metal Loss (mils)");
  EXPECT_EQ(v.cl_data, kData);
  EXPECT_EQ(v.cl_trend, kTrend);
  EXPECT_EQ(v.zoom.gDragOpt, 3);
  EXPECT_TRUE(v.resized_scr);
  EXPECT_EQ(w.surface->Width(), 1024);
  EXPECT_NE(w.surface->FindText("Tag : \xC3\x9C-1"), nullptr);
  EXPECT_NE(w.surface->FindText("01/03/2024"), nullptr);

  // The check boxes keep their state over a closing and the next showing; the settings'
  // Y range comes back with it.
  v.view_trend = false;
  v.yaxis_auto = false;
  v.cl_data = 0xFF00FF00u;
  v.gClose(w.setup);
  EXPECT_FALSE(v.HasBitmap());
  EXPECT_EQ(static_cast<uint32_t>(w.setup.data_color), 0xFF00FF00u);
  EXPECT_EQ(static_cast<uint32_t>(w.setup.trend_color), kTrend);
  v.RedrawGraph();  // a paint after closing finds no bitmap and does nothing
  v.gInit(800, 500);
  v.RedrawGraph();
  EXPECT_FALSE(v.view_trend);
  EXPECT_FALSE(v.yaxis_auto);
  EXPECT_DOUBLE_EQ(e.grMiny, -2.0);
  EXPECT_DOUBLE_EQ(e.grMaxy, 8.0);
  EXPECT_EQ(v.cl_data, 0xFF00FF00u);
}

TEST(GraphView, EventsBeforeTheFirstShowingAreIgnored) {
  auto grp = Series(3, 60, 0, [](int i) { return i; });
  _basic_set_ setup = Settings();
  GraphView v(*grp, setup, FakeSurface::Factory());
  v.RedrawGraph();
  v.ResizeGraph(800, 600);
  EXPECT_TRUE(v.OnMouseMove(kMouseNone, 300, 300).ignored);
  EXPECT_FALSE(v.HasBitmap());
}

TEST(GraphView, RangeSnapsForwardToSamplesAndAutoRangeFollowsVisibleData) {
  Window w(Series(10, 60, 1, [](int i) { return i * i; }));
  PlotEngine& e = w.e();
  e.grMinx = 61;
  e.grMaxx = 150;
  w.view->RedrawGraph();
  EXPECT_EQ(w.view->gpx1, 2);
  EXPECT_EQ(w.view->gpx2, 3);
  EXPECT_EQ(e.grMinx, 120);
  EXPECT_EQ(e.grMaxx, 180);
  EXPECT_DOUBLE_EQ(e.grMiny, 4 - 0.5);
  EXPECT_DOUBLE_EQ(e.grMaxy, 9 + 0.5);
  // Unchecking the auto range keeps the last computed one...
  w.view->yaxis_auto = false;
  w.view->ViewAll();
  EXPECT_DOUBLE_EQ(e.grMiny, 0.0);  // ...until "View All" brings the settings' range back
  EXPECT_DOUBLE_EQ(e.grMaxy, 10.0);
  EXPECT_EQ(w.view->gpx2, 9);
  w.view->yaxis_auto = true;
  w.Show(2, 3);
  w.view->yaxis_auto = false;
  w.view->RedrawGraph();
  EXPECT_DOUBLE_EQ(e.grMiny, 3.5);
  EXPECT_DOUBLE_EQ(e.grMaxy, 9.5);
  // "View All" with the auto range on follows the whole series.
  w.view->yaxis_auto = true;
  w.view->ViewAll();
  EXPECT_EQ(e.grMinx, 0);
  EXPECT_EQ(e.grMaxx, 540);
  EXPECT_DOUBLE_EQ(e.grMiny, -0.5);
  EXPECT_DOUBLE_EQ(e.grMaxy, 81.5);
}

TEST(GraphView, ReadOutToleranceForHourlySamples) {
  Window w(Series(6, 60, 0, [](int i) { return i * 1.25; }));
  GraphView& v = *w.view;
  EXPECT_EQ(v.PutValue(60), "01/03/2024 01:00 , 1.2500");
  EXPECT_EQ(v.PutValue(50), "01/03/2024 01:00 , 1.2500");  // 10 before
  EXPECT_EQ(v.PutValue(70), "01/03/2024 01:00 , 1.2500");  // 10 after
  EXPECT_EQ(v.PutValue(48), "01/03/2024 01:00 , 1.2500");  // 12 < 13
  EXPECT_EQ(v.PutValue(47), "");                           // 13 is not below 13
  EXPECT_EQ(v.PutValue(90), "");                           // midway
  EXPECT_EQ(v.PutValue(0), "01/03/2024 00:00 , 0.0000");
  EXPECT_EQ(v.PutValue(300), "01/03/2024 05:00 , 6.2500");
  // Close samples: the tolerance is at least 2, and the later sample wins.
  Window c(Series(4, 1, 0, [](int i) { return i; }));
  EXPECT_EQ(c.view->PutValue(1), "01/03/2024 00:01 , 1.0000");
  v.SetDecimalSeparator(",");
  EXPECT_EQ(v.PutValue(120), "01/03/2024 02:00 , 2,5000");

  // Through the pointer: inside the box the read-out, outside an empty one.
  const PointerResult in = v.OnMouseMove(kMouseNone, w.XFor(60), 300);
  EXPECT_FALSE(in.ignored);
  EXPECT_TRUE(in.inside);
  EXPECT_EQ(in.readout, "01/03/2024 01:00 , 1,2500");
  const PointerResult out = v.OnMouseMove(kMouseNone, w.e().gX1 - 5, 300);
  EXPECT_FALSE(out.inside);
  EXPECT_EQ(out.readout, "");
}

TEST(GraphView, DragZoomsOnlyBeyondTwentyMinutes) {
  // Samples every 10 minutes, 0 to 600.
  Window w(Series(61, 10, 1, [](int i) { return i % 7; }));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  v.yaxis_auto = false;
  v.ViewAll();
  v.SetDragOpt(1);

  const int a = w.XFor(101);
  const int b15 = w.XFor(w.TimeAt(a) + 15);
  ASSERT_LE(w.TimeAt(b15) - w.TimeAt(a), 20);
  w.Drag(a, 300, b15, 300);
  EXPECT_EQ(e.grMinx, 0);
  EXPECT_EQ(e.grMaxx, 600);
  EXPECT_TRUE(v.resized_scr);  // redrawn all the same

  const int b30 = w.XFor(w.TimeAt(a) + 30);
  const int t1 = w.TimeAt(a), t2 = w.TimeAt(b30);
  ASSERT_GT(t1, 100);
  ASSERT_LT(t1, 110);
  ASSERT_GT(t2, 130);
  ASSERT_LT(t2, 140);
  w.Drag(a, 300, b30, 300);
  EXPECT_EQ(e.grMinx, 110);  // first samples at or after both ends
  EXPECT_EQ(e.grMaxx, 140);
  EXPECT_EQ(v.gpx1, 11);
  EXPECT_EQ(v.gpx2, 14);
  EXPECT_DOUBLE_EQ(e.grMiny, 0.0);  // X only
  EXPECT_DOUBLE_EQ(e.grMaxy, 10.0);

  // Right to left gives the same range.
  v.ViewAll();
  w.Drag(b30, 300, a, 300);
  EXPECT_EQ(e.grMinx, 110);
  EXPECT_EQ(e.grMaxx, 140);

  // Released outside the box, or a drag begun with another button: no zoom.
  v.ViewAll();
  w.Drag(a, 300, e.gX2 + 10, 300);
  EXPECT_EQ(e.grMaxx, 600);
  v.OnMouseDown(kMouseRight, a, 300);
  EXPECT_FALSE(v.zoom.is_drawing);
  EXPECT_FALSE(v.OnMouseUp(kMouseRight, b30, 300));
  EXPECT_EQ(e.grMaxx, 600);
}

TEST(GraphView, DragInYNeedsMoreThanATenth) {
  Window w(Series(61, 10, 1, [](int i) { return i % 7; }));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  v.yaxis_auto = false;
  v.ViewAll();
  v.SetDragOpt(2);
  // 0..10 over 260 rows: 2 rows are 0.077, 10 rows 0.385.
  const int x = w.XFor(300);
  w.Drag(x, 200, x + 100, 202);
  EXPECT_DOUBLE_EQ(e.grMiny, 0.0);
  EXPECT_DOUBLE_EQ(e.grMaxy, 10.0);
  w.Drag(x, 402, x, 200);
  EXPECT_EQ(e.grMaxx, 600);  // Y only
  EXPECT_NEAR(e.grMaxy, 10.0 * (e.gY2 - 200) / (e.gbH - 1), 1e-9);
  EXPECT_NEAR(e.grMiny, 10.0 * (e.gY2 - 402) / (e.gbH - 1), 1e-9);
}

TEST(GraphView, DragAcrossAGapKeepsTheView) {
  // Samples at 0, 10, 20, then 500, 510: a drag from 100 to 400 would snap both ends to 500,
  // a single sample, so the whole series stays in view.
  auto grp = std::make_unique<_grp_values_>();
  const int minutes[] = {0, 10, 20, 500, 510};
  for (int i = 0; i < 5; ++i)
    StoreGrpSample(*grp, i, TimeSpan2Str(Base(), minutes[i]) + ":00", i * 2.0);
  FinishGrpValues(*grp, 5, 0, "GAP");
  Window w(std::move(grp));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  const double a_before = v.const_a;
  w.Drag(w.XFor(100), 300, w.XFor(400), 300);
  EXPECT_EQ(v.gpx1, 0);
  EXPECT_EQ(v.gpx2, 4);
  EXPECT_EQ(e.grMinx, 0);
  EXPECT_EQ(e.grMaxx, 510);
  EXPECT_EQ(w.surface->polylines.size(), 1u);
  EXPECT_DOUBLE_EQ(v.const_a, a_before);
  EXPECT_EQ(e.sX1, -1);  // the cursor lines of the drag are gone
  EXPECT_EQ(e.sX2, -1);
}

TEST(GraphView, WheelZoomsBySamplesAndValueUnits) {
  Window w(Series(20, 60, 1, [](int i) { return i % 3; }));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  // 6 visible samples, a notch toward the user leaves 4.
  w.Show(2, 7);
  v.SetDragOpt(1);
  v.OnMouseWheel(-120);
  EXPECT_EQ(v.gpx1, 3);
  EXPECT_EQ(v.gpx2, 6);
  EXPECT_EQ(e.grMinx, 180);
  EXPECT_EQ(e.grMaxx, 360);
  // 5 visible samples: nothing in X.
  w.Show(2, 6);
  v.OnMouseWheel(-120);
  EXPECT_EQ(v.gpx1, 2);
  EXPECT_EQ(v.gpx2, 6);
  // Away from the user at both ends of the series: unchanged.
  v.ViewAll();
  v.OnMouseWheel(120);
  EXPECT_EQ(v.gpx1, 0);
  EXPECT_EQ(v.gpx2, 19);
  EXPECT_EQ(e.grMaxx, 1140);
  w.Show(0, 5);
  v.OnMouseWheel(120);
  EXPECT_EQ(v.gpx1, 0);
  EXPECT_EQ(v.gpx2, 6);

  // Y range 0 to 3 without the auto range: 1 to 2, then no further.
  w.setup.y_low = 0;
  w.setup.y_high = 3;
  v.yaxis_auto = false;
  v.SetDragOpt(2);
  v.ViewAll();
  v.OnMouseWheel(-120);
  EXPECT_DOUBLE_EQ(e.grMiny, 1.0);
  EXPECT_DOUBLE_EQ(e.grMaxy, 2.0);
  v.OnMouseWheel(-120);
  EXPECT_DOUBLE_EQ(e.grMiny, 1.0);
  EXPECT_DOUBLE_EQ(e.grMaxy, 2.0);
  EXPECT_EQ(v.gpx2, 19);  // Y only
  v.OnMouseWheel(120);
  EXPECT_DOUBLE_EQ(e.grMiny, 0.0);
  EXPECT_DOUBLE_EQ(e.grMaxy, 3.0);
  // With the auto range on, the redraw puts the data's range back.
  v.yaxis_auto = true;
  v.OnMouseWheel(120);
  EXPECT_DOUBLE_EQ(e.grMiny, -0.5);
  EXPECT_DOUBLE_EQ(e.grMaxy, 2.5);
}

TEST(GraphView, CorrosionRateTextFollowsTheVisibleEnds) {
  // Metal loss 1 mil a day for 4 days, then 2 mils a day.
  Window w(Series(9, 1440, 0, [](int i) { return i <= 4 ? i : 4 + 2.0 * (i - 4); }));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  const std::string all = "Corrosion Rate : " + std::string("547.5000") + " mpy";
  const auto* t = w.surface->FindText(all);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->x, e.gX2 - static_cast<int>(all.size()) * FakeSurface::kCharWidth + 20);
  EXPECT_EQ(t->y, 25);
  w.Show(0, 4);
  EXPECT_NE(w.surface->FindText("Corrosion Rate : 365.0000 mpy"), nullptr);
  w.Show(5, 8);
  EXPECT_NE(w.surface->FindText("Corrosion Rate : 730.0000 mpy"), nullptr);
  v.SetDecimalSeparator(",");
  v.RedrawGraph();
  EXPECT_NE(w.surface->FindText("Corrosion Rate : 730,0000 mpy"), nullptr);
  EXPECT_EQ(v.GetCrateStr(0, 4), "365,0000");

  // A corrosion-rate series has no rate text.
  Window lpr(Series(9, 1440, 1, [](int i) { return i; }));
  EXPECT_FALSE(lpr.surface->HasTextStartingWith("Corrosion Rate : "));
}

TEST(GraphView, TrendTextGivesTheDrawnLinesSlopeAndFitBesideTheRate) {
  // Daily samples; the slope is the least-squares line's, per year, and R² its fit.
  const struct {
    int data_type;
    std::function<double(int)> f;
    const char* trend;  // empty: no trend text
  } cases[] = {
      {0, [](int i) { return double(i); }, "Trend 365.0000 mpy, R² 1.00"},
      {0, [](int i) { return i <= 4 ? i : 4 + 2.0 * (i - 4); }, "Trend 547.5000 mpy, R² 0.97"},
      {4, [](int i) { return i / 2 + (i % 2) * 2.0; }, "Trend 182.5000 mpy, R² 0.75"},
      {0, [](int) { return 3.0; }, "Trend 0.0000 mpy"},  // nothing varies: no fit to give
      {1, [](int i) { return double(i); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trend);
    Window w(Series(9, 1440, c.data_type, c.f));
    EXPECT_EQ(w.view->TrendStr(), c.trend);
    if (*c.trend == 0) {
      for (const auto& t : w.surface->texts)
        EXPECT_TRUE(t.text.rfind("Trend ", 0) != 0 || t.text == "Trend Line") << t.text;
      continue;
    }
    // On the line below the rate, ending where it ends.
    const auto* rate =
        w.surface->FindText("Corrosion Rate : " + w.view->GetCrateStr(0, 8) + " mpy");
    const auto* trend = w.surface->FindText(c.trend);
    ASSERT_NE(rate, nullptr);
    ASSERT_NE(trend, nullptr);
    EXPECT_GT(trend->y, rate->y);
    EXPECT_EQ(trend->x + w.surface->TextWidth(c.trend, w.e().gFontTitlex),
              rate->x + w.surface->TextWidth(rate->text, w.e().gFontTitlex));
  }

  // Zoomed to the last four days the figure follows the view: 2 mils a day, an exact fit.
  Window w(Series(9, 1440, 0, [](int i) { return i <= 4 ? i : 4 + 2.0 * (i - 4); }));
  w.Show(5, 8);
  EXPECT_NE(w.surface->FindText("Trend 730.0000 mpy, R² 1.00"), nullptr);
  w.view->SetDecimalSeparator(",");
  w.view->RedrawGraph();
  EXPECT_NE(w.surface->FindText("Trend 730,0000 mpy, R² 1,00"), nullptr);
}

TEST(GraphView, LegendAndFrameStayWithSeriesAndTrendOff) {
  Window w(Series(9, 1440, 0, [](int i) { return i; }));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  v.view_data = false;
  v.view_trend = false;
  v.RedrawGraph();
  const FakeSurface& s = *w.surface;
  EXPECT_TRUE(s.polylines.empty());
  bool data_sample = false, trend_sample = false;
  for (const auto& l : s.lines) {
    EXPECT_FALSE(l.clipped) << "nothing is drawn inside the box";
    if (l.x1 == e.gX1 && l.x2 == e.gX1 + 45 && l.y1 == 27 && l.y2 == 27 && l.argb == kData &&
        l.width == 6.0f)
      data_sample = true;
    if (l.x1 == e.gX1 && l.x2 == e.gX1 + 45 && l.y1 == 39 && l.argb == kTrend && l.width == 6.0f)
      trend_sample = true;
  }
  EXPECT_TRUE(data_sample);
  EXPECT_TRUE(trend_sample);
  const auto* title = s.FindText("Metal Loss (mils)");
  ASSERT_NE(title, nullptr);  // the legend's copy comes first (the rotated one follows)
  const auto* trend = s.FindText("Trend Line");
  ASSERT_NE(trend, nullptr);
  EXPECT_EQ(trend->x, e.gX1 + 50);
  EXPECT_EQ(trend->y, 32);
  bool legend_title = false;
  for (const auto& t : s.texts)
    if (t.text == "Metal Loss (mils)" && t.x == e.gX1 + 50 && t.y == 20) legend_title = true;
  EXPECT_TRUE(legend_title);
  EXPECT_TRUE(s.HasTextStartingWith("Corrosion Rate : "));
  EXPECT_EQ(s.rects.size(), 1u);
  EXPECT_NE(s.FindText("8.50"), nullptr);

  // Both on: the series and the trend line inside the clip, with the settings' widths.
  v.view_data = true;
  v.view_trend = true;
  v.RedrawGraph();
  ASSERT_EQ(s.polylines.size(), 1u);
  EXPECT_TRUE(s.polylines[0].clipped);
  EXPECT_EQ(s.polylines[0].argb, kData);
  EXPECT_EQ(s.clip_rect.x, e.gX1 + 1);
  EXPECT_EQ(s.clip_rect.w, e.gbW - 2);
  const auto& trend_line = s.lines.back();
  EXPECT_TRUE(trend_line.clipped);
  EXPECT_EQ(trend_line.argb, kTrend);
  EXPECT_FLOAT_EQ(trend_line.width, 2.0f);
}

TEST(GraphView, TrendLineOverTheVisibleSamples) {
  Window w(Series(11, 30, 0, [](int i) { return 2.0 + 0.01 * 30 * i; }));
  GraphView& v = *w.view;
  EXPECT_NEAR(v.const_a, 0.01, 1e-12);
  EXPECT_NEAR(v.const_b, 2.0, 1e-9);
  v.GetRegXY();
  EXPECT_DOUBLE_EQ(v.reg_x1, 0);
  EXPECT_DOUBLE_EQ(v.reg_x2, 300);
  EXPECT_NEAR(v.reg_y2, 5.0, 1e-9);
  w.Show(4, 6);
  v.GetRegXY();
  EXPECT_DOUBLE_EQ(v.reg_x1, 120);
  EXPECT_DOUBLE_EQ(v.reg_x2, 180);
  EXPECT_NEAR(v.reg_y1, 3.2, 1e-9);
  // Only sample 0 visible: the constants of the previous redraw stay.
  Window z(Series(5, 60, 0, [](int i) { return i * i; }));
  const double a = z.view->const_a, b = z.view->const_b;
  z.Show(0, 0);
  EXPECT_EQ(z.view->const_a, a);
  EXPECT_EQ(z.view->const_b, b);
  // A noisy series: the least-squares fit, computed by hand for 4 points.
  Window n(Series(4, 60, 0, [](int i) { return (i == 1 || i == 2) ? 1.0 : 0.0; }));
  // x 0,60,120,180; y 0,1,1,0: mean x 90, mean y 0.5, Sxy-centred 0 -> slope 0, intercept 0.5.
  EXPECT_NEAR(n.view->const_a, 0.0, 1e-12);
  EXPECT_NEAR(n.view->const_b, 0.5, 1e-12);
}

TEST(GraphView, CursorLinesFollowThePointerAndLeaveNoTrace) {
  Window w(Series(61, 10, 1, [](int) { return 9.0; }));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  FakeSurface& s = *w.surface;
  v.yaxis_auto = false;
  v.RedrawGraph();
  const int x = 400, y = 250;
  const uint32_t col_before = s.Pixel(x, e.gY1 + 5);
  const uint32_t row_before = s.Pixel(e.gX1 + 5, y);
  v.OnMouseMove(kMouseNone, x, y);
  EXPECT_EQ(e.sX1, x);
  EXPECT_EQ(e.sY1, y);
  EXPECT_EQ(s.Pixel(x, e.gY1 + 5), ~(kColorBlack ^ col_before));
  EXPECT_EQ(s.Pixel(e.gX1 + 5, y), ~(kColorBlack ^ row_before));
  v.OnMouseMove(kMouseNone, x + 3, y + 3);
  EXPECT_EQ(s.Pixel(x, e.gY1 + 5), col_before);
  EXPECT_EQ(s.Pixel(e.gX1 + 5, y), row_before);

  // During a drag the first lines stay and a second pair follows the pointer.
  v.OnMouseDown(kMouseLeft, x + 3, y + 3);
  v.OnMouseMove(kMouseLeft, x + 40, y + 30);
  EXPECT_EQ(e.sX1, x + 3);
  EXPECT_EQ(e.sX2, x + 40);
  EXPECT_EQ(e.sY2, y + 30);
  // Leaving the box removes the moving lines only.
  v.OnMouseMove(kMouseLeft, e.gX2 + 20, y);
  EXPECT_EQ(e.sX2, -1);
  EXPECT_EQ(e.sY2, -1);
  EXPECT_EQ(e.sX1, x + 3);
  EXPECT_EQ(s.Pixel(x + 40, e.gY1 + 5), col_before);
  v.OnMouseUp(kMouseLeft, e.gX2 + 20, y);
  EXPECT_EQ(e.sX1, -1);
  EXPECT_EQ(e.sY1, -1);

  // X only: no horizontal lines.
  v.SetDragOpt(1);
  v.OnMouseMove(kMouseNone, x, y);
  EXPECT_EQ(e.sX1, x);
  EXPECT_EQ(e.sY1, -1);
  // A wheel notch takes the hover line away before redrawing.
  v.OnMouseWheel(-120);
  EXPECT_EQ(e.sX1, -1);
  EXPECT_EQ(s.Pixel(x, e.gY1 + 5), col_before);

  // A redraw with "View Data" off (a paint while a hover line stands) must not leave the old
  // line's position behind: the next move would invert pixels where no line is.
  v.view_data = false;
  v.SetDragOpt(3);
  v.OnMouseMove(kMouseNone, x, y);
  v.RedrawGraph();
  EXPECT_EQ(e.sX1, -1);
  v.OnMouseMove(kMouseNone, x + 50, y);
  EXPECT_EQ(s.Pixel(x, e.gY1 + 5), col_before);
}

TEST(GraphView, SettingsConfirmedAndResize) {
  Window w(Series(5, 60, 0, [](int i) { return i; }));
  GraphView& v = *w.view;
  PlotEngine& e = w.e();
  v.yaxis_auto = false;
  w.setup.y_low = -5;
  w.setup.y_high = 5;
  v.SetupConfirmed(0xFF112233u, 0xFF445566u);
  EXPECT_DOUBLE_EQ(e.grMiny, -5);
  EXPECT_DOUBLE_EQ(e.grMaxy, 5);
  EXPECT_EQ(v.cl_data, 0xFF112233u);
  EXPECT_EQ(w.surface->FindText("5.00")->argb, 0xFF112233u);  // Y labels in the data colour
  v.ResizeGraph(1200, 700);
  EXPECT_EQ(w.surface->Width(), 1200);
  EXPECT_EQ(e.gX2, 1120);
  EXPECT_EQ(e.gY2, 620);
  v.ResizeGraph(300, 200);
  EXPECT_EQ(w.surface->Width(), 640);
  EXPECT_EQ(w.surface->Height(), 400);
}

}  // namespace
}  // namespace tarn
