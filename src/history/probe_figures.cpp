// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/probe_figures.h"

#include <cmath>
#include <cstdio>

#include "common/number_text.h"

namespace tarn {

namespace {

constexpr double kDaysPerYear = 365.0;  // the graph's year of 8760 hours

std::string Percent(double share) {
  return FormatFixed(share * 100.0, 1) + " %";
}

// One reason line, e.g. "rate 12.30 mpy above alarm 10.00".
std::string RateReason(double rate, const std::string& unit, const char* what, double level) {
  return "rate " + FormatFixed(rate, 2) + " " + unit + " " + what + " " + FormatFixed(level, 2);
}

}  // namespace

std::optional<double> LeastSquaresSlope(const RegressionSums& s) {
  if (s.n < 2) return std::nullopt;
  const double n = static_cast<double>(s.n);
  const double d = n * s.sxx - s.sx * s.sx;
  // All readings at one time (or rounding noise of it): no line.
  if (!(d > 1e-12 * n * s.sxx)) return std::nullopt;
  return (n * s.sxy - s.sx * s.sy) / d;
}

SeriesKind KindOfSeries(int32_t data_type) {
  switch (data_type) {
    case 0:
    case 4:
      return SeriesKind::kMetalLoss;
    case 1:
    case 5:
      return SeriesKind::kCorrosionRate;
    default:
      return SeriesKind::kOther;
  }
}

bool IsMillimetreProbe(const ProbeHeader& header) {
  const std::string& u = header.mloss_unit;
  return u.find("MM") != std::string::npos || u.find("MILLIM") != std::string::npos;
}

HistoryLimits LimitsInUnit(const HistoryLimits& mpy_limits, bool millimetre) {
  HistoryLimits l = mpy_limits;
  if (millimetre) {
    l.rate_warn *= kMmPerMil;
    l.rate_alarm *= kMmPerMil;
  }
  return l;
}

void FillProbeFigures(const RegressionSums& window, ProbeSummary* s) {
  s->rate.reset();
  s->consumed.reset();
  s->end_time.reset();
  s->rate_unit.clear();
  s->state = ProbeState::kOk;
  s->state_reason.clear();

  const SeriesKind kind = KindOfSeries(s->key.data_type);
  const bool mm = kind == SeriesKind::kMetalLoss && IsMillimetreProbe(s->header);
  if (kind == SeriesKind::kMetalLoss) {
    s->rate_unit = mm ? "mm/y" : "mpy";
    if (const auto slope = LeastSquaresSlope(window)) s->rate = *slope * kDaysPerYear;
    if (s->count > 0 && s->header.probe_life > 0) {
      s->consumed = s->latest_value / s->header.probe_life;
      if (s->rate && *s->rate > 0) {
        const double years = (s->header.probe_life - s->latest_value) / *s->rate;
        const double seconds = std::max(0.0, years) * kDaysPerYear * kSecondsPerDay;
        // Beyond the calendar the date means nothing: leave it out.
        if (seconds < 9.0e10) s->end_time = s->last_time + static_cast<HistoryTime>(seconds);
      }
    }
  } else if (kind == SeriesKind::kCorrosionRate) {
    s->rate_unit = "mpy";
    if (window.n > 0) s->rate = window.sy / static_cast<double>(window.n);
  }

  const HistoryLimits l = LimitsInUnit(s->limits, mm);
  std::string reasons;
  auto note = [&](ProbeState state, const std::string& why) {
    if (state > s->state) s->state = state;
    if (!reasons.empty()) reasons += "; ";
    reasons += why;
  };
  if (s->rate && kind != SeriesKind::kOther) {
    if (*s->rate > l.rate_alarm) {
      note(ProbeState::kAlarm, RateReason(*s->rate, s->rate_unit, "above alarm", l.rate_alarm));
    } else if (*s->rate >= l.rate_warn) {
      note(ProbeState::kWarning,
           RateReason(*s->rate, s->rate_unit, "at or above warning", l.rate_warn));
    }
  }
  if (s->consumed) {
    if (*s->consumed >= l.consumed_alarm) {
      note(ProbeState::kAlarm,
           "consumed " + Percent(*s->consumed) + " at or above alarm " + Percent(l.consumed_alarm));
    } else if (*s->consumed >= l.consumed_warn) {
      note(ProbeState::kWarning, "consumed " + Percent(*s->consumed) + " at or above warning " +
                                     Percent(l.consumed_warn));
    }
  }
  s->state_reason = reasons;
}

Status CheckLimits(const HistoryLimits& l) {
  const double all[] = {l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm};
  for (double v : all) {
    if (!std::isfinite(v) || v < 0) return Status::Fail("Limits must be numbers >= 0.");
  }
  if (l.consumed_warn > 1.0 || l.consumed_alarm > 1.0) {
    return Status::Fail("A consumed level must not be above 100 %.");
  }
  if (l.rate_warn > l.rate_alarm || l.consumed_warn > l.consumed_alarm) {
    return Status::Fail("A warning level must not be above its alarm level.");
  }
  return {};
}

}  // namespace tarn
