#include "common/globals.h"

namespace tarn {

_basic_set_ vSetup{};
_select_unit_ vUnit[kUnitCount]{};
_grp_values_ vGrpData{};
_coupon_values_ vCpon{};
CouponStore vCponData{};
_com_buff_ vRbuff[kRingRecords]{};

std::string CfgFile;
std::string DataPath;

}  // namespace tarn
