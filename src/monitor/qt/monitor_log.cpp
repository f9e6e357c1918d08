// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/qt/monitor_log.h"

#include <cstdio>

namespace tarn {

void MonitorLog(const std::string& line) {
  std::fprintf(stderr, "tarn-monitor: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace tarn
