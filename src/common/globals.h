// The program's shared records, one of each for the whole run. Core operations never read
// these: they take what they need as parameters, and the screens pass these in.
#pragma once

#include <string>

#include "graph/grp_values.h"
#include "settings/settings.h"

namespace tarn {

extern _basic_set_ vSetup;
extern _select_unit_ vUnit[kUnitCount];
extern _grp_values_ vGrpData;

// Settings file path and data folder (ending in a separator), UTF-8, set once at start-up.
extern std::string CfgFile;
extern std::string DataPath;

}  // namespace tarn
