// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/coupon_export.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "common/atomic_file.h"
#include "common/code_page.h"
#include "common/number_text.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_messages.h"
#include "miniexcel/ordered_sheet.h"
#include "xlsx/xlsx_sheet.h"

namespace tarn {

const char* const kCouponColumnHeader[kCouponColumns] = {
    "Tag",          "Coupon Type",    "Alloy",        "Alloy Density",  "Shape",
    "# of Holes",   "Hole Diameter",  "Length",       "Outer Diameter", "Width",
    "Thickness",    "Install Date",   "Removal Date", "Initial Weight", "Final Weight",
    "Surface Area", "Total Exposure", "Metal Loss",   "Corrosion Rate", "Comments"};

namespace {

constexpr char kDash[] = "-";
constexpr int kNoItem = -1;
constexpr int kDashCell = -2;

// Items of the six dimension columns (5 to 10) by shape: "# of Holes", "Hole Diameter",
// "Length", "Outer Diameter", "Width", "Thickness".
constexpr int kShapeCells[3][6] = {
    {kItemHoles, kItemHoleDia, kItemLength, kDashCell, kItemWidth, kItemThickness},
    {kItemHoles, kItemHoleDia, kDashCell, kItemWidth, kDashCell, kItemThickness},
    {kDashCell, kDashCell, kItemLength, kItemWidth, kDashCell, kDashCell},
};

// Item shown in a column, kDashCell for "-", kNoItem for a cell without a value.
int CellItem(const _coupon_values_& c, int column) {
  static constexpr int kFixed[kCouponColumns] = {
      kItemTag,  kItemCouponType,  kItemAlloy,       kItemDensity,    kItemShape,
      kNoItem,   kNoItem,          kNoItem,          kNoItem,         kNoItem,
      kNoItem,   kItemInstallTime, kItemRemovalTime, kItemWeightInit, kItemWeightFinal,
      kItemArea, kItemExposure,    kItemMetalLoss,   kItemCorrRate,   kItemComment};
  if (column < 0 || column >= kCouponColumns) return kNoItem;
  if (column >= 5 && column <= 10) {
    if (c.shape < 0 || c.shape > 2) return kNoItem;
    return kShapeCells[c.shape][column - 5];
  }
  return kFixed[column];
}

// Unit label of each column header, or none.
bool HeaderLabel(int column, CouponLabel* label) {
  switch (column) {
    case 3:
      *label = CouponLabel::kDensity;
      return true;
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
      *label = CouponLabel::kDimension;
      return true;
    case 13:
    case 14:
      *label = CouponLabel::kWeight;
      return true;
    case 15:
      *label = CouponLabel::kArea;
      return true;
    case 16:
      *label = CouponLabel::kExposure;
      return true;
    case 17:
      *label = CouponLabel::kMetalLoss;
      return true;
    case 18:
      *label = CouponLabel::kCorRate;
      return true;
    default:
      return false;
  }
}

// Appends a cell's text to a line of the comma-separated export. The file is text, so a line
// break inside a comment ends its line with CR LF like every other line, whether the record
// holds it as LF or as CR LF.
void AppendCsvText(std::string& buf, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) buf += '\r';
    buf += text[i];
  }
}

int32_t RowsToWrite(const CouponStore& store) {
  return std::clamp(store.record_count, 0, kCouponCapacity);
}

}  // namespace

std::string CouponExportHeader(int column, const CouponUnits& units) {
  if (column < 0 || column >= kCouponColumns) return {};
  std::string text = kCouponColumnHeader[column];
  CouponLabel label;
  if (HeaderLabel(column, &label)) {
    text += " (";
    text += CouponUnitLabel(units, label);
    text += ")";
  }
  return text;
}

std::string CouponCellText(const _coupon_values_& c, int column, const CouponUnits& units) {
  const int item = CellItem(c, column);
  if (item == kDashCell) return kDash;
  if (item == kNoItem) return {};
  return GetNarrowValue(c, item, units);
}

std::string CouponCellTextUtf8(const _coupon_values_& c, int column, const CouponUnits& units) {
  return NarrowToUtf8(CouponCellText(c, column, units));
}

bool IsCouponTextColumn(int column) {
  switch (column) {
    case 0:
    case 1:
    case 2:
    case 4:
    case 11:
    case 12:
    case 19:
      return true;
    default:
      return false;
  }
}

