// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_graph.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/number_text.h"
#include "graph/grp_values.h"
#include "graph/plot_engine.h"
#include "history/rate_window.h"

namespace tarn {

namespace {

// Distinct on white and told apart by most colour-blind eyes (the Okabe-Ito set and black).
constexpr uint32_t kOverlayColors[] = {0xFF0072B2u, 0xFFD55E00u, 0xFF009E73u, 0xFFCC79A7u,
                                       0xFFE69F00u, 0xFF56B4E9u, 0xFF000000u, 0xFFF0E442u};

bool IsMetalLoss(const ProbeSummary& p) {
  return p.key.data_type == 0 || p.key.data_type == 4;
}

// Share of the data's span the automatic Y range adds above and below it.
constexpr double kYMargin = 0.05;
// The view a wheel notch (an angle delta of 120) keeps: a fifth less.
constexpr double kWheelKeep = 0.8;
// The shortest view the wheel zooms in to, in seconds.
constexpr int kWheelShortest = 60;

int32_t ClampSeconds(int64_t s) {
  return static_cast<int32_t>(std::clamp<int64_t>(s, 0, std::numeric_limits<int32_t>::max()));
}

// Marks the readings (in time order) that lie in one of the stretches (in time order).
void MarkSetAside(const std::vector<SetAsideStretch>& stretches,
                  const std::vector<HistoryReading>& readings, std::vector<bool>* marks) {
  if (stretches.empty()) return;
  marks->assign(readings.size(), false);
  std::size_t k = 0;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    while (k < stretches.size() && stretches[k].to < readings[i].time) ++k;
    if (k == stretches.size()) break;
    (*marks)[i] = stretches[k].from <= readings[i].time;
  }
}

}  // namespace

std::string ProbeName(const ProbeSummary& probe) {
  if (probe.key.serial.empty()) return NarrowToUtf8(probe.key.tag);
  return NarrowToUtf8(probe.key.tag) + " " + NarrowToUtf8(probe.key.serial);
}

std::string HistoryYTitle(const ProbeSummary& probe) {
  if (IsMetalLoss(probe) && probe.rate_unit == "mm/y") return "Metal Loss (mm)";
  return GrpYTitle(probe.key.data_type);
}

std::string OverlayRefusal(const std::vector<ProbeSummary>& probes) {
  if (probes.empty()) return {};
  const std::string first = HistoryYTitle(probes.front());
  bool mixed = false;
  for (const ProbeSummary& p : probes) mixed = mixed || HistoryYTitle(p) != first;
  if (!mixed) return {};
  std::string text =
      "These probes measure different quantities or units and cannot share one graph:";
  for (const ProbeSummary& p : probes) text += "\n" + ProbeName(p) + ": " + HistoryYTitle(p);
  return text;
}

ProbeSummary PointAsProbe(const PointSummary& point) {
  ProbeSummary p = point.current;
  p.id = point.id;
  p.key.tag = point.path;
  p.key.serial.clear();
  p.count = point.count;
  p.first_time = point.first_time;
  p.last_time = point.last_time;
  p.latest_value = point.value;
  p.rate = point.rate;
  p.rate_unit = point.rate_unit;
  p.consumed = point.consumed;
  p.end_time = point.end_time;
  p.limits = point.limits;
  p.state = point.state;
  p.state_reason = point.state_reason;
  return p;
}

std::vector<GraphMark> ReplacementMarks(const std::vector<PointReplacement>& replacements) {
  std::vector<GraphMark> marks;
  for (const PointReplacement& r : replacements) {
    marks.push_back({r.time, r.serial.empty() ? r.tag : r.serial});
  }
  return marks;
}

std::vector<SetAsideStretch> PointStretches(const PointSummary& point,
                                            const std::vector<SetAsideStretch>& all) {
  std::vector<SetAsideStretch> out;
  for (std::size_t k = 0; k < point.probes.size(); ++k) {
    const HistoryTime from = point.probes[k].from;
    const HistoryTime until = k + 1 < point.probes.size() ? point.probes[k + 1].from - 1
                                                          : std::numeric_limits<HistoryTime>::max();
    for (const SetAsideStretch& s : all) {
      if (s.probe_id != point.probes[k].probe_id || s.to < from || s.from > until) continue;
      SetAsideStretch clipped = s;
      clipped.from = std::max(s.from, from);
      clipped.to = std::min(s.to, until);
      out.push_back(clipped);
    }
  }
  std::sort(out.begin(), out.end(),
            [](const SetAsideStretch& a, const SetAsideStretch& b) { return a.from < b.from; });
  return out;
}

