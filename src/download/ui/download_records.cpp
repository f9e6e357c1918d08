// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/ui/download_records.h"

namespace tarn {

_com_buff_ vRbuff[kRingRecords]{};

}  // namespace tarn
