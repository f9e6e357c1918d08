# SPDX-License-Identifier: GPL-3.0-or-later
"""The licence-line sweep on a scratch repository: which files take which comment, where the line
goes (after #! and an encoding line), that newlines, modes and untracked files are left as they
were, that a second run changes nothing, and that the check lists what lacks the line."""
import os
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get("TARN_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
TOOL = os.path.join(SOURCE, "tools", "spdx-headers")
CXX_LINE = b"// SPDX-License-Identifier: GPL-3.0-or-later"
HASH_LINE = b"# SPDX-License-Identifier: GPL-3.0-or-later"

# (path, content before, content after the sweep; None: the sweep leaves it as it is)
CASES = [
    ("src/a.cpp", b"#include <a.h>\n", CXX_LINE + b"\n#include <a.h>\n"),
    ("src/a.h", b"#pragma once\r\nint a();\r\n", CXX_LINE + b"\r\n#pragma once\r\nint a();\r\n"),
    ("src/empty.h", b"", CXX_LINE + b"\n"),
    ("CMakeLists.txt", b"project(X)\n", HASH_LINE + b"\nproject(X)\n"),
    ("cmake/x.cmake", b"set(A 1)", HASH_LINE + b"\nset(A 1)"),
    ("tools/run", b"#!/usr/bin/env bash\necho hi\n",
     b"#!/usr/bin/env bash\n" + HASH_LINE + b"\necho hi\n"),
    ("tools/bare", b"#!/bin/sh", b"#!/bin/sh\n" + HASH_LINE + b"\n"),
    ("tools/tool", b"#!/usr/bin/python3\n# -*- coding: utf-8 -*-\nprint(1)\n",
     b"#!/usr/bin/python3\n# -*- coding: utf-8 -*-\n" + HASH_LINE + b"\nprint(1)\n"),
    ("tests/t.py", b'"""Doc."""\n', HASH_LINE + b'\n"""Doc."""\n'),
    ("tools/roles.sql", b"-- Roles.\nGRANT x;\n",
     b"-- SPDX-License-Identifier: GPL-3.0-or-later\n-- Roles.\nGRANT x;\n"),
    ("src/done.cpp", CXX_LINE + b"\nint x;\n", None),
    ("docs/notes.md", b"# Notes\n", None),
    ("tools/data", b"plain text\n", None),
]


class SpdxHeaders(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name
        for path, before, _ in CASES:
            self.write(path, before)
        os.chmod(os.path.join(self.root, "tools/run"), 0o755)
        self.git("init", "-q")
        self.git("add", "-A")
        # Untracked files are somebody's scratch work: never touched.
        self.write("src/untracked.cpp", b"int u;\n")

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, path, data):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)

    def read(self, path):
        with open(os.path.join(self.root, path), "rb") as f:
            return f.read()

    def git(self, *args):
        subprocess.run(["git", *args], cwd=self.root, check=True)

    def tool(self, flag):
        done = subprocess.run([sys.executable, TOOL, flag], cwd=self.root, capture_output=True,
                              text=True, timeout=60)
        return done.returncode, done.stdout

    def test_check_lists_each_file_without_the_line(self):
        rc, out = self.tool("--check")
        self.assertEqual(rc, 1)
        listed = {line.split(":")[0] for line in out.splitlines()}
        self.assertEqual(listed, {path for path, _, after in CASES if after is not None})

    def test_apply_puts_the_line_where_each_kind_of_file_takes_it(self):
        rc, out = self.tool("--apply")
        self.assertEqual(rc, 0, out)
        for path, before, after in CASES:
            with self.subTest(path=path):
                self.assertEqual(self.read(path), before if after is None else after)
        self.assertEqual(os.stat(os.path.join(self.root, "tools/run")).st_mode & 0o777, 0o755)
        self.assertEqual(self.read("src/untracked.cpp"), b"int u;\n")
        self.assertEqual(self.tool("--check"), (0, ""))
        # A second sweep finds nothing to do.
        snapshot = {path: self.read(path) for path, _, _ in CASES}
        self.assertIn("0 file(s)", self.tool("--apply")[1])
        self.assertEqual({path: self.read(path) for path, _, _ in CASES}, snapshot)

    def test_another_licence_is_reported_not_overwritten(self):
        other = b"// SPDX-License-Identifier: MIT\nint m;\n"
        self.write("src/a.cpp", other)
        rc, out = self.tool("--apply")
        self.assertEqual(rc, 1)
        self.assertIn("src/a.cpp: names another licence", out)
        self.assertEqual(self.read("src/a.cpp"), other)


if __name__ == "__main__":
    unittest.main()