// Coupons on a point's graph: their labels, and their see-through bands.
constexpr uint32_t kCouponColor = 0xFF108040;
constexpr uint32_t kCouponBandColor = 0x70108040;

uint32_t OverlayColor(size_t i) {
  return kOverlayColors[i % (sizeof(kOverlayColors) / sizeof(kOverlayColors[0]))];
}

HistoryGraph::HistoryGraph(HistoryReader reader, SurfaceFactory factory)
    : PlotView(std::move(factory), &policy_), reader_(std::move(reader)) {}

void HistoryGraph::SetProbes(const std::vector<ProbeSummary>& probes, uint32_t data_color,
                             uint32_t trend_color) {
  series_.clear();
  cl_data_ = data_color;
  cl_trend_ = trend_color;
  base_ = 0;
  HistoryTime last = 0;
  for (size_t i = 0; i < probes.size(); ++i) {
    HistorySeries s;
    s.probe = probes[i];
    s.color = probes.size() == 1 ? data_color : OverlayColor(i);
    if (i == 0 || probes[i].first_time < base_) base_ = probes[i].first_time;
    if (i == 0 || probes[i].last_time > last) last = probes[i].last_time;
    series_.push_back(std::move(s));
  }
  // Whole seconds after the earliest reading fit 68 years, longer than any probe lives.
  policy_.full_max = ClampSeconds(last - base_);
  loaded_cols_ = -1;
}

void HistoryGraph::SetRates(const std::vector<ProbeSummary>& probes) {
  for (HistorySeries& s : series_)
    for (const ProbeSummary& p : probes)
      if (p.id == s.probe.id) s.probe = p;
}

void HistoryGraph::SetupConfirmed(uint32_t data_color, uint32_t trend_color, float data_width,
                                  float trend_width, double y_low, double y_high) {
  cl_data_ = data_color;
  cl_trend_ = trend_color;
  if (series_.size() == 1) series_.front().color = data_color;
  data_line = data_width;
  trend_line = trend_width;
  policy_.y_low = y_low;
  policy_.y_high = y_high;
  engine.grMiny = y_low;
  engine.grMaxy = y_high;
  RedrawGraph();
}

void HistoryGraph::gInit(int panel_w, int panel_h, double y_low, double y_high) {
  InitView(panel_w, panel_h);
  engine.x_unit_seconds = 1;
  engine.base_time = DateTime{base_ * kTicksPerSecond};
  engine.grMaxx = policy_.full_max;
  policy_.y_low = y_low;
  policy_.y_high = y_high;
  engine.grMiny = y_low;
  engine.grMaxy = y_high;
  engine.gSetTitle("");  // one probe's tag is laid out with its legend (PutLegend)
  engine.gSetTitley(series_.empty() ? "" : HistoryYTitle(series_.front().probe));
  loaded_cols_ = -1;
}

void HistoryGraph::Load() {
  const int cols = std::max(engine.gbW, 1);
  if (cols == loaded_cols_ && engine.grMinx == loaded_min_ && engine.grMaxx == loaded_max_) return;
  std::vector<std::vector<HistoryReading>> read(series_.size());
  for (std::size_t i = 0; i < series_.size() && reader_; ++i) {
    read[i] = reader_(series_[i].probe.id, base_ + engine.grMinx, base_ + engine.grMaxx, cols);
    ++reads_;
    if (std::string why = read_failure ? read_failure() : std::string(); !why.empty()) {
      // What was shown stays; the next redraw reads again.
      stale_ = why;
      return;
    }
  }
  stale_.clear();
  for (std::size_t i = 0; i < series_.size(); ++i) {
    HistorySeries& s = series_[i];
    s.x.clear();
    s.y.clear();
    s.set_aside.clear();
    if (!reader_) continue;
    const std::vector<HistoryReading>& readings = read[i];
    s.x.reserve(readings.size());
    s.y.reserve(readings.size());
    for (const HistoryReading& r : readings) {
      s.x.push_back(ClampSeconds(r.time - base_));
      s.y.push_back(r.value);
    }
    if (set_aside_of) MarkSetAside(set_aside_of(s.probe.id), readings, &s.set_aside);
  }
  // The range snaps to the readings found, as the graph window snaps to sample times; the
  // snapped range holds the same readings, so it needs no second read.
  int lo = std::numeric_limits<int>::max();
  int hi = std::numeric_limits<int>::min();
  for (const HistorySeries& s : series_) {
    if (s.x.empty()) continue;
    lo = std::min(lo, s.x.front());
    hi = std::max(hi, s.x.back());
  }
  // The wheel's view stays as zoomed: snapped to the readings in it, a view widened by less
  // than the gap to the next reading would shrink back, and the pointer's time would move.
  if (lo <= hi && !wheeled_) {
    engine.grMinx = lo;
    engine.grMaxx = hi;
  }
  loaded_min_ = engine.grMinx;
  loaded_max_ = engine.grMaxx;
  loaded_cols_ = cols;
}

