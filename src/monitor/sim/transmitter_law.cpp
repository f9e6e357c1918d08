// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/sim/transmitter_law.h"

#include <cmath>

namespace tarn {

double ErLossAt(const SimTransmitter& t, double elapsed_seconds) {
  return t.start_loss + t.rate * (elapsed_seconds / kSecondsPerYear);
}

uint16_t ErRegisterFor(double loss, double span) {
  if (!(span > 0) || !(loss > 0)) return 0;
  const double scaled = std::round(loss / span * 65535.0);
  if (scaled >= 65535.0) return 65535;
  return static_cast<uint16_t>(scaled);
}

uint16_t TransmitterRegister(const SimTransmitter& t, int offset, double elapsed_seconds) {
  if (t.kind == TransmitterKind::kEr) return ErRegisterFor(ErLossAt(t, elapsed_seconds), t.span);
  return Float32Words(static_cast<float>(t.rate))[offset == 0 ? 0 : 1];
}

}  // namespace tarn
