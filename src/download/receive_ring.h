// SPDX-License-Identifier: GPL-3.0-or-later
// The receive ring of the download screen: serial bytes framed into line records that the
// screen shows one by one, with the writer and reader positions kept by the screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

inline constexpr int32_t kRingRecords = 65536;
inline constexpr int32_t kRecordTextMax = 99;  // bytes of text in one record

// One received line, or a piece of one.
struct _com_buff_ {
  uint8_t ready;   // 1: holds text not yet shown
  uint8_t length;  // bytes of text: a received NUL byte is text too, not its end
  char text[kRecordTextMax + 1];
};

// Positions in the ring: the record being filled, the next byte in it, the next record to show.
struct RingCursor {
  int32_t pWrite = 0;
  int32_t RecvPtr = 0;
  int32_t pRead = 0;
};

// Frees every record and puts all positions back to 0.
void ResetRing(_com_buff_* ring, RingCursor& cur);

// Frames one burst of received bytes: CR dropped, tab stored as space, LF stored and closes the
// record; a record full at 99 bytes, or a line still open at the end of the burst, is closed
// as a piece that the next record continues. Returns true when a line feed closed a record.
bool ReceiveBytes(_com_buff_* ring, RingCursor& cur, const unsigned char* bytes, std::size_t n);

// How many bytes ReceiveBytes may take now without overwriting a record not yet shown
// (every byte can close at most one record, plus the overflow and end-of-burst closes).
std::size_t RingByteRoom(const _com_buff_* ring, const RingCursor& cur);

// Moves the next ready record's text, NUL bytes included, into `text` (appending), frees it and
// advances pRead. False when the next record is not ready.
bool TakeRecord(_com_buff_* ring, RingCursor& cur, std::string& text);

}  // namespace tarn