void HistoryGraph::BaseGraph() {
  engine.gSetSize(engine.gBaseW, engine.gBaseH);
  Load();
  if (yaxis_auto) {
    bool any = false;
    double lo = 0.0, hi = 0.0;
    for (const HistorySeries& s : series_) {
      if (s.y.empty()) continue;
      const int n = static_cast<int>(s.y.size());
      const double smin = PlotEngine::gMinValue(s.y.data(), n);
      const double smax = PlotEngine::gMaxValue(s.y.data(), n);
      lo = any ? std::min(lo, smin) : smin;
      hi = any ? std::max(hi, smax) : smax;
      any = true;
    }
    if (any) {
      // A margin that keeps its share of the plot at any scale; a flat series gets one of its
      // own size (half a unit at zero). Metal loss that is not negative keeps zero as its floor.
      const double span = hi - lo;
      const double margin = span > 0 ? span * kYMargin : (hi != 0 ? std::abs(hi) * kYMargin : 0.5);
      bool metal_loss = true;
      for (const HistorySeries& s : series_) metal_loss = metal_loss && IsMetalLoss(s.probe);
      engine.grMiny = metal_loss && lo >= 0 ? std::max(lo - margin, 0.0) : lo - margin;
      engine.grMaxy = hi + margin;
    }
  }
  // Y labels take the series' colour for one probe; several probes share black labels.
  engine.cl_data = Overlay() ? kColorBlack : cl_data_;
  engine.gDrawBase();
  FitTrends();
  PutLegend();
}

void HistoryGraph::FitTrends() {
  for (HistorySeries& s : series_) {
    s.has_fit = false;
    const size_t n_all = s.x.size();
    // The readings the line is fitted to: all in view, or those of the rate's window.
    const HistoryTime since =
        rate_window > 0 && s.probe.count > 0 ? s.probe.last_time - int64_t{rate_window} * 86400 : 0;
    size_t first = 0;
    while (first < n_all && ((since != 0 && base_ + s.x[first] < since) || s.SetAside(first))) {
      ++first;
    }
    // Readings set aside count in no fit.
    size_t n = 0, last = first;
    for (size_t i = first; i < n_all; ++i) {
      if (s.SetAside(i)) continue;
      ++n;
      last = i;
    }
    if (rate_window >= 0 && IsMetalLoss(s.probe)) {
      // The stored rate's slope (per year of 365 days, in the reading's unit), through the
      // window's readings in view: the line shows the figure printed beside it.
      if (!s.probe.rate || n == 0) continue;
      s.const_a = *s.probe.rate / (365.0 * 86400.0);
      double b = 0;
      for (size_t i = first; i < n_all; ++i) {
        if (!s.SetAside(i)) b += s.y[i] - s.const_a * s.x[i];
      }
      s.const_b = b / static_cast<double>(n);
      s.fit_from = s.x[first];
      s.has_fit = n >= 2 || s.x[first] != s.x[last];
      continue;
    }
    if (n < 2) continue;
    // Centred sums: seconds after the base reach 10^9, whose squares would swamp a plain fit.
    double mx = 0, my = 0;
    for (size_t i = first; i < n_all; ++i) {
      if (s.SetAside(i)) continue;
      mx += s.x[i];
      my += s.y[i];
    }
    mx /= static_cast<double>(n);
    my /= static_cast<double>(n);
    double sxy = 0, sxx = 0;
    for (size_t i = first; i < n_all; ++i) {
      if (s.SetAside(i)) continue;
      const double dx = s.x[i] - mx;
      sxy += dx * (s.y[i] - my);
      sxx += dx * dx;
    }
    if (sxx == 0) continue;
    s.const_a = sxy / sxx;
    s.const_b = my - s.const_a * mx;
    s.fit_from = s.x[first];
    s.has_fit = true;
  }
}

