# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a sheet written by our spreadsheet writer back with xlrd, a reader nobody here wrote."""
import os
import subprocess
import sys
import tempfile
import unittest

import xlrd

BUILD = os.environ.get("TARN_BUILD_DIR", "build")


class MiniExcelReadBack(unittest.TestCase):
    def test_every_cell(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "sample.xls")
            subprocess.run([os.path.join(BUILD, "tests", "write_sample_xls"), path], check=True)
            book = xlrd.open_workbook(path, encoding_override="cp1252")
            self.assertEqual(book.nsheets, 1)
            sheet = book.sheet_by_index(0)
            cells = {}
            for r in range(sheet.nrows):
                for c in range(sheet.ncols):
                    cell = sheet.cell(r, c)
                    if cell.ctype != xlrd.XL_CELL_EMPTY:
                        cells[(r, c)] = (cell.ctype, cell.value)
            T, N = xlrd.XL_CELL_TEXT, xlrd.XL_CELL_NUMBER
            self.assertEqual(cells, {
                (0, 0): (T, "ER Data"),
                (2, 0): (T, "Tag Name"),
                (2, 1): (T, "PROBE-01"),
                (4, 0): (T, "Date Time"),
                (4, 1): (T, "Metal Loss (mils)"),
                (5, 0): (T, "07/12/2020 21:31"),
                (5, 1): (N, 1.2345),
                (6, 0): (T, "08/12/2020 21:31"),
                (6, 1): (N, -0.5),
                (7, 3): (N, 65535.0),
                (8, 2): (T, "Caf\u00e9"),
                (300, 1): (N, 1e-9),
            })


if __name__ == "__main__":
    sys.exit(unittest.main())
