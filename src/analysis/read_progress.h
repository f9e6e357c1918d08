// SPDX-License-Identifier: GPL-3.0-or-later
// How a long read of a data file reports how far it got and learns that it should stop; the
// analysis screen polls it from another thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace tarn {

struct ReadProgress {
  std::atomic<bool> cancel{false};  // set by the caller: the reader stops at its next check
  std::atomic<int64_t> done{0};     // bytes looked at so far
  std::atomic<int64_t> total{0};    // bytes to look at, 0 until known
};

}  // namespace tarn
