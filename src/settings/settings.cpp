#include "settings/settings.h"

namespace tarn {

// Placeholder until the settings store lands: the defaults.
void vaLoadCfg(const std::string&, _basic_set_& setup, _select_unit_ (&unit)[kUnitCount]) {
  setup = _basic_set_{0,
                      0,
                      800,
                      1024,
                      1,
                      5,
                      0,
                      1,
                      0,
                      0,
                      312.5,
                      10.0,
                      0.0,
                      static_cast<int32_t>(0xFF0000FFu),
                      static_cast<int32_t>(0xFFFF0000u),
                      1.0f,
                      1.0f};
  const double ratios[kUnitCount] = {0.036127292, 0.393700787, 39.3700787, 0.03527396, 39.3700787};
  for (int i = 0; i < kUnitCount; ++i) unit[i] = {0, ratios[i]};
}
bool vaSaveCfg(const std::string&, const _basic_set_&, const _select_unit_ (&)[kUnitCount]) {
  return false;
}

}  // namespace tarn
