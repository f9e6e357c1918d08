// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/reading_buffer.h"

#include <algorithm>

namespace tarn {

bool ReadingBuffer::Add(std::size_t transmitter, HistoryReading r, int64_t* dropped) {
  if (last_[transmitter] != 0 && r.time <= last_[transmitter]) return false;
  last_[transmitter] = r.time;
  std::deque<HistoryReading>& q = pending_[transmitter];
  q.push_back(r);
  int64_t n = 0;
  while (q.front().time < r.time - kKeepReadingsSeconds) {
    q.pop_front();
    ++n;
  }
  if (dropped) *dropped = n;
  return true;
}

bool ReadingBuffer::Due(std::size_t transmitter, HistoryTime now) const {
  const std::deque<HistoryReading>& q = pending_[transmitter];
  if (q.empty()) return false;
  return q.size() >= kStoreBatchReadings || now - q.front().time >= kStoreAfterSeconds;
}

void ReadingBuffer::Stored(std::size_t transmitter, std::size_t n) {
  std::deque<HistoryReading>& q = pending_[transmitter];
  q.erase(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(std::min(n, q.size())));
}

std::size_t ReadingBuffer::TotalPending() const {
  std::size_t n = 0;
  for (const auto& q : pending_) n += q.size();
  return n;
}

}  // namespace tarn
