// SPDX-License-Identifier: GPL-3.0-or-later
// A one-sheet XLSX workbook through libxlsxwriter: text, number and date cells written row by
// row, then handed as bytes to the safe save.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "common/date_time.h"
#include "common/status.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tarn {

class XlsxSheet {
 public:
  XlsxSheet();
  ~XlsxSheet();
  XlsxSheet(const XlsxSheet&) = delete;
  XlsxSheet& operator=(const XlsxSheet&) = delete;

  // Rows must be written in ascending order: each finished row goes to disk at once, so a
  // million rows take no more memory than one. Texts are UTF-8.
  void Text(uint32_t row, uint16_t col, std::string_view text);
  // The cell's format shows `decimals` decimals, as the text exports write the value.
  void Number(uint32_t row, uint16_t col, double value, int decimals);
  // A date cell shown as dd/mm/yyyy hh:mm, with :ss when `seconds`.
  void Date(uint32_t row, uint16_t col, DateTime when, bool seconds);
  void ColumnWidth(uint16_t col, double width);

  // Finishes the workbook and writes it to `path` through the safe save. Fails with a one-line
  // reason when anything failed; nothing is then left at `path`.
  Status Save(const std::string& path);

 private:
  lxw_format* NumberFormat(int decimals);

  std::string dir_;   // private folder for the library's file and its scratch files
  std::string file_;  // the workbook the library writes
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::map<int, lxw_format*> numbers_;
  lxw_format* minutes_ = nullptr;
  lxw_format* seconds_ = nullptr;
  bool failed_ = false;
};

// Decimals after the full stop of a number's text ("12.3400" gives 4, "7" gives 0).
int DecimalsOf(std::string_view number_text);
// The date of a "dd/MM/yyyy HH:mm[:ss]" text, and whether it carries seconds; false when the
// text is no such date.
bool ParseCellDate(std::string_view text, DateTime* when, bool* seconds);

}  // namespace tarn
