// SPDX-License-Identifier: GPL-3.0-or-later
// The line parameters that the serial settings lists offer, by list index, and what an index
// outside its list falls back to.
#pragma once

#include <array>
#include <cstdint>

namespace tarn {

inline constexpr std::array<int32_t, 12> kBaudRates{300,   600,   1200,  2400,  4800,  9600,
                                                    14400, 19200, 38400, 56000, 57600, 115200};

enum class LineParity { kNone, kOdd, kEven };

// Defaults of the working copy in the settings dialog: port 1, 9600 baud, none, 8 bits, 1, none.
struct LineDefaults {
  static constexpr int32_t port = 1, baud = 5, parity = 0, data = 1, stop = 0, flow = 0;
};

int32_t BaudFromIndex(int32_t index);       // 9600 outside the list
LineParity ParityFromIndex(int32_t index);  // none outside the list
int32_t DataBitsFromIndex(int32_t index);   // 7 or 8; 8 outside the list
int32_t StopBitsFromIndex(int32_t index);   // 1 or 2; 1 outside the list
bool RtsFromIndex(int32_t index);           // only index 1 holds RTS on

}  // namespace tarn
