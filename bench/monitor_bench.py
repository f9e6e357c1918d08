#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Benchmarks of tarn-monitor against tarn-transmitter-sim (run by hand, never by CI):

  keep-up  N transmitters (default 1000) on one simulator, INTERVAL 10 s, for DURATION seconds:
           every poll of a transmitter comes at most 1 s after its interval (from the
           simulator's log of answered reads), each stored reading counted in the history, the
           monitor's CPU time and peak memory reported.
  server   a history of 2000 probes (stored by the monitor from the simulator) served by the
           monitor's Modbus TCP server to 100 clients at once, each reading the whole map ROUNDS
           times: requests per second, and every answer checked for its length and exceptions.

  nice -n 19 bench/monitor_bench.py [--build build] [keep-up|server|all] [options]

Exits 0 with "skipped" when tarn-monitor is not built, 1 when a check fails."""
import argparse
import asyncio
import csv
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def fail(message):
    print("monitor_bench: FAILED: " + message)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def proc_figures(pid):
    """CPU seconds (user + system) and peak resident memory in MiB of a running process."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    cpu = (int(fields[11]) + int(fields[12])) / ticks
    peak = 0
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                peak = int(line.split()[1]) / 1024
    return cpu, peak


class Sim:
    def __init__(self, exe, count, log):
        self.proc = subprocess.Popen(
            [exe, "--tcp", "127.0.0.1:0", "--log", log,
             "--er", "register=0,count=%d,span=5,loss-unit=MILS,rate=12,start=1" % count],
            stdout=subprocess.PIPE, text=True)
        line = self.proc.stdout.readline().strip()
        if not line.startswith("tcp://"):
            fail("the simulator printed %r" % line)
        self.address = line

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


def write_config(path, history, address, count, interval, listen=""):
    with open(path, "w") as f:
        f.write("[HISTORY]\nLOCATION=%s\n[SERVER]\nLISTEN=%s\nREFRESH=1\n" % (history, listen))
        for k in range(count):
            f.write("[TRANSMITTER BENCH-%04d]\nADDRESS=%s\nUNIT=1\nREGISTER=%d\nKIND=ER\n"
                    "SPAN=5\nUNIT LOSS=MILS\nINTERVAL=%d\n" % (k, address, k, interval))


class Monitor:
    def __init__(self, exe, config, log):
        self.log = open(log, "w")
        self.started = time.monotonic()
        self.proc = subprocess.Popen([exe, "--config", config], stderr=self.log)
        self.cpu = self.peak = 0.0

    def sample(self):
        if self.proc.poll() is not None:
            fail("tarn-monitor ended early with %s" % self.proc.returncode)
        self.cpu, peak = proc_figures(self.proc.pid)
        self.peak = max(self.peak, peak)

    def stop(self):
        self.sample()
        self.proc.send_signal(signal.SIGTERM)
        rc = self.proc.wait(timeout=30)
        self.log.close()
        if rc != 0:
            fail("tarn-monitor exited %d on SIGTERM" % rc)


def stored_counts(export, history):
    with tempfile.NamedTemporaryFile(suffix=".csv") as out:
        done = subprocess.run([export, "history", "probes", "--history", history, "--csv",
                               out.name], capture_output=True, text=True)
        if done.returncode != 0:
            fail("tarn-export history probes: " + done.stderr)
        with open(out.name, newline="", encoding="cp1252") as f:
            rows = [r for r in csv.reader(f) if r and not r[0].startswith("#")]
    head = rows[0]
    return {r[head.index("Tag")]: int(r[head.index("Count")]) for r in rows[1:]}


def keep_up(a, exes, work):
    n, interval = a.transmitters, 10
    sim = Sim(exes["sim"], n, os.path.join(work, "reads.log"))
    history = os.path.join(work, "keep-up.sqlite")
    config = os.path.join(work, "keep-up.conf")
    write_config(config, history, sim.address, n, interval)
    mon = Monitor(exes["monitor"], config, os.path.join(work, "keep-up.log"))
    end = mon.started + a.duration
    while time.monotonic() < end:
        time.sleep(1)
        mon.sample()
    mon.stop()
    sim.stop()

    reads = {}
    with open(os.path.join(work, "reads.log")) as f:
        for line in f:
            t, first, count = line.split()
            for r in range(int(first), int(first) + int(count)):
                reads.setdefault(r, []).append(float(t))
    missing = [r for r in range(n) if r not in reads]
    if missing:
        fail("%d transmitters never polled (first: %d)" % (len(missing), missing[0]))
    late = max((b - a_ - interval for ts in reads.values() for a_, b in zip(ts, ts[1:])),
               default=0.0)
    firsts = sorted(ts[0] for ts in reads.values())
    polls = sum(len(ts) for ts in reads.values())
    expected = n * int((a.duration - (firsts[-1] - firsts[0]) - 1) // interval)
    stored = stored_counts(exes["export"], history)
    short = [t for t in ("BENCH-%04d" % k for k in range(n))
             if stored.get(t, 0) != len(reads[int(t[6:])])]
    print("keep-up: %d transmitters, INTERVAL %d s, %d s: %d polls (at least %d due), "
          "latest poll %.3f s after its interval, first polls spread over %.2f s"
          % (n, interval, a.duration, polls, expected, late, firsts[-1] - firsts[0]))
    print("keep-up: tarn-monitor CPU %.2f s (%.1f %% of one core), peak memory %.1f MiB, "
          "%d log lines" % (mon.cpu, 100 * mon.cpu / a.duration, mon.peak,
                            sum(1 for _ in open(os.path.join(work, "keep-up.log")))))
    if late > 1.0:
        fail("a poll came %.3f s after its interval (more than 1 s)" % late)
    if polls < expected:
        fail("%d polls, %d due" % (polls, expected))
    if short:
        fail("%d probes hold another number of readings than polls answered (first: %s)"
             % (len(short), short[0]))


async def read_map(port, rounds, entries, per_request, stats):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    tid = 0

    async def ask(first, count):
        nonlocal tid
        tid = (tid + 1) & 0xFFFF
        writer.write(struct.pack(">HHHBBHH", tid, 0, 6, 1, 4, first, count))
        head = await reader.readexactly(7)
        got_tid, _, length, _ = struct.unpack(">HHHB", head)
        pdu = await reader.readexactly(length - 1)
        stats["requests"] += 1
        if got_tid != tid or pdu[0] != 4 or pdu[1] != 2 * count:
            stats["bad"] += 1
            return None
        return struct.unpack(">%dH" % count, pdu[2:])

    for _ in range(rounds):
        header = await ask(0, 4)
        if header is None or header[0] != 1 or header[1] != entries:
            stats["bad"] += 1
        for k in range(0, entries, per_request):
            n = min(per_request, entries - k)
            await ask(100 + 20 * k, 20 * (n - 1) + 12)
    writer.close()


async def clients(port, a, entries, per_request):
    stats = {"requests": 0, "bad": 0}
    await asyncio.gather(*(read_map(port, a.rounds, entries, per_request, stats)
                           for _ in range(a.clients)))
    return stats


def map_entries(port):
    """Number of entries the server gives, or None while it does not answer."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
            s.sendall(struct.pack(">HHHBBHH", 1, 0, 6, 1, 4, 0, 4))
            data = s.recv(64)
            if len(data) >= 17 and data[7] == 4:
                return struct.unpack(">H", data[11:13])[0]
    except OSError:
        pass
    return None


def server(a, exes, work):
    sim = Sim(exes["sim"], a.entries, os.path.join(work, "server-reads.log"))
    history = os.path.join(work, "server.sqlite")
    config = os.path.join(work, "server.conf")
    port = free_port()
    write_config(config, history, sim.address, a.entries, 3600, "127.0.0.1:%d" % port)
    mon = Monitor(exes["monitor"], config, os.path.join(work, "server.log"))
    deadline = time.monotonic() + 180
    while map_entries(port) != a.entries:
        if time.monotonic() > deadline:
            fail("the server did not serve %d entries within 180 s (it gives %s)"
                 % (a.entries, map_entries(port)))
        mon.sample()
        time.sleep(1)
    sim.stop()
    # Twelve registers of figures in each entry of twenty: six entries to a request fit in 125.
    per_request = 6
    mon.sample()
    cpu_before = mon.cpu
    start = time.monotonic()
    stats = asyncio.run(clients(port, a, a.entries, per_request))
    seconds = time.monotonic() - start
    mon.stop()
    print("server: %d entries, %d clients x %d reads of the whole map: %d requests in %.2f s, "
          "%.0f requests/s; tarn-monitor CPU %.2f s meanwhile, peak memory %.1f MiB"
          % (a.entries, a.clients, a.rounds, stats["requests"], seconds,
             stats["requests"] / seconds, mon.cpu - cpu_before, mon.peak))
    if stats["bad"]:
        fail("%d wrong answers" % stats["bad"])


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("what", nargs="?", default="all", choices=["keep-up", "server", "all"])
    p.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    p.add_argument("--transmitters", type=int, default=1000)
    p.add_argument("--duration", type=int, default=65, help="seconds of the keep-up run")
    p.add_argument("--entries", type=int, default=2000)
    p.add_argument("--clients", type=int, default=100)
    p.add_argument("--rounds", type=int, default=10)
    a = p.parse_args()
    exes = {"monitor": os.path.join(a.build, "src", "app", "tarn-monitor"),
            "sim": os.path.join(a.build, "src", "monitor", "sim", "tarn-transmitter-sim"),
            "export": os.path.join(a.build, "src", "app", "tarn-export")}
    for name, exe in exes.items():
        if not os.access(exe, os.X_OK):
            print("monitor_bench: skipped: %s is not built (%s)" % (os.path.basename(exe), exe))
            return 0
    with tempfile.TemporaryDirectory() as work:
        if a.what in ("keep-up", "all"):
            keep_up(a, exes, work)
        if a.what in ("server", "all"):
            server(a, exes, work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
