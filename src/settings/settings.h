// SPDX-License-Identifier: GPL-3.0-or-later
// The settings records (general settings and the five unit choices) and their load and save
// through the settings file "TARN.CFG".
#pragma once

#include <cstdint>
#include <string>

namespace tarn {

struct _basic_set_ {
  int32_t top;
  int32_t left;
  int32_t height;
  int32_t width;
  int32_t port;  // 0: no port; otherwise the device number encoding (see download/port_name.h)
  int32_t baud;
  int32_t parity;
  int32_t data;
  int32_t stop;
  int32_t flow;
  double pi_of_tubular;
  double y_high;
  double y_low;
  int32_t data_color;   // ARGB
  int32_t trend_color;  // ARGB
  float data_line;
  float trend_line;
};

struct _select_unit_ {
  int32_t sel;  // 0: first unit, anything else: second unit
  double ratio;
};

inline constexpr int kUnitCount = 5;
enum UnitSlot {
  kUnitDensity = 0,
  kUnitDimension = 1,
  kUnitMetalLoss = 2,
  kUnitWeight = 3,
  kUnitCorRate = 4
};

// Fills both records from the file, each key with its own default when absent.
void vaLoadCfg(const std::string& cfg_file, _basic_set_& setup, _select_unit_ (&unit)[kUnitCount]);
// Writes all 27 keys; false when the file could not be written (the caller stays silent).
bool vaSaveCfg(const std::string& cfg_file, const _basic_set_& setup,
               const _select_unit_ (&unit)[kUnitCount]);

}  // namespace tarn
