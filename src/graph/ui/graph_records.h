// SPDX-License-Identifier: GPL-3.0-or-later
// The graph data set the Analysis tab fills and the graph window draws, one for the whole run.
#pragma once

#include "graph/grp_values.h"

namespace tarn {

extern _grp_values_ vGrpData;

}  // namespace tarn
