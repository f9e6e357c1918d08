// SPDX-License-Identifier: GPL-3.0-or-later
// The download screen's receive ring.
#pragma once

#include "download/receive_ring.h"

namespace tarn {

extern _com_buff_ vRbuff[kRingRecords];

}  // namespace tarn
