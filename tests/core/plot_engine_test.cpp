// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/plot_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "common/date_time.h"
#include "core/fake_surface.h"
#include "graph/grp_values.h"

namespace tarn {
namespace {

using testing::FakeSurface;

DateTime Midnight() {
  DateTime t;
  MakeDateTime(2024, 3, 1, 0, 0, 0, &t);
  return t;
}

// An engine on a 500 by 300 panel with X 0..1440 and Y 0..10.
struct EngineFixture {
  FakeSurface* surface = nullptr;
  PlotEngine engine{FakeSurface::Factory(&surface)};
  EngineFixture(int w = 500, int h = 300) {
    engine.gAlloc(w, h);
    engine.base_time = Midnight();
    engine.grMinx = 0;
    engine.grMaxx = 1440;
    engine.grMiny = 0;
    engine.grMaxy = 10;
  }
};

std::unique_ptr<_grp_values_> Series(std::initializer_list<int> minutes) {
  auto grp = std::make_unique<_grp_values_>();
  int p = 0;
  for (int m : minutes) {
    const std::string text = TimeSpan2Str(Midnight(), m) + ":00";
    if (StoreGrpSample(*grp, p, text, p * 1.5)) ++p;
  }
  FinishGrpValues(*grp, p, 0, "T1");
  return grp;
}

TEST(PlotEngine, SmallPanelGetsMinimumBitmapAndLayout) {
  EngineFixture f(500, 300);
  PlotEngine& e = f.engine;
  EXPECT_EQ(e.gBaseW, 640);
  EXPECT_EQ(e.gBaseH, 400);
  ASSERT_NE(f.surface, nullptr);
  EXPECT_EQ(f.surface->Width(), 640);
  EXPECT_EQ(f.surface->Height(), 400);
  e.gDrawBase();
  EXPECT_EQ(e.gX1, 100);
  EXPECT_EQ(e.gX2, 560);
  EXPECT_EQ(e.gY1, 60);
  EXPECT_EQ(e.gY2, 320);
  EXPECT_EQ(e.gbW, 461);
  EXPECT_EQ(e.gbH, 261);
  EXPECT_EQ(e.gRect.x, 101);
  EXPECT_EQ(e.gRect.y, 61);
  EXPECT_EQ(e.gRect.w, 459);
  EXPECT_EQ(e.gRect.h, 259);

  // A larger panel is taken as it is.
  e.gAlloc(1300, 700);
  EXPECT_EQ(e.gBaseW, 1300);
  EXPECT_EQ(e.gBaseH, 700);
  e.gFree();
  EXPECT_EQ(e.surface(), nullptr);
  e.gDrawBase();  // no bitmap: nothing to draw on, nothing fails
}

TEST(PlotEngine, BaseDrawingOrderBoxAndGrid) {
  EngineFixture f;
  f.engine.gDrawBase();
  FakeSurface& s = *f.surface;
  ASSERT_EQ(s.rects.size(), 1u);
  EXPECT_EQ(s.rects[0].x1, 100);
  EXPECT_EQ(s.rects[0].y1, 60);
  EXPECT_EQ(s.rects[0].x2, 561);  // the outline lies on gX2 + 1 and gY2 + 1
  EXPECT_EQ(s.rects[0].y2, 321);
  EXPECT_EQ(s.rects[0].argb, kColorBlack);
  EXPECT_FLOAT_EQ(s.rects[0].width, 1.5f);
  // 4 vertical and 10 horizontal grid lines, cut toward zero from a floating-point step.
  ASSERT_EQ(s.lines.size(), 14u);
  const int xs[] = {215, 330, 445, 561};  // 100 + 115.25 * i
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.lines[i].x1, xs[i]);
    EXPECT_EQ(s.lines[i].x2, xs[i]);
    EXPECT_EQ(s.lines[i].y1, 60);
    EXPECT_EQ(s.lines[i].y2, 320);
    EXPECT_EQ(s.lines[i].argb, kColorDarkGray);
  }
  EXPECT_EQ(s.lines[4].y1, 86);    // 60 + 26.1
  EXPECT_EQ(s.lines[12].y1, 294);  // 60 + 26.1 * 9 = 294.9
  EXPECT_EQ(s.lines[13].y1, 321);
  EXPECT_EQ(s.lines[13].argb, kColorLightGray);
  EXPECT_EQ(s.lines[13].x1, 100);
  EXPECT_EQ(s.lines[13].x2, 560);
}

