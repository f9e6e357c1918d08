#include "graph/grp_values.h"

namespace tarn {

// Placeholder until the data set lands.
const char* GrpYTitle(int32_t) {
  return "";
}
bool StoreGrpSample(_grp_values_&, int32_t, std::string_view, double) {
  return false;
}
void FinishGrpValues(_grp_values_& grp, int32_t count, int32_t data_type, std::string_view) {
  grp.count = count;
  grp.data_type = data_type;
}
std::string GetCrateStr(const _grp_values_&, int32_t, int32_t) {
  return {};
}

}  // namespace tarn