std::string HistoryGraph::LegendRate(size_t i) const {
  if (i >= series_.size()) return {};
  if (i == 0 && !legend_rate.empty()) return rate_label + " : " + legend_rate;
  if (rate_window < 0) {
    const std::string rate = RateText(i);
    return rate.empty() ? rate
                        : (rate_label.empty() ? "Corrosion Rate" : rate_label) + " : " + rate;
  }
  const ProbeSummary& p = series_[i].probe;
  const std::string figure =
      p.rate ? LocaleNumber(FormatPattern(*p.rate, 4)) + " " + p.rate_unit : std::string("-");
  return (rate_label.empty() ? RateColumnTitle(rate_window) : rate_label) + " : " + figure;
}

std::string HistoryGraph::RateText(size_t i) const {
  if (i >= series_.size()) return {};
  const HistorySeries& s = series_[i];
  if (!IsMetalLoss(s.probe) || s.x.size() < 2) return {};
  // The rate between the first and last visible readings kept, the graph window's rule, to the
  // second.
  std::size_t a = 0, b = s.x.size() - 1;
  while (a < b && s.SetAside(a)) ++a;
  while (b > a && s.SetAside(b)) --b;
  const double hours = (static_cast<double>(s.x[b]) - s.x[a]) / 3600.0;
  if (hours <= 0) return {};
  const double rate = (s.y[b] - s.y[a]) / hours * 8760.0;
  const std::string unit = s.probe.rate_unit.empty() ? "mpy" : s.probe.rate_unit;
  return LocaleNumber(FormatPattern(rate, 4)) + " " + unit;
}

namespace {

// A text's box in the band above the plot; DrawSurface gives widths only, so the height is
// the font's usual line height at 96 dots per inch.
struct TextBox {
  int x, y, w, h;
  bool Meets(const TextBox& o) const {
    return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
  }
};

int LineHeight(const FontInfo& font) {
  return static_cast<int>(std::ceil(font.points * 96.0 / 72.0 * 1.25));
}

// Cuts `text` with "..." until it fits `width`.
std::string Fitted(const PlotEngine& engine, std::string text, const FontInfo& font, int width) {
  if (engine.TextWidth(text, font) <= width) return text;
  while (!text.empty() && engine.TextWidth(text + "...", font) > width) text.pop_back();
  return text.empty() ? text : text + "...";
}

}  // namespace

