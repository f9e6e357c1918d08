# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export's analysis and coupon exports as CSV, XLS and XLSX on files made here and
reads the workbook back with openpyxl: every cell must have the spreadsheet's type and value,
dates as date cells, numbers with the decimals of the text export as their format."""
import datetime
import os
import re
import subprocess
import tempfile
import unittest

import openpyxl
import xlrd

from test_export_coupons import CYL, DISC, RECT, cpn
from test_tarn_export import NID

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")
DATE = re.compile(r"^\d\d/\d\d/\d{4} \d\d:\d\d(:\d\d)?$")


def decimals_format(text):
    return "0" + ("." + "0" * len(text.split(".")[1]) if "." in text else "")


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportXlsx(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.home = self.tmp.name
        # The library's scratch files go to a private folder under TMPDIR, removed afterwards.
        self.scratch = os.path.join(self.home, "scratch")
        os.mkdir(self.scratch)
        self.env = dict(os.environ, HOME=self.home, LC_ALL="de_DE.UTF-8", TMPDIR=self.scratch)
        for name in ("XDG_CONFIG_HOME", "DISPLAY", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.home, name)

    def export(self, *args):
        return subprocess.run([EXE, *args], env=self.env, capture_output=True)

    def export_all(self, command, src, *extra):
        outs = {k: self.path("out." + k) for k in ("csv", "xls", "xlsx")}
        for kind, out in outs.items():
            r = self.export(command, src, *extra, "--" + kind, out)
            self.assertEqual(r.returncode, 0, r.stderr)
        return outs

    def assert_same_cells(self, outs):
        """The workbook holds the spreadsheet's cells: its texts as texts, its date texts as
        dates, its numbers as numbers formatted with the CSV's decimals."""
        xls = xlrd.open_workbook(outs["xls"], encoding_override="cp1252").sheet_by_index(0)
        with open(outs["csv"], "rb") as f:
            csv = [line.split(",") for line in f.read().decode("cp1252").split("\r\n")]
        book = openpyxl.load_workbook(outs["xlsx"]).active
        got = {(c.row - 1, c.column - 1): c for row in book.iter_rows() for c in row
               if c.value is not None}
        want = {(r, c): xls.cell(r, c) for r in range(xls.nrows) for c in range(xls.ncols)
                if xls.cell(r, c).ctype != xlrd.XL_CELL_EMPTY and xls.cell(r, c).value != ""}
        self.assertEqual(sorted(got), sorted(want))
        for (r, c), x in want.items():
            cell = got[(r, c)]
            where = "row %d column %d: %r" % (r, c, x.value)
            if x.ctype == xlrd.XL_CELL_NUMBER:
                self.assertEqual((cell.data_type, cell.value), ("n", x.value), where)
                self.assertEqual(cell.number_format, decimals_format(csv[r][c]), where)
            elif DATE.match(x.value):
                seconds = x.value.count(":") == 2
                self.assertEqual(cell.data_type, "d", where)
                self.assertEqual(cell.number_format,
                                 "dd/mm/yyyy hh:mm" + (":ss" if seconds else ""), where)
                shown = cell.value.strftime("%d/%m/%Y %H:%M" + (":%S" if seconds else ""))
                self.assertEqual(shown, x.value, where)
            else:
                self.assertEqual((cell.data_type, cell.value), ("s", x.value), where)
        return got

    def test_analysis_workbook_matches_the_spreadsheet_and_has_no_row_limit(self):
        src = self.path("probe.nid")
        with open(src, "wb") as f:
            f.write(NID)
        got = self.assert_same_cells(self.export_all("analysis", src, "--tag", "0"))
        self.assertEqual(got[(2, 1)].value, "TUB\xc9 1")
        self.assertEqual(got[(9, 1)].value, datetime.datetime(2020, 2, 1, 10, 20))  # start time
        self.assertEqual(got[(13, 0)].value, datetime.datetime(2020, 2, 1, 10, 35))

        # 65535 readings: past the spreadsheet's last row, whole in the workbook.
        n = 65535
        lines = ["TAG NUMBER: BIG", "PROBE TYPE: FLUSH", "THICKNESS: 10",
                 "START TIME: 01/01/2024 00:00:00", "RS_RR"]
        start = datetime.datetime(2024, 1, 1)
        for i in range(n):
            t = start + datetime.timedelta(hours=i)
            lines.append("%d %s %.4f 25" % (i + 1, t.strftime("%d/%m/%Y %H:%M:%S"),
                                            1 + i * 1e-6))
        with open(src, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.assertNotEqual(self.export("analysis", src, "--tag", "0", "--xls",
                                        self.path("big.xls")).returncode, 0)
        r = self.export("analysis", src, "--tag", "0", "--xlsx", self.path("big.xlsx"))
        self.assertEqual(r.returncode, 0, r.stderr)
        sheet = openpyxl.load_workbook(self.path("big.xlsx"), read_only=True).active
        last = 12 + n  # rows from 1: twelve rows above the readings
        self.assertEqual(sheet.max_row, last)
        row = next(sheet.iter_rows(min_row=last, max_row=last, values_only=True))
        self.assertEqual(row[0], start + datetime.timedelta(hours=n - 1))

    def test_coupon_workbook_matches_the_spreadsheet(self):
        src = self.path("three.CPN")
        with open(src, "wb") as f:
            f.write(cpn(RECT, DISC, CYL))
        for units in ("00000", "11111"):
            got = self.assert_same_cells(self.export_all("coupons", src, "--units", units))
            self.assertEqual(got[(2, 19)].value, "Caf\xe9, two")
            self.assertEqual(got[(1, 11)].value, datetime.datetime(2024, 3, 1, 8, 0))
        bad = os.path.join(self.home, "missing", "out.xlsx")
        r = self.export("coupons", src, "--xlsx", bad)
        self.assertEqual(r.returncode, 1)
        self.assertIn("Write Fault Error.", r.stderr.decode())
        self.assertFalse(os.path.exists(bad))
        self.assertEqual(os.listdir(self.scratch), [])


if __name__ == "__main__":
    unittest.main()
