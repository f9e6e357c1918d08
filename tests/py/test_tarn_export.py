# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export's tags and analysis commands on instrument files made here, with HOME in a
temporary folder, and reads the spreadsheet back with xlrd."""
import math
import os
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")

NID = (
    "TAG NUMBER: Tub\xe9 1\n"
    "PROBE TYPE: Tubular\n"
    "THICKNESS: 10\n"
    "START TIME: 01/02/2020 10:20\n"
    "RS_RR\n"
    "1 01/02/2020 10:20:30 1 0\n"
    "2 01/02/2020 10:35:10 2 0\n"
    "TAG NUMBER: P\n"
    "POTENTIAL\n"
    "1 01/02/2020 10:20:30 -512.25\n"
).encode("cp1252")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def tubular_loss(d, t, r):
    x = 4 * (d - t) * t / r + (d - 2 * t) ** 2
    return (d - math.sqrt(x)) / 2


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class TarnExport(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.home = self.tmp.name
        self.nid = os.path.join(self.home, "probe.nid")
        with open(self.nid, "wb") as f:
            f.write(NID)
        self.env = dict(os.environ, HOME=self.home, LC_ALL="de_DE.UTF-8")
        self.env.pop("XDG_CONFIG_HOME", None)
        self.env.pop("DISPLAY", None)
        self.env.pop("QT_QPA_PLATFORM", None)

    def tearDown(self):
        self.tmp.cleanup()

    def run_export(self, *args):
        return subprocess.run([EXE, *args], env=self.env, capture_output=True)

    def write_cfg(self, diameter):
        folder = os.path.join(self.home, "Documents", "Tarn")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "TARN.CFG")
        with open(path, "w") as f:
            f.write("[ETC]\nPI_OF_TUBULAR_TYPE=%s\n" % diameter)
        return path

    def test_help(self):
        for args in (["--help"], ["tags", "--help"], ["analysis", "--help"]):
            r = self.run_export(*args)
            self.assertEqual(r.returncode, 0, args)
            self.assertIn(b"usage", r.stdout)

    def test_every_command_answers_help_with_its_own_usage(self):
        # --help anywhere after the command, also after other arguments, on standard output.
        commands = [["tags"], ["analysis"], ["coupons"], ["graph"], ["history"]] + [
            ["history", sub] for sub in ("import", "probes", "readings", "report", "limits",
                                         "copy")]
        for command in commands:
            for extra in (["--help"], ["-h"], [self.nid, "--help"]):
                if command == ["history"] and len(extra) > 1:
                    continue  # a word after "history" names its subcommand
                args = command + extra
                r = self.run_export(*args)
                self.assertEqual(r.returncode, 0, (args, r.stderr))
                out = r.stdout.decode("utf-8")
                self.assertIn("tarn-export " + " ".join(command) + " ", out, args)
                self.assertEqual(r.stderr, b"", args)
                if len(command) == 2 and command[1] != "copy":
                    # Only this subcommand's usage and paragraph.
                    usages = [l for l in out.splitlines() if l.startswith("  tarn-export")]
                    self.assertTrue(usages, out)
                    self.assertTrue(all(l.startswith("  tarn-export " + " ".join(command))
                                        for l in usages), out)
                    self.assertIn("--history PATH", out)

    def test_tags(self):
        r = self.run_export("tags", self.nid)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.decode("utf-8"),
                         "0\tTUB\u00c9 1\tMetal Loss (mils)\n1\tP\tPotential (mV)\n")

    def test_analysis_uses_the_settings_file_read_only(self):
        cfg = self.write_cfg("100.0")
        before = read_bytes(cfg)
        out = os.path.join(self.home, "tub.csv")
        r = self.run_export("analysis", self.nid, "--tag", "0", "--csv", out)
        self.assertEqual(r.returncode, 0, r.stderr)
        loss = tubular_loss(100.0, 10.0, 2.0)
        rate = loss / (14 / 60.0) * 8760.0
        expected = (
            "ER Data\r\n\r\nTag Name,TUB\xc9 1\r\nSerial no,\r\nPart no,\r\n"
            "Probe Type,TUBULAR\r\nMetal Loss Unit,\r\nThickness,10\r\nReading Interval,\r\n"
            "Start Time,01/02/2020 10:20\r\n\r\n"
            "Received Date / Time,Metal Loss (mils),Corrosion Rate : %.4f mpy\r\n"
            "01/02/2020 10:20,0.0000\r\n01/02/2020 10:35,%.4f\r\n\r\n" % (rate, loss)
        ).encode("cp1252")
        self.assertEqual(read_bytes(out), expected)
        self.assertEqual(read_bytes(cfg), before)

    def test_spreadsheet_reads_back(self):
        import xlrd
        out = os.path.join(self.home, "p.xls")
        r = self.run_export("analysis", self.nid, "--tag", "1", "--xls", out)
        self.assertEqual(r.returncode, 0, r.stderr)
        sheet = xlrd.open_workbook(out, encoding_override="cp1252").sheet_by_index(0)
        self.assertEqual(sheet.cell_value(0, 0), "LPR Data")
        self.assertEqual(sheet.cell_value(2, 1), "P")
        self.assertEqual(sheet.cell_value(3, 0), "Serial no")
        self.assertEqual(sheet.cell_value(9, 0), "Received Date / Time")
        self.assertEqual(sheet.cell_value(9, 1), "Potential (mV)")
        self.assertEqual(sheet.cell_value(10, 0), "01/02/2020 10:20")
        self.assertEqual(sheet.cell(10, 1).ctype, xlrd.XL_CELL_NUMBER)
        self.assertEqual(sheet.cell_value(10, 1), -512.25)

    def test_errors_are_one_line_and_non_zero(self):
        other = os.path.join(self.home, "other.txt")
        with open(other, "w") as f:
            f.write("no tags here\n")
        out = os.path.join(self.home, "x.csv")
        cases = [
            (["tags", other], b"Unknown file type."),
            (["tags", os.path.join(self.home, "missing.nid")], b"Cannot open"),
            (["analysis", self.nid, "--tag", "2", "--csv", out], b"out of range"),
            (["analysis", self.nid, "--tag", "0", "--csv",
              os.path.join(self.home, "no", "x.csv")], b"no/x.csv"),
        ]
        for args, text in cases:
            r = self.run_export(*args)
            self.assertNotEqual(r.returncode, 0, args)
            self.assertIn(text, r.stderr, args)
            self.assertEqual(r.stderr.count(b"\n"), 1, r.stderr)
        self.assertFalse(os.path.exists(out))
        self.assertNotEqual(self.run_export("analysis", self.nid, "--csv", out).returncode, 0)

    def test_exit_status_follows_one_rule(self):
        out = os.path.join(self.home, "x.bmp")
        cases = [  # 2: the command line is wrong; 1: the work could not be done
            (["analysis", self.nid, "--tag", "x", "--csv", out], 2),
            (["graph", self.nid, "--tag", "x", "--bmp", out], 2),
            (["analysis", self.nid, "--tag", "7", "--csv", out], 1),
            (["graph", self.nid, "--tag", "7", "--bmp", out], 1),
        ]
        for args, status in cases:
            self.assertEqual(self.run_export(*args).returncode, status, args)
        self.assertIn(b"Exit status", self.run_export("--help").stdout)
        # Standard output that cannot take the listing: said on standard error, status 1.
        with open("/dev/full", "wb") as full:
            r = subprocess.run([EXE, "tags", self.nid], env=self.env, stdout=full,
                               stderr=subprocess.PIPE)
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"standard output", r.stderr)


if __name__ == "__main__":
    unittest.main()
