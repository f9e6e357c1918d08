// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/port_name.h"

#include <array>
#include <limits>

namespace tarn {

namespace {

struct PortFamily {
  std::string_view prefix;
  int32_t base;   // number of index 0
  int32_t count;  // indexes the family may use
};

#ifdef _WIN32
constexpr std::array<PortFamily, 1> kFamilies{{{"COM", 0, 1000000}}};
#else
// ttyS k is k + 1 so that COM1 is ttyS0; pseudo-terminals serve simulators and tests.
constexpr std::array<PortFamily, 6> kFamilies{{
    {"ttyS", 1, 1000},
    {"ttyUSB", 1001, 1000},
    {"ttyACM", 2001, 1000},
    {"ttyAMA", 3001, 1000},
    {"rfcomm", 4001, 1000},
    {"pts/", 9001, std::numeric_limits<int32_t>::max() - 9001},
}};
#endif

// The decimal index after a prefix: digits only, no leading zero, -1 when malformed.
int64_t ParseIndex(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return -1;
  if (digits.size() > 1 && digits[0] == '0') return -1;
  int64_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

std::string ShortPortName(std::string_view path) {
  constexpr std::string_view kDev = "/dev/";
  if (path.substr(0, kDev.size()) == kDev) path.remove_prefix(kDev.size());
  return std::string(path);
}

int32_t PortNumberFromName(std::string_view name) {
  const std::string shortName = ShortPortName(name);
  const std::string_view n = shortName;
  for (const PortFamily& f : kFamilies) {
    if (n.size() <= f.prefix.size() || n.substr(0, f.prefix.size()) != f.prefix) continue;
    const int64_t k = ParseIndex(n.substr(f.prefix.size()));
    if (k < 0 || k >= f.count) continue;
    return static_cast<int32_t>(f.base + k);
  }
  return 0;
}

std::string PortNameFromNumber(int32_t number) {
  for (const PortFamily& f : kFamilies) {
    if (number >= f.base && number - f.base < f.count) {
      return std::string(f.prefix) + std::to_string(number - f.base);
    }
  }
  return {};
}

}  // namespace tarn