void HistoryGraph::PutLegend() {
  // A window shown before any probe was opened has nothing to name.
  if (series_.empty()) return;
  const int x1 = engine.gX1;
  if (!Overlay()) {
    PutLegendLines(cl_data_, cl_trend_);
    // The tag and the rate share the band right of the legend; when they do not fit side by
    // side the tag moves to a row of its own above, and what still does not fit is cut short,
    // never drawn over another text.
    constexpr int kGap = 12;
    const FontInfo& tag_font = engine.gFontTitle;
    const FontInfo& rate_font = engine.gFontTitlex;
    const int legend_right = LegendRight();
    const int right = engine.gX2 + 20;
    const std::string rate_text =
        Fitted(engine, LegendRate(0), rate_font, std::max(right - legend_right - kGap, 0));
    const std::string tag_whole = name_label + " : " + ProbeName(series_.front().probe);
    const int rate_w = engine.TextWidth(rate_text, rate_font);
    const TextBox rate{right - rate_w, 25, rate_w, LineHeight(rate_font)};
    // First choice: the tag centred over the plot, on the legend's rows.
    int tag_w = engine.TextWidth(tag_whole, tag_font);
    TextBox tag{(engine.gX1 + engine.gX2 - tag_w) / 2, 20, tag_w, LineHeight(tag_font)};
    const TextBox spaced{tag.x - kGap, tag.y, tag.w + 2 * kGap, tag.h};
    std::string tag_text = tag_whole;
    if (tag.x < legend_right + kGap || tag.x + tag.w > right || spaced.Meets(rate)) {
      // Else the top row, above the legend, across the plot's width.
      tag_text = Fitted(engine, tag_whole, tag_font, right - x1);
      tag_w = engine.TextWidth(tag_text, tag_font);
      tag = {x1, 20 - LineHeight(tag_font), tag_w, LineHeight(tag_font)};
    }
    engine.DrawTextAt(tag.x, tag.y, tag_text, tag_font, engine.gclTitle);
    engine.DrawTextAt(rate.x, rate.y, rate_text, rate_font, engine.gclTitlex);
    return;
  }
  // One entry per probe: a colour sample, then tag, serial and rate over the view, laid out in
  // rows across the band above the plot box.
  const FontInfo& font = engine.gFontLabelx;
  int x = x1;
  int row = 0;
  constexpr int kRows = 3;
  const int right = engine.gX2 + 60;
  for (size_t i = 0; i < series_.size(); ++i) {
    std::string text = ProbeName(series_[i].probe);
    const std::string rate = rate_window < 0 ? RateText(i) : LegendRate(i);
    if (!rate.empty()) text += "  " + rate;
    const int width = 30 + 6 + engine.TextWidth(text, font) + 18;
    if (x + width > right && x > x1) {
      if (++row >= kRows) break;
      x = x1;
    }
    const int y = 4 + row * 17;
    engine.gSetLine(series_[i].color, 4);
    engine.DrawLinePx(x, y + 8, x + 30, y + 8);
    engine.DrawTextAt(x + 36, y, text, font, engine.gclTitlex);
    x += width;
  }
}

void HistoryGraph::DrawGraph() {
  DrawSurface* surface = engine.surface();
  if (surface == nullptr) return;
  const auto& r = engine.gRect;
  surface->SetClip(r.x, r.y, r.w, r.h);
  constexpr uint32_t kSetAsideColor = 0xFFB0B0B0;
  for (const HistorySeries& s : series_) {
    if (!view_data || s.x.empty()) continue;
    engine.gSetLine(s.color, data_line);
    engine.gDrawGraph(s.y.data(), s.x.data(), 0, static_cast<int>(s.x.size()) - 1);
    // Readings set aside stay drawn, greyed over, with the lines that join them.
    const int n = static_cast<int>(s.x.size());
    for (int i = 0; i < n;) {
      if (!s.SetAside(static_cast<size_t>(i))) {
        ++i;
        continue;
      }
      int j = i;
      while (j + 1 < n && s.SetAside(static_cast<size_t>(j + 1))) ++j;
      engine.gSetLine(kSetAsideColor, data_line + 1.0f);
      engine.gDrawGraph(s.y.data(), s.x.data(), std::max(i - 1, 0), std::min(j + 1, n - 1));
      i = j + 1;
    }
  }
  if (view_trend) {
    for (const HistorySeries& s : series_) {
      if (!s.has_fit) continue;
      const double x1 = s.fit_from, x2 = s.x.back();
      engine.gSetLine(Overlay() ? s.color : cl_trend_, trend_line);
      engine.gDrawLine(x1, s.const_a * x1 + s.const_b, x2, s.const_a * x2 + s.const_b);
    }
  }
  DrawSegments();
  DrawCoupons();
  DrawMarks();
  surface->ResetClip();
}

void HistoryGraph::DrawSegments() {
  for (const GraphSegment& g : segments) {
    engine.gSetLine(g.color, trend_line + 1.5f);
    engine.gDrawLine(static_cast<double>(g.from - base_), g.from_value,
                     static_cast<double>(g.to - base_), g.to_value);
  }
  if (segments_text.empty()) return;
  const auto& r = engine.gRect;
  const FontInfo& font = engine.gFontLabelx;
  const int w = engine.TextWidth(segments_text, font), h = LineHeight(font);
  engine.surface()->FillRect(r.x + 4, r.y + r.h - h - 6, w + 8, h + 2, 0xF0FFFFFF);
  engine.DrawTextAt(r.x + 8, r.y + r.h - h - 5, segments_text, font, 0xFF000000);
}

