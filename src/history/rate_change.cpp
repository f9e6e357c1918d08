// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/rate_change.h"

#include <cmath>

namespace tarn {

namespace {

constexpr double kDaysPerYear = 365.0;  // as every other rate of the history

// Continued fraction of the regularised incomplete beta function (modified Lentz).
double BetaFraction(double a, double b, double x) {
  constexpr double kTiny = 1e-300;
  const double qab = a + b, qap = a + 1.0, qam = a - 1.0;
  double c = 1.0, d = 1.0 - qab * x / qap;
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1.0 / d;
  double h = d;
  for (int m = 1; m <= 300; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1.0) < 1e-15) break;
  }
  return h;
}

// I_x(a, b).
double RegularisedBeta(double a, double b, double x) {
  if (x <= 0.0) return 0.0;
  if (x >= 1.0) return 1.0;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1.0) / (a + b + 2.0)) return front * BetaFraction(a, b, x) / a;
  return 1.0 - front * BetaFraction(b, a, 1.0 - x) / b;
}

// P(T <= t) for t >= 0.
double StudentTCdf(double t, double df) {
  return 1.0 - 0.5 * RegularisedBeta(df / 2.0, 0.5, df / (df + t * t));
}

}  // namespace

std::optional<SideFit> FitSlope(const SideSums& side) {
  const RegressionSums& s = side.s;
  if (s.n < kFewestReadingsASide) return std::nullopt;
  const double n = static_cast<double>(s.n);
  const double sxx = s.sxx - s.sx * s.sx / n;
  if (!(sxx > 1e-12 * std::fabs(s.sxx))) return std::nullopt;
  const double sxy = s.sxy - s.sx * s.sy / n;
  const double syy = side.syy - s.sy * s.sy / n;
  const double slope = sxy / sxx;
  // The scatter about the line; rounding may leave a tiny negative for a perfect line.
  const double sse = std::fmax(syy - slope * sxy, 0.0);
  return SideFit{s.n, slope, std::sqrt(sse / (n - 2.0) / sxx)};
}

std::optional<SideFit> FitMean(const SideSums& side) {
  const RegressionSums& s = side.s;
  if (s.n < kFewestReadingsASide) return std::nullopt;
  const double n = static_cast<double>(s.n);
  const double mean = s.sy / n;
  const double ss = std::fmax(side.syy - s.sy * mean, 0.0);
  return SideFit{s.n, mean, std::sqrt(ss / (n - 1.0) / n)};
}

double StudentTQuantile(double p, double df) {
  if (p == 0.5) return 0.0;
  if (p < 0.5) return -StudentTQuantile(1.0 - p, df);
  // The CDF rises with t: halve a bracket that holds the answer.
  double lo = 0.0, hi = 1.0;
  while (StudentTCdf(hi, df) < p && hi < 1e12) hi *= 2.0;
  for (int i = 0; i < 200 && hi - lo > 1e-12 * hi; ++i) {
    const double mid = 0.5 * (lo + hi);
    (StudentTCdf(mid, df) < p ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

RateChange CompareSides(const SideSums& before, const SideSums& after, SeriesKind kind) {
  RateChange out;
  if (kind == SeriesKind::kOther) {
    out.reason = "this kind of reading has no rate";
    return out;
  }
  const bool slopes = kind == SeriesKind::kMetalLoss;
  auto fit = [&](const SideSums& side, const char* which) -> std::optional<SideFit> {
    std::optional<SideFit> f = slopes ? FitSlope(side) : FitMean(side);
    if (!f && out.reason.empty()) {
      out.reason = std::to_string(side.s.n) + " reading" + (side.s.n == 1 ? "" : "s") + " " +
                   which + " the event; at least " + std::to_string(kFewestReadingsASide) +
                   " are needed";
    }
    return f;
  };
  const std::optional<SideFit> b = fit(before, "before");
  const std::optional<SideFit> a = fit(after, "after");
  const double scale = slopes ? kDaysPerYear : 1.0;
  if (b) out.before = b->figure * scale;
  if (a) out.after = a->figure * scale;
  if (!a || !b) return out;
  const double df = static_cast<double>(a->n + b->n) - (slopes ? 4.0 : 2.0);
  const double se = std::hypot(a->standard_error, b->standard_error);
  const double half = StudentTQuantile(0.975, df) * se;
  const double change = a->figure - b->figure;
  out.change = change * scale;
  out.low = (change - half) * scale;
  out.high = (change + half) * scale;
  out.significant = *out.low > 0.0 || *out.high < 0.0;
  return out;
}

RateChange CompareReadings(const std::vector<HistoryReading>& before,
                           const std::vector<HistoryReading>& after, SeriesKind kind) {
  // x in days from the first reading before: small numbers keep the sums exact enough.
  const HistoryTime origin =
      !before.empty() ? before.front().time : (!after.empty() ? after.front().time : 0);
  auto sums = [&](const std::vector<HistoryReading>& readings) {
    SideSums side;
    for (const HistoryReading& r : readings) {
      side.Add(static_cast<double>(r.time - origin) / kSecondsPerDay, r.value);
    }
    return side;
  };
  return CompareSides(sums(before), sums(after), kind);
}

}  // namespace tarn
