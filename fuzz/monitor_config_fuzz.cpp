// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the monitor's configuration reader with arbitrary text: it either accepts the text
// with every value in its range, or refuses it naming the file and a line of the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/monitor_config.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarn::MonitorConfig c;
  if (const tarn::Status parsed = tarn::ParseMonitorConfig(text, "f.conf", &c); !parsed) {
    const std::string& error = parsed.message;
    Check(error.rfind("f.conf:", 0) == 0);
    std::size_t lines = 1;
    for (char ch : text) lines += ch == '\n';
    const long line = std::stol(error.substr(7));
    Check(line >= 1 && static_cast<std::size_t>(line) <= lines);
    return 0;
  }
  Check(!c.history.empty());
  Check(c.refresh >= 1);
  Check(c.listen_host.empty() || (c.listen_port >= 1 && c.listen_port <= 65535));
  for (const tarn::TransmitterConfig& t : c.transmitters) {
    Check(t.interval >= 1 && t.unit >= 0 && t.unit <= 247 && t.reg >= 0 && t.reg <= 65535);
    Check(t.kind != tarn::TransmitterKind::kEr || t.span > 0);
    Check(t.point.size() <= 6);
    for (const std::string& name : t.point) Check(!name.empty());
  }
  return 0;
}