TEST(PlotEngine, TitlesAreCentredAndYTitleRotated) {
  EngineFixture f;
  PlotEngine& e = f.engine;
  e.gSetTitle("Tag : P1");            // 8 chars, 56 px
  e.gSetTitlex("Date / Time");        // 11 chars, 77 px
  e.gSetTitley("Metal Loss (mils)");  // 17 chars, 119 px
  e.gDrawBase();
  const FakeSurface& s = *f.surface;
  const auto* t = s.FindText("Tag : P1");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->x, (100 + 560 - 56) / 2);
  EXPECT_EQ(t->y, 20);
  EXPECT_EQ(t->font.points, 12);
  const auto* tx = s.FindText("Date / Time");
  ASSERT_NE(tx, nullptr);
  EXPECT_EQ(tx->x, (100 + 560 - 77) / 2 - 10);
  EXPECT_EQ(tx->y, 370);
  const auto* ty = s.FindText("Metal Loss (mils)");
  ASSERT_NE(ty, nullptr);
  const int c = (60 + 320 + 119) / 2;
  EXPECT_EQ(ty->x, 20);
  EXPECT_EQ(ty->y, c);
  EXPECT_EQ(ty->rotation, 270);
  EXPECT_EQ(ty->cx, 20);
  EXPECT_EQ(ty->cy, c);
  // The rotation is undone for what follows.
  EXPECT_EQ(s.FindText("10.00")->rotation, 0);
}

TEST(PlotEngine, YLabelsFromTopToBottomWithDataColour) {
  EngineFixture f;
  f.engine.cl_data = 0xFF123456;
  f.engine.gDrawBase();
  const FakeSurface& s = *f.surface;
  for (int i = 0; i <= 10; ++i) {
    const std::string text = std::to_string(10 - i) + ".00";
    const auto* t = s.FindText(text);
    ASSERT_NE(t, nullptr) << text;
    const int y = static_cast<int>(60 + i * 26.1 - (i == 0 ? 2 : 8));
    EXPECT_EQ(t->y, y) << text;
    EXPECT_EQ(t->x, 100 - static_cast<int>(text.size()) * 7 - 8) << text;
    EXPECT_EQ(t->argb, 0xFF123456u);
  }
  // The user's decimal separator, and a range with fractions.
  EngineFixture g;
  g.engine.SetDecimalSeparator(",");
  g.engine.grMiny = -0.5;
  g.engine.grMaxy = 0.5;
  g.engine.gDrawBase();
  EXPECT_NE(g.surface->FindText("0,50"), nullptr);
  EXPECT_NE(g.surface->FindText("-0,40"), nullptr);
  EXPECT_NE(g.surface->FindText("0,00"), nullptr);  // no "-0,00" from rounding
  EXPECT_NE(g.surface->FindText("-0,50"), nullptr);
}

TEST(PlotEngine, XLabelsSplitDateAndTime) {
  EngineFixture f;
  f.engine.gDrawBase();
  const FakeSurface& s = *f.surface;
  const char* times[] = {"00:00", "06:00", "12:00", "18:00", "00:00"};
  int seen_midnight = 0;
  for (int i = 0; i <= 4; ++i) {
    const double pos = 100 + i * 115.25;
    const int left = static_cast<int>(pos - 5 * 7 / 2.0);
    bool found = false;
    for (const auto& t : s.texts) {
      if (t.text == times[i] && t.x == left && t.y == 320 + 28) found = true;
    }
    EXPECT_TRUE(found) << times[i];
    if (std::string(times[i]) == "00:00") ++seen_midnight;
  }
  int first_dates = 0, next_dates = 0;
  for (const auto& t : s.texts) {
    if (t.text == "01/03/2024" && t.y == 330) ++first_dates;
    if (t.text == "02/03/2024" && t.y == 330) ++next_dates;
  }
  EXPECT_EQ(first_dates, 4);
  EXPECT_EQ(next_dates, 1);
  // A fractional time step: 0..10 minutes shows 00:02 at the second label (2.5 cut).
  EngineFixture g;
  g.engine.grMaxx = 10;
  g.engine.gDrawBase();
  EXPECT_NE(g.surface->FindText("00:02"), nullptr);
  // No grid, no labels.
  EngineFixture h;
  h.engine.gridX = 0;
  h.engine.gridY = 0;
  h.engine.gDrawBase();
  EXPECT_EQ(h.surface->FindText("00:00"), nullptr);
  EXPECT_EQ(h.surface->FindText("0.00"), nullptr);
}

