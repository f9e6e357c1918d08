// SPDX-License-Identifier: GPL-3.0-or-later
// Readings an import flags for review without setting them aside: a metal-loss probe's loss
// falling between neighbouring readings by more than a share of its element's life (a probe
// reset, a wiring fault, a swapped element).
#pragma once

#include <vector>

#include "history/history_store.h"

namespace tarn {

// The share of the probe life a fall must exceed to be flagged.
inline constexpr double kStepDownShare = 0.02;

struct StepDown {
  HistoryReading from;  // the reading before the fall
  HistoryReading to;    // the first reading after it
};

// Every fall between neighbouring readings (in time order) larger than kStepDownShare of
// `probe_life`; none without a probe life.
std::vector<StepDown> FindStepDowns(const std::vector<HistoryReading>& readings, double probe_life);

}  // namespace tarn
