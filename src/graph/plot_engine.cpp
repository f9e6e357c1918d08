// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/plot_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "common/number_text.h"

namespace tarn {

int32_t CutToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

namespace {

std::string WithSeparator(std::string text, const std::string& sep) {
  if (sep == ".") return text;
  const size_t dot = text.find('.');
  if (dot != std::string::npos) text.replace(dot, 1, sep);
  return text;
}

// Lowest and highest number among v[0..n), NaNs passed over, as gMinValue and gMaxValue give
// them (a zero's sign aside, which the margins of the automatic range remove). Branch-free with
// four lanes, so it runs at the speed of the memory; false when no finite extreme was found (all
// NaN, or an infinity), where the plain scans decide.
// Mapped offsets this small leave room in an int for the bitmap's own coordinates.
bool InBand(double offset) {
  return std::fabs(offset) < 1073741824.0;
}

bool NumberRange(const double* v, int n, double* lo, double* hi) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double mn[4] = {kInf, kInf, kInf, kInf};
  double mx[4] = {-kInf, -kInf, -kInf, -kInf};
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    for (int k = 0; k < 4; ++k) {
      const double x = v[i + k];
      mn[k] = x < mn[k] ? x : mn[k];
      mx[k] = x > mx[k] ? x : mx[k];
    }
  }
  for (; i < n; ++i) {
    mn[0] = v[i] < mn[0] ? v[i] : mn[0];
    mx[0] = v[i] > mx[0] ? v[i] : mx[0];
  }
  *lo = std::min(std::min(mn[0], mn[1]), std::min(mn[2], mn[3]));
  *hi = std::max(std::max(mx[0], mx[1]), std::max(mx[2], mx[3]));
  return std::isfinite(*lo) && std::isfinite(*hi);
}

}  // namespace

PlotEngine::PlotEngine(SurfaceFactory factory) : factory_(std::move(factory)) {}

void PlotEngine::gAlloc(int panel_w, int panel_h) {
  gBaseW = std::max(panel_w, kMinBitmapWidth);
  gBaseH = std::max(panel_h, kMinBitmapHeight);
  gbase = factory_ ? factory_(gBaseW, gBaseH) : nullptr;
  gSetSize(gBaseW, gBaseH);
}

void PlotEngine::gFree() {
  gbase.reset();
}

std::unique_ptr<DrawSurface> PlotEngine::ReleaseSurface() {
  return std::move(gbase);
}

std::unique_ptr<DrawSurface> PlotEngine::SwapSurface(std::unique_ptr<DrawSurface> other) {
  gbase.swap(other);
  return other;
}

void PlotEngine::gSetSize(int w, int h) {
  gX1 = 100;
  gX2 = w - 80;
  gY1 = 60;
  gY2 = h - 80;
  gbW = gX2 - gX1 + 1;
  gbH = gY2 - gY1 + 1;
  gRect = {gX1 + 1, gY1 + 1, gbW - 2, gbH - 2};
}

void PlotEngine::gDrawBase() {
  gSetSize(gBaseW, gBaseH);
  // Everything is painted over, so no cursor line survives in the bitmap.
  sX1 = sX2 = sY1 = sY2 = -1;
  if (!gbase) return;
  gbase->FillRect(0, 0, gBaseW, gBaseH, gclBack);
  gbase->FillRect(gX1, gY1, gbW, gbH, gclGrpArea);
  gDrawGrid();
  gbase->DrawRect(gX1, gY1, gbW, gbH, gclBox, gclBoxWidth);
  gPutTitle();
  gPutTitlex();
  gPutTitley();
  gPutLabelx();
  gPutLabely();
}

