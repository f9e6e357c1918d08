#include "common/number_text.h"

namespace tarn {

// Placeholder until the number rules land.
int32_t LeadingInt(std::string_view) {
  return 0;
}
double LeadingDouble(std::string_view) {
  return 0.0;
}
bool ParseWholeNumber(std::string_view, double* out) {
  *out = 0.0;
  return false;
}
std::string FormatFixed(double, int) {
  return {};
}
std::string FormatPattern(double, int) {
  return {};
}

}  // namespace tarn
