// SPDX-License-Identifier: GPL-3.0-or-later
// Pixels of the plot as the QImage surface draws them: where the mapping says lines go, the
// clip, the legend, the rotated title, the cursor lines and the saved BMP.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "graph/graph_view.h"
#include "graph/grp_values.h"
#include "graph/ui/qimage_surface.h"
#include "history/history_graph.h"

namespace tarn {
namespace {

constexpr uint32_t kData = 0xFF0000FFu;
constexpr uint32_t kTrend = 0xFFFF0000u;

std::unique_ptr<_grp_values_> Hourly(int n, int data_type, double (*f)(int)) {
  auto grp = std::make_unique<_grp_values_>();
  DateTime base;
  MakeDateTime(2024, 3, 1, 0, 0, 0, &base);
  int p = 0;
  for (int i = 0; i < n; ++i) {
    if (StoreGrpSample(*grp, p, TimeSpan2Str(base, 60.0 * i) + ":00", f(i))) ++p;
  }
  FinishGrpValues(*grp, p, data_type, "P-1");
  return grp;
}

_basic_set_ Settings() {
  _basic_set_ s{};
  s.y_low = 0;
  s.y_high = 10;
  s.data_color = static_cast<int32_t>(kData);
  s.trend_color = static_cast<int32_t>(kTrend);
  s.data_line = 1.0f;
  s.trend_line = 1.0f;
  return s;
}

struct Plot {
  std::unique_ptr<_grp_values_> grp;
  _basic_set_ setup = Settings();
  GraphView view;
  Plot(std::unique_ptr<_grp_values_> g, int w = 640, int h = 400)
      : grp(std::move(g)), view(*grp, setup, QImageSurface::Factory()) {
    view.yaxis_auto = false;
    view.gInit(w, h);
    view.RedrawGraph();
  }
  const QImage& image() { return static_cast<QImageSurface*>(view.surface())->image(); }
  uint32_t px(int x, int y) { return image().pixel(x, y); }
  PlotEngine& e() { return view.engine; }
};

double Flat5(int) {
  return 5.0;
}
double Rising(int i) {
  return i;
}

TEST(PlotSurface, FrameGridAndSeriesLandOnTheMappedPixels) {
  Plot p(Hourly(11, 1, Flat5));
  PlotEngine& e = p.e();
  p.view.view_trend = false;  // it would lie on the same row
  p.view.RedrawGraph();
  ASSERT_EQ(p.image().width(), 640);
  ASSERT_EQ(p.image().format(), QImage::Format_ARGB32);
  const int mid_row = 100;  // between grid rows 86 and 112
  // The outline: left on gX1, right on gX2 + 1, top on gY1, bottom on gY2 + 1.
  EXPECT_EQ(p.px(e.gX1, mid_row), kColorBlack);
  EXPECT_EQ(p.px(e.gX2 + 1, mid_row), kColorBlack);
  EXPECT_EQ(p.px(250, e.gY1), kColorBlack);
  EXPECT_EQ(p.px(250, e.gY2 + 1), kColorBlack);
  EXPECT_EQ(p.px(e.gX1 + 3, mid_row), kColorWhite);
  EXPECT_EQ(p.px(e.gX2 + 4, mid_row), kColorWhite);
  // Grid: dark columns at 215, 330 and 445, light rows at 86, 112, ...
  EXPECT_EQ(p.px(215, mid_row), kColorDarkGray);
  EXPECT_EQ(p.px(330, mid_row), kColorDarkGray);
  EXPECT_EQ(p.px(216, mid_row), kColorWhite);
  EXPECT_EQ(p.px(250, 86), kColorLightGray);
  EXPECT_EQ(p.px(250, 87), kColorWhite);
  // A flat series at 5.0 of 0..10 lies on one row, drawn over the grid.
  const int y5 = e.gGetScrY(5.0);
  EXPECT_EQ(y5, 60 + 261 - 130);
  for (int x : {e.gX1 + 1, 215, 300, e.gX2 - 1}) EXPECT_EQ(p.px(x, y5), kData) << x;
  EXPECT_NE(p.px(300, y5 - 1), kData);
  EXPECT_NE(p.px(300, y5 + 1), kData);
  // The series is clipped to the inside of the box: the outline keeps its colour.
  EXPECT_EQ(p.px(e.gX1, y5), kColorBlack);
  EXPECT_EQ(p.px(e.gX2 + 1, y5), kColorBlack);
}

TEST(PlotSurface, TrendLineAndLegendWithTheSeriesOff) {
  Plot p(Hourly(11, 0, Rising));
  PlotEngine& e = p.e();
  // Rising 0..10 over the range 0..10: the trend runs from gY2 + 1 (clipped) to gY1 + 1.
  p.view.view_data = false;
  p.view.RedrawGraph();
  EXPECT_TRUE(p.px(e.gX2 - 1, e.gY1 + 1) == kTrend || p.px(e.gX2 - 1, e.gY1 + 2) == kTrend);
  const int x4 = e.gGetScrX(240), y4 = e.gGetScrY(4.0);
  EXPECT_TRUE(p.px(x4, y4 - 1) == kTrend || p.px(x4, y4) == kTrend || p.px(x4, y4 + 1) == kTrend);
  int data_inside = 0;
  for (int y = e.gY1 + 1; y < e.gY2; ++y)
    for (int x = e.gX1 + 1; x < e.gX2; ++x) data_inside += p.px(x, y) == kData;
  EXPECT_EQ(data_inside, 0);
  p.view.view_trend = false;
  p.view.RedrawGraph();
  for (int dy = -1; dy <= 1; ++dy) EXPECT_NE(p.px(x4, y4 + dy), kTrend);
  // The legend samples are 6 pixels thick, gX1 to gX1 + 45.
  for (int y : {25, 27, 29}) EXPECT_EQ(p.px(e.gX1 + 20, y), kData) << y;
  EXPECT_EQ(p.px(e.gX1 + 20, 39), kTrend);
  EXPECT_EQ(p.px(e.gX1 + 44, 39), kTrend);
  EXPECT_EQ(p.px(e.gX1 + 20, 33), kColorWhite);
  EXPECT_EQ(p.px(e.gX1 + 47, 27), kColorWhite);
}

TEST(PlotSurface, TitlesAndLabelsAreWhereTheLayoutPutsThem) {
  Plot p(Hourly(11, 0, Rising));
  PlotEngine& e = p.e();
  const QImage& img = p.image();
  auto dark = [&](int x, int y) { return qGray(img.pixel(x, y)) < 128; };
  // The Y title reads upward in the left margin: its ink is taller than wide, centred on the
  // box's middle.
  int top = img.height(), bottom = -1, left = img.width(), right = -1;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < 45; ++x)
      if (dark(x, y)) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        left = std::min(left, x);
        right = std::max(right, x);
      }
  ASSERT_GT(bottom, top);
  EXPECT_GT(bottom - top, 3 * (right - left));
  EXPECT_GE(left, 20);
  EXPECT_NEAR((top + bottom) / 2.0, (e.gY1 + e.gY2) / 2.0, 6);
  // The main title's ink starts just under y = 20 and stays above the box.
  int title_top = -1;
  for (int y = 0; y < e.gY1 && title_top < 0; ++y)
    for (int x = e.gX1 + 150; x < e.gX2 - 150; ++x)
      if (dark(x, y)) {
        title_top = y;
        break;
      }
  EXPECT_GE(title_top, 20);
  EXPECT_LE(title_top, 30);
  // Y labels end 8 pixels left of the box (whose 1.5-wide outline reaches gX1 - 1), in the
  // data colour.
  int label_right = -1, blue = 0;
  for (int y = e.gY1; y < e.gY2; ++y)
    for (int x = 40; x < e.gX1 - 2; ++x)
      if (img.pixel(x, y) != kColorWhite) {
        label_right = std::max(label_right, x);
        blue += qBlue(img.pixel(x, y)) > 200 && qRed(img.pixel(x, y)) < 100;
      }
  EXPECT_LE(label_right, e.gX1 - 8);
  EXPECT_GE(label_right, e.gX1 - 12);
  EXPECT_GT(blue, 50);
}

