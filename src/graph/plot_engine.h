// SPDX-License-Identifier: GPL-3.0-or-later
// The plot engine: layout, grid, titles and labels, value/pixel mappings, sample search,
// automatic Y range, the series polyline and the dotted cursor lines, drawn on a DrawSurface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/date_time.h"
#include "graph/background_cache.h"
#include "graph/draw_surface.h"
#include "graph/grp_values.h"

namespace tarn {

inline constexpr uint32_t kColorWhite = 0xFFFFFFFFu;
inline constexpr uint32_t kColorBlack = 0xFF000000u;
inline constexpr uint32_t kColorDarkGray = 0xFFA9A9A9u;
inline constexpr uint32_t kColorLightGray = 0xFFD3D3D3u;
inline constexpr uint32_t kColorLightGreen = 0xFF90EE90u;

// The smallest bitmap the engine draws on, whatever the panel's size.
inline constexpr int kMinBitmapWidth = 640;
inline constexpr int kMinBitmapHeight = 400;

class PlotEngine {
 public:
  explicit PlotEngine(SurfaceFactory factory);

  // Bitmap of the panel's size but at least 640 by 400; gFree releases it.
  void gAlloc(int panel_w, int panel_h);
  void gFree();
  DrawSurface* surface() const { return gbase.get(); }
  // Takes the bitmap away from the engine (for saving it after the engine is gone).
  std::unique_ptr<DrawSurface> ReleaseSurface();
  // Puts another surface of the bitmap's size in place and returns the one it replaces.
  std::unique_ptr<DrawSurface> SwapSurface(std::unique_ptr<DrawSurface> other);

  // The series searched by gPtrX1/gPtrX2; the caller keeps it alive.
  void SetData(const _grp_values_* grp) { grp_ = grp; }
  // Decimal separator of the Y labels (the user's locale); a full stop by default.
  void SetDecimalSeparator(std::string sep) { decimal_sep_ = std::move(sep); }
  const std::string& DecimalSeparator() const { return decimal_sep_; }

  void gSetSize(int w, int h);
  void gDrawBase();
  // Everything gDrawBase's pixels depend on (size, ranges, titles, colours, fonts); keep it in
  // step with gDrawBase and the routines it calls.
  void AddBaseKey(BackgroundKey* key) const;
  // The state gDrawBase leaves behind besides its pixels, for a background copied back instead.
  void gBaseRestored();
  void gDrawGrid();
  void gPutTitle();
  void gPutTitlex();
  void gPutTitley();
  void gPutLabelx();
  void gPutLabely();
  // Titles are UTF-8.
  void gSetTitle(std::string s) { gTitle = std::move(s); }
  void gSetTitlex(std::string s) { gTitlex = std::move(s); }
  void gSetTitley(std::string s) { gTitley = std::move(s); }
  void gSetLine(uint32_t argb, float width);

  // Samples n1 to n2 as a polyline with the line pen; clears the cursor lines. Draws no series
  // while the X range has zero width.
  void gDrawGraph(const double* yv, const int32_t* xv, int n1, int n2);
  // x in minutes, y in value units.
  void gDrawLine(double x1, double y1, double x2, double y2);
  // A line between pixels with the line pen (legend samples).
  void DrawLinePx(int x1, int y1, int x2, int y2);
  // Text at a pixel position, measured and drawn on the surface.
  int TextWidth(const std::string& text, const FontInfo& font) const;
  void DrawTextAt(int x, int y, const std::string& text, const FontInfo& font, uint32_t argb);

  int gGetScrX(int rx) const;
  int gGetScrY(double ry) const;
  bool gMousePos(int x, int y, int* xf, double* yf) const;

  int gPtrX1(int v) const;
  int gPtrX2(int v) const;
  static double gMinValue(const double* v, int cnt);
  static double gMaxValue(const double* v, int cnt);
  void gSetAutoYaxis(const double* v, int cnt);

