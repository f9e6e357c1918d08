// SPDX-License-Identifier: GPL-3.0-or-later
// The history graph without its widgets: one probe's whole history, or several probes on one time
// axis, read from the store decimated for the plot's width and re-read on every zoom, with the
// trend line, rate over the view, read-out, legend and the drag and wheel zoom of the graph window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graph/graph_view.h"
#include "graph/plot_engine.h"
#include "history/history_store.h"

namespace tarn {

// Reads a probe's readings from..to (inclusive) for a plot of `columns` pixel columns.
using HistoryReader = std::function<std::vector<HistoryReading>(int64_t probe_id, HistoryTime from,
                                                                HistoryTime to, int32_t columns)>;

// "TAG SERIAL", or the tag alone when the probe has no serial number.
std::string ProbeName(const ProbeSummary& probe);
// The probe's quantity with its unit: "Metal Loss (mils)", "Metal Loss (mm)", "Current (uA)"...
std::string HistoryYTitle(const ProbeSummary& probe);
// Empty when the probes can share one plot (one quantity, one unit); otherwise the message that
// refuses it, naming each probe with its quantity.
std::string OverlayRefusal(const std::vector<ProbeSummary>& probes);

// Colour of the i-th probe of an overlay.
uint32_t OverlayColor(size_t i);

struct HistorySeries {
  ProbeSummary probe;
  uint32_t color = 0;
  std::vector<int32_t> x;  // seconds after the view's base time
  std::vector<double> y;
  // Trend line over the visible readings.
  bool has_fit = false;
  double const_a = 0.0, const_b = 0.0;
  int32_t fit_from = 0;  // first x the line covers
};

class HistoryView {
 public:
  HistoryView(HistoryReader reader, SurfaceFactory factory);

  void SetDecimalSeparator(const std::string& sep);
  // The probes to draw; one probe is drawn in `data_color` with its trend in `trend_color`,
  // several each in an overlay colour of their own.
  void SetProbes(const std::vector<ProbeSummary>& probes, uint32_t data_color,
                 uint32_t trend_color);
  // New figures of the probes shown (same ids), e.g. their rates over another window; the
  // readings and the view stay.
  void SetRates(const std::vector<ProbeSummary>& probes);

  // At every showing: bitmap for the panel, the whole history, the given fixed Y range.
  void gInit(int panel_w, int panel_h, double y_low, double y_high);
  void gClose();
  bool HasBitmap() const { return engine.surface() != nullptr; }
  DrawSurface* surface() const { return engine.surface(); }

  // Full redraw; reads from the store only when the visible range or the width changed.
  void RedrawGraph();
  void ResizeGraph(int panel_w, int panel_h);
  void ViewAll();
  void SetDragOpt(int opt) { gDragOpt = opt; }

  // Read-out for the time p (seconds after the base) and the pointer's row: the reading of the
  // probe nearest the pointer, "TAG SERIAL : dd/MM/yyyy HH:mm:ss , 0.0000" (without the name
  // for one probe), or empty.
  std::string PutValue(int p, int y) const;
  // Rate over the view of series i, "0.0000 mpy"; empty for probes without one.
  std::string RateText(size_t i) const;

  void OnMouseDown(int button, int x, int y);
  PointerResult OnMouseMove(int button, int x, int y);
  bool OnMouseUp(int button, int x, int y);
  // Zooms around the pointer (x, y in bitmap pixels; the view's centre when outside the box)
  // by a fifth of the view per notch of 120: a positive delta zooms in, as maps do.
  void OnMouseWheel(int delta, int x, int y);

  const std::vector<HistorySeries>& series() const { return series_; }
  HistoryTime base() const { return base_; }
  int full_max() const { return full_max_; }
  // Store reads so far (each probe's read counts once).
  int64_t reads() const { return reads_; }

  // Why the last read failed (empty when it did not), asked after every read: a failed read
  // keeps the readings shown before, and stale() says why they are not current.
  std::function<std::string()> read_failure;
  const std::string& stale() const { return stale_; }

  PlotEngine engine;
  bool view_data = true;
  bool view_trend = true;
  bool yaxis_auto = true;
  float data_line = 1.0f;
  float trend_line = 1.0f;
  bool resized_scr = false;
  bool is_drawing = false;
  int gr_posx1 = 0;
  double gr_posy1 = 0.0;
  int gDragOpt = 3;
  // -1: the legend shows the rate between the first and last readings in view, and the trend
  // line is fitted to the view. Otherwise the history's rate over that window in days (0 the
  // whole history): the legend names the window and shows each probe's stored trend, and each
  // metal-loss trend line has that slope, drawn through the window's readings in view.
  int32_t rate_window = -1;
  // The one-probe legend's rate, "label : figure"; empty: as rate_window says.
  std::string rate_label;
  std::string legend_rate;
  // "label : figure" of the i-th probe's legend, as drawn.
  std::string LegendRate(size_t i) const;

 private:
  bool XEnabled() const { return (gDragOpt & 1) != 0; }
  bool YEnabled() const { return (gDragOpt & 2) != 0; }
  bool Overlay() const { return series_.size() > 1; }
  std::string LocaleNumber(std::string text) const;
  void Load();
  void BaseGraph();
  void DrawGraph();
  void PutLegend();
  void FitTrends();
  // The series with the most visible readings: the wheel steps over its samples.
  const HistorySeries* Densest() const;

  HistoryReader reader_;
  std::vector<HistorySeries> series_;
  uint32_t cl_data_ = kColorLightGreen;
  uint32_t cl_trend_ = kColorBlack;
  HistoryTime base_ = 0;
  int full_max_ = 0;
  double y_low_ = 0.0, y_high_ = 0.0;
  std::string decimal_sep_ = ".";
  int64_t reads_ = 0;
  std::string stale_;
  bool snap_to_readings_ = true;  // off while the wheel redraws
  // What was last read, so that paints do not read again.
  int loaded_min_ = 0, loaded_max_ = -1, loaded_cols_ = -1;
};

}  // namespace tarn
