// SPDX-License-Identifier: GPL-3.0-or-later
// The readings kept before they reach the history: no second twice, a day at most, and the
// batches of a few polls.
#include <gtest/gtest.h>

#include "monitor/reading_buffer.h"

namespace tarn {
namespace {

TEST(ReadingBuffer, KeepsEachSecondOnceInOrderForADay) {
  ReadingBuffer b(2);
  int64_t dropped = -1;
  EXPECT_TRUE(b.Add(0, {100, 1.0}, &dropped));
  EXPECT_EQ(dropped, 0);
  EXPECT_FALSE(b.Add(0, {100, 2.0}, nullptr));  // the same second again
  EXPECT_FALSE(b.Add(0, {99, 2.0}, nullptr));   // a clock gone back
  EXPECT_TRUE(b.Add(1, {100, 3.0}, nullptr));   // another transmitter's own seconds
  EXPECT_TRUE(b.Add(0, {101, 4.0}, nullptr));
  ASSERT_EQ(b.Pending(0).size(), 2u);
  EXPECT_EQ(b.Pending(0)[1].value, 4.0);
  // Stored readings stay refused: the second is never stored twice.
  b.Stored(0, 2);
  EXPECT_TRUE(b.Pending(0).empty());
  EXPECT_FALSE(b.Add(0, {101, 5.0}, nullptr));
  EXPECT_EQ(b.TotalPending(), 1u);

  // While the history is away, a day of readings is kept and older ones go.
  ReadingBuffer day(1);
  for (int64_t t = 1; t <= 3; ++t) EXPECT_TRUE(day.Add(0, {t * 3600, double(t)}, nullptr));
  EXPECT_TRUE(day.Add(0, {2 * 3600 + 86400, 9.0}, &dropped));
  EXPECT_EQ(dropped, 1);
  ASSERT_EQ(day.Pending(0).size(), 3u);
  EXPECT_EQ(day.Pending(0).front().time, 2 * 3600);
}

TEST(ReadingBuffer, IsDueForAFullBatchOrAnOldReading) {
  ReadingBuffer b(1);
  EXPECT_FALSE(b.Due(0, 1000));
  b.Add(0, {1000, 0}, nullptr);
  EXPECT_FALSE(b.Due(0, 1000 + kStoreAfterSeconds - 1));
  EXPECT_TRUE(b.Due(0, 1000 + kStoreAfterSeconds));
  for (int64_t t = 1001; t < 1000 + static_cast<int64_t>(kStoreBatchReadings); ++t) {
    b.Add(0, {t, 0}, nullptr);
  }
  EXPECT_TRUE(b.Due(0, 1001));
}

}  // namespace
}  // namespace tarn
