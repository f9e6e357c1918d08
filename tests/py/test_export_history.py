# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export history on instrument files made here, with HOME in a temporary folder:
import, the probe list, a probe's readings and its limits, and the errors each one reports."""
import csv
import datetime
import os
import pwd
import subprocess
import tempfile
import unittest

import openpyxl

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")

NID = (
    "TAG NUMBER: ER-1\nSERIAL NUMBER: S1\nPROBE TYPE: FLUSH\nTHICKNESS: 10\n"
    "START TIME: 01/02/2020 00:00\nRS_RR\n"
    "1 01/02/2020 00:00:00 1.0 0\n"
    "2 02/02/2020 00:00:00 1.25 0\n"
    "TAG NUMBER: LPR-1\nSERIAL NUMBER: S2\nCOR RATE\n"
    "1 01/02/2020 00:00:00 3.5\n"
)


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportHistory(unittest.TestCase):
    def setUp(self):
        # "fi" and "fl" in the path: the PDF report must not join them into ligatures.
        self.tmp = tempfile.TemporaryDirectory(prefix="tarn-fi-fl-")
        self.home = self.tmp.name
        self.nid = os.path.join(self.home, "a.nid")
        with open(self.nid, "w") as f:
            f.write(NID)
        self.db = os.path.join(self.home, "h.sqlite")
        self.env = dict(os.environ, HOME=self.home)
        self.env.pop("XDG_CONFIG_HOME", None)

    def tearDown(self):
        self.tmp.cleanup()

    def run_history(self, *args, history=True):
        extra = ["--history", self.db] if history else []
        return subprocess.run([EXE, "history", *args, *extra], env=self.env,
                              capture_output=True, text=True)

    def test_import_list_read_and_limits(self):
        first = self.run_history("import", self.nid)
        self.assertEqual(first.returncode, 0, first.stderr)
        self.assertEqual(first.stdout, self.nid + ": 2 tags, 3 new, 0 duplicate, 0 conflicting\n")
        again = self.run_history("import", self.nid)
        self.assertEqual(again.stdout, self.nid + ": 2 tags, 0 new, 3 duplicate, 0 conflicting\n")

        probes = self.run_history("probes")
        self.assertEqual(probes.returncode, 0, probes.stderr)
        self.assertEqual(probes.stdout.splitlines()[0], "# rate: trend over the last 30 days")
        lines = [l.split("\t") for l in probes.stdout.splitlines()[1:]]
        # 2 mils in one day: 730 mpy; 2 of a 5 mil life: 40 %, consumed 1.5 days later.
        self.assertEqual(lines[0], ["1", "ER-1", "S1", "Metal Loss (mils)", "2",
                                    "02/02/2020 00:00:00", "2.0000", "730.0000 mpy", "40.0",
                                    "03/02/2020", "ALARM: rate 730.00 mpy above alarm 10.00"])
        self.assertEqual(lines[1][:7], ["2", "LPR-1", "S2", "Corrosion Rate (mpy)", "1",
                                        "01/02/2020 00:00:00", "3.5000"])

        out = os.path.join(self.home, "r.csv")
        done = self.run_history("readings", "--probe", "1", "--csv", out, "--from", "02/02/2020")
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), b"Date,Value,excluded\r\n02/02/2020 00:00:00,2.0000,\r\n")

        limits = self.run_history("limits", "--probe", "2", "--rate-warn", "1",
                                  "--rate-alarm", "3", "--consumed-warn", "40",
                                  "--consumed-alarm", "60")
        self.assertEqual(limits.returncode, 0, limits.stderr)
        listed = self.run_history("probes", "--csv", out)
        self.assertEqual(listed.returncode, 0, listed.stderr)
        with open(out, newline="") as f:
            rows = f.read().split("\r\n")
        self.assertTrue(rows[0].startswith("Id,Tag,Serial,Type,Count"))
        self.assertTrue(rows[2].endswith("ALARM: rate 3.50 mpy above alarm 3.00"), rows[2])

        # The limits set are the one line of the trail, with who set them and from what.
        changes = self.run_history("changes")
        self.assertEqual(changes.returncode, 0, changes.stderr)
        fields = changes.stdout.splitlines()
        self.assertEqual(len(fields), 1, changes.stdout)
        when, user, what, before, after = fields[0].split("\t")
        self.assertRegex(when, r"^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d$")
        self.assertEqual(user, pwd.getpwuid(os.geteuid()).pw_name)
        self.assertEqual(what, "limits of probe 2 (LPR-1 S2)")
        self.assertTrue(before.startswith("the defaults (rate warning 5.00"), before)
        self.assertEqual(after, "rate warning 1.00, alarm 3.00 mpy; consumed warning 40.0 %, "
                                "alarm 60.0 %")
        trail = os.path.join(self.home, "trail.csv")
        self.assertEqual(self.run_history("changes", "--csv", trail).returncode, 0)
        with open(trail, newline="") as f:
            rows = f.read().split("\r\n")
        self.assertEqual(rows[0], "Time,User,What,Before,After")
        self.assertIn('"rate warning 1.00, alarm 3.00 mpy; consumed warning 40.0 %, alarm 60.0 %"',
                      rows[1])

    def test_errors_are_one_line_and_change_nothing(self):
        with open(self.db, "w") as f:
            f.write("not a database")
        out = os.path.join(self.home, "r.csv")
        cases = [
            (["import", self.nid], "is not a Tarn history"),
            (["probes"], "is not a Tarn history"),
            (["readings", "--probe", "1", "--csv", out], "is not a Tarn history"),
            (["readings", "--probe", "1", "--xlsx", out], "is not a Tarn history"),
            (["limits", "--default", "--rate-warn", "1", "--rate-alarm", "2"],
             "is not a Tarn history"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                r = self.run_history(*args)
                self.assertNotEqual(r.returncode, 0)
                self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
                self.assertIn(message, r.stderr)
        with open(self.db) as f:
            self.assertEqual(f.read(), "not a database")
        self.assertFalse(os.path.exists(out))
        os.remove(self.db)
        missing = self.run_history("import", os.path.join(self.home, "none.nid"))
        self.assertNotEqual(missing.returncode, 0)
        self.assertIn("Cannot open file", missing.stderr)
        bad = self.run_history("limits", "--default", "--rate-warn", "9", "--rate-alarm", "2")
        self.assertNotEqual(bad.returncode, 0)
        self.assertIn("warning level must not be above its alarm level", bad.stderr)

    def test_import_names_skips_and_same_file_conflicts_and_refuses_what_it_cannot_mean(self):
        odd = os.path.join(self.home, "odd.nid")
        with open(odd, "w") as f:
            f.write("TAG NUMBER: X\nSERIAL NUMBER: S\nCOR RATE\n"
                    "1 01/02/2020 00:00:00 3.5\n"
                    "2 01/02/2020 00:00:30 4.5\n"
                    "3 02/02/2020 00:00:00 abc\n"
                    "4 31/02/2020 00:00:00 1.0\n")
        r = self.run_history("import", odd)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], odd + ": 1 tags, 1 new, 0 duplicate, 1 conflicting, 2 skipped")
        self.assertEqual(lines[1], "  conflicts in: X S")
        self.assertIn("in the same file 3.5000 offered 4.5000", lines[2])
        self.assertEqual(lines[3], '  skipped: line 6, tag X: value "ABC" is not a number')
        self.assertEqual(lines[4],
                         '  skipped: line 7, tag X: date and time "31/02/2020 00:00:00" do not'
                         ' convert')

        empty = os.path.join(self.home, "empty.nid")
        with open(empty, "w") as f:
            f.write("TAG NUMBER: Y\nCOR RATE\n1 01/02/2020 00:00:00 nan\n")
        r = self.run_history("import", empty)
        self.assertEqual(r.returncode, 1)
        self.assertIn("no reading could be read (1 skipped", r.stderr)
        self.assertEqual(len(self.run_history("probes").stdout.splitlines()[1:]), 1)

        out = os.path.join(self.home, "r.csv")
        for args, says in [
            (["readings", "--probe", "1", "--csv", out, "--from", "02/02/2020",
              "--to", "01/02/2020"], "--from must not be after --to"),
            (["probes", "--window", "0"], "--window needs a whole number of days, at least 1, or 'all'"),
            (["report", "--pdf", out, "--window", "0"], "at least 1"),
            (["limits", "--default", "--rate-warn", "1", "--rate-alarm", "2",
              "--consumed-warn", "50", "--consumed-alarm", "150"], "at most 100 %"),
        ]:
            with self.subTest(args=args):
                r = self.run_history(*args)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertIn(says, r.stderr.splitlines()[0])
        self.assertFalse(os.path.exists(out))

        # The summary cannot be written, the readings are stored all the same.
        with open(self.nid, "a") as f:
            f.write("2 02/02/2020 00:00:00 4.0\n")
        with open("/dev/full", "w") as full:
            r = subprocess.run([EXE, "history", "import", self.nid, "--history", self.db],
                               env=self.env, stdout=full, stderr=subprocess.PIPE, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(self.nid + " was imported (4 new readings), but its summary could not be"
                      " written", r.stderr)
        self.assertEqual(len(self.run_history("probes").stdout.splitlines()[1:]), 3)

    def test_readings_workbook_holds_the_csv_as_dates_and_numbers(self):
        # More readings than an old spreadsheet holds, a little over a minute apart so that the
        # seconds vary (readings less than a minute apart would be one reading).
        start = datetime.datetime(2021, 3, 4, 5, 6, 7)
        lines = ["TAG NUMBER: BIG\nSERIAL NUMBER: S9\nPROBE TYPE: FLUSH\nTHICKNESS: 10\n"
                 "START TIME: 04/03/2021 05:06\nRS_RR"]
        for i in range(70000):
            t = start + datetime.timedelta(seconds=61 * i)
            lines.append("%d %s %.4f 0" % (i + 1, t.strftime("%d/%m/%Y %H:%M:%S"), i / 7000))
        big = os.path.join(self.home, "big.nid")
        with open(big, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.assertEqual(self.run_history("import", big).returncode, 0)
        csv, xlsx = os.path.join(self.home, "r.csv"), os.path.join(self.home, "r.xlsx")
        done = self.run_history("readings", "--probe", "1", "--csv", csv, "--xlsx", xlsx)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(csv, newline="") as f:
            expected = [l.split(",") for l in f.read().split("\r\n")[:-1]]
        self.assertEqual(len(expected), 70001)
        rows = list(openpyxl.load_workbook(xlsx, read_only=True).active.iter_rows())
        self.assertEqual(len(rows), len(expected))
        self.assertEqual([c.value for c in rows[0]], expected[0])
        for row, (when, value, excluded) in zip(rows[1:], expected[1:]):
            self.assertEqual(excluded, "")
            self.assertEqual(row[0].value,
                             datetime.datetime.strptime(when, "%d/%m/%Y %H:%M:%S"), when)
            self.assertEqual(row[0].number_format, "dd/mm/yyyy hh:mm:ss")
            self.assertIsInstance(row[1].value, (int, float))
            self.assertAlmostEqual(row[1].value, float(value), delta=0.00005000001)
            self.assertEqual(row[1].number_format, "0.0000")

    def test_report_has_cover_fleet_and_a_page_per_probe(self):
        self.assertEqual(self.run_history("import", self.nid).returncode, 0)
        pdf = os.path.join(self.home, "r.pdf")
        self.env["LC_ALL"] = "en_GB.UTF-8"
        cases = [
            ([], [["Probe History Report", "Probes: 2", "OK: 1", "ALARM: 1", self.db],
                  ["Probes (rate: trend over the last 7 days)", "ER-1", "LPR-1",
                   "730.0000 mpy", "Page 2"],
                  ["Unit Unassigned", "2 points;", "ER-1", "LPR-1", "Page 3"],
                  ["Probe ER-1 S1", "Rate (trend, 7 d): 730.0000 mpy",
                   "Rate (trend, all): 730.0000 mpy", "Consumed: 40.0 %",
                   "Element end date: 03/02/2020", "Status: ALARM", "Limits (defaults)",
                   "~/a.nid", "Page 4"],
                  ["Probe LPR-1 S2", "3.5000 mpy", "Page 5"]]),
            (["--probe", "2"], [["Probes: 1"], ["LPR-1"], ["Unit Unassigned", "1 point;"],
                                ["Probe LPR-1 S2"]]),
        ]
        for args, pages in cases:
            with self.subTest(args=args):
                r = self.run_history("report", "--pdf", pdf, "--window", "7", *args)
                self.assertEqual(r.returncode, 0, r.stderr)
                info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
                self.assertIn("Pages:           %d" % len(pages), info)
                self.assertIn("(A4)", info)
                for n, texts in enumerate(pages, 1):
                    text = subprocess.run(["pdftotext", "-f", str(n), "-l", str(n), pdf, "-"],
                                          capture_output=True, text=True).stdout
                    for t in texts:
                        self.assertIn(t, text, "page %d" % n)
                fonts = subprocess.run(["pdffonts", pdf], capture_output=True,
                                       text=True).stdout.splitlines()[2:]
                self.assertTrue(fonts)
                self.assertTrue(all(f.split()[-5] == "yes" for f in fonts), fonts)
        # A potential probe has no limits: the cover counts it apart, not as OK.
        pot = os.path.join(self.home, "p.nid")
        with open(pot, "w") as f:
            f.write("TAG NUMBER: POT-1\nSERIAL NUMBER: S4\nPOTENTIAL\n"
                    "1 01/02/2020 00:00:00 -650\n2 02/02/2020 00:00:00 -640\n")
        self.assertEqual(self.run_history("import", pot).returncode, 0)
        r = self.run_history("report", "--pdf", pdf, "--probe", "2", "--probe", "3")
        self.assertEqual(r.returncode, 0, r.stderr)
        cover = subprocess.run(["pdftotext", "-l", "1", pdf, "-"], capture_output=True,
                               text=True).stdout
        for t in ["Probes: 2", "OK: 1", "WARNING: 0", "ALARM: 0", "No limits: 1"]:
            self.assertIn(t, cover)
        self.env["LC_ALL"] = "en_US.UTF-8"
        self.assertEqual(self.run_history("report", "--pdf", pdf).returncode, 0)
        info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
        self.assertIn("612 x 792 pts (letter)", info)
        missing = self.run_history("report", "--pdf", os.path.join(self.home, "x.pdf"),
                                   "--probe", "9")
        self.assertIn("no probe with id 9", missing.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.home, "x.pdf")))

    def test_rate_window_comes_from_the_settings_file_and_is_named(self):
        # A corrosion-rate probe's rate is its mean over the window ending at its last reading:
        # 2 over 7 days, (10+2+2)/3 over 30, (20+10+2+2)/4 over the whole history.
        with open(self.nid, "w") as f:
            f.write("TAG NUMBER: LPR-2\nSERIAL NUMBER: S3\nCOR RATE\n"
                    "1 01/01/2020 00:00:00 20\n2 01/02/2020 00:00:00 10\n"
                    "3 21/02/2020 00:00:00 2\n4 22/02/2020 00:00:00 2\n")
        self.assertEqual(self.run_history("import", self.nid).returncode, 0)
        cfg = os.path.join(self.home, "Documents", "Tarn", "TARN.CFG")
        out = os.path.join(self.home, "p.csv")
        cases = [  # RateWindow in the settings file (None: no file), --window, what is named
            (None, [], "the last 30 days", "30 d", "4.6667 mpy"),
            ("7", [], "the last 7 days", "7 d", "2.0000 mpy"),
            ("0", [], "the whole history", "all", "8.5000 mpy"),
            ("7", ["--window", "all"], "the whole history", "all", "8.5000 mpy"),
            ("7", ["--window", "30"], "the last 30 days", "30 d", "4.6667 mpy"),
            ("12", [], "the last 30 days", "30 d", "4.6667 mpy"),  # not offered: the default
        ]
        for saved, args, phrase, title, rate in cases:
            with self.subTest(saved=saved, args=args):
                if saved is None:
                    self.assertFalse(os.path.exists(cfg))
                else:
                    os.makedirs(os.path.dirname(cfg), exist_ok=True)
                    with open(cfg, "w") as f:
                        f.write("[Probes]\r\nRateWindow=%s\r\n" % saved)
                r = self.run_history("probes", *args)
                self.assertEqual(r.returncode, 0, r.stderr)
                lines = r.stdout.splitlines()
                self.assertEqual(lines[0], "# rate: trend over " + phrase)
                self.assertEqual(lines[1].split("\t")[7], rate)
                r = self.run_history("probes", "--csv", out, *args)
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(out, newline="") as f:
                    rows = list(csv.reader(f))
                self.assertEqual(rows[0][7], "Rate (trend, %s)" % title)
                self.assertEqual(rows[1][7], rate)
                pdf = os.path.join(self.home, "w.pdf")
                r = self.run_history("report", "--pdf", pdf, *args)
                self.assertEqual(r.returncode, 0, r.stderr)
                for page in ("1", "3"):
                    text = subprocess.run(["pdftotext", "-f", page, "-l", page, pdf, "-"],
                                          capture_output=True, text=True).stdout
                    self.assertIn("Rate: trend over " + phrase, text, "page " + page)
        bad = self.run_history("probes", "--window", "week")
        self.assertEqual(bad.returncode, 2)
        self.assertIn("--window needs a whole number of days, at least 1, or 'all'", bad.stderr)

    def test_import_names_conflicting_probes_and_unimport_takes_a_file_out(self):
        self.assertEqual(self.run_history("import", self.nid).returncode, 0)
        other = os.path.join(self.home, "b.nid")
        with open(other, "w") as f:
            f.write(NID.replace("1.25 0", "1.5 0"))
        second = self.run_history("import", other)
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertIn("1 conflicting\n  conflicts in: ER-1 S1\n", second.stdout)

        # By name: its readings and the conflict it offered go, the first file's stay.
        undone = self.run_history("unimport", other)
        self.assertEqual(undone.returncode, 0, undone.stderr)
        self.assertEqual(undone.stdout, other + ": 0 readings removed, 1 conflicts dropped,"
                         " 0 offered values stored\n")
        self.assertIn("\t2\t", self.run_history("probes").stdout.splitlines()[1])
        # By id, with the probes it leaves empty named; a second undo finds nothing.
        undone = self.run_history("unimport", "--file-id", "1")
        self.assertEqual(undone.returncode, 0, undone.stderr)
        self.assertIn("3 readings removed", undone.stdout)
        self.assertIn("probes left without readings, removed: ER-1 S1, LPR-1 S2", undone.stdout)
        self.assertEqual(self.run_history("probes").stdout.splitlines()[1:], [])
        for args in (["unimport", self.nid], ["unimport", "--file-id", "1"], ["unimport"]):
            failed = self.run_history(*args)
            self.assertNotEqual(failed.returncode, 0, args)
            self.assertTrue(failed.stderr.startswith("tarn-export: "), failed.stderr)

    def test_default_location_is_the_data_folder(self):
        data = os.path.join(self.home, "Documents", "Tarn", "DATA")
        os.makedirs(data)
        r = self.run_history("import", self.nid, history=False)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(os.path.exists(os.path.join(data, "history.sqlite")))


if __name__ == "__main__":
    unittest.main()
