// SPDX-License-Identifier: GPL-3.0-or-later
// The store of calculated coupons in table order, and the coupon data file (".CPN") that
// saves and reopens it.
#pragma once

#include <cstdint>
#include <string>

#include "common/notifier.h"
#include "coupon/coupon_values.h"

namespace tarn {

inline constexpr int32_t kCouponCapacity = 65535;

struct CouponStore {
  _coupon_values_ items[kCouponCapacity];
  int32_t record_count;  // rows in use, 0 to kCouponCapacity
};

inline constexpr char kCouponSignature[] = "C_32_V_1_0";  // 10 bytes in the file, no NUL
inline constexpr std::size_t kCouponHeaderSize = 14;

enum class CouponFileResult { kOk, kCannotOpen, kInvalid, kWriteFault };

// Reads a coupon data file (path in UTF-8) into store. A wrong signature, a negative count or
// fewer records than the count says: "Invalid Coupon Data.", store unchanged. A count above
// 65535 (with its records present) reads the first 65535. A file that cannot be opened is
// reported and changes nothing.
CouponFileResult Open(const std::string& path, CouponStore& store, Notifier& notifier);

// Writes the store through a temporary file renamed into place; on any failure reports
// "Write Fault Error.", leaves an existing file untouched and returns false.
bool Save(const std::string& path, const CouponStore& store, Notifier& notifier);

// The file image, for the tests and the fuzzer: decoding never touches store on failure.
CouponFileResult DecodeCouponFile(const unsigned char* data, std::size_t size, CouponStore& store);

}  // namespace tarn
