#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Remakes the screenshots of docs/user-guide.md on a private X server. The first pictures are
# runs of build/src/app/tarn with files on its command line, in a fresh HOME; the steps that need
# clicks (the graph, a zoom, a download from the instrument simulator) come from the screenshot
# test that drives the real windows (InstrumentSim.GuideScreenshots in tests/ui), and the Probes
# tab's pictures from ProbesTab.GuideScreenshots.
# Needs xvfb, python3-pil, poppler-utils (pdftoppm) and a build with tests.
# Usage: tools/make-guide-screenshots.py [--out DIR] [BUILD_DIR]
# --out writes the pictures into DIR instead of docs/images, to look at them before replacing
# the guide's.
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "docs", "images")  # --out changes it


def coupon_file(path):
    """A coupon data file with two calculated coupons, written as the program writes it."""
    def text(s, n):
        return s.encode("cp1252").ljust(n, b"\0")

    def record(tag, loss, rate):
        return (text(tag, 24) + struct.pack("<iid", 0, 1, 7.87) + struct.pack("<ii", 0, 0) +
                struct.pack("<dddd", 0.0, 7.62, 1.27, 0.16) + text("01/03/2024 09:00:00", 20) +
                text("01/06/2024 09:00:00", 20) +
                struct.pack("<dddddd", 12.5, 12.3, 21.6, 2208.0, loss, rate) +
                text("upstream of pump", 256))
    body = record("C-101", 0.0118, 0.0468) + record("C-102", 0.0094, 0.0373)
    with open(path, "wb") as f:
        f.write(b"C_32_V_1_0" + struct.pack("<i", 2) + body)


def shoot(tarn, name, opened=None, folder="DOWNLOAD", settle=3.0):
    """Starts tarn on its own X server, with the file `opened` on its command line, waits, and
    saves the screen's window area. The file is copied into the data folder's `folder` and
    given by name from there, so that no folder of this machine shows in the picture."""
    home = tempfile.mkdtemp(prefix="tarn-guide-")
    where = os.path.join(home, "Documents", "Tarn", "DATA", folder)
    os.makedirs(where)
    args = []
    if opened:
        shutil.copy(opened, where)
        args = [os.path.basename(opened)]
    env = dict(os.environ, HOME=home, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=home)
    env.pop("XDG_CONFIG_HOME", None)
    grab = ("import os,sys,time,subprocess\n"
            "from PIL import ImageGrab\n"
            "p=subprocess.Popen(sys.argv[2:])\n"
            "time.sleep(%f)\n"
            "img=ImageGrab.grab(xdisplay=os.environ['DISPLAY'])\n"
            "bbox=img.convert('L').point(lambda v: 255 if v else 0).getbbox()\n"
            "img.crop(bbox).save(sys.argv[1])\n"
            "p.kill()\n" % settle)
    out = os.path.join(OUT, name)
    subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1100x860x24", "/usr/bin/python3", "-c",
                    grab, out, tarn] + args, env=env, cwd=where, check=True, timeout=120)
    shutil.rmtree(home, ignore_errors=True)
    print(out)


def shoot_steps(build):
    """Runs the screenshot test that clicks through the graph, a zoom and a download."""
    home = tempfile.mkdtemp(prefix="tarn-guide-")
    env = dict(os.environ, HOME=home, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=home,
               TARN_SCREENSHOT_DIR=OUT, TARN_BUILD_DIR=build, TARN_SOURCE_DIR=ROOT)
    env.pop("XDG_CONFIG_HOME", None)
    test = os.path.join(build, "tests", "instrument_sim_test")
    subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1100x860x24", test,
                    "--gtest_filter=InstrumentSim.GuideScreenshots"],
                   env=env, check=True, timeout=300, stdout=subprocess.DEVNULL)
    # The Probes tab on a history of eleven probes, the same read-only, a probe's history graph
    # and a page of its report; a plant of 200 points and a point's graph across replacements; a
    # point's events and coupons on its graph and in the report.
    test = os.path.join(build, "tests", "probes_test")
    subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1100x860x24", test,
                    "--gtest_filter=ProbesTab.GuideScreenshots*"],
                   env=env, check=True, timeout=300, stdout=subprocess.DEVNULL)
    shutil.rmtree(home, ignore_errors=True)
    for name in ("graph.png", "zoom_drag.png", "zoom.png", "port_setup.png", "download.png",
                 "probes.png", "probes_read_only.png", "history_graph.png", "report_page.png",
                 "plant_points.png", "point_graph.png", "event_graph.png", "coupon_graph.png",
                 "report_events.png", "report_coupons.png"):
        print(os.path.join(OUT, name))


def main():
    global OUT
    args = sys.argv[1:]
    if args[:1] == ["--out"] and len(args) >= 2:
        OUT = os.path.abspath(args[1])
        args = args[2:]
    build = os.path.abspath(args[0] if args else os.path.join(ROOT, "build"))
    tarn = os.path.join(build, "src", "app", "tarn")
    os.makedirs(OUT, exist_ok=True)
    work = tempfile.mkdtemp(prefix="tarn-guide-files-")
    coupons = os.path.join(work, "plant.CPN")
    coupon_file(coupons)
    er = os.path.join(ROOT, "examples", "er_download.nid")
    shoot(tarn, "start.png")
    shoot(tarn, "analysis.png", er)
    shoot(tarn, "coupon.png", coupons, folder="COUPON")
    shoot_steps(build)
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
