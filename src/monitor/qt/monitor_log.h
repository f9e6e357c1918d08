// The monitor's log: one line per event on standard error, where the service manager's journal
// picks it up.
#pragma once

#include <string>

namespace tarn {

void MonitorLog(const std::string& line);

}  // namespace tarn
