// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/graph_records.h"

namespace tarn {

_grp_values_ vGrpData{};

}  // namespace tarn
