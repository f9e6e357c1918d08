// SPDX-License-Identifier: GPL-3.0-or-later
// The program's settings records and paths, one of each for the whole run. They live with the
// screens, outside tarn_core: core operations take what they need as parameters, and the screens
// pass these in.
#pragma once

#include <string>

#include "settings/settings.h"

namespace tarn {

extern _basic_set_ vSetup;
extern _select_unit_ vUnit[kUnitCount];

// Settings file path and data folder (ending in a separator), UTF-8, set once at start-up.
extern std::string CfgFile;
extern std::string DataPath;

}  // namespace tarn
