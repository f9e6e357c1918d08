#include "monitor/transmitter_poll.h"

#include <algorithm>
#include <cstring>

namespace tarn {

double ErMetalLoss(uint16_t reg, double span) {
  return static_cast<double>(reg) / 65535.0 * span;
}

float FloatFromRegisters(uint16_t high, uint16_t low) {
  const uint32_t bits = (static_cast<uint32_t>(high) << 16) | low;
  float v = 0.0f;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

int32_t RegistersOf(TransmitterKind kind) {
  return kind == TransmitterKind::kEr ? 1 : 2;
}

double ReadingFromRegisters(const TransmitterConfig& t, const uint16_t* regs) {
  if (t.kind == TransmitterKind::kEr) return ErMetalLoss(regs[0], t.span);
  return FloatFromRegisters(regs[0], regs[1]);
}

PollSchedule::Step PollSchedule::Answered() {
  Step s;
  s.delay_ms = int64_t{interval_s_} * 1000;
  s.came_back = failures_ > 0;
  s.failed_polls = failures_;
  failures_ = 0;
  backoff_ms_ = 0;
  return s;
}

PollSchedule::Step PollSchedule::Failed() {
  Step s;
  s.went_quiet = failures_ == 0;
  ++failures_;
  backoff_ms_ = backoff_ms_ == 0 ? 1000 : backoff_ms_ * 2;
  backoff_ms_ = std::min(backoff_ms_, int64_t{interval_s_} * 1000);
  s.delay_ms = backoff_ms_;
  return s;
}

}  // namespace tarn
