// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/coupon_items.h"

#include <cmath>
#include <cstring>
#include <ctime>

#include "common/code_page.h"
#include "common/number_text.h"
#include "coupon/coupon_catalogue.h"

namespace tarn {

namespace {

// Unit kind of a numeric item, or kUnitNone.
int ItemUnit(int p) {
  switch (p) {
    case kItemDensity:
      return kUnitDensity;
    case kItemHoleDia:
    case kItemLength:
    case kItemWidth:
    case kItemThickness:
    case kItemArea:
      return kUnitDimension;
    case kItemWeightInit:
    case kItemWeightFinal:
      return kUnitWeight;
    case kItemMetalLoss:
      return kUnitMetalLoss;
    case kItemCorrRate:
      return kUnitCorRate;
    default:
      return kUnitNone;
  }
}

// The record field behind a number item that can be typed in; null otherwise.
double* TypedNumber(_coupon_values_& c, int p) {
  switch (p) {
    case kItemDensity:
      return &c.density;
    case kItemHoleDia:
      return &c.hole_dia;
    case kItemLength:
      return &c.length;
    case kItemWidth:
      return &c.width;
    case kItemThickness:
      return &c.thickness;
    case kItemWeightInit:
      return &c.weight_init;
    case kItemWeightFinal:
      return &c.weight_final;
    default:
      return nullptr;
  }
}

bool IsBlank(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

// The whole text is one decimal integer within 32 bits (blanks around it allowed).
bool TryParseWholeInt(std::string_view text, int32_t* out) {
  *out = 0;
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  if (b == e) return false;
  bool negative = false;
  if (text[b] == '+' || text[b] == '-') {
    negative = text[b] == '-';
    ++b;
  }
  if (b == e) return false;
  int64_t v = 0;
  for (std::size_t i = b; i < e; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// As TryParseWholeInt; 0 for a text it refuses.
int32_t ParseWholeInt(std::string_view text) {
  int32_t v = 0;
  TryParseWholeInt(text, &v);
  return v;
}

// A field's text; a field that lacks its NUL (a damaged file) reads as what fits with one, so
// no text is longer than the screen and the exports expect.
template <std::size_t N>
std::string RecordText(const char (&field)[N]) {
  return std::string(FieldText(field, N - 1));
}

}  // namespace

std::string GetNarrowValue(const _coupon_values_& c, int p, const CouponUnits& units) {
  switch (p) {
    case kItemTag:
      return RecordText(c.tag);
    case kItemCouponType:
      return CouponTypeName(c.coupon_type);
    case kItemAlloy:
      return AlloyName(c.alloy);
    case kItemDensity: {
      // A catalogue alloy shows its catalogue density; "Custom" (or an unknown index, shown
      // as "Custom") shows the typed one.
      const double density =
          IsAlloyIndex(c.alloy) && c.alloy != 0 ? vAlloyTbl[c.alloy].density : c.density;
      return Value2Str(units, kUnitDensity, density);
    }
    case kItemShape:
      return ShapeName(c.shape);
    case kItemHoles:
      return std::to_string(c.holes);
    case kItemHoleDia:
      return Value2Str(units, kUnitDimension, c.hole_dia);
    case kItemLength:
      return Value2Str(units, kUnitDimension, c.length);
    case kItemWidth:
      return Value2Str(units, kUnitDimension, c.width);
    case kItemThickness:
      return Value2Str(units, kUnitDimension, c.thickness);
    case kItemInstallTime:
      return RecordText(c.install_time);
    case kItemRemovalTime:
      return RecordText(c.removal_time);
    case kItemWeightInit:
      return Value2Str(units, kUnitWeight, c.weight_init);
    case kItemWeightFinal:
      return Value2Str(units, kUnitWeight, c.weight_final);
    case kItemArea:
      return Value2Str(units, kUnitDimension, 2, c.area);
    case kItemExposure:
      return Value2Str(units, kUnitNone, c.exposure);
    case kItemMetalLoss:
      return Value2Str(units, kUnitMetalLoss, c.metal_loss);
    case kItemCorrRate:
      return Value2Str(units, kUnitCorRate, c.corr_rate);
    case kItemComment:
      return RecordText(c.comment);
    default:
      return {};
  }
}

std::string GetValue(const _coupon_values_& c, int p, const CouponUnits& units) {
  return NarrowToUtf8(GetNarrowValue(c, p, units));
}

int32_t GetValueInx(const _coupon_values_& c, int p) {
  switch (p) {
    case kItemCouponType:
      return c.coupon_type;
    case kItemAlloy:
      return c.alloy;
    case kItemShape:
      return c.shape;
    default:
      return 0;
  }
}

void SetValue(_coupon_values_& c, int p, int32_t index) {
  switch (p) {
    case kItemCouponType:
      c.coupon_type = index;
      break;
    case kItemAlloy:
      c.alloy = index;
      break;
    case kItemShape:
      c.shape = index;
      break;
    default:
      break;
  }
}

void SetValue(_coupon_values_& c, int p, std::string_view text,
              const _select_unit_ (&unit)[kUnitCount]) {
  switch (p) {
    case kItemTag:
      CopyToField(c.tag, Utf8ToNarrow(text));
      return;
    case kItemInstallTime:
      CopyToField(c.install_time, Utf8ToNarrow(text));
      return;
    case kItemRemovalTime:
      CopyToField(c.removal_time, Utf8ToNarrow(text));
      return;
    case kItemComment:
      CopyToField(c.comment, Utf8ToNarrow(text));
      return;
    case kItemHoles:
      c.holes = ParseWholeInt(text);
      return;
    default:
      break;
  }
  double* field = TypedNumber(c, p);
  if (field == nullptr) return;
  double value = 0.0;
  if (!ParseWholeNumber(text, &value)) value = 0.0;
  const int kind = ItemUnit(p);
  if (unit[kind].sel != 0) value /= unit[kind].ratio;
  *field = value;
}

bool IsItemNumber(int p, std::string_view text, const _select_unit_ (&unit)[kUnitCount]) {
  if (p == kItemHoles) {
    int32_t holes = 0;
    return TryParseWholeInt(text, &holes);
  }
  _coupon_values_ probe{};
  double* field = TypedNumber(probe, p);
  if (field == nullptr) return false;
  double value = 0.0;
  if (!ParseWholeNumber(text, &value)) return false;
  const int kind = ItemUnit(p);
  if (unit[kind].sel != 0) value /= unit[kind].ratio;
  return std::isfinite(value);
}

void ApplyCouponType(_coupon_values_& c, int32_t i) {
  c.coupon_type = i;
  if (i <= 0) {
    c.shape = 0;
    c.holes = 0;
    c.hole_dia = 0.0;
    c.thickness = 0.0;
    c.area = 0.0;
    c.length = 0.0;
    c.width = 0.0;
    return;
  }
  if (!IsCouponTypeIndex(i)) return;
  const _coupon_table_& e = vCponTbl[i];
  c.shape = e.shape;
  c.holes = e.holes;
  c.hole_dia = e.hole_dia;
  c.thickness = e.thickness;
  c.area = e.area;
  if (e.shape == kShapeRectangle) {
    c.length = e.length;
    c.width = e.width;
  } else {
    c.width = e.outer_dia;
  }
}

void ApplyAlloy(_coupon_values_& c, int32_t i) {
  c.alloy = i;
}

void ApplyShape(_coupon_values_& c, int32_t i) {
  c.shape = i;
}

void ResetCoupon(_coupon_values_& c, DateTime now) {
  std::memset(&c, 0, sizeof c);
  const std::string text = DateTime2Str(now);
  CopyToField(c.install_time, text);
  CopyToField(c.removal_time, text);
}

DateTime LocalNow() {
  const std::time_t t = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &t);
#else
  localtime_r(&t, &parts);
#endif
  DateTime dt;
  if (!MakeDateTime(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                    parts.tm_min, parts.tm_sec > 59 ? 59 : parts.tm_sec, &dt)) {
    dt = DateTime{};
  }
  return dt;
}

}  // namespace tarn
