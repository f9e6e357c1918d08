// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the reading of a coupon data file, then formats every table cell of what was read in
// both unit systems, as the screen and the exports would.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "coupon/coupon_export.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_store.h"

namespace {

tarn::CouponUnits MakeUnits(int sel) {
  tarn::_select_unit_ unit[tarn::kUnitCount] = {{sel, 0.036127292},
                                                {sel, 0.393700787},
                                                {sel, 39.3700787},
                                                {sel, 0.03527396},
                                                {sel, 39.3700787}};
  tarn::CouponUnits units;
  tarn::SetUnitRatio(unit, units);
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto store = std::make_unique<tarn::CouponStore>();
  static const tarn::CouponUnits units[2] = {MakeUnits(0), MakeUnits(1)};
  store->record_count = 0;
  if (tarn::DecodeCouponFile(data, size, *store) != tarn::CouponFileResult::kOk) return 0;
  if (store->record_count < 0 || store->record_count > tarn::kCouponCapacity) std::abort();
  if (size < tarn::kCouponHeaderSize +
                 static_cast<size_t>(store->record_count) * tarn::kCouponRecordSize) {
    std::abort();  // reported records that the file does not hold
  }
  // Formatting is the costly part; a few rows find the same faults as all of them.
  const int32_t rows = store->record_count < 8 ? store->record_count : 8;
  for (int32_t r = 0; r < rows; ++r) {
    for (const tarn::CouponUnits& u : units) {
      for (int c = 0; c < tarn::kCouponColumns; ++c) {
        if (tarn::CouponCellText(store->items[r], c, u).size() > 255) std::abort();
        (void)tarn::CouponCellTextUtf8(store->items[r], c, u);
      }
      for (int p = 0; p < tarn::kItemCount; ++p) {
        const std::string text = tarn::GetNarrowValue(store->items[r], p, u);
        if (text.size() > 255) std::abort();
      }
    }
  }
  return 0;
}
