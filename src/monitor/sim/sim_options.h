// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the transmitter simulator, and the register map of the transmitters it
// serves: which transmitter answers for each input register.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/sim/transmitter_law.h"

namespace tarn {

// A stretch of the simulator's own run (real seconds from its start) during which it does not
// answer, so that a poller's retry can be watched.
struct SilentWindow {
  double from_seconds = 0;
  double length_seconds = 0;
};

struct SimOptions {
  std::vector<SimTransmitter> transmitters;
  int unit_id = 1;
  std::string tcp_host = "127.0.0.1";
  int tcp_port = 0;  // 0: any free port
  bool tcp = false;
  bool rtu = false;
  int baud = 19200;
  double time_scale = 1;  // simulated seconds per real second
  std::vector<SilentWindow> silent;
  std::string log;  // a file to write one line per answered read to; empty: none
  bool help = false;
};

// Reads the arguments (without the program name). Without --tcp and --rtu the simulator serves
// TCP on 127.0.0.1 at a free port; without --er and --lpr one ER transmitter at register 0.
// On a fault, false and a message naming the argument.
bool ParseSimArgs(const std::vector<std::string>& args, SimOptions& options, std::string& error);

// Adds the transmitters of one --er or --lpr value, "key=value,..." with keys register, span,
// loss-unit (MILS or MM), rate, start and count (that many transmitters on consecutive registers).
bool ParseTransmitterSettings(TransmitterKind kind, std::string_view settings,
                              std::vector<SimTransmitter>& out, std::string& error);

bool SilentAt(const std::vector<SilentWindow>& windows, double elapsed_seconds);

std::string SimUsage();

// Input register -> transmitter, built once; refuses overlapping transmitters.
class RegisterIndex {
 public:
  bool Build(const std::vector<SimTransmitter>& transmitters, std::string& error);
  // The value of register `address` at `elapsed_seconds`; false where no transmitter serves it.
  bool ValueAt(int address, double elapsed_seconds, uint16_t& value) const;

 private:
  std::vector<SimTransmitter> transmitters_;
  std::vector<int> owner_;  // per register: index into transmitters_, or -1
};

}  // namespace tarn
