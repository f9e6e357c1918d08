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

// The same columns for readings offered in any order: each column keeps its earliest, its first
// lowest, its first highest and its latest reading, as ColumnDecimator does of readings in time
// order, and Flush gives them in time order.
class ColumnExtremes {
 public:
  ColumnExtremes(HistoryTime from, HistoryTime to, int32_t columns)
      // One more: over the widest ranges, doubles may round the last second into a column of
      // its own, as they do for ColumnDecimator.
      : order_(from, to, columns, nullptr), four_(static_cast<std::size_t>(columns) + 1) {}

  int64_t ColumnOf(HistoryTime t) const { return order_.ColumnOf(t); }
  // Readings outside the range are not offered.
  void Offer(const HistoryReading& r) {
    const auto c = static_cast<std::size_t>(
        std::clamp<int64_t>(ColumnOf(r.time), 0, static_cast<int64_t>(four_.size()) - 1));
    Four& f = four_[c];
    if (!f.any) {
      f = {true, r, r, r, r};
      return;
    }
    if (r.time < f.first.time) f.first = r;
    if (r.time > f.last.time) f.last = r;
    if (r.value < f.low.value || (r.value == f.low.value && r.time < f.low.time)) f.low = r;
    if (r.value > f.high.value || (r.value == f.high.value && r.time < f.high.time)) f.high = r;
  }
  void Flush(std::vector<HistoryReading>* out) const {
    for (const Four& f : four_) {
      if (!f.any) continue;
      HistoryReading four[4] = {f.first, f.low, f.high, f.last};
      ColumnDecimator::SortByTime(four);
      for (const HistoryReading& r : four) {
        if (out->empty() || out->back().time != r.time) out->push_back(r);
      }
    }
  }

 private:
  struct Four {
    bool any = false;
    HistoryReading first{}, low{}, high{}, last{};
  };
  ColumnDecimator order_;
  std::vector<Four> four_;
};

}  // namespace tarn
