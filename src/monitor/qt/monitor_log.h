// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's log: one line per event on standard error, where the service manager's journal
// picks it up.
#pragma once

#include <string>

namespace tarn {

void MonitorLog(const std::string& line);

}  // namespace tarn
