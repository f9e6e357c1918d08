# SPDX-License-Identifier: GPL-3.0-or-later
"""The manual-page check finds what a page leaves out of its program's help: options printed by
the top help or only by a subcommand's, options that merely begin like a named one, commands
spelled as choices, and a program whose --help fails. The program here is a stand-in script."""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

SOURCE = os.environ.get("TARN_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(SOURCE, "tools", "check-man-options")

# Help texts keyed by the command path before --help.
PROGRAM = textwrap.dedent('''\
    #!%s
    import sys
    helps = {
        "": "usage:\\n  demo fetch FILE [-q]\\n  demo store (put|drop) ... [--store PATH]\\n"
            "Run 'demo COMMAND --help' for one command; --help-all shows more.\\n"
            "Use demo store put for new files\\n",
        "fetch": "usage: demo fetch FILE [-q] [--retries N|--once]\\n",
        "store": "usage: demo store put FILE\\n  demo store drop --key K\\n",
        "store put": "usage: demo store put FILE [--force]\\n",
        "store drop": "usage: demo store drop --key K\\n",
    }
    path = " ".join(sys.argv[1:-1])
    if sys.argv[-1] != "--help" or path not in helps or %s:
        sys.exit(2)
    print(helps[path])
''')

FULL_PAGE = """demo(1)
# SYNOPSIS
*demo* *fetch* _FILE_ [*-q*] [*--retries* _N_ | *--once*]
*demo* *store* *put* _FILE_ [*--force*] [*--store* _PATH_]
*demo* *store* *drop* *--key* _K_
# OPTIONS
*--help*, *--help-all*
"""


class ManOptions(unittest.TestCase):
    def run_check(self, page, broken=False):
        with tempfile.TemporaryDirectory() as tmp:
            exe = os.path.join(tmp, "demo")
            with open(exe, "w") as f:
                f.write(PROGRAM % (sys.executable, "path == ''" if broken else "False"))
            os.chmod(exe, 0o755)
            scd = os.path.join(tmp, "demo.1.scd")
            with open(scd, "w") as f:
                f.write(page)
            done = subprocess.run([sys.executable, CHECK, scd, exe], capture_output=True,
                                  text=True, timeout=60)
        return done.returncode, done.stdout

    def test_a_full_page_passes(self):
        rc, out = self.run_check(FULL_PAGE)
        self.assertEqual(rc, 0, out)

    def test_each_gap_is_named_with_the_help_that_shows_it(self):
        cases = [
            # (what the page loses, the line expected)
            ("*--force*", "lacks option --force (printed by 'demo store put --help')"),
            ("*--once*", "lacks option --once (printed by 'demo fetch --help')"),
            (", *--help-all*", "lacks option --help-all (printed by 'demo --help')"),
            ("*-q*", "lacks option -q (printed by 'demo --help')"),
            ("*demo* *store* *drop*", "lacks command 'store drop' (shown by 'demo --help')"),
        ]
        for cut, expected in cases:
            with self.subTest(cut=cut):
                rc, out = self.run_check(FULL_PAGE.replace(cut, ""))
                self.assertEqual(rc, 1, out)
                self.assertIn(expected, out)

    def test_a_failing_help_fails(self):
        rc, out = self.run_check(FULL_PAGE, broken=True)
        self.assertEqual(rc, 1, out)
        self.assertIn("'demo --help' exits with 2", out)


if __name__ == "__main__":
    unittest.main()
