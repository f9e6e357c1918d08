// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/receive_ring.h"

#include <algorithm>

namespace tarn {

namespace {

// Ends the record being filled and moves on to the next one.
void CloseRecord(_com_buff_* ring, RingCursor& cur) {
  _com_buff_& rec = ring[cur.pWrite];
  rec.text[cur.RecvPtr] = '\0';
  rec.length = static_cast<uint8_t>(cur.RecvPtr);
  rec.ready = 1;
  cur.pWrite = (cur.pWrite + 1) % kRingRecords;
  cur.RecvPtr = 0;
}

void Store(_com_buff_* ring, RingCursor& cur, unsigned char b) {
  if (cur.RecvPtr >= kRecordTextMax) CloseRecord(ring, cur);
  ring[cur.pWrite].text[cur.RecvPtr] = static_cast<char>(b);
  ++cur.RecvPtr;
}

}  // namespace

void ResetRing(_com_buff_* ring, RingCursor& cur) {
  cur = RingCursor{};
  for (int32_t i = 0; i < kRingRecords; ++i) ring[i].ready = 0;
}

bool ReceiveBytes(_com_buff_* ring, RingCursor& cur, const unsigned char* bytes, std::size_t n) {
  bool line_closed = false;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = bytes[i];
    if (b == '\r') continue;
    if (b == '\t') {
      Store(ring, cur, ' ');
    } else if (b == '\n') {
      Store(ring, cur, b);
      CloseRecord(ring, cur);
      line_closed = true;
    } else {
      Store(ring, cur, b);
    }
  }
  // A line begun but not ended is shown at once; its rest continues in the next record.
  if (cur.RecvPtr > 0) CloseRecord(ring, cur);
  return line_closed;
}

std::size_t RingByteRoom(const _com_buff_* ring, const RingCursor& cur) {
  if (ring[cur.pWrite].ready) return 0;  // the writer has caught up with the reader
  const int32_t pending = (cur.pWrite - cur.pRead + kRingRecords) % kRingRecords;
  const int32_t free_records = kRingRecords - pending;  // the one being filled included
  return free_records > 2 ? static_cast<std::size_t>(free_records - 2) : 0;
}

bool TakeRecord(_com_buff_* ring, RingCursor& cur, std::string& text) {
  cur.pRead %= kRingRecords;
  _com_buff_& rec = ring[cur.pRead];
  if (!rec.ready) return false;
  text.append(rec.text, std::min<std::size_t>(rec.length, kRecordTextMax));
  rec.ready = 0;
  cur.pRead = (cur.pRead + 1) % kRingRecords;
  return true;
}

}  // namespace tarn
