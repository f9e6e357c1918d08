# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export history exclude and restore on an instrument file made here: the count
printed alone on a line, the rate without the readings set aside, the readings export's last
column, the trail, and the refusals."""
import csv
import os
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")


def er_file(losses):
    """ER-1 read once a day from 01/02/2020; a ratio of 10 / (10 - m) is m mils."""
    lines = ["TAG NUMBER: ER-1", "SERIAL NUMBER: S1", "PROBE TYPE: FLUSH", "THICKNESS: 10",
             "START TIME: 01/02/2020 00:00", "RS_RR"]
    for i, m in enumerate(losses):
        lines.append("%d %02d/02/2020 00:00:00 %.10f 0" % (i + 1, i + 1, 10 / (10 - m)))
    return "\n".join(lines) + "\n"


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportSetAside(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tarn-aside-")
        self.home = self.tmp.name
        self.db = os.path.join(self.home, "h.sqlite")
        self.env = dict(os.environ, HOME=self.home)
        self.env.pop("XDG_CONFIG_HOME", None)
        # A mil a day, but day 4 reads 7 (an upset).
        path = os.path.join(self.home, "a.nid")
        with open(path, "w") as f:
            f.write(er_file([0, 1, 2, 7, 4]))
        done = self.history("import", path)
        self.assertEqual(done.returncode, 0, done.stderr)

    def tearDown(self):
        self.tmp.cleanup()

    def history(self, *args):
        return subprocess.run([EXE, "history", *args, "--history", self.db], env=self.env,
                              capture_output=True, text=True)

    def rate(self):
        run = self.history("probes", "--window", "all")
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout.splitlines()[1].split("\t")[7]

    def changed(self, *args):
        run = self.history(*args)
        self.assertEqual((run.returncode, run.stderr), (0, ""))
        return run.stdout

    def test_exclude_and_restore_change_the_rate_the_export_and_the_trail(self):
        # x = 0..4, loss 0 1 2 7 4: the upset (4 above the line at x = 3; mean 2, Sxx 10) adds
        # 4 (3 - 2) / 10 mil a day to the slope: 1.4 mils a day, 511 mpy; without it 365 mpy.
        self.assertEqual(self.rate(), "511.0000 mpy")
        why = 'temperature upset, loop "3"'
        self.assertEqual(self.changed("exclude", "--probe", "1", "--from", "04/02/2020 00:00",
                                      "--to", "04/02/2020 23:59", "--reason", why), "1\n")
        self.assertEqual(self.rate(), "365.0000 mpy")
        out = os.path.join(self.home, "r.csv")
        self.changed("readings", "--probe", "1", "--csv", out)
        with open(out, newline="", encoding="cp1252") as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ["Date", "Value", "excluded"])
        self.assertEqual([r[2] for r in rows[1:]], ["", "", "", why, ""])
        with open(out, "rb") as f:
            self.assertIn(b'04/02/2020 00:00:00,7.0000,"temperature upset, loop ""3"""\r\n',
                          f.read())

        # A date alone spans its day; readings already set aside are not counted again.
        self.assertEqual(self.changed("exclude", "--probe", "1", "--from", "03/02/2020",
                                      "--to", "04/02/2020", "--reason", "drift"), "1\n")
        self.assertEqual(self.changed("restore", "--probe", "1", "--from", "04/02/2020 00:00:00",
                                      "--to", "09/02/2020 00:00"), "1\n")
        self.assertEqual(self.changed("restore", "--probe", "1", "--from", "01/02/2020",
                                      "--to", "09/02/2020"), "1\n")
        self.assertEqual(self.rate(), "511.0000 mpy")
        self.assertEqual(self.changed("restore", "--probe", "1", "--from", "01/02/2020",
                                      "--to", "09/02/2020"), "0\n")

        trail = [l.split("\t") for l in self.changed("changes").splitlines()]
        self.assertEqual(len(trail), 4)
        self.assertEqual(trail[0][2:], [
            "readings of probe 1 (ER-1 S1) from 04/02/2020 00:00:00 to 04/02/2020 23:59:00",
            "kept", "set aside: " + why + " (1 reading)"])
        self.assertEqual(trail[1][4], "set aside: drift (2 readings)")
        self.assertEqual(trail[2][3:], ["set aside: drift (1 reading)", "kept"])

    def test_bad_input_is_one_sentence_and_changes_nothing(self):
        stretch = ["--from", "01/02/2020", "--to", "02/02/2020"]
        cases = [
            (["exclude", "--probe", "9", *stretch, "--reason", "x"], 1, "No probe with id 9."),
            (["exclude", "--probe", "1", "--from", "31/02/2020", "--to", "02/02/2020",
              "--reason", "x"], 1, "--from is not a date"),
            (["restore", "--probe", "1", "--from", "01/02/2020", "--to", "tomorrow"], 1,
             "--to is not a date"),
            (["exclude", "--probe", "1", *stretch, "--reason", "  "], 1, "only with a reason"),
            (["exclude", "--probe", "1", "--from", "02/02/2020", "--to", "01/02/2020",
              "--reason", "x"], 1, "must not end before it starts"),
            (["exclude", "--probe", "1", *stretch], 2, "needs --reason"),
            (["restore", "--probe", "1", "--from", "01/02/2020"], 2, "needs --probe ID"),
        ]
        for args, code, message in cases:
            with self.subTest(args=args):
                run = self.history(*args)
                self.assertEqual(run.returncode, code, run.stderr)
                self.assertEqual(run.stdout, "")
                self.assertIn(message, run.stderr.splitlines()[0])
                if code == 1:
                    self.assertEqual(len(run.stderr.splitlines()), 1, run.stderr)
        self.assertEqual(self.history("changes").stdout, "")
        self.assertEqual(self.rate(), "511.0000 mpy")


if __name__ == "__main__":
    unittest.main()
