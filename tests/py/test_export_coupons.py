# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export coupons on coupon data files packed here with struct, with HOME in a
temporary folder, and reads the spreadsheet back with xlrd."""
import os
import struct
import subprocess
import tempfile
import unittest

import xlrd

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")


def record(tag, coupon_type, alloy, density, shape, holes, hole_dia, length, width, thickness,
           weights, area, exposure, loss, rate, comment):
    rec = tag.encode("cp1252").ljust(24, b"\0")
    rec += struct.pack("<iidii4d", coupon_type, alloy, density, shape, holes, hole_dia, length,
                       width, thickness)
    rec += b"01/03/2024 08:00:00\0" + b"31/03/2024 08:00:00\0"
    rec += struct.pack("<6d", weights[0], weights[1], area, exposure, loss, rate)
    rec += comment.encode("cp1252").ljust(256, b"\0")
    assert len(rec) == 424
    return rec


RECT = record("R-1", 1, 1, 7.94, 0, 1, 0.475, 7.62, 1.27, 0.1588, (10.0, 9.9), 21.823853, 720.0,
              0.005771, 0.070213, "plain")
DISC = record("D\xe9", 4, 21, 8.94, 1, 1, 1.27, 0.0, 3.175, 0.318, (10.0, 9.9), 16.473, 720.0,
              0.0068, 0.083, "Caf\xe9, two")
CYL = record("C", 0, 0, 2.5, 2, 3, 0.2, 4.0, 1.0, 0.3, (5.0, 4.5), 13.35, 24.0, 0.15, 54.7, "")


def cpn(*records, count=None):
    n = len(records) if count is None else count
    return b"C_32_V_1_0" + struct.pack("<i", n) + b"".join(records)


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportCoupons(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.home = self.tmp.name
        self.env = dict(os.environ, HOME=self.home, LC_ALL="de_DE.UTF-8")
        self.env.pop("XDG_CONFIG_HOME", None)
        self.env.pop("DISPLAY", None)

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.home, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def run_export(self, *args):
        return subprocess.run([EXE, "coupons", *args], env=self.env, capture_output=True)

    def test_spreadsheet_with_the_units_of_the_settings_file(self):
        folder = os.path.join(self.home, "Documents", "Tarn")
        os.makedirs(folder)
        cfg = os.path.join(folder, "TARN.CFG")
        with open(cfg, "w") as f:
            f.write("[UNIT]\nDENSITY=1\nCORRATE=1\n")
        with open(cfg, "rb") as f:
            cfg_before = f.read()
        src = self.write("three.CPN", cpn(RECT, DISC, CYL))
        out = self.path("three.xls")
        r = self.run_export(src, "--xls", out)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(cfg, "rb") as f:
            self.assertEqual(f.read(), cfg_before, "the settings file is only read")

        sheet = xlrd.open_workbook(out, encoding_override="cp1252").sheet_by_index(0)
        self.assertEqual(sheet.nrows, 4)
        header = [c.value for c in sheet.row(0)]
        self.assertEqual(header[3], "Alloy Density (lb/in^3)")
        self.assertEqual(header[6], "Hole Diameter (cm)")
        self.assertEqual(header[18], "Corrosion Rate (mils/year(mpy))")
        self.assertEqual(header[19], "Comments")

        T, N = xlrd.XL_CELL_TEXT, xlrd.XL_CELL_NUMBER
        disc = sheet.row(2)
        self.assertEqual([c.ctype for c in disc],
                         [T, T, T, N, T, N, N, T, N, T, N, T, T, N, N, N, N, N, N, T])
        self.assertEqual(disc[0].value, "D\u00e9")
        self.assertEqual(disc[2].value, "CU - NI(90 / 10)\t")
        self.assertEqual(disc[3].value, round(8.94 * 0.036127292, 7))
        self.assertEqual(disc[8].value, 3.175)
        self.assertEqual(disc[18].value, round(0.083 * 39.3700787, 4))
        self.assertEqual(disc[19].value, "Caf\u00e9, two")

        cyl = [c.value for c in sheet.row(3)]
        self.assertEqual(cyl[5:11], ["-", "-", 4.0, 1.0, "-", "-"])
        self.assertEqual(cyl[1:3], ["Custom", "Custom"])
        self.assertEqual(cyl[3], round(2.5 * 0.036127292, 7))

    def test_csv_with_units_given(self):
        src = self.write("one.CPN", cpn(RECT))
        out = self.path("one.csv")
        r = self.run_export(src, "--csv", out, "--units", "01001")
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, "rb") as f:
            lines = f.read().split(b"\r\n")
        self.assertEqual(len(lines), 3)
        self.assertEqual(lines[2], b"")
        self.assertFalse(lines[0].endswith(b","))
        self.assertIn(b",Length (in),", lines[0])
        self.assertIn(b",Metal Loss (mm),", lines[0])
        self.assertTrue(lines[1].startswith(b"R-1,100,304SS,7.94,Rectangle,1,0.1870,3.0000,-,"))

    def test_errors_are_one_line_and_a_failure_exit(self):
        good = self.write("good.CPN", cpn(RECT))
        cases = [
            (self.write("short.CPN", cpn(RECT, count=2)), "--csv", "Invalid Coupon Data."),
            (self.write("neg.CPN", cpn(count=-1)), "--csv", "Invalid Coupon Data."),
            (self.path("missing.CPN"), "--xls", "Cannot open"),
            (good, "--xls", "Write Fault Error."),
        ]
        for src, kind, text in cases:
            out = os.path.join(self.home, "no", "such", "x") if "Write" in text else self.path("x")
            r = self.run_export(src, kind, out)
            self.assertNotEqual(r.returncode, 0, src)
            err = r.stderr.decode()
            self.assertIn(text, err)
            self.assertEqual(err.count("\n"), 1, err)
            self.assertFalse(os.path.exists(self.path("x")))
        for args in ([good], [good, "--csv", "a", "--xls", "b"], [good, "--csv", "a", "--units", "0100"]):
            r = self.run_export(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertEqual(r.stderr.decode().count("\n"), 1)

    def test_help(self):
        r = self.run_export("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn(b"--units SPEC", r.stdout)


if __name__ == "__main__":
    unittest.main()