TEST(PlotSurface, CursorLinesRestoreTheBitmapExactly) {
  Plot p(Hourly(11, 0, Rising));
  PlotEngine& e = p.e();
  const QImage before = p.image().copy();
  const PointerResult r = p.view.OnMouseMove(kMouseNone, 300, 200);
  ASSERT_TRUE(r.inside);
  EXPECT_EQ(p.px(300, e.gY1), ~(kColorBlack ^ before.pixel(300, e.gY1)));
  EXPECT_EQ(p.px(e.gX1 + 5, 200), ~(kColorBlack ^ before.pixel(e.gX1 + 5, 200)));
  EXPECT_EQ(p.px(300, e.gY1 + 1), before.pixel(300, e.gY1 + 1));
  p.view.OnMouseMove(kMouseNone, 301, 201);
  p.view.OnMouseMove(kMouseNone, e.gX2 + 30, 201);  // outside: both lines go
  EXPECT_EQ(p.image(), before);
}

// A view drawn twice keeps its background and copies it back at the next redraw: that redraw
// gives the pixels of a view drawn afresh, and any change of what the background shows draws it
// anew.
TEST(PlotSurface, KeptBackgroundGivesTheSamePixelsAsADrawnOne) {
  const struct {
    const char* what;
    void (*change)(GraphView&);
  } cases[] = {
      {"nothing", [](GraphView&) {}},
      {"series off", [](GraphView& v) { v.view_data = false; }},
      {"X range", [](GraphView& v) { v.engine.grMaxx /= 2; }},
      {"Y range", [](GraphView& v) { v.engine.grMaxy = 7.5; }},
      {"size", [](GraphView& v) { v.ResizeGraph(700, 450); }},
      {"trend colour", [](GraphView& v) { v.cl_trend = 0xFF00A000u; }},
      {"title", [](GraphView& v) { v.engine.gSetTitle("Tag : P-2"); }},
      {"decimal comma", [](GraphView& v) { v.SetDecimalSeparator(","); }},
  };
  const auto wavy = [](int i) { return 5.0 + 4.0 * std::sin(i / 7.0); };
  for (const auto& c : cases) {
    Plot kept(Hourly(300, 1, wavy)), fresh(Hourly(300, 1, wavy));
    kept.view.RedrawGraph();
    c.change(kept.view);
    kept.view.RedrawGraph();
    c.change(fresh.view);
    fresh.view.RedrawGraph();
    EXPECT_TRUE(kept.image() == fresh.image()) << c.what;
  }
}