TEST(PlotEngine, MappingsBothWays) {
  EngineFixture f;
  PlotEngine& e = f.engine;
  e.gDrawBase();
  EXPECT_EQ(e.gGetScrX(0), e.gX1);
  EXPECT_EQ(e.gGetScrX(1440), e.gX2);
  EXPECT_EQ(e.gGetScrX(720), 100 + 230);
  EXPECT_EQ(e.gGetScrY(10), e.gY1 + 1);
  EXPECT_EQ(e.gGetScrY(0), e.gY2 + 1);
  EXPECT_EQ(e.gGetScrY(5), 60 + 261 - 130);

  int xf;
  double yf;
  EXPECT_FALSE(e.gMousePos(e.gX1, 200, &xf, &yf));
  EXPECT_EQ(xf, -1);
  EXPECT_EQ(yf, -1.0);
  EXPECT_FALSE(e.gMousePos(300, e.gY2, &xf, &yf));
  EXPECT_FALSE(e.gMousePos(e.gX2, 200, &xf, &yf));
  EXPECT_FALSE(e.gMousePos(300, e.gY1, &xf, &yf));
  ASSERT_TRUE(e.gMousePos(e.gX1 + 1, e.gY2 - 1, &xf, &yf));
  EXPECT_EQ(xf, 3);  // 1440 / 460, cut
  EXPECT_NEAR(yf, 10.0 / 260, 1e-12);
  ASSERT_TRUE(e.gMousePos(330, 190, &xf, &yf));
  EXPECT_EQ(xf, 720);
  EXPECT_NEAR(yf, 5.0, 1e-12);

  // Zero-width X range: nothing divides by zero, the pointer counts as outside.
  e.grMaxx = e.grMinx = 300;
  EXPECT_EQ(e.gGetScrX(300), e.gX1);
  EXPECT_EQ(e.gGetScrX(900), e.gX1);
  EXPECT_FALSE(e.gMousePos(330, 190, &xf, &yf));
  e.gDrawBase();  // labels of a zero-width range
  EXPECT_EQ(f.surface->FindText("05:00") != nullptr, true);
  // Empty Y range and NaN values stay finite.
  e.grMaxx = 1440;
  e.grMiny = e.grMaxy = 2.0;
  EXPECT_EQ(e.gGetScrY(2.0), e.gY2 + 1);
  EXPECT_FALSE(e.gMousePos(330, 190, &xf, &yf));
  e.grMaxy = 10;
  e.grMiny = 0;
  EXPECT_EQ(e.gGetScrY(std::nan("")), e.gY2 + 1);
  EXPECT_EQ(CutToInt(1e300), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(CutToInt(-1e300), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(CutToInt(-2.9), -2);
}

TEST(PlotEngine, SampleSearch) {
  auto grp = Series({0, 60, 120, 180});
  ASSERT_EQ(grp->count, 4);
  EngineFixture f;
  PlotEngine& e = f.engine;
  e.SetData(grp.get());
  EXPECT_EQ(e.gPtrX1(0), 0);
  EXPECT_EQ(e.gPtrX1(1), 1);
  EXPECT_EQ(e.gPtrX1(60), 1);
  EXPECT_EQ(e.gPtrX1(181), 0);  // later than the last sample
  EXPECT_EQ(e.gPtrX2(59), 0);
  EXPECT_EQ(e.gPtrX2(60), 1);
  EXPECT_EQ(e.gPtrX2(500), 3);
  EXPECT_EQ(e.gPtrX2(-1), 3);  // earlier than the first sample
}

TEST(PlotEngine, AutomaticYRangeIgnoresNaN) {
  EngineFixture f;
  PlotEngine& e = f.engine;
  const double constant[] = {5.0, 5.0, 5.0};
  e.gSetAutoYaxis(constant, 3);
  EXPECT_DOUBLE_EQ(e.grMiny, 4.5);
  EXPECT_DOUBLE_EQ(e.grMaxy, 5.5);
  const double nan = std::nan("");
  const double mixed[] = {2.0, nan, -1.0, nan, 7.0};
  EXPECT_DOUBLE_EQ(PlotEngine::gMinValue(mixed, 5), -1.0);
  EXPECT_DOUBLE_EQ(PlotEngine::gMaxValue(mixed, 5), 7.0);
  // Only the first cnt entries count.
  EXPECT_DOUBLE_EQ(PlotEngine::gMaxValue(mixed, 3), 2.0);
  const double leading[] = {nan, 3.0, 1.0};
  e.gSetAutoYaxis(leading, 3);
  EXPECT_DOUBLE_EQ(e.grMiny, 0.5);
  EXPECT_DOUBLE_EQ(e.grMaxy, 3.5);
}

TEST(PlotEngine, SeriesPolylineAndTrendLine) {
  auto grp = Series({0, 360, 720, 1080, 1440});
  EngineFixture f;
  PlotEngine& e = f.engine;
  e.SetData(grp.get());
  e.gDrawBase();
  e.sX1 = 120;
  e.sY2 = 200;
  e.gSetLine(0xFF00FF00, 2.0f);
  e.gDrawGraph(grp->value, grp->elapsed, 1, 3);
  FakeSurface& s = *f.surface;
  ASSERT_EQ(s.polylines.size(), 1u);
  const auto& pl = s.polylines[0];
  ASSERT_EQ(pl.points.size(), 3u);
  EXPECT_EQ(pl.points[0].x, e.gGetScrX(360));
  EXPECT_EQ(pl.points[0].y, e.gGetScrY(1.5));
  EXPECT_EQ(pl.points[2].x, e.gGetScrX(1080));
  EXPECT_EQ(pl.argb, 0xFF00FF00u);
  EXPECT_FLOAT_EQ(pl.width, 2.0f);
  EXPECT_EQ(e.sX1, -1);
  EXPECT_EQ(e.sY2, -1);

  e.gDrawLine(0.9, 0.0, 1440.7, 10.0);  // minutes cut to integers
  ASSERT_FALSE(s.lines.empty());
  const auto& l = s.lines.back();
  EXPECT_EQ(l.x1, e.gX1);
  EXPECT_EQ(l.y1, e.gY2 + 1);
  EXPECT_EQ(l.x2, e.gX2);
  EXPECT_EQ(l.y2, e.gY1 + 1);

  // Zero-width X range: no series and no trend line.
  s.Clear();
  e.grMinx = e.grMaxx = 720;
  e.sX2 = 5;
  e.gDrawGraph(grp->value, grp->elapsed, 2, 2);
  e.gDrawLine(720, 1, 720, 2);
  EXPECT_TRUE(s.polylines.empty());
  EXPECT_TRUE(s.lines.empty());
  EXPECT_EQ(e.sX2, -1);
}

TEST(PlotEngine, DenseSeriesSetsTheSamePixelsAsEverySegment) {
  // 5000 noisy samples on 460 columns: runs of samples share a column.
  auto grp = std::make_unique<_grp_values_>();
  for (int i = 0; i < 5000; ++i) {
    grp->elapsed[i] = i;
    grp->value[i] = 5.0 + 4.0 * std::sin(i * 0.37) * std::cos(i * 0.011);
  }
  grp->count = 5000;
  EngineFixture f;
  PlotEngine& e = f.engine;
  e.grMaxx = 4999;
  e.gDrawBase();
  e.gDrawGraph(grp->value, grp->elapsed, 0, 4999);
  ASSERT_EQ(f.surface->polylines.size(), 1u);
  EXPECT_LT(f.surface->polylines[0].points.size(), 4u * 461);

  FakeSurface all(640, 400);
  all.FillRect(0, 0, 640, 400, kColorWhite);
  for (int i = 1; i < 5000; ++i) {
    all.DrawLine(e.gGetScrX(i - 1), e.gGetScrY(grp->value[i - 1]), e.gGetScrX(i),
                 e.gGetScrY(grp->value[i]), e.gclLine, 1.0f);
  }
  int differing = 0;
  for (int y = e.gY1; y <= e.gY2 + 1; ++y)
    for (int x = e.gX1; x <= e.gX2; ++x)
      differing += (f.surface->Pixel(x, y) == e.gclLine) != (all.Pixel(x, y) == e.gclLine);
  EXPECT_EQ(differing, 0);
}

// The polyline a series reduces to, worked out sample by sample: every sample mapped, each run
// of one column cut to its first, lowest, highest and last point.
std::vector<DrawPoint> ReducedBySample(const PlotEngine& e, const double* yv, const int32_t* xv,
                                       int n) {
  std::vector<DrawPoint> out;
  for (int i = 0; i < n;) {
    const DrawPoint first{e.gGetScrX(xv[i]), e.gGetScrY(yv[i])};
    DrawPoint lo = first, hi = first, last = first;
    int j = i + 1;
    for (; j < n && e.gGetScrX(xv[j]) == first.x; ++j) {
      last = {first.x, e.gGetScrY(yv[j])};
      if (last.y < lo.y) lo = last;
      if (last.y > hi.y) hi = last;
    }
    for (const DrawPoint& p : {first, lo, hi, last})
      if (out.empty() || out.back().x != p.x || out.back().y != p.y) out.push_back(p);
    i = j;
  }
  return out;
}

TEST(PlotEngine, SeriesReductionMatchesMappingEverySample) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    int step;           // minutes between samples (0: every 7th sample repeats a time)
    double y_lo, y_hi;  // Y range
    double spice;       // put at every 13th sample
  } cases[] = {
      {"dense", 1, 0, 10, 5.0},      {"sparse", 50, 0, 10, 5.0},
      {"NaN", 1, 0, 10, nan},        {"infinity", 1, 0, 10, inf},
      {"-infinity", 1, 0, 10, -inf}, {"upside down", 1, 10, 0, 5.0},
      {"flat range", 1, 4, 4, 5.0},  {"same times", 0, 0, 10, 5.0},
      {"huge", 1, 0, 10, 1e300},     {"endless range", 1, -inf, inf, 5.0},
  };
  constexpr int kN = 6000;
  std::vector<double> y(kN);
  std::vector<int32_t> x(kN);
  for (const Case& c : cases) {
    for (int i = 0; i < kN; ++i) {
      x[i] = c.step > 0 ? i * c.step : i - i / 7;
      y[i] = i % 13 == 0 ? c.spice : 5.0 + 6.0 * std::sin(i * 0.37) * std::cos(i * 0.011);
    }
    EngineFixture f;
    PlotEngine& e = f.engine;
    e.grMaxx = x[kN - 1];
    e.grMiny = c.y_lo;
    e.grMaxy = c.y_hi;
    e.gDrawGraph(y.data(), x.data(), 0, kN - 1);
    ASSERT_EQ(f.surface->polylines.size(), 1u) << c.what;
    const std::vector<DrawPoint>& got = f.surface->polylines[0].points;
    const std::vector<DrawPoint> want = ReducedBySample(e, y.data(), x.data(), kN);
    ASSERT_EQ(got.size(), want.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_TRUE(got[i].x == want[i].x && got[i].y == want[i].y) << c.what << " point " << i;
    }
  }
}