void PlotEngine::AddBaseKey(BackgroundKey* key) const {
  key->Add(int64_t{gBaseW}).Add(int64_t{gBaseH}).Add(int64_t{gridX}).Add(int64_t{gridY});
  key->Add(int64_t{grMinx}).Add(int64_t{grMaxx}).Add(int64_t{x_unit_seconds}).Add(base_time.ticks);
  key->Add(grMiny).Add(grMaxy).Add(decimal_sep_);
  for (uint32_t c :
       {gclBack, gclGrpArea, gclGridx, gclGridy, gclBox, gclTitle, gclTitlex, gclTitley, cl_data}) {
    key->Add(int64_t{c});
  }
  key->Add(double{gclBoxWidth});
  key->Add(gTitle).Add(gTitlex).Add(gTitley);
  for (const FontInfo* f : {&gFontTitle, &gFontTitlex, &gFontTitley, &gFontLabelx, &gFontLabely}) {
    key->Add(*f);
  }
}

void PlotEngine::gBaseRestored() {
  gSetSize(gBaseW, gBaseH);
  sX1 = sX2 = sY1 = sY2 = -1;
  gclLabelx = kColorBlack;
  gclLabely = cl_data;
}

void PlotEngine::gDrawGrid() {
  if (!gbase) return;
  if (gridX > 0) {
    const double step = static_cast<double>(gbW) / gridX;
    for (int i = 1; i <= gridX; ++i) {
      const int x = CutToInt(gX1 + step * i);
      gbase->DrawLine(x, gY1, x, gY2, gclGridx, 1.0f);
    }
  }
  if (gridY > 0) {
    const double step = static_cast<double>(gbH) / gridY;
    for (int i = 1; i <= gridY; ++i) {
      const int y = CutToInt(gY1 + step * i);
      gbase->DrawLine(gX1, y, gX2, y, gclGridy, 1.0f);
    }
  }
}

int PlotEngine::TextWidth(const std::string& text, const FontInfo& font) const {
  return gbase ? gbase->TextWidth(text, font) : 0;
}

void PlotEngine::DrawTextAt(int x, int y, const std::string& text, const FontInfo& font,
                            uint32_t argb) {
  if (gbase && !text.empty()) gbase->DrawText(x, y, text, font, argb);
}

void PlotEngine::gPutTitle() {
  const int width = TextWidth(gTitle, gFontTitle);
  DrawTextAt((gX1 + gX2 - width) / 2, 20, gTitle, gFontTitle, gclTitle);
}

void PlotEngine::gPutTitlex() {
  const int width = TextWidth(gTitlex, gFontTitlex);
  DrawTextAt((gX1 + gX2 - width) / 2 - 10, gY2 + 50, gTitlex, gFontTitlex, gclTitlex);
}

void PlotEngine::gPutTitley() {
  if (!gbase) return;
  const int width = TextWidth(gTitley, gFontTitley);
  const int c = (gY1 + gY2 + width) / 2;
  gbase->RotateAbout(270.0, 20, c);
  DrawTextAt(20, c, gTitley, gFontTitley, gclTitley);
  gbase->RestoreTransform();
}

void PlotEngine::gPutLabelx() {
  if (gridX <= 0) return;
  const double step = static_cast<double>(gbW) / gridX;
  const double time_step = static_cast<double>(grMaxx - grMinx) / gridX;
  gclLabelx = kColorBlack;
  for (int i = 0; i <= gridX; ++i) {
    const double pos = gX1 + i * step;
    const double units = grMinx + i * time_step;
    const double minutes = x_unit_seconds == 60 ? units : units * x_unit_seconds / 60.0;
    const std::string text = TimeSpan2Str(base_time, minutes);
    const size_t blank = text.find(' ');
    if (blank == std::string::npos) continue;
    const std::string date = text.substr(0, blank);
    const std::string time = text.substr(blank + 1);
    DrawTextAt(CutToInt(pos - TextWidth(date, gFontLabelx) / 2.0), gY2 + 10, date, gFontLabelx,
               gclLabelx);
    DrawTextAt(CutToInt(pos - TextWidth(time, gFontLabelx) / 2.0), gY2 + 28, time, gFontLabelx,
               gclLabelx);
  }
}

