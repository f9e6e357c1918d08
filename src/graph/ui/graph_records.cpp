#include "graph/ui/graph_records.h"

namespace tarn {

_grp_values_ vGrpData{};

}  // namespace tarn
