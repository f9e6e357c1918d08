// SPDX-License-Identifier: GPL-3.0-or-later
// Readings taken but not yet in the history, per transmitter, in time order: batched so that
// the history gets a few polls per import, and kept for up to a day while it is unreachable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "history/history_store.h"

namespace tarn {

inline constexpr int64_t kKeepReadingsSeconds = 24 * 3600;
inline constexpr std::size_t kStoreBatchReadings = 5;
inline constexpr int64_t kStoreAfterSeconds = 30;

class ReadingBuffer {
 public:
  explicit ReadingBuffer(std::size_t transmitters) : pending_(transmitters), last_(transmitters) {}

  // Takes a reading; false (and nothing kept) when its second is not after the transmitter's
  // last reading, so that no second is ever stored twice. Readings more than a day older than
  // this one are dropped; *dropped (may be null) counts them.
  bool Add(std::size_t transmitter, HistoryReading r, int64_t* dropped);

  // True when the transmitter's pending readings should go to the history now: a batch is
  // full or its oldest reading has waited long enough.
  bool Due(std::size_t transmitter, HistoryTime now) const;
  const std::deque<HistoryReading>& Pending(std::size_t transmitter) const {
    return pending_[transmitter];
  }
  // The first n pending readings are in the history.
  void Stored(std::size_t transmitter, std::size_t n);
  std::size_t TotalPending() const;

 private:
  std::vector<std::deque<HistoryReading>> pending_;
  std::vector<HistoryTime> last_;  // latest second taken; 0: none yet
};

}  // namespace tarn
