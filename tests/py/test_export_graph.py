# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs tarn-export graph on an instrument file made here, with HOME in a temporary folder and
no display, and reads the pictures back with Pillow, an XML parser and poppler."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET

from PIL import Image

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
EXE = os.path.join(BUILD, "src", "app", "tarn-export")


def nid_text():
    lines = ["TAG NUMBER: ER-1", "PROBE TYPE: FLUSH", "THICKNESS: 10",
             "START TIME: 01/03/2024 00:00:00", "RS_RR"]
    for i in range(48):
        lines.append("%d %02d/03/2024 %02d:00:00 %.4f 25" % (i + 1, 1 + i // 24, i % 24,
                                                            1.0 + 0.002 * i))
    lines += ["TAG NUMBER: LPR-1", "COR RATE"]
    for i in range(30):
        lines.append("%d 01/03/2024 %02d:%02d:00 %.2f" % (i + 1, i // 2, 30 * (i % 2),
                                                         3 + (i % 5) * 0.4))
    lines += ["TAG NUMBER: ONE", "POTENTIAL", "1 01/03/2024 00:00:00 -500"]
    return ("\n".join(lines) + "\n").encode("cp1252")


GREEN = (0, 255, 0)
MAGENTA = (255, 0, 255)


@unittest.skipUnless(os.path.exists(EXE), "tarn-export is not built (core-only build)")
class ExportGraph(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.home = self.tmp.name
        self.nid = os.path.join(self.home, "probe.nid")
        with open(self.nid, "wb") as f:
            f.write(nid_text())
        self.env = dict(os.environ, HOME=self.home)
        for name in ("XDG_CONFIG_HOME", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)

    def tearDown(self):
        self.tmp.cleanup()

    def run_export(self, *args):
        return subprocess.run([EXE, "graph", *args], env=self.env, capture_output=True,
                              timeout=60)

    def out(self, name="g.bmp"):
        return os.path.join(self.home, name)

    def test_bitmap_uses_the_settings_and_needs_no_display(self):
        folder = os.path.join(self.home, "Documents", "Tarn")
        os.makedirs(folder)
        cfg = os.path.join(folder, "TARN.CFG")
        # 0xFF00FF00 and 0xFFFF00FF as the signed integers the settings file holds.
        text = ("[GRAPH]\nDATA_COLOR=-16711936\nTREND_COLOR=-65281\nDATA_LINE=1.000000000\n"
                "TREND_LINE=1.000000000\n")
        with open(cfg, "w") as f:
            f.write(text)
        r = self.run_export(self.nid, "--tag", "0", "--bmp", self.out(), "--size", "500x300")
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(cfg) as f:
            self.assertEqual(f.read(), text)
        img = Image.open(self.out())
        self.assertEqual(img.format, "BMP")
        self.assertEqual(img.size, (640, 400))  # never below 640 by 400
        px = img.convert("RGB").load()
        self.assertEqual(px[120, 27], GREEN)    # legend samples
        self.assertEqual(px[120, 39], MAGENTA)
        self.assertEqual(px[100, 200], (0, 0, 0))  # box outline, left and right
        self.assertEqual(px[561, 200], (0, 0, 0))
        self.assertEqual(px[300, 5], (255, 255, 255))
        inside = [px[x, y] for x in range(101, 560) for y in range(61, 320)]
        self.assertGreater(inside.count(GREEN), 200)
        self.assertGreater(inside.count(MAGENTA), 200)
        self.assertEqual([n for n in os.listdir(self.home) if n.startswith("g.bmp")], ["g.bmp"])

    def test_default_size_and_an_lpr_tag(self):
        r = self.run_export(self.nid, "--tag", "1", "--bmp", self.out())
        self.assertEqual(r.returncode, 0, r.stderr)
        img = Image.open(self.out())
        self.assertEqual(img.size, (1024, 600))
        px = img.convert("RGB").load()
        # Without a settings file: blue data, red trend.
        inside = [px[x, y] for x in range(101, 944) for y in range(61, 520)]
        self.assertGreater(inside.count((0, 0, 255)), 500)
        self.assertGreater(inside.count((255, 0, 0)), 500)

    def test_errors_are_one_line_and_leave_no_file(self):
        cases = [
            ([self.nid, "--tag", "7", "--bmp", self.out()], 1, "out of range"),
            ([self.nid, "--tag", "2", "--bmp", self.out()], 1, "at least two"),
            ([self.nid, "--tag", "0", "--bmp", self.out(), "--size", "12"], 2, "--size"),
            ([self.nid, "--tag", "x", "--bmp", self.out()], 2, "--tag"),
            ([self.nid, "--tag", "0"], 2, "usage"),
            ([self.nid, "--tag", "0", "--bmp", os.path.join(self.home, "no", "g.bmp")], 1,
             "cannot write"),
        ]
        for args, code, words in cases:
            r = self.run_export(*args)
            self.assertEqual(r.returncode, code, args)
            self.assertIn(words, r.stderr.decode(), args)
            self.assertFalse(os.path.exists(self.out()), args)
        junk = os.path.join(self.home, "junk.nid")
        with open(junk, "w") as f:
            f.write("nothing to see\n")
        r = self.run_export(junk, "--tag", "0", "--bmp", self.out())
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("Unknown file type.", r.stderr.decode())
        self.assertEqual(len(r.stderr.decode().strip().splitlines()), 1)

    @unittest.skipUnless(shutil.which("pdftotext"), "poppler-utils not installed")
    def test_png_svg_and_pdf_beside_the_bitmap(self):
        outs = {k: self.out("g." + k) for k in ("bmp", "png", "svg", "pdf")}
        args = [self.nid, "--tag", "0"]
        for kind, path in outs.items():
            args += ["--" + kind, path]
        r = self.run_export(*args)
        self.assertEqual(r.returncode, 0, r.stderr)
        bmp, png = Image.open(outs["bmp"]), Image.open(outs["png"])
        self.assertEqual((bmp.format, png.format), ("BMP", "PNG"))
        self.assertEqual(png.size, (1024, 600))
        self.assertEqual(png.convert("RGB").tobytes(), bmp.convert("RGB").tobytes())

        # SVG: vector lines and real text, no embedded bitmap.
        svg = ET.parse(outs["svg"]).getroot()
        ns = "{http://www.w3.org/2000/svg}"
        self.assertEqual(svg.get("viewBox"), "0 0 1024 600")
        texts = [t.text for t in svg.iter(ns + "text")]
        for words in ("Tag : ER-1", "Date / Time", "Metal Loss (mils)", "Trend Line",
                      "01/03/2024", "23:00"):
            self.assertIn(words, texts)
        self.assertTrue(any(t.startswith("Corrosion Rate : ") for t in texts), texts)
        self.assertTrue(any(re.fullmatch(r"Trend -?\d+\.\d{4} mpy(, R² \d\.\d\d)?", t or "")
                            for t in texts), texts)
        self.assertGreaterEqual(len(list(svg.iter(ns + "polyline"))), 15)
        self.assertEqual(list(svg.iter(ns + "image")), [])

        # PDF: one page of the bitmap's size at 96 dots per inch, text with embedded fonts.
        info = subprocess.run(["pdfinfo", outs["pdf"]], capture_output=True, text=True).stdout
        self.assertRegex(info, r"Pages:\s+1\n")
        self.assertIn("768 x 450 pts", info)
        text = subprocess.run(["pdftotext", outs["pdf"], "-"], capture_output=True,
                              text=True).stdout
        for words in ("Tag : ER-1", "Date / Time", "Corrosion Rate : ", "Trend ", "01/03/2024"):
            self.assertIn(words, text)
        fonts = subprocess.run(["pdffonts", outs["pdf"]], capture_output=True,
                               text=True).stdout.splitlines()[2:]
        self.assertTrue(fonts)
        self.assertTrue(all(line.split()[-5] == "yes" for line in fonts), fonts)
        page = os.path.join(self.home, "page")
        subprocess.run(["pdftoppm", "-r", "96", "-png", "-singlefile", outs["pdf"], page],
                       check=True)
        px = Image.open(page + ".png").convert("RGB")
        self.assertEqual(px.size, (1024, 600))
        # The blue series runs inside the box as in the bitmap.
        blue = sum(1 for x in range(101, 944) for y in range(61, 520)
                   if px.getpixel((x, y))[2] > 200 and px.getpixel((x, y))[0] < 80)
        self.assertGreater(blue, 300)

    def test_help(self):
        r = self.run_export("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn("--bmp OUT", r.stdout.decode())
        self.assertIn("--svg OUT", r.stdout.decode())


if __name__ == "__main__":
    unittest.main()
