// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/transmitter_poll.h"

#include <algorithm>
#include <cstring>

namespace tarn {

double ErMetalLoss(uint16_t reg, double span) {
  return static_cast<double>(reg) / 65535.0 * span;
}

double ReadingFromRegisters(const TransmitterConfig& t, const uint16_t* regs) {
  if (t.kind == TransmitterKind::kEr) return ErMetalLoss(regs[0], t.span);
  return Float32FromWords(regs[0], regs[1]);
}

int64_t PollSlotMs(int64_t due_ms, int64_t now_ms, int64_t interval_ms) {
  if (now_ms <= due_ms || interval_ms <= 0) return due_ms;
  return due_ms + (now_ms - due_ms) / interval_ms * interval_ms;
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