TEST(PlotEngine, XorLinesInvertEveryFifthPixelAndUndoThemselves) {
  EngineFixture f;
  PlotEngine& e = f.engine;
  e.gDrawBase();
  FakeSurface& s = *f.surface;
  // Between the grid lines at 215 and 330.
  s.SetPixel(240, 100, 0x80102030);  // a half-transparent pixel keeps its alpha
  e.gXorLinex(230, 252, 100);
  for (int x = 230; x <= 252; ++x) {
    const uint32_t expected = (x - 230) % 5 == 0 ? 0xFF000000u : 0xFFFFFFFFu;
    if (x == 240) continue;
    EXPECT_EQ(s.Pixel(x, 100), expected) << x;
  }
  EXPECT_EQ(s.Pixel(240, 100), 0x80EFDFCFu);
  e.gXorLinex(230, 252, 100);
  for (int x = 230; x <= 252; ++x) {
    EXPECT_EQ(s.Pixel(x, 100), x == 240 ? 0x80102030u : 0xFFFFFFFFu) << x;
  }
  e.gXorLiney(61, 80, 300);
  EXPECT_EQ(s.Pixel(300, 61), 0xFF000000u);
  EXPECT_EQ(s.Pixel(300, 66), 0xFF000000u);
  EXPECT_EQ(s.Pixel(300, 65), 0xFFFFFFFFu);
  EXPECT_EQ(s.Pixel(300, 81), 0xFFFFFFFFu);
  e.gXorLiney(61, 80, 300);
  EXPECT_EQ(s.Pixel(300, 61), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tarn
