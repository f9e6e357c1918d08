// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/graph_view.h"

#include <algorithm>
#include <cstdlib>

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

GraphView::GraphView(const _grp_values_& grp, const _basic_set_& setup, SurfaceFactory factory)
    : engine(std::move(factory)), grp_(grp), setup_(setup) {
  engine.SetData(&grp_);
}

void GraphView::SetDecimalSeparator(const std::string& sep) {
  decimal_sep_ = sep.empty() ? "." : sep;
  engine.SetDecimalSeparator(decimal_sep_);
}

std::string GraphView::LocaleNumber(std::string text) const {
  if (decimal_sep_ == ".") return text;
  const size_t dot = text.find('.');
  if (dot != std::string::npos) text.replace(dot, 1, decimal_sep_);
  return text;
}

int GraphView::LastIndex() const {
  return std::clamp(grp_.count, 1, kGrpCapacity) - 1;
}

void GraphView::gInit(int panel_w, int panel_h) {
  engine.gAlloc(panel_w, panel_h);
  engine.base_time = Str2DateTime(FieldText(grp_.start_time), nullptr);
  engine.grMinx = 0;
  engine.grMaxx = grp_.elapsed[LastIndex()];
  engine.grMiny = setup_.y_low;
  engine.grMaxy = setup_.y_high;
  engine.gridX = 4;
  engine.gridY = 10;
  cl_data = static_cast<uint32_t>(setup_.data_color);
  cl_trend = static_cast<uint32_t>(setup_.trend_color);
  engine.gSetTitle("Tag : " + NarrowToUtf8(FieldText(grp_.tag)));
  engine.gSetTitlex("Date / Time");
  engine.gSetTitley(NarrowToUtf8(FieldText(grp_.y_title)));
  engine.sX1 = engine.sX2 = engine.sY1 = engine.sY2 = -1;
  is_drawing = false;
  resized_scr = false;
  SetDragOpt(3);
}

void GraphView::gClose(_basic_set_& setup) {
  engine.gFree();
  resized_scr = false;
  setup.data_color = static_cast<int32_t>(cl_data);
  setup.trend_color = static_cast<int32_t>(cl_trend);
}

void GraphView::RedrawGraph() {
  // Paint and size events may come before the first gInit; there is nothing to draw then.
  if (!HasBitmap()) return;
  resized_scr = false;
  BaseGraph();
  DrawGraph();
  resized_scr = true;
}

void GraphView::ResizeGraph(int panel_w, int panel_h) {
  if (!HasBitmap()) return;
  engine.gFree();
  engine.gAlloc(panel_w, panel_h);
  RedrawGraph();
}

