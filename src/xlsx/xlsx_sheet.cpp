// SPDX-License-Identifier: GPL-3.0-or-later
#include "xlsx/xlsx_sheet.h"

#include <stdlib.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/atomic_file.h"

namespace tarn {

namespace {

// The library writes only to a named file; it and the library's scratch files live in a
// folder of our own that nobody else can read, removed when the sheet goes.
std::string MakePrivateFolder() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "tarn-xlsx-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace

int DecimalsOf(std::string_view text) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return 0;
  size_t n = 0;
  while (dot + 1 + n < text.size() && text[dot + 1 + n] >= '0' && text[dot + 1 + n] <= '9') ++n;
  return static_cast<int>(n);
}

bool ParseCellDate(std::string_view text, DateTime* when, bool* seconds) {
  int32_t chk = 0;
  const DateTime t = Str2DateTime(text, &chk);
  if (chk != 1) return false;
  *when = t;
  *seconds = std::count(text.begin(), text.end(), ':') >= 2;
  return true;
}

XlsxSheet::XlsxSheet() : dir_(MakePrivateFolder()) {
  if (dir_.empty()) {
    failed_ = true;
    return;
  }
  file_ = dir_ + "/book.xlsx";
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = dir_.data();
  book_ = workbook_new_opt(file_.c_str(), &options);
  if (book_ != nullptr) sheet_ = workbook_add_worksheet(book_, nullptr);
  if (sheet_ == nullptr) {
    failed_ = true;
    return;
  }
  minutes_ = workbook_add_format(book_);
  format_set_num_format(minutes_, "dd/mm/yyyy hh:mm");
  seconds_ = workbook_add_format(book_);
  format_set_num_format(seconds_, "dd/mm/yyyy hh:mm:ss");
}

XlsxSheet::~XlsxSheet() {
  if (book_ != nullptr) workbook_close(book_);  // frees it; the file goes with the folder
  if (!dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
}

lxw_format* XlsxSheet::NumberFormat(int decimals) {
  decimals = std::clamp(decimals, 0, 15);
  auto it = numbers_.find(decimals);
  if (it != numbers_.end()) return it->second;
  std::string code = "0";
  if (decimals > 0) code += "." + std::string(static_cast<size_t>(decimals), '0');
  lxw_format* f = workbook_add_format(book_);
  format_set_num_format(f, code.c_str());
  return numbers_.emplace(decimals, f).first->second;
}

void XlsxSheet::Text(uint32_t row, uint16_t col, std::string_view text) {
  if (failed_) return;
  const std::string s(text);
  if (worksheet_write_string(sheet_, row, col, s.c_str(), nullptr) != LXW_NO_ERROR) {
    failed_ = true;
  }
}

void XlsxSheet::Number(uint32_t row, uint16_t col, double value, int decimals) {
  if (failed_) return;
  if (worksheet_write_number(sheet_, row, col, value, NumberFormat(decimals)) != LXW_NO_ERROR) {
    failed_ = true;
  }
}

void XlsxSheet::Date(uint32_t row, uint16_t col, DateTime when, bool seconds) {
  if (failed_) return;
  const DateTimeParts p = SplitDateTime(when);
  lxw_datetime dt = {p.year, p.month, p.day, p.hour, p.minute, static_cast<double>(p.second)};
  if (worksheet_write_datetime(sheet_, row, col, &dt, seconds ? seconds_ : minutes_) !=
      LXW_NO_ERROR) {
    failed_ = true;
  }
}

void XlsxSheet::ColumnWidth(uint16_t col, double width) {
  if (!failed_) worksheet_set_column(sheet_, col, col, width, nullptr);
}

Status XlsxSheet::Save(const std::string& path) {
  const auto fail = [](const char* text) { return Status::Fail(text); };
  if (failed_ || book_ == nullptr) return fail("Cannot write the workbook.");
  const lxw_error closed = workbook_close(book_);
  book_ = nullptr;
  if (closed != LXW_NO_ERROR) return fail("Cannot write the workbook.");
  std::ifstream in(file_, std::ios::binary);
  if (!in.is_open()) return fail("Cannot write the workbook.");
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return fail("Cannot write the workbook.");
  return WriteFileAtomically(path, bytes);
}

}  // namespace tarn
