// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/rate_window.h"

#include "settings/ini_file.h"

namespace tarn {

int32_t OfferedRateWindow(int64_t days) {
  for (int offered : kRateWindows) {
    if (offered == days) return offered;
  }
  return kDefaultRateWindow;
}

int32_t SavedRateWindow(const std::string& cfg_file) {
  IniFile ini;
  ini.SetIniFile(cfg_file);
  ini.SetIniSector(kProbesSection);
  return OfferedRateWindow(ini.IniReadInt(kRateWindowKey, kDefaultRateWindow));
}

std::string RateColumnTitle(int32_t days) {
  return "Rate (trend, " + (days > 0 ? std::to_string(days) + " d" : std::string("all")) + ")";
}

std::string RateWindowPhrase(int32_t days) {
  return days > 0 ? "trend over the last " + std::to_string(days) + " days"
                  : std::string("trend over the whole history");
}

}  // namespace tarn
