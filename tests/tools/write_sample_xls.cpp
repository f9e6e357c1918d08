// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a spreadsheet with known text and number cells, for reading back with a reader that
// nobody here wrote (tests/py/test_mini_excel_xlrd.py).
#include <cstdio>

#include "miniexcel/mini_excel.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: write_sample_xls OUT.xls\n", stderr);
    return 2;
  }
  tarn::miniexcel::CMiniExcel sheet;
  sheet(0, 0) = "ER Data";
  sheet(2, 0) = "Tag Name";
  sheet(2, 1) = "PROBE-01";
  sheet(4, 0) = "Date Time";
  sheet(4, 1) = "Metal Loss (mils)";
  sheet(5, 0) = "07/12/2020 21:31";
  sheet(5, 1) = 1.2345;
  sheet(6, 0) = "08/12/2020 21:31";
  sheet(6, 1) = -0.5;
  sheet(7, 3) = 65535.0;
  sheet(8, 2) = "Caf\xe9";  // Windows-1252 e acute
  sheet(300, 1) = 1e-9;
  FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr || !sheet.Write(f)) return 1;
  return 0;
}