void GraphView::RenderOn(std::unique_ptr<DrawSurface> other) {
  if (!HasBitmap() || !other) return;
  const int cursor[4] = {engine.sX1, engine.sX2, engine.sY1, engine.sY2};
  std::unique_ptr<DrawSurface> bitmap = engine.SwapSurface(std::move(other));
  BaseGraph();
  DrawGraph();
  engine.SwapSurface(std::move(bitmap));
  engine.sX1 = cursor[0];
  engine.sX2 = cursor[1];
  engine.sY1 = cursor[2];
  engine.sY2 = cursor[3];
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

void GraphView::ViewAll() {
  engine.grMinx = 0;
  engine.grMaxx = grp_.elapsed[LastIndex()];
  engine.grMiny = setup_.y_low;
  engine.grMaxy = setup_.y_high;
  RedrawGraph();
}

void GraphView::PutLegend() {
  const int x1 = engine.gX1;
  engine.gSetLine(cl_data, 6);
  engine.DrawLinePx(x1, 27, x1 + 45, 27);
  engine.gSetLine(cl_trend, 6);
  engine.DrawLinePx(x1, 39, x1 + 45, 39);
  engine.DrawTextAt(x1 + 50, 20, engine.gTitley, engine.gFontLabelx, engine.gclTitlex);
  engine.DrawTextAt(x1 + 50, 32, "Trend Line", engine.gFontLabelx, engine.gclTitlex);
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
  const int legend_end = engine.gX1 + 50 +
                         std::max(engine.TextWidth(engine.gTitley, engine.gFontLabelx),
                                  engine.TextWidth("Trend Line", engine.gFontLabelx));
  const int x = engine.gX2 - trend_w + 20;
  if (x < legend_end + 10) return;
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
  if (grp_.count < 1) return {};
  const int i1 = engine.gPtrX1(p);
  const int i2 = engine.gPtrX2(p);
  const int64_t t1 = grp_.elapsed[i1];
  const int64_t t2 = grp_.elapsed[i2];
  const int64_t tolerance = std::max<int64_t>(std::llabs(t1 - t2) / 5 + 1, 2);
  int i;
  if (std::llabs(t1 - p) < tolerance) {
    i = i1;
  } else if (std::llabs(t2 - p) < tolerance) {
    i = i2;
  } else {
    return {};
  }
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

void GraphView::OnMouseDown(int button, int x, int y) {
  int xf;
  double yf;
  if (engine.gMousePos(x, y, &xf, &yf) && button == kMouseLeft) {
    is_drawing = true;
    gr_posx1 = xf;
    gr_posy1 = yf;
  }
}

PointerResult GraphView::OnMouseMove(int, int x, int y) {
  PointerResult result;
  if (!resized_scr || !HasBitmap()) return result;
  result.ignored = false;
  int xf;
  double yf;
  const bool inside = engine.gMousePos(x, y, &xf, &yf);
  result.inside = inside;
  if (inside) result.readout = PutValue(xf);
  engine.MoveCursorLines(is_drawing, inside, x, y, XEnabled(), YEnabled());
  return result;
}

bool GraphView::OnMouseUp(int, int x, int y) {
  int xf;
  double yf;
  const bool inside = engine.gMousePos(x, y, &xf, &yf);
  if (!is_drawing) return false;
  is_drawing = false;
  engine.ClearCursorLines(XEnabled(), YEnabled());
  PlotEngine& e = engine;
  bool keep = false;  // the drag chose a stretch not worth showing
  if (XEnabled()) {
    if (inside && std::abs(xf - gr_posx1) > 20) {
      const int lo = std::min(xf, gr_posx1);
      const int hi = std::max(xf, gr_posx1);
      // The view snaps to samples as BaseGraph does; a stretch that would show fewer than two
      // of them (a gap between readings) leaves an empty plot, so the view stays as it is.
      keep = e.gPtrX1(hi) <= e.gPtrX1(lo);
      if (!keep) {
        e.grMinx = lo;
        e.grMaxx = hi;
      }
    }
  }
  if (YEnabled()) {
    if (inside && !keep && std::abs(yf - gr_posy1) > 0.1) {
      e.grMiny = std::min(yf, gr_posy1);
      e.grMaxy = std::max(yf, gr_posy1);
    }
  }
  RedrawGraph();
  return true;
}

void GraphView::OnMouseWheel(int delta) {
  PlotEngine& e = engine;
  if (e.sX1 != -1) e.gXorLiney(e.gY1, e.gY2, e.sX1);
  if (e.sY1 != -1) e.gXorLinex(e.gX1, e.gX2, e.sY1);
  e.sX1 = e.sY1 = -1;
  const int last = LastIndex();
  if (delta > 0) {
    if (YEnabled()) {
      e.grMiny -= 1.0;
      e.grMaxy += 1.0;
    }
    if (XEnabled()) {
      gpx1 = std::max(gpx1 - 1, 0);
      gpx2 = std::min(gpx2 + 1, last);
      e.grMinx = grp_.elapsed[gpx1];
      e.grMaxx = grp_.elapsed[gpx2];
    }
  } else {
    if (YEnabled() && (e.grMaxy - e.grMiny) - 2.0 > 0.1) {
      e.grMiny += 1.0;
      e.grMaxy -= 1.0;
    }
    if (XEnabled() && gpx2 - gpx1 >= 5) {
      gpx1 += 1;
      gpx2 -= 1;
      e.grMinx = grp_.elapsed[gpx1];
      e.grMaxx = grp_.elapsed[gpx2];
    }
  }
  RedrawGraph();
}

}  // namespace tarn