void PlotEngine::gPutLabely() {
  if (gridY <= 0) return;
  const double step = static_cast<double>(gbH) / gridY;
  const double value_step = (grMaxy - grMiny) / gridY;
  gclLabely = cl_data;
  for (int i = 0; i <= gridY; ++i) {
    const double y = gY1 + i * step - (i == 0 ? 2 : 8);
    const std::string text = WithSeparator(FormatPattern(grMaxy - i * value_step, 2), decimal_sep_);
    const int width = TextWidth(text, gFontLabely);
    DrawTextAt(gX1 - width - 8, CutToInt(y), text, gFontLabely, gclLabely);
  }
}

void PlotEngine::gSetLine(uint32_t argb, float width) {
  gclLine = argb;
  gclLineWidth = width;
}

namespace {

// base + offset, held to int: an infinite value maps to the far end of int, which must not wrap.
int OffsetInt(int base, int64_t offset) {
  return static_cast<int>(std::clamp<int64_t>(int64_t{base} + offset, INT32_MIN, INT32_MAX));
}

}  // namespace

int PlotEngine::gGetScrX(int rx) const {
  // A zero-width range puts every time on the left edge instead of dividing by zero.
  if (grMaxx == grMinx) return gX1;
  return OffsetInt(gX1, CutToInt(static_cast<double>(gbW - 1) * (static_cast<double>(rx) - grMinx) /
                                 (static_cast<double>(grMaxx) - grMinx)));
}

int PlotEngine::gGetScrY(double ry) const {
  if (!(grMaxy != grMiny)) return gY1 + gbH;
  return OffsetInt(gY1 + gbH, -int64_t{CutToInt(static_cast<double>(gbH - 1) * (ry - grMiny) /
                                                (grMaxy - grMiny))});
}

bool PlotEngine::gMousePos(int x, int y, int* xf, double* yf) const {
  *xf = -1;
  *yf = -1.0;
  if (x <= gX1 || x >= gX2 || y <= gY1 || y >= gY2) return false;
  if (grMaxx <= grMinx || !(grMaxy > grMiny) || gbW <= 1 || gbH <= 1) return false;
  *xf = CutToInt(grMinx +
                 static_cast<double>(x - gX1) * (static_cast<double>(grMaxx) - grMinx) / (gbW - 1));
  *yf = grMiny + (grMaxy - grMiny) * (gY2 - y) / (gbH - 1);
  return true;
}

// The storing rule keeps the sample times strictly increasing, so both are binary searches.
int SampleAtOrAfter(const int32_t* x, int count, int v) {
  const int32_t* end = x + count;
  const int32_t* at = std::lower_bound(x, end, v);
  return at == end ? 0 : static_cast<int>(at - x);
}

int SampleAtOrBefore(const int32_t* x, int count, int v) {
  const int32_t* at = std::upper_bound(x, x + count, v);
  return at == x ? std::max(count - 1, 0) : static_cast<int>(at - x) - 1;
}

int ReadoutSample(const int32_t* x, int count, int p) {
  if (count < 1) return -1;
  const int i1 = SampleAtOrAfter(x, count, p);
  const int i2 = SampleAtOrBefore(x, count, p);
  const int64_t t1 = x[i1];
  const int64_t t2 = x[i2];
  const int64_t tolerance = std::max<int64_t>(std::llabs(t1 - t2) / 5 + 1, 2);
  if (std::llabs(t1 - p) < tolerance) return i1;
  if (std::llabs(t2 - p) < tolerance) return i2;
  return -1;
}

int PlotEngine::gPtrX1(int v) const {
  if (grp_ == nullptr) return 0;
  return SampleAtOrAfter(grp_->elapsed, std::clamp(grp_->count, 0, kGrpCapacity), v);
}

int PlotEngine::gPtrX2(int v) const {
  if (grp_ == nullptr) return 0;
  return SampleAtOrBefore(grp_->elapsed, std::clamp(grp_->count, 0, kGrpCapacity), v);
}

double PlotEngine::gMinValue(const double* v, int cnt) {
  if (cnt < 1) return 0.0;
  double m = v[0];
  // A leading NaN would never be replaced and would spoil the whole range.
  for (int i = 1; i < cnt; ++i) {
    if (v[i] < m || std::isnan(m)) m = v[i];
  }
  return m;
}