bool SaveCsv(const std::string& path, const CouponStore& store, const CouponUnits& units,
             Notifier& notifier) {
  AtomicFile out(path);
  std::string why;
  bool ok = out.Open();
  if (ok) {
    std::string buf;
    for (int c = 0; c < kCouponColumns; ++c) {
      if (c > 0) buf += ',';
      buf += CouponExportHeader(c, units);
    }
    buf += "\r\n";
    const int32_t rows = RowsToWrite(store);
    for (int32_t r = 0; ok && r < rows; ++r) {
      for (int c = 0; c < kCouponColumns; ++c) {
        AppendCsvText(buf, CouponCellText(store.items[r], c, units));
        buf += ',';
      }
      buf += "\r\n";
      if (buf.size() >= 1 << 16 || r + 1 == rows) {
        ok = std::fwrite(buf.data(), 1, buf.size(), out.file()) == buf.size();
        buf.clear();
      }
    }
    if (ok && !buf.empty()) ok = std::fwrite(buf.data(), 1, buf.size(), out.file()) == buf.size();
    if (ok) {
      const Status saved = out.Commit();
      ok = saved.ok;
      why = saved.message;
    }
  }
  if (!ok) notifier.Error(WriteFaultText(why));
  return ok;
}

bool SaveXls(const std::string& path, const CouponStore& store, const CouponUnits& units,
             Notifier& notifier) {
  // Cells go in row by row, so the sheet needs no table of them (65535 rows of 20).
  miniexcel::OrderedSheet sheet;
  const int32_t rows = RowsToWrite(store);
  const auto cells = static_cast<std::size_t>(rows + 1) * kCouponColumns;
  sheet.Reserve(cells, cells, cells * 12);
  for (int c = 0; c < kCouponColumns; ++c) sheet.Text(0, c, CouponExportHeader(c, units));
  for (int32_t r = 0; r < rows; ++r) {
    const uint32_t row = static_cast<uint32_t>(r) + 1;
    for (int c = 0; c < kCouponColumns; ++c) {
      const std::string text = CouponCellText(store.items[r], c, units);
      double number = 0.0;
      if (IsCouponTextColumn(c) || text == kDash) {
        sheet.Text(row, c, text);
      } else if (text.empty()) {
        // A cell without a value (an unknown shape code) stays empty.
      } else if (ParseWholeNumber(text, &number)) {
        sheet.Number(row, c, number);
      } else {
        sheet.Text(row, c, text);  // "nan" or "inf" from a damaged record
      }
    }
  }
  // Only a complete write is renamed into place.
  const Status saved = WriteFileAtomically(path, sheet.Pieces());
  if (!saved) notifier.Error(WriteFaultText(saved.message));
  return saved.ok;
}

bool SaveXlsx(const std::string& path, const CouponStore& store, const CouponUnits& units,
              Notifier& notifier) {
  XlsxSheet sheet;
  for (int c = 0; c < kCouponColumns; ++c) {
    sheet.Text(0, static_cast<uint16_t>(c), NarrowToUtf8(CouponExportHeader(c, units)));
    sheet.ColumnWidth(static_cast<uint16_t>(c), c == 11 || c == 12 ? 20 : 16);
  }
  const int32_t rows = RowsToWrite(store);
  for (int32_t r = 0; r < rows; ++r) {
    const uint32_t row = static_cast<uint32_t>(r) + 1;
    for (int c = 0; c < kCouponColumns; ++c) {
      const auto col = static_cast<uint16_t>(c);
      const std::string text = CouponCellText(store.items[r], c, units);
      DateTime when;
      bool seconds = false;
      double number = 0.0;
      if ((c == 11 || c == 12) && ParseCellDate(text, &when, &seconds)) {
        sheet.Date(row, col, when, seconds);
      } else if (IsCouponTextColumn(c) || text == kDash) {
        sheet.Text(row, col, NarrowToUtf8(text));
      } else if (text.empty()) {
        // A cell without a value (an unknown shape code) stays empty.
      } else if (ParseWholeNumber(text, &number)) {
        sheet.Number(row, col, number, DecimalsOf(text));
      } else {
        sheet.Text(row, col, NarrowToUtf8(text));  // "nan" or "inf" from a damaged record
      }
    }
  }
  if (sheet.Save(path)) return true;
  notifier.Error(kMsgWriteFault);
  return false;
}

}  // namespace tarn
