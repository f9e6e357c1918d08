// SPDX-License-Identifier: GPL-3.0-or-later
// What a transmitter's registers mean, and the back-off of one that does not answer.
#include <gtest/gtest.h>

#include <vector>

#include "monitor/transmitter_poll.h"

namespace tarn {
namespace {

TEST(TransmitterPoll, ConvertsRegisters) {
  TransmitterConfig er;
  er.kind = TransmitterKind::kEr;
  er.span = 5.0;
  const struct {
    uint16_t reg;
    double loss;
  } er_cases[] = {{0, 0.0}, {65535, 5.0}, {13107, 1.0}, {32768, 32768.0 / 65535.0 * 5.0}};
  for (const auto& c : er_cases) {
    const uint16_t regs[2] = {c.reg, 0xFFFF};
    EXPECT_DOUBLE_EQ(ReadingFromRegisters(er, regs), c.loss) << c.reg;
  }
  TransmitterConfig lpr;
  lpr.kind = TransmitterKind::kLpr;
  const struct {
    uint16_t high, low;
    float rate;
  } lpr_cases[] = {{0x3FC0, 0x0000, 1.5f},
                   {0x4148, 0x0000, 12.5f},
                   {0x0000, 0x0000, 0.0f},
                   {0x3DCC, 0xCCCD, 0.1f}};
  for (const auto& c : lpr_cases) {
    const uint16_t regs[2] = {c.high, c.low};
    EXPECT_FLOAT_EQ(static_cast<float>(ReadingFromRegisters(lpr, regs)), c.rate) << c.rate;
  }
  EXPECT_EQ(RegisterCount(TransmitterKind::kEr), 1);
  EXPECT_EQ(RegisterCount(TransmitterKind::kLpr), 2);
}

TEST(TransmitterPoll, BacksOffToTheIntervalAndReportsOnce) {
  PollSchedule s(10);
  EXPECT_EQ(s.Answered().delay_ms, 10000);
  std::vector<int64_t> delays;
  int quiet = 0;
  for (int k = 0; k < 7; ++k) {
    const auto step = s.Failed();
    delays.push_back(step.delay_ms);
    quiet += step.went_quiet;
  }
  EXPECT_EQ(delays, (std::vector<int64_t>{1000, 2000, 4000, 8000, 10000, 10000, 10000}));
  EXPECT_EQ(quiet, 1);
  const auto back = s.Answered();
  EXPECT_TRUE(back.came_back);
  EXPECT_EQ(back.failed_polls, 7);
  EXPECT_FALSE(s.Answered().came_back);
  // A new outage starts again from 1 s.
  EXPECT_TRUE(s.Failed().went_quiet);
  EXPECT_EQ(PollSchedule(1).Failed().delay_ms, 1000);
}

TEST(TransmitterPoll, LatePollsKeepTheirSlot) {
  struct Case {
    int64_t due, now, interval, slot;
  } cases[] = {
      {5000, 5000, 1000, 5000},    // on time
      {5000, 5990, 1000, 5000},    // late within the interval
      {5000, 6000, 1000, 6000},    // a whole interval late: the next slot
      {5000, 7500, 1000, 7000},    // slots missed are not made up
      {5000, 4990, 1000, 5000},    // a timer that fires early
      {5000, 64999, 60000, 5000},  // long intervals
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PollSlotMs(c.due, c.now, c.interval), c.slot) << c.due << " " << c.now;
  }
}

}  // namespace
}  // namespace tarn
