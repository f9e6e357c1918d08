// SPDX-License-Identifier: GPL-3.0-or-later
// State and operations of the graph window without its widgets: ranges, trend line, legend,
// corrosion rate and read-out over the graph data set, and its zoom rules (in minutes, snapped
// to the samples) for the shared zoom machine.
#pragma once

#include <cstdint>
#include <string>

#include "graph/grp_values.h"
#include "graph/plot_engine.h"
#include "graph/plot_view.h"
#include "graph/zoom_machine.h"
#include "settings/settings.h"

namespace tarn {

// The graph data set's zoom: a drag must cover more than 20 minutes and keep two samples in
// view; a wheel notch steps one sample off or onto each end and one value unit off or onto
// each end of the Y range; "View All" is the whole series over the settings' Y range.
class SampleZoom : public ZoomPolicy {
 public:
  // Both must outlive the policy; the Y range is read from `setup` when it is used.
  SampleZoom(const _grp_values_& grp, const _basic_set_& setup) : grp_(grp), setup_(setup) {}
  int MinDragX() const override { return 20; }
  bool Shows(int lo, int hi) const override;
  PlotSpan Wheel(const PlotSpan& now, int delta, const PlotPoint& at, bool along_x,
                 bool along_y) const override;
  PlotSpan Full() const override;

 private:
  int Count() const;
  // The first sample at or after v, as the view snaps its ends.
  int First(int v) const;

  const _grp_values_& grp_;
  const _basic_set_& setup_;
};

class GraphView : public PlotView {
 public:
  // The window passes the program's records; both must outlive the view. Colours, widths and
  // the Y range are read from `setup` when they are used.
  GraphView(const _grp_values_& grp, const _basic_set_& setup, SurfaceFactory factory);

  // At every showing: bitmap for the panel size, whole series, settings' Y range, titles.
  void gInit(int panel_w, int panel_h);
  // At closing: releases the bitmap and hands the colours back to the settings.
  void gClose(_basic_set_& setup);

  void BaseGraph() override;
  void DrawGraph() override;
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
  // The settings dialog was confirmed: its colours, the settings' Y range, redraw.
  void SetupConfirmed(uint32_t data_color, uint32_t trend_color);

  using PlotView::OnMouseWheel;
  // The graph window's wheel steps whatever the pointer's position.
  void OnMouseWheel(int delta) { OnMouseWheel(delta, -1, -1); }

  uint32_t cl_data = kColorLightGreen;
  uint32_t cl_trend = kColorBlack;
  int gpx1 = 0, gpx2 = 0;
  double const_a = 0.0, const_b = 0.0;
  double reg_x1 = 0.0, reg_y1 = 0.0, reg_x2 = 0.0, reg_y2 = 0.0;
  std::string note;  // the hint PutNote wrote in the plot; empty when none

 private:
  std::string Readout(int xf, int) const override { return PutValue(xf); }
  // A range end with at most four decimals and no trailing zeros.
  std::string ShortNumber(double v) const;
  // Index of the last sample, kept inside the arrays for a series of 0 or 1 samples.
  int LastIndex() const;

  const _grp_values_& grp_;
  const _basic_set_& setup_;
  SampleZoom policy_;
  BackgroundCache background_;
};

}  // namespace tarn
