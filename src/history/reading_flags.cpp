// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/reading_flags.h"

namespace tarn {

std::vector<StepDown> FindStepDowns(const std::vector<HistoryReading>& readings,
                                    double probe_life) {
  std::vector<StepDown> out;
  if (!(probe_life > 0.0)) return out;
  const double limit = kStepDownShare * probe_life;
  for (std::size_t i = 1; i < readings.size(); ++i) {
    if (readings[i - 1].value - readings[i].value > limit) {
      out.push_back({readings[i - 1], readings[i]});
    }
  }
  return out;
}

}  // namespace tarn
