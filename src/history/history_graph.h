// SPDX-License-Identifier: GPL-3.0-or-later
// The history graph without its widgets: one probe's whole history, or several probes on one time
// axis, read from the store decimated for the plot's width and re-read on every zoom, with the
// trend line, rate over the view, read-out and legend, and its zoom rules (in seconds, around the
// pointer) for the graph windows' zoom machine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "graph/plot_engine.h"
#include "graph/plot_view.h"
#include "graph/zoom_machine.h"
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

// A time the graph marks with a vertical line and a short label over the plot: where a point's
// probe was replaced, with the new serial number.
struct GraphMark {
  HistoryTime time = 0;
  std::string label;
  uint32_t color = 0xFF606060;
  int64_t event_id = 0;  // the event it marks; 0 for a replacement
};

// A stretch of time, both ends included.
struct TimeSpan {
  HistoryTime from = 0;
  HistoryTime to = 0;
};

// A straight line drawn over the plot between two times, e.g. the trend before or after an
// event.
struct GraphSegment {
  HistoryTime from = 0, to = 0;
  double from_value = 0.0, to_value = 0.0;
  uint32_t color = 0xFF000000;
};

// A coupon exposed at a point: its exposure, its rate of metal loss in the point's unit per
// year, and its label (tag, rate and class).
struct GraphCoupon {
  HistoryTime from = 0, to = 0;
  double rate = 0.0;
  std::string label;
};

// A monitoring point drawn as the graph draws one probe: the current probe's quantity and unit,
// named by the point's path, with the point's count, times, value and rate. Its id is the point's.
ProbeSummary PointAsProbe(const PointSummary& point);
// The point's replacements as marks labelled with the new probe's serial (its tag without one).
std::vector<GraphMark> ReplacementMarks(const std::vector<PointReplacement>& replacements);
// The stretches set aside on a point's graph: each of its probes' stretches (of `all`, every
// probe's in ListSetAside's order) within the span that probe counts at the point, in time
// order. What a point graph's set_aside_of gives.
std::vector<SetAsideStretch> PointStretches(const PointSummary& point,
                                            const std::vector<SetAsideStretch>& all);

// Colour of the i-th probe of an overlay.
uint32_t OverlayColor(size_t i);

struct HistorySeries {
  ProbeSummary probe;
  uint32_t color = 0;
  std::vector<int32_t> x;  // seconds after the view's base time
  std::vector<double> y;
  // For each reading: set aside (drawn greyed, counted in no trend or rate); empty when none is.
  std::vector<bool> set_aside;
  bool SetAside(std::size_t i) const { return i < set_aside.size() && set_aside[i]; }
  // Trend line over the visible readings.
  bool has_fit = false;
  double const_a = 0.0, const_b = 0.0;
  int32_t fit_from = 0;  // first x the line covers
};

// The history's zoom: a drag must cover more than 20 minutes; the wheel zooms around the pointer
// by a fifth of the view a notch, within the history, and stops before the densest series would
// show fewer than two readings or a minute; "View All" is the whole history over the fixed range.
class HistoryZoom : public ZoomPolicy {
 public:
  // The series shown, which the wheel looks at; they must outlive the policy.
  explicit HistoryZoom(const std::vector<HistorySeries>* series) : series_(series) {}
  int MinDragX() const override { return 20 * 60; }
  bool Shows(int, int) const override { return true; }
  PlotSpan Wheel(const PlotSpan& now, int delta, const PlotPoint& at, bool along_x,
                 bool along_y) const override;
  PlotSpan Full() const override { return {0, full_max, y_low, y_high}; }

  int full_max = 0;  // seconds from the earliest reading to the latest
  double y_low = 0.0, y_high = 0.0;

 private:
  // The series with the most visible readings: the wheel steps over its samples.
  const HistorySeries* Densest() const;

  const std::vector<HistorySeries>* series_;
};

