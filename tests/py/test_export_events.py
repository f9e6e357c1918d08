# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export history events, events add and events remove on instrument files made here:
the fixed layout of the rates before and after an event on a unit, the days compared, and the
refusals."""
import csv
import os
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")

# ER-1 (flush, thickness 10 mils: a ratio r is 10 (1 - 1/r) mils lost) loses 0.1 mil a day on
# 1-3 February and 0.02 from the 4th: 36.5 mpy, then 7.3 mpy.
ER = ("TAG NUMBER: ER-1\nSERIAL NUMBER: S1\nPROBE TYPE: FLUSH\nTHICKNESS: 10\n"
      "START TIME: 01/02/2020 00:00\nRS_RR\n" +
      "".join("%d %02d/02/2020 00:00:00 %.15f 0\n" % (i + 1, i + 1, 1 / (1 - loss / 10))
              for i, loss in enumerate([0.0, 0.1, 0.2, 0.2, 0.22, 0.24])))
# LPR-1 reads 2, 4, 6 mpy before the 4th and 1, 2, 3 from it: means 4 and 2.
LPR = ("TAG NUMBER: LPR-1\nSERIAL NUMBER: L1\nCOR RATE\n" +
       "".join("%d %02d/02/2020 00:00:00 %s\n" % (i + 1, i + 1, v)
               for i, v in enumerate(["2", "4", "6", "1", "2", "3"])))
# The means' change -2 with standard error sqrt(4/3 + 1/3); t(0.975, 4) = 2.7764451.
HALF = 2.7764451052 * (5.0 / 3.0) ** 0.5


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportEvents(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tarn-events-")
        self.home = self.tmp.name
        self.db = os.path.join(self.home, "h.sqlite")
        self.env = dict(os.environ, HOME=self.home)
        self.env.pop("XDG_CONFIG_HOME", None)
        path = os.path.join(self.home, "a.nid")
        with open(path, "w") as f:
            f.write(ER + LPR)
        for args in (["import", path], ["assign", "--probe", "1", "--point", "North/V-101/Inlet"],
                     ["assign", "--probe", "2", "--point", "North/V-101/CW"]):
            done = self.history(*args)
            self.assertEqual(done.returncode, 0, done.stderr)

    def tearDown(self):
        self.tmp.cleanup()

    def history(self, *args):
        return subprocess.run([EXE, "history", *args, "--history", self.db], env=self.env,
                              capture_output=True, text=True)

    def events(self, *args):
        run = self.history("events", *args)
        self.assertEqual((run.returncode, run.stderr), (0, ""))
        return [line.split("\t") for line in run.stdout.splitlines()]

    def test_rates_before_and_after_in_the_fixed_layout(self):
        added = self.history("events", "add", "--point", "north/v-101", "--at", "04/02/2020 00:00",
                             "--kind", "Inhibitor", "--note", "dose up, 20 ppm")
        self.assertEqual((added.returncode, added.stdout, added.stderr), (0, "1\n", ""))
        first = ["1", None, "04/02/2020 00:00:00", "inhibitor", "dose up, 20 ppm"]
        # One line per point under the unit, by path; the reading at the event counts after it.
        self.assertEqual(self.events(), [
            first[:1] + ["North/V-101/CW"] + first[2:] +
            ["4.0000", "2.0000", "-2.0000", "%.4f" % (-2 - HALF), "%.4f" % (-2 + HALF), "no"],
            first[:1] + ["North/V-101/Inlet"] + first[2:] +
            ["36.5000", "7.3000", "-29.2000", "-29.2000", "-29.2000", "yes"],
        ])
        # Two days a side hold two readings: every figure is empty.
        self.assertEqual(self.events("--days", "2", "--point", "North/V-101/Inlet"),
                         [first[:1] + ["North/V-101/Inlet"] + first[2:] + [""] * 6])

        later = self.history("events", "add", "--point", "North/V-101/Inlet", "--at",
                             "05/02/2020 12:30:15", "--kind", "process")
        self.assertEqual(later.stdout, "2\n", later.stderr)
        out = os.path.join(self.home, "events.csv")
        self.assertEqual(self.history("events", "--point", "NORTH/V-101/INLET", "--csv",
                                      out).returncode, 0)
        with open(out, newline="", encoding="cp1252") as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ["Id", "Point Path", "Date", "Kind", "Note", "Rate Before",
                                   "Rate After", "Change", "Change Low", "Change High",
                                   "Significant"])
        self.assertEqual([r[:5] for r in rows[1:]], [
            first[:1] + ["North/V-101/Inlet"] + first[2:],
            ["2", "North/V-101/Inlet", "05/02/2020 12:30:15", "process", ""]])
        with open(out, "rb") as f:
            self.assertTrue(f.read().endswith(b"\r\n"))

        removed = self.history("events", "remove", "1")
        self.assertEqual((removed.returncode, removed.stdout, removed.stderr), (0, "", ""))
        self.assertEqual([l[0] for l in self.events()], ["2"])
        trail = [l.split("\t")[2:] for l in self.history("changes").stdout.splitlines()]
        self.assertEqual(trail[-1], ["event 1", "inhibitor at 04/02/2020 00:00:00 on North/V-101:"
                                     " dose up, 20 ppm", "(removed)"])

    def test_bad_input_is_one_sentence(self):
        at = ["--at", "04/02/2020 00:00"]
        refusals = [
            (["add", "--point", "North", "--at", "04/02/2020", "--kind", "other"],
             "--at is not a date and time (dd/MM/yyyy HH:mm[:ss]): 04/02/2020."),
            (["add", "--point", "North", "--at", "31/02/2020 10:00", "--kind", "other"],
             "--at is not a date and time (dd/MM/yyyy HH:mm[:ss]): 31/02/2020 10:00."),
            (["add", "--point", "North", *at, "--kind", "dose"],
             "--kind is not one of inhibitor, process, cleaning, probe, other: dose."),
            (["add", "--point", "South/V-1", *at, "--kind", "other"],
             "No point, unit or site South/V-1."),
            (["add", "--point", "A//B", *at, "--kind", "other"],
             "The point path \"A//B\" has an empty name; a path is one to six names separated"
             " by \"/\"."),
            (["remove", "7"], "No event with id 7."),
            (["remove", "x"], "No event with id x."),
            (["--point", "South"], "No point, unit or site South."),
        ]
        for args, err in refusals:
            with self.subTest(args=args):
                run = self.history("events", *args)
                self.assertEqual((run.returncode, run.stderr, run.stdout),
                                 (1, "tarn-export: " + err + "\n", ""))
        for args in (["add", "--point", "North", *at], ["--days", "0"], ["--days", "366"],
                     ["remove"]):
            with self.subTest(args=args):
                self.assertEqual(self.history("events", *args).returncode, 2)
        self.assertEqual(self.events(), [])
        self.assertNotIn("event", self.history("changes").stdout)


if __name__ == "__main__":
    unittest.main()