bool HistoryGraph::Anchored(HistoryTime from, HistoryTime to, HistoryTime at, double per_year,
                            GraphSegment* segment) const {
  if (series_.empty()) return false;
  const HistorySeries& s = series_.front();
  const double per_second = per_year / (365.0 * 86400.0);
  double sum = 0;
  int n = 0;
  for (size_t i = 0; i < s.x.size(); ++i) {
    const HistoryTime t = base_ + s.x[i];
    if (t < from || t >= to || s.SetAside(i)) continue;
    sum += s.y[i] - per_second * static_cast<double>(t - at);
    ++n;
  }
  if (n == 0) return false;
  const double at_value = sum / n;  // the line's value at `at`
  segment->from = from;
  segment->to = to;
  segment->from_value = at_value + per_second * static_cast<double>(from - at);
  segment->to_value = at_value + per_second * static_cast<double>(to - at);
  return true;
}

void HistoryGraph::DrawCoupons() {
  if (series_.empty() || !IsMetalLoss(series_.front().probe)) return;
  // A wide see-through band: where the coupon agrees with the probe it lies along the readings,
  // which must still show through it.
  const FontInfo& font = engine.gFontLabelx;
  const auto& r = engine.gRect;
  for (const GraphCoupon& c : coupons) {
    GraphSegment g;
    const HistoryTime mid = c.from + (c.to - c.from) / 2;
    if (!Anchored(c.from, c.to + 1, mid, c.rate, &g)) continue;
    engine.gSetLine(kCouponBandColor, trend_line + 6.0f);
    engine.gDrawLine(static_cast<double>(g.from - base_), g.from_value,
                     static_cast<double>(g.to - base_), g.to_value);
    // The label from the band's middle, on the side away from the loss already reached (below
    // a rising series), kept inside the plot.
    const int w = engine.TextWidth(c.label, font), h = LineHeight(font);
    const int x_mid = engine.gGetScrX(
        static_cast<int>(std::clamp<int64_t>(mid - base_, engine.grMinx, engine.grMaxx)));
    const int y_mid = engine.gGetScrY((g.from_value + g.to_value) / 2);
    const int x = std::clamp(x_mid + 8, r.x + 2, std::max(r.x + 2, r.x + r.w - w - 2));
    const int y = std::clamp(y_mid + h / 2, r.y + 2, std::max(r.y + 2, r.y + r.h - 2 * h - 4));
    engine.DrawTextAt(x, y, c.label, font, kCouponColor);
  }
}

void HistoryGraph::PutEventSides(HistoryTime at, int32_t days, std::optional<double> before,
                                 std::optional<double> after, std::string text) {
  segments.clear();
  segments_text = std::move(text);
  if (series_.empty()) return;
  const HistorySeries& s = series_.front();
  const bool metal = IsMetalLoss(s.probe);
  const int64_t span = int64_t{days} * 86400;
  auto side = [&](HistoryTime from, HistoryTime to, std::optional<double> rate, uint32_t color) {
    if (!rate) return;
    if (!metal) {
      segments.push_back({from, to, *rate, *rate, color});
      return;
    }
    GraphSegment g;
    if (!Anchored(from, to, at, *rate, &g)) return;
    g.color = color;
    segments.push_back(g);
  };
  side(at - span, at, before, 0xFF1060D0);
  side(at, at + span, after, 0xFFD02060);
}

int HistoryGraph::MarkNear(int px) const {
  int best = -1, best_d = 5;
  for (size_t i = 0; i < marks.size(); ++i) {
    const int64_t at = marks[i].time - base_;
    if (at < engine.grMinx || at > engine.grMaxx) continue;
    const int d = std::abs(engine.gGetScrX(static_cast<int>(at)) - px);
    if (d < best_d) {
      best = static_cast<int>(i);
      best_d = d;
    }
  }
  return best;
}

HistoryTime HistoryGraph::TimeAt(int px) const {
  const int x = std::clamp(px, engine.gX1, engine.gX2);
  const double at = engine.grMinx + static_cast<double>(x - engine.gX1) *
                                        (static_cast<double>(engine.grMaxx) - engine.grMinx) /
                                        std::max(engine.gbW - 1, 1);
  return base_ +
         std::clamp(static_cast<int64_t>(std::llround(at)), int64_t{0}, int64_t{policy_.full_max});
}

