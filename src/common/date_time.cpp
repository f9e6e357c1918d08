#include "common/date_time.h"

namespace tarn {

// Placeholder until the conversions land.
bool MakeDateTime(int, int, int, int, int, int, DateTime*) {
  return false;
}
DateTimeParts SplitDateTime(DateTime) {
  return {};
}
DateTime Str2DateTime(std::string_view, int32_t* chk) {
  if (chk != nullptr) *chk = 0;
  return {};
}
std::string DateTime2Str(DateTime) {
  return {};
}
std::string TimeSpan2Str(DateTime, double) {
  return {};
}
double DateTime2Interval(DateTime sdt, DateTime edt) {
  return static_cast<double>(edt.ticks - sdt.ticks) / static_cast<double>(kTicksPerMinute);
}

}  // namespace tarn
