// SPDX-License-Identifier: GPL-3.0-or-later
// Serial port device names and the integer port number kept in the settings (0: no port).
// On Linux the number encodes the device family and index; on Windows it is the COM number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

// The number stored for a device name such as "ttyUSB0" or "pts/3" (a leading "/dev/" is
// allowed); 0 when the name fits no family and so cannot be stored.
int32_t PortNumberFromName(std::string_view name);

// The device name for a stored number, as the serial port object takes it ("ttyS0", "pts/3");
// empty for 0 and for numbers that encode no device.
std::string PortNameFromNumber(int32_t number);

// A path of the port list (for example "/dev/pts/3") as the short name the list shows.
std::string ShortPortName(std::string_view path);

}  // namespace tarn
