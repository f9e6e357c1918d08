// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/graph_view.h"

#include <algorithm>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/number_text.h"

namespace tarn {

namespace {

// Minutes in a year of 8760 hours: a slope per minute in mils is this many mils per year.
constexpr double kMinutesPerYear = 8760.0 * 60.0;

// Share of the readings' spread that the line y = a x + b explains, 1 - SSres / SStot, over
// samples sp to ep; false when the readings do not vary (nothing to explain).
bool LineFit(const _grp_values_& grp, int sp, int ep, double a, double b, double* r2) {
  const int n = ep - sp + 1;
  if (n < 2) return false;
  double mean = 0.0;
  for (int i = sp; i <= ep; ++i) mean += grp.value[i];
  mean /= n;
  double res = 0.0, tot = 0.0;
  for (int i = sp; i <= ep; ++i) {
    const double e = grp.value[i] - (a * grp.elapsed[i] + b);
    const double d = grp.value[i] - mean;
    res += e * e;
    tot += d * d;
  }
  if (!(tot > 0.0)) return false;
  *r2 = std::clamp(1.0 - res / tot, 0.0, 1.0);
  return true;
}

}  // namespace

int SampleZoom::Count() const {
  return std::clamp(grp_.count, 0, kGrpCapacity);
}

int SampleZoom::First(int v) const {
  return SampleAtOrAfter(grp_.elapsed, Count(), v);
}

// The view snaps to samples as BaseGraph does; a stretch that would show fewer than two of them
// (a gap between readings) leaves an empty plot.
bool SampleZoom::Shows(int lo, int hi) const {
  return First(hi) > First(lo);
}

PlotSpan SampleZoom::Wheel(const PlotSpan& now, int delta, const PlotPoint&, bool along_x,
                           bool along_y) const {
  PlotSpan s = now;
  const int last = std::max(Count(), 1) - 1;
  // The samples at the ends, as the last redraw snapped them.
  int i1 = First(now.x_lo);
  int i2 = std::max(First(now.x_hi), i1);
  if (delta > 0) {
    if (along_y) {
      s.y_lo -= 1.0;
      s.y_hi += 1.0;
    }
    if (along_x) {
      i1 = std::max(i1 - 1, 0);
      i2 = std::min(i2 + 1, last);
      s.x_lo = grp_.elapsed[i1];
      s.x_hi = grp_.elapsed[i2];
    }
  } else {
    if (along_y && (s.y_hi - s.y_lo) - 2.0 > 0.1) {
      s.y_lo += 1.0;
      s.y_hi -= 1.0;
    }
    if (along_x && i2 - i1 >= 5) {
      s.x_lo = grp_.elapsed[i1 + 1];
      s.x_hi = grp_.elapsed[i2 - 1];
    }
  }
  return s;
}

PlotSpan SampleZoom::Full() const {
  return {0, grp_.elapsed[std::max(Count(), 1) - 1], setup_.y_low, setup_.y_high};
}

GraphView::GraphView(const _grp_values_& grp, const _basic_set_& setup, SurfaceFactory factory)
    : PlotView(std::move(factory), &policy_), grp_(grp), setup_(setup), policy_(grp, setup) {
  engine.SetData(&grp_);
}

int GraphView::LastIndex() const {
  return std::clamp(grp_.count, 1, kGrpCapacity) - 1;
}

void GraphView::gInit(int panel_w, int panel_h) {
  InitView(panel_w, panel_h);
  engine.base_time = Str2DateTime(FieldText(grp_.start_time), nullptr);
  engine.grMaxx = grp_.elapsed[LastIndex()];
  engine.grMiny = setup_.y_low;
  engine.grMaxy = setup_.y_high;
  cl_data = static_cast<uint32_t>(setup_.data_color);
  cl_trend = static_cast<uint32_t>(setup_.trend_color);
  engine.gSetTitle("Tag : " + NarrowToUtf8(FieldText(grp_.tag)));
  engine.gSetTitley(NarrowToUtf8(FieldText(grp_.y_title)));
}

void GraphView::gClose(_basic_set_& setup) {
  CloseView();
  setup.data_color = static_cast<int32_t>(cl_data);
  setup.trend_color = static_cast<int32_t>(cl_trend);
}

void GraphView::BaseGraph() {
  gpx1 = engine.gPtrX1(engine.grMinx);
  gpx2 = engine.gPtrX1(engine.grMaxx);
  if (gpx2 < gpx1) gpx2 = gpx1;
  engine.grMinx = grp_.elapsed[gpx1];
  engine.grMaxx = grp_.elapsed[gpx2];
  if (yaxis_auto) engine.gSetAutoYaxis(&grp_.value[gpx1], gpx2 - gpx1 + 1);
  engine.cl_data = cl_data;
  GetRegressionConst();
  // While the view stays put (series or trend switched, settings confirmed unchanged) the
  // frame, grid, titles, labels, legend and rate are copied back rather than drawn.
  BackgroundKey key;
  engine.AddBaseKey(&key);
  key.Add(int64_t{cl_trend}).Add(GetCrateStr(gpx1, gpx2)).Add(TrendStr());
  if (background_.Restore(engine.surface(), key)) {
    engine.gBaseRestored();
    engine.gSetLine(cl_trend, 6);  // as PutLegend leaves it
    return;
  }
  engine.gDrawBase();
  PutLegend();
  PutCrate();
  background_.Drawn(engine.surface(), key);
}

void GraphView::DrawGraph() {
  DrawSurface* s = engine.surface();
  if (s == nullptr) return;
  const auto& r = engine.gRect;
  s->SetClip(r.x, r.y, r.w, r.h);
  if (view_data) {
    engine.gSetLine(cl_data, setup_.data_line);
    engine.gDrawGraph(grp_.value, grp_.elapsed, gpx1, gpx2);
  }
  if (view_trend) {
    GetRegXY();
    engine.gSetLine(cl_trend, setup_.trend_line);
    engine.gDrawLine(reg_x1, reg_y1, reg_x2, reg_y2);
  }
  PutNote();
  s->ResetClip();
}

void GraphView::PutNote() {
  note.clear();
  if (!view_data || yaxis_auto) return;
  for (int i = gpx1; i <= gpx2; ++i) {
    if (grp_.value[i] >= engine.grMiny && grp_.value[i] <= engine.grMaxy) return;
  }
  // A fixed range that misses every reading would otherwise leave a blank plot, unexplained.
  note = "No reading within the Y range " + ShortNumber(engine.grMiny) + " to " +
         ShortNumber(engine.grMaxy) + "; turn on Y-axis auto range.";
  const auto& r = engine.gRect;
  const int width = engine.TextWidth(note, engine.gFontTitlex);
  engine.DrawTextAt(r.x + std::max(0, (r.w - width) / 2), r.y + r.h / 2 - 8, note,
                    engine.gFontTitlex, engine.gclTitlex);
}

std::string GraphView::ShortNumber(double v) const {
  std::string text = FormatPattern(v, 4);
  // Whole ranges read as "0 to 1"; a zoomed one keeps the decimals it needs.
  while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) {
    const bool dot = text.back() == '.';
    text.pop_back();
    if (dot) break;
  }
  return LocaleNumber(text);
}