TEST(PlotSurface, SavedBmpHoldsTheWholeBitmap) {
  Plot p(Hourly(11, 0, Rising), 900, 500);
  QTemporaryDir dir;
  const QString path = dir.filePath("graph.bmp");
  auto* s = static_cast<QImageSurface*>(p.view.surface());
  ASSERT_TRUE(s->SaveBmp(path));
  QImage back(path);
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.width(), 900);
  EXPECT_EQ(back.height(), 500);
  const QImage& img = p.image();
  int differing = 0;
  for (int y = 0; y < 500; ++y)
    for (int x = 0; x < 900; ++x) differing += (back.pixel(x, y) | 0xFF000000u) != img.pixel(x, y);
  EXPECT_EQ(differing, 0);
  EXPECT_FALSE(s->SaveBmp(dir.filePath("missing/graph.bmp")));
}

TEST(PlotSurface, HugeValuesDoNotBreakTheDrawing) {
  Plot p(Hourly(5, 1, [](int i) { return i == 2 ? 1e300 : 1.0; }));
  // The auto range is off: 1e300 maps far beyond the bitmap; the line toward it is still
  // drawn inside the clip and nothing else is disturbed.
  PlotEngine& e = p.e();
  EXPECT_EQ(p.px(e.gX1, 100), kColorBlack);
  EXPECT_EQ(p.px(e.gGetScrX(0) + 1, e.gGetScrY(1.0)), kData);
  p.view.yaxis_auto = true;
  p.view.RedrawGraph();
  EXPECT_EQ(p.px(e.gX1, 100), kColorBlack);
}

