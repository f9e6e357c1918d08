// SPDX-License-Identifier: GPL-3.0-or-later
// Decimation of a probe's readings for a graph of so many columns: each column keeps its first,
// lowest, highest and last reading, so that a line drawn through them looks like every reading.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "history/history_store.h"

namespace tarn {

class ColumnDecimator {
 public:
  // Readings from `from` to `to` in `columns` equal time columns, appended to *out.
  ColumnDecimator(HistoryTime from, HistoryTime to, int32_t columns,
                  std::vector<HistoryReading>* out)
      : from_(static_cast<double>(from)),
        // In doubles: the range may be as wide as the whole time scale.
        span_(static_cast<double>(to) - static_cast<double>(from) + 1.0),
        columns_(columns),
        out_(out) {}

  int64_t ColumnOf(HistoryTime t) const {
    return static_cast<int64_t>((static_cast<double>(t) - from_) * columns_ / span_);
  }
  // Readings are offered in time order.
  void Offer(const HistoryReading& r) {
    const int64_t c = ColumnOf(r.time);
    if (n_ == 0 || c != column_) {
      Flush();
      column_ = c;
      first_ = low_ = high_ = last_ = r;
      n_ = 1;
      return;
    }
    ++n_;
    last_ = r;
    if (r.value < low_.value) low_ = r;
    if (r.value > high_.value) high_ = r;
  }
  // Ends the last column; call once after the last reading.
  void Flush() {
    if (n_ == 0) return;
    HistoryReading four[4] = {first_, low_, high_, last_};
    SortByTime(four);
    for (const HistoryReading& r : four) {
      if (out_->empty() || out_->back().time != r.time) out_->push_back(r);
    }
    n_ = 0;
  }
  static void SortByTime(HistoryReading (&four)[4]) {
    std::sort(std::begin(four), std::end(four),
              [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; });
  }

 private:
  double from_, span_;
  int32_t columns_;
  std::vector<HistoryReading>* out_;
  int64_t column_ = -1;
  int64_t n_ = 0;
  HistoryReading first_{}, low_{}, high_{}, last_{};
};

}  // namespace tarn