double PlotEngine::gMaxValue(const double* v, int cnt) {
  if (cnt < 1) return 0.0;
  double m = v[0];
  for (int i = 1; i < cnt; ++i) {
    if (v[i] > m || std::isnan(m)) m = v[i];
  }
  return m;
}

void PlotEngine::gSetAutoYaxis(const double* v, int cnt) {
  if (cnt < 1) return;
  double lo = 0.0, hi = 0.0;
  if (!NumberRange(v, cnt, &lo, &hi)) {
    lo = gMinValue(v, cnt);
    hi = gMaxValue(v, cnt);
  }
  grMiny = lo - 0.5;
  grMaxy = hi + 0.5;
}

void PlotEngine::gDrawGraph(const double* yv, const int32_t* xv, int n1, int n2) {
  sX1 = sX2 = sY1 = sY2 = -1;
  if (!gbase || n1 < 0 || n2 < n1 || grMaxx == grMinx) return;
  std::vector<DrawPoint> points;
  points.reserve(static_cast<size_t>(std::min(n2 - n1 + 1, 4 * gbW + 8)));
  // At 65535 samples on 1920 columns most consecutive samples share a column. The lines between
  // them only cover that column from their lowest to their highest point, so each run of
  // points in one column becomes its first, lowest, highest and last point: the same pixels
  // for a thin line, and far fewer segments for the library to stroke.
  // With the times in order and a finite value range both mappings never turn back, so a run's
  // end can be searched for and its lowest and highest points are those of its extreme values.
  const bool monotone = std::is_sorted(xv + n1, xv + n2 + 1) && std::isfinite(grMaxy - grMiny) &&
                        InBand(XPart(xv[n1])) && InBand(XPart(xv[n2]));
  int i = n1;
  while (i <= n2) {
    const DrawPoint first{gGetScrX(xv[i]), gGetScrY(yv[i])};
    DrawPoint lo = first, hi = first, last = first;
    int j = i + 1;
    if (monotone) {
      j = RunEnd(xv, i, n2, first.x);
      last.y = gGetScrY(yv[j - 1]);
      if (!ValueSpan(yv, i, j, &lo.y, &hi.y)) {
        for (int k = i + 1; k < j; ++k) {
          const int y = gGetScrY(yv[k]);
          lo.y = std::min(lo.y, y);
          hi.y = std::max(hi.y, y);
        }
      }
    } else {
      for (; j <= n2; ++j) {
        const int x = gGetScrX(xv[j]);
        if (x != first.x) break;
        last = {x, gGetScrY(yv[j])};
        if (last.y < lo.y) lo = last;
        if (last.y > hi.y) hi = last;
      }
    }
    for (const DrawPoint& p : {first, lo, hi, last}) {
      if (!points.empty() && points.back().x == p.x && points.back().y == p.y) continue;
      points.push_back(p);
    }
    i = j;
  }
  if (points.size() < 2) return;
  gbase->DrawPolyline(points.data(), static_cast<int>(points.size()), gclLine, gclLineWidth);
}

int PlotEngine::RunEnd(const int32_t* xv, int i, int n2, int x) const {
  int in = i, out = n2 + 1;
  for (int step = 1; in + step < out; step *= 2) {
    if (gGetScrX(xv[in + step]) != x) {
      out = in + step;
      break;
    }
    in += step;
  }
  while (out - in > 1) {
    const int mid = in + (out - in) / 2;
    (gGetScrX(xv[mid]) == x ? in : out) = mid;
  }
  return out;
}

double PlotEngine::XPart(int rx) const {
  return static_cast<double>(gbW - 1) * (static_cast<double>(rx) - grMinx) /
         (static_cast<double>(grMaxx) - grMinx);
}

double PlotEngine::YPart(double ry) const {
  return static_cast<double>(gbH - 1) * (ry - grMiny) / (grMaxy - grMiny);
}