class HistoryGraph : public PlotView {
 public:
  HistoryGraph(HistoryReader reader, SurfaceFactory factory);
  // The probes to draw; one probe is drawn in `data_color` with its trend in `trend_color`,
  // several each in an overlay colour of their own.
  void SetProbes(const std::vector<ProbeSummary>& probes, uint32_t data_color,
                 uint32_t trend_color);
  // New figures of the probes shown (same ids), e.g. their rates over another window; the
  // readings and the view stay.
  void SetRates(const std::vector<ProbeSummary>& probes);
  // The readings changed under the view (set aside or restored): the next redraw reads them
  // again.
  void Reread() { loaded_cols_ = -1; }
  // The graph settings confirmed: colours (an overlay keeps its own series colours), line widths
  // and the fixed Y range, which "View All" brings back too; redrawn.
  void SetupConfirmed(uint32_t data_color, uint32_t trend_color, float data_width,
                      float trend_width, double y_low, double y_high);
  uint32_t data_color() const { return cl_data_; }
  uint32_t trend_color() const { return cl_trend_; }

  // At every showing: bitmap for the panel, the whole history, the given fixed Y range.
  void gInit(int panel_w, int panel_h, double y_low, double y_high);
  void gClose() { CloseView(); }

  // Read-out for the time p (seconds after the base) and the pointer's row: the reading of the
  // probe nearest the pointer, "TAG SERIAL : dd/MM/yyyy HH:mm:ss , 0.0000" (without the name
  // for one probe), or empty.
  std::string PutValue(int p, int y) const;
  // Rate over the view of series i, "0.0000 mpy"; empty for probes without one.
  std::string RateText(size_t i) const;

  const std::vector<HistorySeries>& series() const { return series_; }
  HistoryTime base() const { return base_; }
  int full_max() const { return policy_.full_max; }
  // Store reads so far (each probe's read counts once).
  int64_t reads() const { return reads_; }

  // The stretches set aside of a probe, when the history gives them: their readings are marked
  // in the series and left out of the trend and rate over the view.
  std::function<std::vector<SetAsideStretch>(int64_t probe_id)> set_aside_of;

  // Why the last read failed (empty when it did not), asked after every read: a failed read
  // keeps the readings shown before, and stale() says why they are not current.
  std::function<std::string()> read_failure;
  const std::string& stale() const { return stale_; }

  float data_line = 1.0f;
  float trend_line = 1.0f;
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
  // What the one series is named by over the plot: "Tag" for a probe, "Point" for a monitoring
  // point's series.
  std::string name_label = "Tag";
  // Drawn over the readings; those outside the view are left out.
  std::vector<GraphMark> marks;
  // The mark within a few pixels of the panel's column px (the one nearest), or -1.
  int MarkNear(int px) const;
  // The time under the panel's column px, within the history.
  HistoryTime TimeAt(int px) const;
  // Drawn over the readings, e.g. the trends before and after the chosen event, and a line of
  // text at the plot's foot saying what they are.
  std::vector<GraphSegment> segments;
  std::string segments_text;
  // The segments of an event at `at`: the trends over the `days` before and after it with the
  // rates given (per year in the rate's unit, each line through the mean of the readings shown
  // on its side; a corrosion-rate series' lines level at its means), and `text` under them.
  void PutEventSides(HistoryTime at, int32_t days, std::optional<double> before,
                     std::optional<double> after, std::string text);
  // Coupons beside a metal-loss series: each a straight segment of its metal loss over its
  // exposure, laid through the readings shown there as a trend of its rate would be, so that its
  // slope reads against the probe's; labelled at its end. Refitted at every redraw.
  std::vector<GraphCoupon> coupons;

 private:
  bool Overlay() const { return series_.size() > 1; }
  void Load();
  // Full redraw; reads from the store only when the visible range or the width changed.
  void BaseGraph() override;
  void DrawGraph() override;
  std::string Readout(int xf, int y) const override { return PutValue(xf, y); }
  void PutLegend();
  void FitTrends();
  void DrawMarks();
  void DrawSegments();
  void DrawCoupons();
  // The line of slope `per_year` through the mean of the first series' readings shown in
  // from..to (set aside ones left out); false when none are shown there.
  bool Anchored(HistoryTime from, HistoryTime to, HistoryTime at, double per_year,
                GraphSegment* segment) const;

  HistoryReader reader_;
  std::vector<HistorySeries> series_;
  uint32_t cl_data_ = kColorLightGreen;
  uint32_t cl_trend_ = kColorBlack;
  HistoryZoom policy_{&series_};
  HistoryTime base_ = 0;
  int64_t reads_ = 0;
  std::string stale_;
  // What was last read, so that paints do not read again.
  int loaded_min_ = 0, loaded_max_ = -1, loaded_cols_ = -1;
};

}  // namespace tarn
