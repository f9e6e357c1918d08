# SPDX-License-Identifier: GPL-3.0-or-later
"""Shared by the monitor's tests: a transmitter served by python3-pymodbus (tests/tools), the
monitor with its log read line by line, and tarn-export's view of the history."""
import csv
import os
import queue
import re
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
SOURCE = os.environ.get("TARN_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
MONITOR = os.path.join(BUILD, "src", "app", "tarn-monitor")
EXPORT = os.path.join(BUILD, "src", "app", "tarn-export")
TRANSMITTER = os.path.join(SOURCE, "tests", "tools", "modbus_transmitter.py")
PYTHON = "/usr/bin/python3"
# tarn-export reads no settings file of the user running the tests.
_HOME = tempfile.TemporaryDirectory(prefix="tarn-home-")
_ENV = {k: v for k, v in os.environ.items() if k != "XDG_CONFIG_HOME"}
_ENV["HOME"] = _HOME.name


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Lines:
    """A child's output read by a thread, so a test waits for a line instead of sleeping."""

    def __init__(self, stream):
        self.all = []
        self.q = queue.Queue()
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self.thread.start()

    def _read(self, stream):
        with stream:
            for line in stream:
                line = line.rstrip("\n")
                with self.lock:
                    self.all.append(line)
                self.q.put(line)

    def close(self):
        """After the child has ended: every line it wrote is in `all`."""
        self.thread.join(timeout=10)

    def wait_for(self, pattern, timeout=20, seen=False):
        """The next line matching; with `seen`, a line already read counts too."""
        deadline = time.monotonic() + timeout
        rx = re.compile(pattern)
        if seen and self.matching(pattern):
            return self.matching(pattern)[0]
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError(f"no line matching {pattern!r}; got:\n" + "\n".join(self.all))
            try:
                line = self.q.get(timeout=left)
            except queue.Empty:
                continue
            if rx.search(line):
                return line

    def matching(self, pattern):
        with self.lock:
            return [l for l in self.all if re.search(pattern, l)]


class Transmitter:
    """tests/tools/modbus_transmitter.py: its value moves on by `step` at every read."""

    def __init__(self, port=None, rtu=False, kind="ER", start=1000, step=1, unit=1, register=0):
        args = [PYTHON, TRANSMITTER, "--kind", kind, "--start", str(start), "--step", str(step),
                "--unit", str(unit), "--register", str(register)]
        args += ["--rtu"] if rtu else ["--tcp", str(port)]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        self.out = Lines(self.proc.stdout)
        ready = self.out.wait_for(r"^ready ").split()
        self.address = (f"rtu:{ready[2]}?baud=19200&parity=E&stop=1" if rtu
                        else f"tcp://127.0.0.1:{ready[2]}")

    def answered(self):
        return [float(l.split()[1]) for l in self.out.matching(r"^answered ")]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=10)
        self.out.close()


class Monitor:
    def __init__(self, config_path, env=None):
        # The same settings file (none) as tarn-export's, so both take the same rate window.
        self.proc = subprocess.Popen([MONITOR, "--config", config_path], stderr=subprocess.PIPE,
                                     text=True, env=env or _ENV)
        self.log = Lines(self.proc.stderr)

    def stop(self):
        """SIGTERM, and the exit status once it has stopped."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(timeout=30)
        self.log.close()
        return code


def write_config(path, history, transmitters=(), listen="", refresh=60):
    text = f"[HISTORY]\nLOCATION={history}\n[SERVER]\nLISTEN={listen}\nREFRESH={refresh}\n"
    for tag, keys in transmitters:
        text += f"[TRANSMITTER {tag}]\n" + "".join(f"{k}={v}\n" for k, v in keys.items())
    with open(path, "w") as f:
        f.write(text)
    return path


def export(*args, check=True):
    done = subprocess.run([EXPORT, "history", *args], capture_output=True, text=True, timeout=60,
                          env=_ENV)
    if check and done.returncode != 0:
        raise AssertionError(f"tarn-export history {' '.join(args)}: {done.stderr}")
    return done


def probes(history):
    """`tarn-export history probes` as rows of fields."""
    out = export("probes", "--history", history).stdout
    return [line.split("\t") for line in out.splitlines() if not line.startswith("#")]


def points(history):
    """`tarn-export history points` as rows of fields."""
    out = export("points", "--history", history).stdout
    return [line.split("\t") for line in out.splitlines() if not line.startswith("#")]


def readings(history, probe_id, folder):
    """A probe's readings as (time text, value) pairs, from `tarn-export history readings`."""
    out = os.path.join(folder, f"readings-{probe_id}.csv")
    export("readings", "--probe", str(probe_id), "--csv", out, "--history", history)
    with open(out, newline="") as f:
        rows = list(csv.reader(f))
    return [(r[0], float(r[1])) for r in rows[1:]]


class MonitorCase(unittest.TestCase):
    """A temporary folder with a SQLite history in it; the children started stop at the end."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tarn-monitor-")
        self.dir = self.tmp.name
        self.history = os.path.join(self.dir, "history.sqlite")
        self.children = []

    def tearDown(self):
        for c in self.children:
            c.stop()
        self.tmp.cleanup()

    def start(self, child):
        self.children.append(child)
        return child