void HistoryGraph::DrawMarks() {
  const auto& r = engine.gRect;
  const FontInfo& font = engine.gFontLabelx;
  int label_right = INT_MIN;  // labels that would meet the one before go a row lower
  int row = 0;
  for (const GraphMark& m : marks) {
    const int64_t at = m.time - base_;
    if (at < engine.grMinx || at > engine.grMaxx) continue;
    const int x = engine.gGetScrX(static_cast<int>(at));
    // Dashed, so that it reads as a mark and not as a reading.
    for (int y = r.y; y < r.y + r.h; y += 8) {
      engine.surface()->DrawLine(x, y, x, std::min(y + 4, r.y + r.h), m.color, 1.0f);
    }
    const int w = engine.TextWidth(m.label, font);
    const int lx = std::min(x + 3, r.x + r.w - w - 2);
    row = lx <= label_right ? (row + 1) % 3 : 0;
    engine.DrawTextAt(lx, r.y + 2 + row * LineHeight(font), m.label, font, m.color);
    label_right = std::max(label_right, lx + w + 4);
  }
}

std::string HistoryGraph::PutValue(int p, int y) const {
  const HistorySeries* best = nullptr;
  int best_i = 0;
  int64_t best_dy = 0;
  for (const HistorySeries& s : series_) {
    if (s.x.empty()) continue;
    const int i = ReadoutSample(s.x.data(), static_cast<int>(s.x.size()), p);
    if (i < 0) continue;
    // A huge reading maps to the end of int: the distance is taken in 64 bits.
    const int64_t dy = std::llabs(int64_t{engine.gGetScrY(s.y[i])} - y);
    if (best == nullptr || dy < best_dy) {
      best = &s;
      best_i = i;
      best_dy = dy;
    }
  }
  if (best == nullptr) return {};
  std::string text = DateTime2Str(DateTime{(base_ + best->x[best_i]) * kTicksPerSecond}) + " , " +
                     LocaleNumber(FormatPattern(best->y[best_i], 4));
  return Overlay() ? ProbeName(best->probe) + " : " + text : text;
}

const HistorySeries* HistoryZoom::Densest() const {
  const HistorySeries* best = nullptr;
  for (const HistorySeries& s : *series_) {
    if (best == nullptr || s.x.size() > best->x.size()) best = &s;
  }
  return best != nullptr && !best->x.empty() ? best : nullptr;
}

PlotSpan HistoryZoom::Wheel(const PlotSpan& now, int delta, const PlotPoint& at, bool along_x,
                            bool along_y) const {
  PlotSpan span = now;
  // A part of a notch (a touchpad) zooms that part of a fifth; in and out undo each other.
  const double keep = std::pow(kWheelKeep, delta / 120.0);
  if (along_x) {
    const double mid = at.inside ? at.x : (now.x_lo + static_cast<double>(now.x_hi)) / 2.0;
    // A view narrowed to one reading still widens.
    const double lo_part = std::max(mid - now.x_lo, keep > 1 ? kWheelShortest / 2.0 : 0.0);
    const double hi_part = std::max(now.x_hi - mid, keep > 1 ? kWheelShortest / 2.0 : 0.0);
    double lo = mid - lo_part * keep;
    double hi = mid + hi_part * keep;
    // Kept within the history: a view pushed past one end slides back rather than shrinks.
    if (lo < 0) {
      hi = std::min(hi - lo, static_cast<double>(full_max));
      lo = 0;
    }
    if (hi > full_max) {
      lo = std::max(lo - (hi - full_max), 0.0);
      hi = full_max;
    }
    const int new_lo = static_cast<int>(std::floor(lo));
    const int new_hi = static_cast<int>(std::ceil(hi));
    // Zooming in stops before the view would hold less than two readings or a minute.
    const HistorySeries* s = Densest();
    const bool room = s != nullptr && new_hi - new_lo >= kWheelShortest &&
                      std::upper_bound(s->x.begin(), s->x.end(), new_hi) -
                              std::lower_bound(s->x.begin(), s->x.end(), new_lo) >=
                          2;
    if (keep > 1 || room) {
      span.x_lo = new_lo;
      span.x_hi = new_hi;
    }
  }
  if (along_y) {
    const double mid = at.inside ? at.y : (now.y_lo + now.y_hi) / 2.0;
    const double lo = mid - (mid - now.y_lo) * keep;
    const double hi = mid + (now.y_hi - mid) * keep;
    if (hi - lo > 1e-9) {
      span.y_lo = lo;
      span.y_hi = hi;
    }
  }
  return span;
}

}  // namespace tarn
