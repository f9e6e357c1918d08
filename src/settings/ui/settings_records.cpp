// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/settings_records.h"

namespace tarn {

_basic_set_ vSetup{};
_select_unit_ vUnit[kUnitCount]{};

std::string CfgFile;
std::string DataPath;

}  // namespace tarn