bool PlotEngine::ValueSpan(const double* yv, int i, int j, int* y_top, int* y_bottom) const {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double vmin = kInf, vmax = -kInf;
  bool nan = false;
  for (int k = i; k < j; ++k) {
    const double v = yv[k];
    vmin = v < vmin ? v : vmin;
    vmax = v > vmax ? v : vmax;
    nan |= std::isnan(v);
  }
  const auto take = [&](int y) {
    *y_top = std::min(*y_top, y);
    *y_bottom = std::max(*y_bottom, y);
  };
  if (vmin <= vmax) {
    // Far outside the range the pixel sums overflow and the order is lost.
    if (!InBand(YPart(vmin)) || !InBand(YPart(vmax))) return false;
    take(gGetScrY(vmin));
    take(gGetScrY(vmax));
  }
  if (nan) take(gGetScrY(std::numeric_limits<double>::quiet_NaN()));
  return true;
}

void PlotEngine::gDrawLine(double x1, double y1, double x2, double y2) {
  if (!gbase || grMaxx == grMinx) return;
  gbase->DrawLine(gGetScrX(CutToInt(x1)), gGetScrY(y1), gGetScrX(CutToInt(x2)), gGetScrY(y2),
                  gclLine, gclLineWidth);
}

void PlotEngine::DrawLinePx(int x1, int y1, int x2, int y2) {
  if (gbase) gbase->DrawLine(x1, y1, x2, y2, gclLine, gclLineWidth);
}

// Every fifth pixel; straight into the bitmap's rows when the surface lends them.
void PlotEngine::gXorLinex(int x1, int x2, int y) {
  if (!gbase) return;
  int stride = 0;
  if (uint32_t* pixels = gbase->PixelData(&stride)) {
    if (y < 0 || y >= gbase->Height()) return;
    uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    const int w = gbase->Width();
    for (int x = x1; x <= x2; x += 5) {
      if (x >= 0 && x < w) row[x] = ~(gclMouse ^ row[x]);
    }
    return;
  }
  for (int x = x1; x <= x2; x += 5) gbase->SetPixel(x, y, ~(gclMouse ^ gbase->Pixel(x, y)));
}

void PlotEngine::gXorLiney(int y1, int y2, int x) {
  if (!gbase) return;
  int stride = 0;
  if (uint32_t* pixels = gbase->PixelData(&stride)) {
    if (x < 0 || x >= gbase->Width()) return;
    const int h = gbase->Height();
    for (int y = y1; y <= y2; y += 5) {
      if (y < 0 || y >= h) continue;
      uint32_t& px = pixels[static_cast<std::ptrdiff_t>(y) * stride + x];
      px = ~(gclMouse ^ px);
    }
    return;
  }
  for (int y = y1; y <= y2; y += 5) gbase->SetPixel(x, y, ~(gclMouse ^ gbase->Pixel(x, y)));
}

void PlotEngine::MoveCursorLines(bool dragging, bool inside, int x, int y, bool along_x,
                                 bool along_y) {
  if (along_x) {
    int& sx = dragging ? sX2 : sX1;
    if (sx != -1) gXorLiney(gY1, gY2, sx);
    sx = inside ? x : -1;
    if (inside) gXorLiney(gY1, gY2, x);
  }
  if (along_y) {
    int& sy = dragging ? sY2 : sY1;
    if (sy != -1) gXorLinex(gX1, gX2, sy);
    sy = inside ? y : -1;
    if (inside) gXorLinex(gX1, gX2, y);
  }
}

void PlotEngine::ClearCursorLines(bool along_x, bool along_y) {
  if (along_x) {
    if (sX1 != -1) gXorLiney(gY1, gY2, sX1);
    if (sX2 != -1) gXorLiney(gY1, gY2, sX2);
    sX1 = sX2 = -1;
  }
  if (along_y) {
    if (sY1 != -1) gXorLinex(gX1, gX2, sY1);
    if (sY2 != -1) gXorLinex(gX1, gX2, sY2);
    sY1 = sY2 = -1;
  }
}

}  // namespace tarn
