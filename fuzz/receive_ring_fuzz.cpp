// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: received serial bytes framed into ring records in bursts of the sizes the
// input chooses, shown at the pace it chooses; what is shown must be exactly what was sent, with
// carriage returns dropped and tabs turned into spaces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "download/receive_ring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every input ends with all records shown, so the ring is cleared once, not for each input.
  static std::vector<tarn::_com_buff_> ring = [] {
    std::vector<tarn::_com_buff_> r(tarn::kRingRecords);
    tarn::RingCursor unused;
    tarn::ResetRing(r.data(), unused);
    return r;
  }();
  tarn::RingCursor cur;
  std::string expected;
  std::string shown;
  std::size_t at = 0;
  while (at < size) {
    // One control byte: low bits the burst length, high bits how many records to show after it.
    const uint8_t control = data[at++];
    std::size_t burst = std::min<std::size_t>(control & 0x1F, size - at);
    burst = std::min(burst, tarn::RingByteRoom(ring.data(), cur));
    const bool closed = tarn::ReceiveBytes(ring.data(), cur, data + at, burst);
    bool has_line_feed = false;
    for (std::size_t i = 0; i < burst; ++i) {
      const uint8_t b = data[at + i];
      if (b == '\n') has_line_feed = true;
      if (b != '\r') expected += b == '\t' ? ' ' : static_cast<char>(b);
    }
    if (closed != has_line_feed) std::abort();
    at += burst;
    for (int i = control >> 5; i > 0; --i) tarn::TakeRecord(ring.data(), cur, shown);
    if (burst == 0 && (control >> 5) == 0) tarn::TakeRecord(ring.data(), cur, shown);
  }
  while (tarn::TakeRecord(ring.data(), cur, shown)) {
  }
  if (shown != expected) std::abort();
  return 0;
}
