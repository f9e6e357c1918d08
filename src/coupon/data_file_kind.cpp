// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/data_file_kind.h"

#include <cstdio>
#include <cstring>

#include "coupon/coupon_store.h"

namespace tarn {

DataFileKind SniffDataFile(const std::string& path) {
  constexpr std::size_t n = sizeof(kCouponSignature) - 1;
  char head[n] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return DataFileKind::kInstrument;
  const std::size_t got = std::fread(head, 1, n, file);
  std::fclose(file);
  return got == n && std::memcmp(head, kCouponSignature, n) == 0 ? DataFileKind::kCoupon
                                                                 : DataFileKind::kInstrument;
}

}  // namespace tarn
