// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "settings/ini_file.h"

namespace tarn {

namespace {

enum class Kind { kInt, kReal, kSingle };

// One settings key and the record field it maps to: a field of _basic_set_, or the sel or ratio
// of one vUnit slot.
struct CfgKey {
  const char* section;
  const char* key;
  Kind kind;
  double def;  // integer defaults are exact in a double
  int32_t _basic_set_::*int_field = nullptr;
  double _basic_set_::*real_field = nullptr;
  float _basic_set_::*single_field = nullptr;
  int unit = -1;  // vUnit slot, or -1
};

constexpr CfgKey Int(const char* s, const char* k, int32_t _basic_set_::*f, int32_t def) {
  return {s, k, Kind::kInt, static_cast<double>(def), f};
}
constexpr CfgKey Real(const char* s, const char* k, double _basic_set_::*f, double def) {
  return {s, k, Kind::kReal, def, nullptr, f};
}
constexpr CfgKey Single(const char* s, const char* k, float _basic_set_::*f, float def) {
  return {s, k, Kind::kSingle, static_cast<double>(def), nullptr, nullptr, f};
}
constexpr CfgKey UnitSel(const char* k, int slot) {
  return {"UNIT", k, Kind::kInt, 0.0, nullptr, nullptr, nullptr, slot};
}
constexpr CfgKey UnitRatio(const char* k, int slot, double def) {
  return {"UNIT", k, Kind::kReal, def, nullptr, nullptr, nullptr, slot};
}

// Read and written in this order; a new file gets its sections and keys in this order too.
constexpr CfgKey kKeys[] = {
    Int("COMM", "PORT", &_basic_set_::port, 1),
    Int("COMM", "BAUD", &_basic_set_::baud, 5),
    Int("COMM", "PARITY", &_basic_set_::parity, 0),
    Int("COMM", "DATA", &_basic_set_::data, 1),
    Int("COMM", "STOP", &_basic_set_::stop, 0),
    Int("COMM", "FLOW", &_basic_set_::flow, 0),
    Int("WIN", "TOP", &_basic_set_::top, 0),
    Int("WIN", "LEFT", &_basic_set_::left, 0),
    Int("WIN", "HEIGHT", &_basic_set_::height, 800),
    Int("WIN", "WIDTH", &_basic_set_::width, 1024),
    UnitSel("DENSITY", kUnitDensity),
    UnitSel("DIMENSION", kUnitDimension),
    UnitSel("METALLOSS", kUnitMetalLoss),
    UnitSel("WEIGHT", kUnitWeight),
    UnitSel("CORRATE", kUnitCorRate),
    UnitRatio("DENSITY_RATIO", kUnitDensity, 0.036127292),
    UnitRatio("DIMENSION_RATIO", kUnitDimension, 0.393700787),
    UnitRatio("METALLOSS_RATIO", kUnitMetalLoss, 39.3700787),
    UnitRatio("WEIGHT_RATIO", kUnitWeight, 0.03527396),
    UnitRatio("CORRATE_RATIO", kUnitCorRate, 39.3700787),
    Real("ETC", "PI_OF_TUBULAR_TYPE", &_basic_set_::pi_of_tubular, 312.5),
    Real("GRAPH", "Y_HIGH", &_basic_set_::y_high, 10.0),
    Real("GRAPH", "Y_LOW", &_basic_set_::y_low, 0.0),
    Int("GRAPH", "DATA_COLOR", &_basic_set_::data_color, static_cast<int32_t>(0xFF0000FFu)),
    Int("GRAPH", "TREND_COLOR", &_basic_set_::trend_color, static_cast<int32_t>(0xFFFF0000u)),
    Single("GRAPH", "DATA_LINE", &_basic_set_::data_line, 1.0f),
    Single("GRAPH", "TREND_LINE", &_basic_set_::trend_line, 1.0f),
};
static_assert(sizeof kKeys / sizeof kKeys[0] == 27);

int32_t* IntField(const CfgKey& k, _basic_set_& setup, _select_unit_* unit) {
  return k.unit >= 0 ? &unit[k.unit].sel : &(setup.*k.int_field);
}

double* RealField(const CfgKey& k, _basic_set_& setup, _select_unit_* unit) {
  return k.unit >= 0 ? &unit[k.unit].ratio : &(setup.*k.real_field);
}

// A double that does not fit a float would be undefined to convert: it becomes infinite.
float Narrow(double v) {
  if (v > FLT_MAX) return std::numeric_limits<float>::infinity();
  if (v < -FLT_MAX) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

}  // namespace

void vaLoadCfg(const std::string& cfg_file, _basic_set_& setup, _select_unit_ (&unit)[kUnitCount]) {
  IniFile ini;
  ini.SetIniFile(cfg_file);
  for (const CfgKey& k : kKeys) {
    ini.SetIniSector(k.section);
    switch (k.kind) {
      case Kind::kInt:
        *IntField(k, setup, unit) = ini.IniReadInt(k.key, static_cast<int32_t>(k.def));
        break;
      case Kind::kReal:
        *RealField(k, setup, unit) = ini.IniReadFloat(k.key, k.def);
        break;
      case Kind::kSingle:
        setup.*k.single_field = Narrow(ini.IniReadFloat(k.key, k.def));
        break;
    }
  }
}

bool vaSaveCfg(const std::string& cfg_file, const _basic_set_& setup,
               const _select_unit_ (&unit)[kUnitCount]) {
  // The walk needs writable fields; copies keep the callers' records const.
  _basic_set_ s = setup;
  _select_unit_ u[kUnitCount];
  for (int i = 0; i < kUnitCount; ++i) u[i] = unit[i];
  IniFile ini;
  ini.SetIniFile(cfg_file);  // keeps the lines this program does not know
  for (const CfgKey& k : kKeys) {
    ini.SetIniSector(k.section);
    switch (k.kind) {
      case Kind::kInt:
        ini.IniWriteInt(k.key, *IntField(k, s, u));
        break;
      case Kind::kReal:
        ini.IniWriteFloat(k.key, *RealField(k, s, u));
        break;
      case Kind::kSingle:
        ini.IniWriteFloat(k.key, static_cast<double>(s.*k.single_field));
        break;
    }
  }
  return ini.Flush();
}

}  // namespace tarn
