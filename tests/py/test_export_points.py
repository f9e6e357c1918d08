# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export history points, assign and points rename on instrument files made here: the
points' fixed layout with the loss carried across a replacement, and the refusals."""
import csv
import os
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")


def er_file(serial, day):
    """ER-1 read on two days: ratios 1.0 and 1.25 are 0 and 2 mils of a 5 mil life."""
    return (
        "TAG NUMBER: ER-1\nSERIAL NUMBER: %s\nPROBE TYPE: FLUSH\nTHICKNESS: 10\n"
        "START TIME: %02d/02/2020 00:00\nRS_RR\n"
        "1 %02d/02/2020 00:00:00 1.0 0\n"
        "2 %02d/02/2020 00:00:00 1.25 0\n" % (serial, day, day, day + 1)
    )


LPR = "TAG NUMBER: LPR-1\nSERIAL NUMBER: L1\nCOR RATE\n1 01/02/2020 00:00:00 3.5\n"


def page_texts(pdf):
    """Each page's text, first to last."""
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
    pages = int(next(l.split()[-1] for l in info.splitlines() if l.startswith("Pages:")))
    return [subprocess.run(["pdftotext", "-f", str(n), "-l", str(n), pdf, "-"],
                           capture_output=True, text=True).stdout for n in range(1, pages + 1)]


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportPoints(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tarn-points-")
        self.home = self.tmp.name
        self.db = os.path.join(self.home, "h.sqlite")
        self.env = dict(os.environ, HOME=self.home)
        self.env.pop("XDG_CONFIG_HOME", None)
        # S1 on days 1-2, then its replacement S2 on days 3-4.
        for name, text in (("a.nid", er_file("S1", 1) + LPR), ("b.nid", er_file("S2", 3))):
            path = os.path.join(self.home, name)
            with open(path, "w") as f:
                f.write(text)
            done = self.history("import", path)
            self.assertEqual(done.returncode, 0, done.stderr)

    def tearDown(self):
        self.tmp.cleanup()

    def history(self, *args):
        return subprocess.run([EXE, "history", *args, "--history", self.db], env=self.env,
                              capture_output=True, text=True)

    def points(self, *args):
        run = self.history("points", *args)
        self.assertEqual(run.returncode, 0, run.stderr)
        return [line.split("\t") for line in run.stdout.splitlines()]

    def test_points_carry_the_loss_across_a_replacement(self):
        # S2 starts where S1 left off: 0, 2, 2, 4 mils on days 0-3. The trend:
        # sum (x - 1.5) y = 6 over sum (x - 1.5)^2 = 5, 1.2 mils a day, 438 mpy; S2 has 3 of
        # its 5 mils left: 2.5 days after its last reading.
        self.assertEqual(self.points("--window", "all"), [
            ["Unassigned/ER-1", "2", "3", "ER-1", "S2", "Metal Loss (mils)", "4.0000",
             "438.0000 mpy", "40.0", "06/02/2020", "ALARM: rate 438.00 mpy above alarm 10.00"],
            ["Unassigned/LPR-1", "1", "2", "LPR-1", "L1", "Corrosion Rate (mpy)", "3.5000",
             "3.5000 mpy", "", "", "OK"],
        ])
        # A window of one day holds S2 alone: 2 mils a day.
        self.assertEqual(self.points("--window", "1")[0][7], "730.0000 mpy")
        out = os.path.join(self.home, "points.csv")
        self.assertEqual(self.history("points", "--window", "all", "--csv", out).returncode, 0)
        with open(out, newline="", encoding="cp1252") as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ["Path", "Probes", "Current Probe Id", "Tag", "Serial", "Type",
                                   "Cumulative Value", "Rate (trend, all)", "Consumed %",
                                   "End Date", "Status"])
        self.assertEqual(rows[1][:7], self.points("--window", "all")[0][:7])

    def test_assign_and_rename_move_probes_and_points(self):
        moved = self.history("assign", "--probe", "3", "--point", " North / CDU / V-101 ")
        self.assertEqual((moved.returncode, moved.stdout, moved.stderr),
                         (0, "North/CDU/V-101\n", ""))
        lines = self.points("--window", "all")
        self.assertEqual([(l[0], l[1], l[4], l[6]) for l in lines], [
            ("North/CDU/V-101", "1", "S2", "2.0000"),
            ("Unassigned/ER-1", "1", "S1", "2.0000"),
            ("Unassigned/LPR-1", "1", "L1", "3.5000"),
        ])
        # S1 joins it, first in the succession: the old point goes from the list.
        self.assertEqual(self.history("assign", "--probe", "1", "--point", "north/cdu/v-101",
                                      "--from", "01/02/2020").stdout, "North/CDU/V-101\n")
        lines = self.points("--window", "all")
        self.assertEqual([(l[0], l[1], l[6]) for l in lines],
                         [("North/CDU/V-101", "2", "4.0000"), ("Unassigned/LPR-1", "1", "3.5000")])

        renamed = self.history("points", "rename", "--point", "NORTH/cdu", "--to", "South/Crude")
        self.assertEqual((renamed.returncode, renamed.stdout), (0, "South/Crude\n"), renamed.stderr)
        self.assertEqual(self.points()[0][0], "South/Crude/V-101")

        refusals = [
            (["assign", "--probe", "99", "--point", "A/B"], 1, "tarn-export: No probe with id 99.\n"),
            (["assign", "--probe", "1", "--point", "A//B"], 1,
             "tarn-export: The point path \"A//B\" has an empty name; a path is one to six names"
             " separated by \"/\".\n"),
            (["points", "rename", "--point", "Nowhere", "--to", "X"], 1,
             "tarn-export: No point Nowhere.\n"),
            (["points", "rename", "--point", "South/Crude/V-101", "--to", "unassigned/lpr-1"], 1,
             "tarn-export: A point unassigned/lpr-1 exists already.\n"),
        ]
        for args, code, err in refusals:
            with self.subTest(args=args):
                run = self.history(*args)
                self.assertEqual((run.returncode, run.stderr, run.stdout), (code, err, ""))
        for args in (["assign", "--probe", "1"], ["assign", "--point", "A"],
                     ["points", "rename", "--to", "A"], ["assign", "--probe", "1", "--point", "A",
                                                        "--from", "yesterday"]):
            with self.subTest(args=args):
                self.assertEqual(self.history(*args).returncode, 2)
        self.assertEqual(self.points()[0][0], "South/Crude/V-101")


    def test_report_groups_probes_by_unit_with_a_page_for_a_replaced_point(self):
        self.assertEqual(self.history("points", "rename", "--point", "Unassigned/ER-1",
                                      "--to", "North/CDU/V-101").returncode, 0)
        self.assertEqual(self.history("assign", "--probe", "2", "--point",
                                      "South/FCC/Riser").returncode, 0)
        pdf = os.path.join(self.home, "r.pdf")
        self.env["LC_ALL"] = "en_GB.UTF-8"
        run = self.history("report", "--pdf", pdf, "--window", "all")
        self.assertEqual(run.returncode, 0, run.stderr)
        pages = page_texts(pdf)
        # Cover, fleet; North/CDU: its points, V-101's cumulative page, S1, S2; South/FCC: its
        # points, LPR-1.
        firsts = [p.strip().splitlines()[0] for p in pages]
        self.assertEqual(firsts[2:], ["Unit North/CDU", "Point North/CDU/V-101", "Probe ER-1 S1",
                                      "Probe ER-1 S2", "Unit South/FCC", "Probe LPR-1 L1"])
        fleet = pages[1]
        self.assertLess(fleet.index("Unit North/CDU"), fleet.index("S1"))
        self.assertLess(fleet.index("S2"), fleet.index("Unit South/FCC"))
        self.assertLess(fleet.index("Unit South/FCC"), fleet.index("LPR-1"))
        for t in ["V-101", "4.0000", "438.0000 mpy", "ER-1 S2"]:
            self.assertIn(t, pages[2])
        # The point's page: the series across both probes, the new serial marked.
        for t in ["4 readings of 2 probes", "Rate (trend, all): 438.0000 mpy", "Value: 4.0000",
                  "ER-1 S1 from 01/02/2020", "ER-1 S2 from 03/02/2020"]:
            self.assertIn(t, pages[3])
        graph = pages[3].split("Date / Time")[0]
        self.assertIn("\nS2\n", graph)  # the replacement's mark, labelled on the graph
        # One probe asked for: only its unit.
        run = self.history("report", "--pdf", pdf, "--probe", "2")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual([p.strip().splitlines()[0] for p in page_texts(pdf)][2:],
                         ["Unit South/FCC", "Probe LPR-1 L1"])


if __name__ == "__main__":
    unittest.main()