// The history graph's band above the plot (legend, tag, rate) as ink: each text drawn alone on
// a blank bitmap gives its true extent, and no two may touch.
class InkSurface : public QImageSurface {
 public:
  using QImageSurface::QImageSurface;
  struct Drawn {
    int x, y;
    std::string text;
    FontInfo font;
  };
  std::vector<Drawn> texts;
  void DrawText(int x, int y, std::string_view text, const FontInfo& font, uint32_t argb) override {
    if (!rotated_) texts.push_back({x, y, std::string(text), font});
    QImageSurface::DrawText(x, y, text, font, argb);
  }
  void RotateAbout(double degrees, int cx, int cy) override {
    rotated_ = true;
    QImageSurface::RotateAbout(degrees, cx, cy);
  }
  void RestoreTransform() override {
    rotated_ = false;
    QImageSurface::RestoreTransform();
  }
  QRect Ink(const Drawn& d) {
    QImageSurface alone(Width(), Height());
    alone.FillRect(0, 0, Width(), Height(), 0xFFFFFFFFu);
    alone.DrawText(d.x, d.y, d.text, d.font, 0xFF000000u);
    const QImage& img = alone.image();
    QRect box;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) box |= QRect(x, y, 1, 1);
    return box;
  }

 private:
  bool rotated_ = false;
};

TEST(PlotSurface, HistoryLegendTagAndRateNeverOverlap) {
  // A 24-character tag and a rate of four digits before the point, at the report's graph
  // width (A4 and Letter) and at narrower windows.
  const std::string long_tag = "NORTH-MANIFOLD-INLET-024";
  ASSERT_EQ(long_tag.size(), 24u);
  const struct {
    int width;
    std::string tag, serial, label, rate;  // label and rate empty: the rate over the view
  } cases[] = {{682, long_tag, "S-99817", "", ""},
               {704, long_tag, "S-99817", "Rate (trend, 30 d)", "1234.5678 mpy"},
               {682, long_tag, "S-99817", "Rate (trend, 365 d)", "-1234.5678 mpy"},
               {520, long_tag, "S-99817", "", ""},
               {682, "P-1", "", "", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    SCOPED_TRACE(c.rate);
    ProbeSummary p;
    p.id = 1;
    p.key = {c.tag, c.serial, 0};
    p.rate_unit = "mpy";
    p.first_time = 63'850'000'000;
    p.last_time = p.first_time + 10 * 86400;
    p.count = 241;
    // 1234.5678 mpy over ten days, a reading an hour.
    std::vector<HistoryReading> readings;
    for (int i = 0; i < 241; ++i)
      readings.push_back({p.first_time + i * 3600, i * 1234.5678 / 8760.0});
    InkSurface* surface = nullptr;
    HistoryGraph view([&readings](int64_t, HistoryTime, HistoryTime, int32_t) { return readings; },
                      [&surface](int w, int h) -> std::unique_ptr<DrawSurface> {
                        auto s = std::make_unique<InkSurface>(w, h);
                        surface = s.get();
                        return s;
                      });
    view.SetProbes({p}, kData, kTrend);
    if (!c.label.empty()) {
      view.rate_label = c.label;
      view.legend_rate = c.rate;
    }
    view.gInit(c.width, c.width * 55 / 100, 0.0, 1.0);
    view.RedrawGraph();
    ASSERT_NE(surface, nullptr);
    std::vector<std::pair<std::string, QRect>> band;
    for (const InkSurface::Drawn& d : surface->texts) {
      // The value axis's top label sits left of the plot, outside the band.
      if (d.y < view.engine.gY1 && d.x >= view.engine.gX1)
        band.emplace_back(d.text, surface->Ink(d));
    }
    // Where the band is wide enough nothing is cut short; narrower, the texts are shortened.
    const bool whole = c.width >= 682;
    const std::string tag_text = whole ? c.tag : c.tag.substr(0, 4);
    const std::string rate_text =
        (c.label.empty() ? std::string("Corrosion Rate") : c.label) +
        (whole ? " : " + (c.rate.empty() ? std::string("1234.") : c.rate) : "");
    bool tag_seen = false, rate_seen = false;
    for (size_t i = 0; i < band.size(); ++i) {
      tag_seen = tag_seen || band[i].first.find(tag_text) != std::string::npos;
      rate_seen = rate_seen || band[i].first.rfind(rate_text, 0) == 0;
      EXPECT_TRUE(QRect(0, 0, surface->Width(), view.engine.gY1).contains(band[i].second))
          << band[i].first;
      for (size_t j = i + 1; j < band.size(); ++j) {
        EXPECT_FALSE(band[i].second.intersects(band[j].second))
            << band[i].first << " / " << band[j].first;
      }
    }
    EXPECT_TRUE(tag_seen);
    EXPECT_TRUE(rate_seen);
  }
}

}  // namespace
}  // namespace tarn