  void gXorLinex(int x1, int x2, int y);
  void gXorLiney(int y1, int y2, int x);
  // The pointer's cursor lines: a drag moves its second pair (sX2, sY2), a plain move the first;
  // a direction the drag option leaves out is not touched. A pointer outside the plot area takes
  // the moving pair away.
  void MoveCursorLines(bool dragging, bool inside, int x, int y, bool along_x, bool along_y);
  // Takes both pairs away: the drag has ended.
  void ClearCursorLines(bool along_x, bool along_y);

  // Bitmap size.
  int gBaseW = 0;
  int gBaseH = 0;
  // Layout.
  int gX1 = 0, gX2 = 0, gY1 = 0, gY2 = 0;
  int gbW = 0, gbH = 0;
  struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
  } gRect;
  int gridX = 4;
  int gridY = 10;
  // View ranges: time units after the base time (minutes unless x_unit_seconds says otherwise),
  // and value units.
  int grMinx = 0, grMaxx = 0;
  // Seconds in one unit of the X range: 60 for the graph data set, 1 for a probe's history,
  // whose readings keep their seconds.
  int x_unit_seconds = 60;
  double grMiny = 0.0, grMaxy = 0.0;
  std::string gTitle, gTitlex, gTitley;
  DateTime base_time;
  uint32_t cl_data = kColorLightGreen;
  // Cursor lines now standing in the bitmap; -1 means none.
  int sX1 = -1, sX2 = -1, sY1 = -1, sY2 = -1;

  // Drawing tools.
  uint32_t gclBack = kColorWhite;
  uint32_t gclGrpArea = kColorWhite;
  uint32_t gclTitle = kColorBlack, gclTitlex = kColorBlack, gclTitley = kColorBlack;
  uint32_t gclLabelx = kColorBlack;
  uint32_t gclLabely = kColorBlack;
  FontInfo gFontTitle{"Verdana", 12, false};
  FontInfo gFontTitlex{"Verdana", 10, false};
  FontInfo gFontTitley{"Verdana", 10, false};
  FontInfo gFontLabelx{"Verdana", 10, false};
  FontInfo gFontLabely{"Verdana", 10, false};
  uint32_t gclBox = kColorBlack;
  float gclBoxWidth = 1.5f;
  uint32_t gclGridx = kColorDarkGray;
  uint32_t gclGridy = kColorLightGray;
  uint32_t gclLine = kColorLightGreen;
  float gclLineWidth = 1.0f;
  uint32_t gclMouse = kColorBlack;

 private:
  // For gDrawGraph over times in order: the first sample after i (up to n2 + 1) in another
  // column than x.
  int RunEnd(const int32_t* xv, int i, int n2, int x) const;
  // Widens the pixel rows [*y_top, *y_bottom] to those of the extreme values among samples i to
  // j - 1; false (nothing changed) when an extreme maps too far out to keep the order.
  bool ValueSpan(const double* yv, int i, int j, int* y_top, int* y_bottom) const;
  // The offsets gGetScrX and gGetScrY add to the box's edge, before the cut to integers.
  double XPart(int rx) const;
  double YPart(double ry) const;

  SurfaceFactory factory_;
  std::unique_ptr<DrawSurface> gbase;
  const _grp_values_* grp_ = nullptr;
  std::string decimal_sep_ = ".";
};

// Truncation toward zero to a 32-bit integer; NaN gives 0 and values beyond the range clamp.
int32_t CutToInt(double v);

// The sample searches over times x[0..count) in increasing order: the first at or after v (0
// when none), and the last at or before v (the last when none).
int SampleAtOrAfter(const int32_t* x, int count, int v);
int SampleAtOrBefore(const int32_t* x, int count, int v);
// The sample a read-out at time p names: of the two around p, the one within a fifth of their
// distance (at least 2), the later one first; -1 when neither is (or count < 1).
int ReadoutSample(const int32_t* x, int count, int p);

}  // namespace tarn
