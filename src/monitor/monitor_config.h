// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's configuration file: the history, the Modbus server and one section per online
// transmitter, read whole and checked before anything is polled.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "monitor/transmitter_registers.h"

namespace tarn {

enum class LinkKind { kTcp, kRtu };

// Where a transmitter answers: tcp://HOST:PORT or rtu:DEVICE?baud=B&parity=N|E|O&stop=1|2.
struct TransmitterLink {
  LinkKind kind = LinkKind::kTcp;
  std::string host;  // tcp
  int32_t port = 502;
  std::string device;  // rtu
  int32_t baud = 19200;
  char parity = 'E';  // 'N', 'E' or 'O'
  int32_t stop = 1;
  std::string text;  // as written, to share one link among transmitters and to log
};

struct TransmitterConfig {
  std::string tag;  // the name after TRANSMITTER: the probe's tag (UTF-8, as the file has it)
  TransmitterLink link;
  int32_t unit = 1;  // Modbus unit id, 0-247
  int32_t reg = 0;   // first input register, 0-65535
  TransmitterKind kind = TransmitterKind::kEr;
  double span = 0.0;               // ER: metal loss at 65535
  bool millimetre = false;         // ER: UNIT LOSS=MM
  std::string serial;              // UTF-8; the history keeps both in Windows-1252
  std::vector<std::string> point;  // names from the top of the tree down; empty: none
  int32_t interval = 0;            // seconds
  int32_t line = 0;                // of the section header, for messages
};

struct MonitorConfig {
  std::string history;      // a file path or a postgresql:// URI
  std::string listen_host;  // empty: no server
  int32_t listen_port = 0;
  int32_t refresh = 60;  // seconds between refreshes of the served figures
  std::vector<TransmitterConfig> transmitters;
};

// Parses the whole text; fails with "FILE:LINE: reason" at the first fault. `file` names the
// file in messages only.
Status ParseMonitorConfig(std::string_view text, const std::string& file, MonitorConfig* out);

}  // namespace tarn
