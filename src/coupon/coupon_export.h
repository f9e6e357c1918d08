// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon table's cell texts, as the screen shows them and the exports write them, and the
// comma-separated and spreadsheet exports of the store.
#pragma once

#include <string>

#include "common/notifier.h"
#include "coupon/coupon_store.h"
#include "coupon/coupon_units.h"
#include "coupon/coupon_values.h"

namespace tarn {

inline constexpr int kCouponColumns = 20;

// Plain column header texts ("Tag", "Coupon Type", ...), as the table shows them.
extern const char* const kCouponColumnHeader[kCouponColumns];

// Header of column c (0-based) with its unit label in brackets where it has one.
std::string CouponExportHeader(int column, const CouponUnits& units);

// Text of one table cell in Windows-1252 ("-" where the shape has no such dimension, empty for
// the six dimension cells of an unknown shape code). Cheap enough to call per painted cell.
std::string CouponCellText(const _coupon_values_& cpon, int column, const CouponUnits& units);
// The same in UTF-8, for the screen.
std::string CouponCellTextUtf8(const _coupon_values_& cpon, int column, const CouponUnits& units);
// Columns written as text cells in the spreadsheet whatever their content.
bool IsCouponTextColumn(int column);

// Exports the first store.record_count coupons (paths in UTF-8). On any failure reports
// "Write Fault Error.", leaves an existing file untouched and returns false.
bool SaveCsv(const std::string& path, const CouponStore& store, const CouponUnits& units,
             Notifier& notifier);
bool SaveXls(const std::string& path, const CouponStore& store, const CouponUnits& units,
             Notifier& notifier);
// The same cells as SaveXls in an XLSX workbook: the two dates as date cells, numbers shown
// with the decimals of their table text.
bool SaveXlsx(const std::string& path, const CouponStore& store, const CouponUnits& units,
              Notifier& notifier);

}  // namespace tarn
