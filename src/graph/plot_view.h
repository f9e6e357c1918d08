// SPDX-License-Identifier: GPL-3.0-or-later
// What both graph windows' views share without their widgets: the plot engine, the switches of
// the bar under the plot, the redraw, the pointer with its cursor lines and read-out, and the
// drag and wheel zoom through one ZoomMachine. Each view draws its own series and legend.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graph/draw_surface.h"
#include "graph/plot_engine.h"
#include "graph/zoom_machine.h"

namespace tarn {

// What the window does after a pointer move: nothing when ignored; otherwise the cross cursor
// and input focus when inside, the read-out text for lbValue, and a copy of the bitmap.
struct PointerResult {
  bool ignored = true;
  bool inside = false;
  std::string readout;  // UTF-8, empty to clear
};

class PlotView {
 public:
  // `policy` (usually a member of the derived view) must outlive the view.
  PlotView(SurfaceFactory factory, const ZoomPolicy* policy);
  virtual ~PlotView() = default;
  PlotView(const PlotView&) = delete;
  PlotView& operator=(const PlotView&) = delete;

  // Decimal separator of the user's locale for labels, read-out and rates ("." by default).
  void SetDecimalSeparator(const std::string& sep);

  bool HasBitmap() const { return engine.surface() != nullptr; }
  DrawSurface* surface() const { return engine.surface(); }

  // Full redraw; ignored before the bitmap is made. The window then copies the bitmap.
  void RedrawGraph();
  void ResizeGraph(int panel_w, int panel_h);
  // Draws the current view once more on another surface of the bitmap's size (a vector
  // picture); the bitmap and the cursor lines standing in it stay as they are.
  void RenderOn(std::unique_ptr<DrawSurface> other);
  // The policy's whole view, redrawn.
  void ViewAll();
  // 1 X, 2 Y, 3 both.
  void SetDragOpt(int opt) { zoom.SetDragOpt(opt); }

  // Pointer positions in panel pixels (the same as bitmap pixels); button is a MouseButton.
  void OnMouseDown(int button, int x, int y);
  PointerResult OnMouseMove(int button, int x, int y);
  // True when the view redrew (the window copies the bitmap then).
  bool OnMouseUp(int button, int x, int y);
  // x, y: the pointer, for a policy that zooms around it.
  void OnMouseWheel(int delta, int x, int y);

  PlotEngine engine;
  ZoomMachine zoom;
  bool view_data = true;   // "View Data"
  bool view_trend = true;  // "View Trend"
  bool yaxis_auto = true;  // "Y-axis auto range"
  bool resized_scr = false;

 protected:
  // Frame, grid, labels and legend; then the series and trend lines inside the plot box.
  virtual void BaseGraph() = 0;
  virtual void DrawGraph() = 0;
  // The read-out for the pointer at time xf and bitmap row y; empty for none.
  virtual std::string Readout(int xf, int y) const = 0;

  // At every showing: the bitmap for the panel, X from 0, the grid, no cursor lines, no drag,
  // drag in both directions.
  void InitView(int panel_w, int panel_h);
  // At closing: releases the bitmap.
  void CloseView();
  // A number text of the core with the locale's separator.
  std::string LocaleNumber(std::string text) const;
  // The legend's two sample lines with the Y title and "Trend Line" beside them.
  void PutLegendLines(uint32_t data_color, uint32_t trend_color);
  // Where the legend's texts end.
  int LegendRight() const;

  // True while a wheel turn redraws.
  bool wheeled_ = false;

 private:
  PlotSpan Span() const;
  void Show(const PlotSpan& span);
  PlotPoint PointAt(int x, int y) const;

  std::string decimal_sep_ = ".";
};

}  // namespace tarn
