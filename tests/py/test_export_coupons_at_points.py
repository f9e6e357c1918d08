# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export history coupons, coupons import, coupons pit and assign --coupon on coupon
data files made here byte by byte: the fixed layout of the listing with the probe's rate beside
each coupon, a file imported twice stored once, and a bad file storing nothing."""
import csv
import os
import struct
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")

# tag, type, alloy, density, shape, holes, hole dia, length, width, thickness, install, removal,
# initial and final weight, area, exposure h, metal loss mm, rate mm/y, comment: 424 bytes.
RECORD = struct.Struct("<24siidiidddd20s20sdddddd256s")
assert RECORD.size == 424


def record(tag, install, removal, hours, rate):
    return RECORD.pack(tag.encode("cp1252"), 1, 10, 7.86, 0, 1, 0.475, 7.62, 1.27, 0.1588,
                       install.encode(), removal.encode(), 10.0, 9.9, 21.8239, hours,
                       rate * hours / 8760.0, rate, b"")


def cpn(*records):
    return b"C_32_V_1_0" + struct.pack("<i", len(records)) + b"".join(records)


# ER-1 reads 0 then 2 mils a day later (ratios 1.0 and 1.25 of a 5 mil life): 730 mpy.
ER = ("TAG NUMBER: ER-1\nSERIAL NUMBER: S1\nPROBE TYPE: FLUSH\nTHICKNESS: 10\n"
      "START TIME: 01/02/2020 00:00\nRS_RR\n"
      "1 01/02/2020 00:00:00 1.0 0\n2 02/02/2020 00:00:00 1.25 0\n")

# ER-1's coupon over that day at 365 mpy (9.271 mm/y); C-2 at no probe for 30 days at 0.05 mm/y.
COUPONS = cpn(record("ER-1", "01/02/2020 00:00:00", "02/02/2020 00:00:00", 24.0, 9.271),
              record("C-2", "01/01/2020 00:00:00", "31/01/2020 00:00:00", 720.0, 0.05))

ER_LINE = ["1", "Unassigned/ER-1", "ER-1", "01/02/2020 00:00:00", "02/02/2020 00:00:00", "1.0000",
           "0.0254", "9.2710", "365.0000", "Severe", "730.0000", "2.0000", "", "", ""]
C2_LINE = ["2", "Unassigned/C-2", "C-2", "01/01/2020 00:00:00", "31/01/2020 00:00:00", "30.0000",
           "0.0041", "0.0500", "1.9685", "Moderate", "", "", "", "", ""]


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportCouponsAtPoints(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tarn-coupons-")
        self.home = self.tmp.name
        self.db = os.path.join(self.home, "h.sqlite")
        self.env = dict(os.environ, HOME=self.home)
        self.env.pop("XDG_CONFIG_HOME", None)
        self.cpn = self.write("plant.CPN", COUPONS)
        done = self.history("import", self.write("er.nid", ER.encode()))
        self.assertEqual(done.returncode, 0, done.stderr)

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, data):
        path = os.path.join(self.home, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def history(self, *args):
        return subprocess.run([EXE, "history", *args, "--history", self.db], env=self.env,
                              capture_output=True, text=True)

    def coupons(self, *args):
        run = self.history("coupons", *args)
        self.assertEqual(run.returncode, 0, run.stderr)
        return [line.split("\t") for line in run.stdout.splitlines()]

    def test_listing_has_the_fixed_layout_with_the_probe_beside_each_coupon(self):
        done = self.history("coupons", "import", self.cpn)
        self.assertEqual((done.returncode, done.stdout, done.stderr),
                         (0, "2 added, 0 already held\n", ""))
        self.assertEqual(self.coupons(), [C2_LINE, ER_LINE])
        self.assertEqual(self.coupons("--point", "unassigned/er-1"), [ER_LINE])
        self.assertEqual(self.coupons("--point", "Nowhere"), [])

        # 4 mils over 720 hours.
        pit = self.history("coupons", "pit", "--coupon", "2", "--depth", "4", "--unit", "mils")
        self.assertEqual((pit.returncode, pit.stdout, pit.stderr), (
            0, "coupon 2: pit depth 0.1016 mm, pitting rate 1.2361 mm/y (48.6667 mpy), Severe\n",
            ""))
        self.assertEqual(self.coupons()[0][12:], ["0.1016", "1.2361", "Severe"])

        out = os.path.join(self.home, "coupons.csv")
        self.assertEqual(self.history("coupons", "--csv", out).returncode, 0)
        with open(out, newline="", encoding="cp1252") as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ["Id", "Point Path", "Tag", "Install", "Removal",
                                   "Exposure Days", "Metal Loss mm", "Rate mm/y", "Rate mpy",
                                   "Class", "Probe Rate mpy", "Ratio", "Pit Depth mm",
                                   "Pitting Rate mm/y", "Pitting Class"])
        self.assertEqual(rows[1:], self.coupons())

        # Moved away from ER-1's point, the coupon has no probe beside it.
        moved = self.history("assign", "--coupon", "1", "--point", " North / Tank ")
        self.assertEqual((moved.returncode, moved.stdout), (0, "North/Tank\n"), moved.stderr)
        self.assertEqual(self.coupons()[0][:2] + self.coupons()[0][10:12], ["1", "North/Tank", "",
                                                                           ""])

        changes = self.history("changes").stdout
        self.assertIn("coupons imported\t\t2 added, 0 already held", changes)
        self.assertIn("pit depth of coupon 2 (C-2, 01/01/2020 00:00:00 to 31/01/2020 00:00:00)"
                      "\tnone\t0.1016 mm", changes)
        self.assertIn("\tUnassigned/ER-1\tNorth/Tank", changes)

    def test_a_file_imported_twice_is_stored_once_and_a_bad_file_stores_nothing(self):
        bad = self.write("bad.CPN", b"C_32_V_9_9" + struct.pack("<i", 0))
        short = self.write("short.CPN", cpn(record("C-3", "", "", 0, 0))[:-10])
        undated = self.write("undated.CPN", cpn(record("C-4", "01/02/2020 00:00:00", "soon", 1, 1)))
        for path, reason in ((bad, "Invalid Coupon Data."), (short, "Invalid Coupon Data."),
                             (undated, "The coupon C-4 has a removal time that is not a date:"
                                       " \"soon\".")):
            with self.subTest(path=path):
                run = self.history("coupons", "import", self.cpn, path)
                self.assertEqual((run.returncode, run.stdout, run.stderr), (
                    1, "", "tarn-export: %s cannot be imported: %s Nothing was imported.\n"
                    % (path, reason)))
        self.assertEqual(self.coupons(), [])

        self.assertEqual(self.history("coupons", "import", self.cpn).returncode, 0)
        again = self.history("coupons", "import", self.cpn, self.cpn, "--unit", "mils")
        self.assertEqual((again.returncode, again.stdout), (0, "0 added, 4 already held\n"))
        self.assertEqual(len(self.coupons()), 2)

        for args, code, err in (
                (["coupons", "pit", "--coupon", "9", "--depth", "1", "--unit", "mm"], 1,
                 "tarn-export: No coupon with id 9.\n"),
                (["assign", "--coupon", "9", "--point", "A"], 1,
                 "tarn-export: No coupon with id 9.\n")):
            with self.subTest(args=args):
                run = self.history(*args)
                self.assertEqual((run.returncode, run.stderr, run.stdout), (code, err, ""))
        for args in (["coupons", "pit", "--coupon", "1", "--depth", "1"],
                     ["coupons", "pit", "--coupon", "1", "--depth", "-1", "--unit", "mm"],
                     ["coupons", "pit", "--coupon", "1", "--depth", "1", "--unit", "inch"],
                     ["coupons", "import", self.cpn, "--unit", "inch"],
                     ["coupons", "import"],
                     ["assign", "--coupon", "1", "--probe", "1", "--point", "A"],
                     ["assign", "--coupon", "1", "--point", "A", "--from", "01/01/2020"]):
            with self.subTest(args=args):
                self.assertEqual(self.history(*args).returncode, 2)
        self.assertIsNone(self.coupons()[0][12] or None)


    def test_report_lists_coupons_beside_probes_and_each_points_events(self):
        self.assertEqual(self.history("coupons", "import", self.cpn).returncode, 0)
        added = self.history("events", "add", "--point", "Unassigned/ER-1", "--at",
                             "01/02/2020 12:00", "--kind", "inhibitor", "--note", "dose up")
        self.assertEqual(added.returncode, 0, added.stderr)
        pdf = os.path.join(self.home, "r.pdf")
        self.env["LC_ALL"] = "en_GB.UTF-8"
        run = self.history("report", "--pdf", pdf, "--window", "all")
        self.assertEqual(run.returncode, 0, run.stderr)
        info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
        count = int(next(l.split()[-1] for l in info.splitlines() if l.startswith("Pages:")))
        pages = [subprocess.run(["pdftotext", "-layout", "-f", str(n), "-l", str(n), pdf, "-"],
                                capture_output=True, text=True).stdout
                 for n in range(1, count + 1)]
        firsts = [p.strip().splitlines()[0].strip() for p in pages]
        # Cover, fleet, coupons; the unit's points with the event; the probe with its coupon.
        self.assertEqual(firsts[2:], ["Coupons and probes", "Unit Unassigned", "Probe ER-1 S1"])
        words = " ".join(pages[2].split())
        self.assertIn("C-2 C-2 01/01/2020 31/01/2020 30.0 1.9685 Moderate - - -", words)
        self.assertIn("ER-1 ER-1 01/02/2020 02/02/2020 1.0 365.0000 Severe 730.0000 2.00 -",
                      words)
        self.assertIn("Events (rates over the 30 days before and after each)", pages[3])
        lines = pages[3].splitlines()
        at = next(i for i, l in enumerate(lines) if "dose up" in l)
        self.assertEqual(lines[at].split()[:4], ["ER-1", "01/02/2020", "Inhibitor", "dose"])
        # One reading on a side: no figures, and the reason under them.
        self.assertEqual(lines[at + 1].strip(),
                         "1 reading before the event; at least 3 are needed")
        self.assertIn("Coupons at its point", pages[4])
        self.assertIn("730.0000", pages[4])


if __name__ == "__main__":
    unittest.main()
