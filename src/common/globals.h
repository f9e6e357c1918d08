// The program's shared records, one of each for the whole run. Core operations never read
// these: they take what they need as parameters, and the screens pass these in.
#pragma once

#include <string>

#include "coupon/coupon_store.h"
#include "coupon/coupon_values.h"
#include "download/receive_ring.h"
#include "graph/grp_values.h"
#include "settings/settings.h"

namespace tarn {

extern _basic_set_ vSetup;
extern _select_unit_ vUnit[kUnitCount];
extern _grp_values_ vGrpData;
// The current coupon of the coupon screen, and the stored coupons with their count.
extern _coupon_values_ vCpon;
extern CouponStore vCponData;
// The download screen's receive ring.
extern _com_buff_ vRbuff[kRingRecords];

// Settings file path and data folder (ending in a separator), UTF-8, set once at start-up.
extern std::string CfgFile;
extern std::string DataPath;

}  // namespace tarn
