// SPDX-License-Identifier: GPL-3.0-or-later
// What a transmitter's registers mean and when it is read next: the value conversions and the
// back-off of a transmitter that does not answer.
#pragma once

#include <cstdint>

#include "monitor/monitor_config.h"

namespace tarn {

// Metal loss of an ER register: 0..65535 is 0..span.
double ErMetalLoss(uint16_t reg, double span);
// The reading of a transmitter from its registers (RegisterCount(kind) of them).
double ReadingFromRegisters(const TransmitterConfig& t, const uint16_t* regs);

// The regular poll slot that a poll made at now_ms belongs to: the latest of due_ms,
// due_ms + interval, ... not after now_ms. A poll made late by a busy moment keeps its slot's
// time, so that readings one interval apart never share a second.
int64_t PollSlotMs(int64_t due_ms, int64_t now_ms, int64_t interval_ms);

// When to poll next. Every poll answered waits the interval; a transmitter that does not
// answer is tried again after 1 s, then 2, 4, ... up to the interval. Going quiet and coming
// back are each reported once.
class PollSchedule {
 public:
  explicit PollSchedule(int32_t interval_s) : interval_s_(interval_s) {}

  struct Step {
    int64_t delay_ms = 0;      // until the next poll
    bool went_quiet = false;   // first failure after an answer (or at start)
    bool came_back = false;    // first answer after failures
    int32_t failed_polls = 0;  // with came_back: how many polls went unanswered
  };
  Step Answered();
  Step Failed();
  bool quiet() const { return failures_ > 0; }

 private:
  int32_t interval_s_;
  int32_t failures_ = 0;
  int64_t backoff_ms_ = 0;
};

}  // namespace tarn
