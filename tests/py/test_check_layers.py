# SPDX-License-Identifier: GPL-3.0-or-later
"""The layer check on a small tree of its own: it passes on the clean tree, names each planted
include that breaks a layer (file, line, include and why) and exits 1, and refuses a source map
that allows what the layers forbid."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get("TARN_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
TOOL = os.path.join(SOURCE, "tools", "check-layers")

ARROWS = {
    "app": "`common`, `graph`, `history`, `monitor`, `settings`",
    "common": "nothing",
    "graph": "`common`, `settings`",
    "history": "`common`, `graph`",
    "monitor": "`history`",
    "settings": "`common`",
}

# A clean tree: every include goes along an arrow above, ui/ and qt/ only from the Qt side.
FILES = {
    "src/common/text.h": [],
    "src/common/ui/qt_text.h": ["common/text.h"],
    "src/settings/ini.h": ["common/text.h"],
    "src/settings/ui/records.h": ["settings/ini.h", "common/ui/qt_text.h"],
    "src/graph/plot.h": ["common/text.h", "settings/ini.h"],
    "src/graph/plot.cpp": ["graph/plot.h"],
    "src/graph/ui/window.h": ["graph/plot.h", "settings/ui/records.h"],
    "src/history/store.h": ["graph/plot.h"],
    "src/history/store.cpp": ["history/store.h", "store.h"],
    "src/history/ui/view.h": ["history/store.h", "graph/ui/window.h"],
    "src/history/ui/view.cpp": ["history/ui/view.h", "../store.h"],
    "src/monitor/reading.cpp": ["history/store.h"],
    "src/monitor/qt/poller.h": ["monitor/reading.cpp", "history/store.h"],
    "src/app/main_form.h": ["history/ui/view.h", "monitor/qt/poller.h"],
    "src/app/main.cpp": ["app/main_form.h", "graph/ui/window.h"],
    "src/settings/settings.cpp": ["settings/ini.h"],
    "src/common/text.cpp": ["common/text.h"],
    "src/common/ui/qt_text.cpp": ["common/ui/qt_text.h"],
}

# (file, include, what the message must say): each one breaks the layers.
BAD = [
    ("src/graph/plot.cpp", "graph/ui/window.h", ["core code includes a Qt layer"]),
    ("src/history/store.cpp", "monitor/qt/poller.h",
     ["core code includes a Qt layer", "history → monitor is not an arrow",
      "it closes the loop history → monitor → history"]),
    ("src/history/ui/view.cpp", "app/main_form.h", ["nothing outside src/app/ includes app/"]),
    ("src/monitor/reading.cpp", "app/main_form.h", ["nothing outside src/app/ includes app/"]),
    ("src/common/text.cpp", "settings/ini.h", ["common/ includes no other subsystem"]),
    ("src/common/ui/qt_text.cpp", "graph/ui/window.h", ["common/ includes no other subsystem"]),
    ("src/monitor/reading.cpp", "common/text.h", ["monitor → common is not an arrow"]),
    ("src/graph/plot.cpp", "history/store.h",
     ["graph → history is not an arrow", "it closes the loop graph → history → graph"]),
    ("src/graph/ui/window.h", "history/ui/view.h",
     ["graph → history is not an arrow", "it closes the loop graph → history → graph"]),
    ("src/graph/plot.cpp", "../history/store.h", ["it closes the loop graph → history → graph"]),
    ("src/settings/settings.cpp", "history/store.h",
     ["it closes the loop settings → history → graph → settings"]),
]

# Lines that look like includes of ours but are not, or are allowed: the tree stays clean.
HARMLESS = [
    ("src/graph/plot.cpp", '// #include "app/main_form.h"'),
    ("src/graph/plot.cpp", '#include "generated_by_the_build.h"'),
    ("src/graph/plot.cpp", "#include <QtCore/QString>"),
    ("src/graph/ui/window.h", '#  include "graph/plot.h"  // spaces after the hash'),
    ("src/app/main.cpp", '#include "settings/ui/records.h"'),
]


def readme(arrows, heading="## Source map"):
    lines = ["# Fake", "", "## Building", "", "- `app` → `nothing` is not read here", "",
             heading, "", "| Folder | What |", "|---|---|", ""]
    lines += [f"- `{name}` → {targets}" for name, targets in arrows.items()]
    return "\n".join(lines + ["", "## Fuzzing", ""]) + "\n"


class CheckLayers(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name
        for path, includes in FILES.items():
            self.write(path, "".join(f'#include "{i}"\n' for i in includes) + "int x;\n")
        self.write("README.md", readme(ARROWS))

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)

    def append(self, path, line):
        """Adds a line to a file of the tree; its line number."""
        full = os.path.join(self.root, path)
        with open(full, encoding="utf-8") as f:
            count = len(f.readlines())
        with open(full, "a", encoding="utf-8") as f:
            f.write(line + "\n")
        return count + 1

    def run_tool(self, *args):
        done = subprocess.run([sys.executable, TOOL, *args, self.root], capture_output=True,
                              text=True, timeout=60)
        return done.returncode, done.stdout.splitlines(), done.stderr

    def test_clean_tree_passes(self):
        rc, out, err = self.run_tool()
        self.assertEqual((rc, out), (0, []), err)

    def test_harmless_lines_pass(self):
        for path, line in HARMLESS:
            self.append(path, line)
        rc, out, err = self.run_tool()
        self.assertEqual((rc, out), (0, []), err)

    def test_each_bad_include_is_named_with_its_reason(self):
        for path, include, reasons in BAD:
            with self.subTest(path=path, include=include):
                self.tearDown()
                self.setUp()
                number = self.append(path, f'#include "{include}"')
                rc, out, err = self.run_tool()
                self.assertEqual(rc, 1, out)
                self.assertEqual(len(out), 1, out)
                where = f'{path}:{number}: #include "{include}": '
                self.assertTrue(out[0].startswith(where), out[0])
                for reason in reasons:
                    self.assertIn(reason, out[0])

    def test_every_bad_include_is_listed_at_once(self):
        lines = {(path, self.append(path, f'#include "{include}"')) for path, include, _ in BAD}
        rc, out, _ = self.run_tool()
        self.assertEqual(rc, 1)
        self.assertEqual({tuple(o.split(":")[:2]) for o in out},
                         {(path, str(n)) for path, n in lines})

    def test_map_that_allows_what_the_layers_forbid_fails(self):
        cases = [
            ({**ARROWS, "graph": "`common`, `settings`, `app`"},
             "`graph` → `app`: nothing outside src/app/ includes app/"),
            ({**ARROWS, "common": "`settings`"}, "`common` → `settings`: common/ includes no"),
            ({**ARROWS, "settings": "`common`, `graph`"},
             "the source map allows the loop graph → settings → graph"),
            ({k: v for k, v in ARROWS.items() if k != "monitor"},
             "subsystem `monitor` (src/monitor/) has no line in the source map"),
            ({**ARROWS, "coupon": "`common`"}, "lists `coupon`, which is no folder under src/"),
            ({**ARROWS, "monitor": "`history`, `plot`"}, "`plot` is no folder under src/"),
        ]
        for arrows, message in cases:
            with self.subTest(message=message):
                self.write("README.md", readme(arrows))
                rc, out, _ = self.run_tool()
                self.assertEqual(rc, 1, out)
                self.assertTrue(any(message in o for o in out), out)

    def test_arrow_missing_from_the_map_fails_where_it_is_used(self):
        self.write("README.md", readme({**ARROWS, "history": "`common`"}))
        rc, out, _ = self.run_tool()
        self.assertEqual(rc, 1)
        self.assertEqual({o.split(":")[0] for o in out},
                         {"src/history/store.h", "src/history/ui/view.h"})
        self.assertTrue(all("history → graph is not an arrow" in o for o in out), out)

    def test_unreadable_map_or_tree_stops_with_status_2(self):
        for text in [readme(ARROWS, heading="## Sources"), readme({**ARROWS, "graph": ""}),
                     readme(ARROWS) + "## Source map\n\n- `graph` → `common`\n"]:
            with self.subTest(text=text[-60:]):
                self.write("README.md", text)
                rc, out, err = self.run_tool()
                self.assertEqual(rc, 2, out)
                self.assertIn("README.md", err)
        os.remove(os.path.join(self.root, "README.md"))
        self.assertEqual(self.run_tool()[0], 2)
        # A tree without src/ is no tree to pass.
        self.write("README.md", readme(ARROWS))
        shutil.rmtree(os.path.join(self.root, "src"))
        rc, _, err = self.run_tool()
        self.assertEqual(rc, 2)
        self.assertIn("src", err)

    def test_arrows_lists_what_the_tree_uses(self):
        rc, out, _ = self.run_tool("--arrows")
        self.assertEqual(rc, 0)
        self.assertIn("- `history` → `graph`", out)
        self.assertIn("- `monitor` → `history`", out)

    def test_the_real_tree_reads_its_own_map(self):
        # The repository's README must hold a list the check can read (exit 0 or 1, never 2).
        done = subprocess.run([sys.executable, TOOL, SOURCE], capture_output=True, text=True,
                              timeout=120)
        self.assertIn(done.returncode, (0, 1), done.stderr)


if __name__ == "__main__":
    unittest.main()
