// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/line_params.h"

namespace tarn {

int32_t BaudFromIndex(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(kBaudRates.size())) return 9600;
  return kBaudRates[static_cast<std::size_t>(index)];
}

LineParity ParityFromIndex(int32_t index) {
  if (index == 1) return LineParity::kOdd;
  if (index == 2) return LineParity::kEven;
  return LineParity::kNone;
}

int32_t DataBitsFromIndex(int32_t index) {
  return index == 0 ? 7 : 8;
}

int32_t StopBitsFromIndex(int32_t index) {
  return index == 1 ? 2 : 1;
}

bool RtsFromIndex(int32_t index) {
  return index == 1;
}

}  // namespace tarn
