// SPDX-License-Identifier: GPL-3.0-or-later
// The columns of a graph kept from readings in any order equal those kept in time order.
#include "history/column_decimator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

namespace tarn {
namespace {

TEST(ColumnExtremes, AnyOrderGivesWhatTimeOrderGives) {
  std::mt19937 rng(5);
  struct Case {
    HistoryTime from, to;
    int32_t columns;
    int values;  // few values: ties everywhere
  };
  const Case cases[] = {{0, 999, 1, 3},   {0, 999, 7, 2},      {-500, 499, 64, 5},
                        {10, 10, 3, 1},   {0, 99999, 1920, 4}, {INT64_MIN, INT64_MAX, 100, 3},
                        {0, 999, 5000, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to) + " in " +
                 std::to_string(c.columns));
    std::vector<HistoryReading> readings;
    const double span = static_cast<double>(c.to) - static_cast<double>(c.from);
    for (int i = 0; i < 3000; ++i) {
      const auto t =
          c.from + static_cast<HistoryTime>(std::uniform_real_distribution<double>(0, 1)(rng) *
                                            std::min(span, 1e15));
      const auto v = static_cast<double>(rng() % c.values);
      readings.push_back({t, v == 0.0 && rng() % 2 ? -0.0 : v});
    }
    readings.push_back({c.to, 0.0});
    std::sort(readings.begin(), readings.end(),
              [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; });
    readings.erase(std::unique(readings.begin(), readings.end(),
                               [](auto& a, auto& b) { return a.time == b.time; }),
                   readings.end());
    std::vector<HistoryReading> in_order, any_order;
    ColumnDecimator ordered(c.from, c.to, c.columns, &in_order);
    for (const HistoryReading& r : readings) ordered.Offer(r);
    ordered.Flush();
    std::shuffle(readings.begin(), readings.end(), rng);
    ColumnExtremes shuffled(c.from, c.to, c.columns);
    for (const HistoryReading& r : readings) shuffled.Offer(r);
    shuffled.Flush(&any_order);
    ASSERT_EQ(any_order.size(), in_order.size());
    for (std::size_t i = 0; i < in_order.size(); ++i) {
      EXPECT_EQ(any_order[i].time, in_order[i].time);
      EXPECT_EQ(any_order[i].value, in_order[i].value);
    }
  }
}

}  // namespace
}  // namespace tarn