void GraphView::PutLegend() {
  PutLegendLines(cl_data, cl_trend);
}

void GraphView::PutCrate() {
  const std::string s = GetCrateStr(gpx1, gpx2);
  if (s.empty()) return;
  const std::string text = "Corrosion Rate : " + s + " mpy";
  const int width = engine.TextWidth(text, engine.gFontTitlex);
  engine.DrawTextAt(engine.gX2 - width + 20, 25, text, engine.gFontTitlex, engine.gclTitlex);
  // The trend's own figure on the line below, ending where the rate ends, unless it would
  // reach into the legend on a narrow picture.
  const std::string trend = TrendStr();
  if (trend.empty()) return;
  const int trend_w = engine.TextWidth(trend, engine.gFontTitlex);
  const int x = engine.gX2 - trend_w + 20;
  if (x < LegendRight() + 10) return;
  engine.DrawTextAt(x, 42, trend, engine.gFontTitlex, engine.gclTitlex);
}

std::string GraphView::TrendStr() const {
  if (GetCrateStr(gpx1, gpx2).empty()) return {};
  std::string text = "Trend " + LocaleNumber(FormatPattern(const_a * kMinutesPerYear, 4)) + " mpy";
  double r2 = 0.0;
  if (LineFit(grp_, gpx1, gpx2, const_a, const_b, &r2))
    text += ", R² " + LocaleNumber(FormatPattern(r2, 2));
  return text;
}

void GraphView::GetRegressionConst() {
  if (grp_.count < 2) {
    const_a = const_b = 0.0;
    return;
  }
  double sx = 0, sy = 0, sxy = 0, sxx = 0;
  for (int i = gpx1; i <= gpx2; ++i) {
    const double x = grp_.elapsed[i];
    const double y = grp_.value[i];
    sx += x;
    sy += y;
    sxy += x * y;
    sxx += x * x;
  }
  if (sx == 0) return;
  const double n = gpx2 - gpx1 + 1;
  const double d = n * sxx - sx * sx;
  // One visible sample other than sample 0 (a zero-width range): no line to fit, keep the last.
  if (d == 0) return;
  const_b = (sxx * sy - sxy * sx) / d;
  const_a = (n * sxy - sx * sy) / d;
}

void GraphView::GetRegXY() {
  reg_x1 = grp_.elapsed[gpx1];
  reg_x2 = grp_.elapsed[gpx2];
  reg_y1 = const_a * reg_x1 + const_b;
  reg_y2 = const_a * reg_x2 + const_b;
}

std::string GraphView::PutValue(int p) const {
  const int i = ReadoutSample(grp_.elapsed, std::clamp(grp_.count, 0, kGrpCapacity), p);
  if (i < 0) return {};
  return TimeSpan2Str(engine.base_time, grp_.elapsed[i]) + " , " +
         LocaleNumber(FormatPattern(grp_.value[i], 4));
}

std::string GraphView::GetCrateStr(int sp, int ep) const {
  return LocaleNumber(tarn::GetCrateStr(grp_, sp, ep));
}

void GraphView::SetupConfirmed(uint32_t data_color, uint32_t trend_color) {
  cl_data = data_color;
  cl_trend = trend_color;
  engine.grMiny = setup_.y_low;
  engine.grMaxy = setup_.y_high;
  RedrawGraph();
}

}  // namespace tarn
