// SPDX-License-Identifier: GPL-3.0-or-later
// State and operations of the graph window without its widgets: ranges, trend line, legend,
// corrosion rate, read-out, and the drag and wheel zoom rules over the plot engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graph/grp_values.h"
#include "graph/plot_engine.h"
#include "settings/settings.h"

namespace tarn {

enum MouseButton { kMouseNone = 0, kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 4 };

// What the window does after a pointer move: nothing when ignored; otherwise the cross cursor
// and input focus when inside, the read-out text for lbValue, and a copy of the bitmap.
struct PointerResult {
  bool ignored = true;
  bool inside = false;
  std::string readout;  // UTF-8, empty to clear
};

class GraphView {
 public:
  // The window passes the program's records; both must outlive the view. Colours, widths and
  // the Y range are read from `setup` when they are used.
  GraphView(const _grp_values_& grp, const _basic_set_& setup, SurfaceFactory factory);

  // Decimal separator of the user's locale for labels, read-out and rate ("." by default).
  void SetDecimalSeparator(const std::string& sep);

  // At every showing: bitmap for the panel size, whole series, settings' Y range, titles.
  void gInit(int panel_w, int panel_h);
  // At closing: releases the bitmap and hands the colours back to the settings.
  void gClose(_basic_set_& setup);
  bool HasBitmap() const { return engine.surface() != nullptr; }
  DrawSurface* surface() const { return engine.surface(); }

  // Full redraw; ignored before gInit. The window then copies the bitmap to the panel.
  void RedrawGraph();
  void ResizeGraph(int panel_w, int panel_h);
  // Draws the current view once more on another surface of the bitmap's size (a vector
  // picture); the bitmap and the cursor lines standing in it stay as they are.
  void RenderOn(std::unique_ptr<DrawSurface> other);
  void BaseGraph();
  void DrawGraph();
  void ViewAll();
  void PutLegend();
  void PutCrate();
  // With the automatic Y range off and no visible reading inside the range, writes a hint in
  // the plot (kept in `note`); otherwise clears `note`.
  void PutNote();
  void GetRegressionConst();
  void GetRegXY();
  // Read-out for the time p (minutes): "dd/MM/yyyy HH:mm , 0.0000", or empty.
  std::string PutValue(int p) const;
  // Corrosion rate between two samples with the locale's separator; empty when none.
  std::string GetCrateStr(int sp, int ep) const;
  // The drawn trend line's own slope and fit over the visible samples, beside the rate:
  // "Trend 0.0000 mpy, R² 0.00" (the fit left out for readings that do not vary); empty
  // wherever the rate text is empty.
  std::string TrendStr() const;
  // 1 X, 2 Y, 3 both.
  void SetDragOpt(int opt) { gDragOpt = opt; }
  // The settings dialog was confirmed: its colours, the settings' Y range, redraw.
  void SetupConfirmed(uint32_t data_color, uint32_t trend_color);

  // Pointer positions in panel pixels (the same as bitmap pixels); button is a MouseButton.
  void OnMouseDown(int button, int x, int y);
  PointerResult OnMouseMove(int button, int x, int y);
  // True when the view redrew (the window copies the bitmap then).
  bool OnMouseUp(int button, int x, int y);
  void OnMouseWheel(int delta);

  PlotEngine engine;

  bool view_data = true;   // "View Data"
  bool view_trend = true;  // "View Trend"
  bool yaxis_auto = true;  // "Y-axis auto range"

  bool resized_scr = false;
  uint32_t cl_data = kColorLightGreen;
  uint32_t cl_trend = kColorBlack;
  int gpx1 = 0, gpx2 = 0;
  double const_a = 0.0, const_b = 0.0;
  double reg_x1 = 0.0, reg_y1 = 0.0, reg_x2 = 0.0, reg_y2 = 0.0;
  bool is_drawing = false;
  int gr_posx1 = 0;
  double gr_posy1 = 0.0;
  int gDragOpt = 3;
  std::string note;  // the hint PutNote wrote in the plot; empty when none

 private:
  bool XEnabled() const { return (gDragOpt & 1) != 0; }
  bool YEnabled() const { return (gDragOpt & 2) != 0; }
  std::string LocaleNumber(std::string text) const;
  // A range end with at most four decimals and no trailing zeros.
  std::string ShortNumber(double v) const;
  // Index of the last sample, kept inside the arrays for a series of 0 or 1 samples.
  int LastIndex() const;

  const _grp_values_& grp_;
  const _basic_set_& setup_;
  BackgroundCache background_;
  std::string decimal_sep_ = ".";
};

}  // namespace tarn
