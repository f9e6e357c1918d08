#include "common/globals.h"

namespace tarn {

_basic_set_ vSetup{};
_select_unit_ vUnit[kUnitCount]{};
_grp_values_ vGrpData{};

std::string CfgFile;
std::string DataPath;

}  // namespace tarn
