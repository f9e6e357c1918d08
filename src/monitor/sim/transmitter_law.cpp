#include "monitor/sim/transmitter_law.h"

#include <bit>
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

std::array<uint16_t, 2> Float32Words(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFFu)};
}

float Float32FromWords(uint16_t high, uint16_t low) {
  return std::bit_cast<float>((static_cast<uint32_t>(high) << 16) | low);
}

int RegisterCount(TransmitterKind kind) {
  return kind == TransmitterKind::kEr ? 1 : 2;
}

uint16_t TransmitterRegister(const SimTransmitter& t, int offset, double elapsed_seconds) {
  if (t.kind == TransmitterKind::kEr) return ErRegisterFor(ErLossAt(t, elapsed_seconds), t.span);
  return Float32Words(static_cast<float>(t.rate))[offset == 0 ? 0 : 1];
}

}  // namespace tarn
