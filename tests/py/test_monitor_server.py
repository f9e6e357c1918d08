# SPDX-License-Identifier: GPL-3.0-or-later
"""tarn-monitor's Modbus TCP server read by clients nobody here wrote (python3-pymodbus and
mbpoll): every register of a known history against `tarn-export history probes`, any unit id
(frames sent together too), writes and other functions refused, a refresh that brings a new probe, and 100 clients at once."""
import datetime
import math
import os
import re
import socket
import struct
import subprocess
import tempfile
import threading
import time
import unittest

from pymodbus.client import ModbusTcpClient

from monitor_helpers import (MONITOR, SOURCE, Monitor, export, free_port, points, probes,
                             write_config)

# "-": a current or potential probe, which no limit judges, is served as OK.
STATUS = {"OK": 0, "WARNING": 1, "ALARM": 2, "-": 0}


def recent_nid():
    """An ER probe read yesterday and today, so that its element's end lies ahead."""
    now = datetime.datetime.now().replace(microsecond=0)
    lines = ["TAG NUMBER: NEW-1", "SERIAL NUMBER: N1", "PROBE TYPE: FLUSH", "THICKNESS: 10",
             "START TIME: " + (now - datetime.timedelta(days=2)).strftime("%d/%m/%Y %H:%M"),
             "RS_RR"]
    for k, ratio in enumerate((1.0, 1.01, 1.02)):
        when = now - datetime.timedelta(days=2 - k)
        lines.append(f"{k + 1} {when:%d/%m/%Y %H:%M:%S} {ratio} 0")
    return "\n".join(lines) + "\n"


def read_map(client, count, unit=1):
    regs = []
    while len(regs) < count:
        n = min(125, count - len(regs))
        r = client.read_input_registers(len(regs), n, slave=unit)
        assert not r.isError(), r
        regs += r.registers
    return regs


def f32(regs, at):
    return struct.unpack(">f", struct.pack(">HH", regs[at], regs[at + 1]))[0]


def u32(regs, at):
    return (regs[at] << 16) | regs[at + 1]


@unittest.skipUnless(os.path.exists(MONITOR), "tarn-monitor is not built (core-only build)")
class MonitorServer(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tarn-monitor-")
        self.dir = self.tmp.name
        self.history = os.path.join(self.dir, "history.sqlite")
        examples = os.path.join(SOURCE, "examples")
        export("import", os.path.join(examples, "er_download.nid"),
               os.path.join(examples, "lpr_download.nid"), "--history", self.history)
        self.port = free_port()
        self.monitor = None

    def tearDown(self):
        try:
            if self.monitor:
                self.assertEqual(self.monitor.stop(), 0, "SIGTERM stops the monitor cleanly")
        finally:
            self.tmp.cleanup()

    def start(self, refresh=3600):
        config = write_config(os.path.join(self.dir, "m.conf"), self.history,
                              listen=f"127.0.0.1:{self.port}", refresh=refresh)
        self.started = int(time.time())
        self.monitor = Monitor(config)
        return self.monitor.log.wait_for(r"serving (\d+) entries")

    def check_against_points(self, regs):
        # An entry is a point, in the points list's order, with the figures that list prints;
        # the time of its latest reading is its current probe's.
        rows = points(self.history)
        last_of = {p[0]: p[5] for p in probes(self.history)}
        now = time.time()
        self.assertEqual(regs[0], 1)
        self.assertEqual(regs[1], len(rows))
        self.assertTrue(self.started - 2 <= u32(regs, 2) <= now + 2, u32(regs, 2))
        for k, p in enumerate(rows):
            base = 100 + 20 * k
            with self.subTest(entry=k, point=p[0]):
                self.assertEqual(regs[base], STATUS[p[10].split(":")[0]])
                rate = f32(regs, base + 1)
                if p[7]:
                    number, unit = p[7].split()
                    self.assertEqual(unit, "mpy")
                    self.assertAlmostEqual(rate, float(number), delta=1e-4 + 1e-6 * abs(rate))
                else:
                    self.assertTrue(math.isnan(rate))
                consumed = f32(regs, base + 3)
                if p[8]:
                    self.assertAlmostEqual(consumed, float(p[8]), delta=0.05 + 1e-6)
                else:
                    self.assertTrue(math.isnan(consumed))
                self.assertAlmostEqual(f32(regs, base + 5), float(p[6]),
                                       delta=5e-5 + 1e-6 * abs(float(p[6])))
                last = datetime.datetime.strptime(last_of[p[2]], "%d/%m/%Y %H:%M:%S")
                self.assertEqual(u32(regs, base + 7), int(time.mktime(last.timetuple())))
                days = u32(regs, base + 9)
                if not p[9]:
                    self.assertEqual(days, 0xFFFFFFFF)
                else:
                    end = datetime.datetime.strptime(p[9], "%d/%m/%Y").timestamp()
                    expect = max(0, int((end - u32(regs, 2)) // 86400))
                    self.assertIn(days, (expect, expect + 1) if expect else (0,))
                self.assertEqual(regs[base + 11], int(p[2]) & 0xFFFF)
                self.assertEqual(regs[base + 12:base + 20], [0] * 8)
        self.assertEqual(regs[100 + 20 * len(rows):], [0] * (len(regs) - 100 - 20 * len(rows)))

    def test_every_register_matches_the_points_list(self):
        with open(os.path.join(self.dir, "new.nid"), "w") as f:
            f.write(recent_nid())
        export("import", os.path.join(self.dir, "new.nid"), "--history", self.history)
        self.start()
        client = ModbusTcpClient("127.0.0.1", port=self.port, timeout=5)
        self.assertTrue(client.connect())
        regs = read_map(client, 100 + 20 * 10)
        self.check_against_points(regs)
        new = 100 + 20 * 7
        self.assertLess(u32(regs, new + 9), 0xFFFFFFFF)  # an end ahead is served in days
        # Any unit id gets the same map.
        for unit in (0, 17, 247, 255):
            self.assertEqual(read_map(client, 260, unit), regs[:260], unit)
        # Read-only: writes and other functions are an illegal function; reads past the map an
        # illegal address.
        for r in (client.write_register(0, 5, slave=1), client.write_registers(100, [1, 2], slave=1),
                  client.write_coil(0, True, slave=1), client.read_holding_registers(0, 4, slave=1),
                  client.read_coils(0, 4, slave=1), client.read_discrete_inputs(0, 4, slave=1)):
            self.assertTrue(r.isError(), r)
            self.assertEqual(r.exception_code, 1, r)
        self.assertEqual(client.read_input_registers(40099, 1, slave=1).registers, [0])
        self.assertEqual(client.read_input_registers(40100, 1, slave=1).exception_code, 2)
        self.assertEqual(read_map(client, 260), regs[:260])  # nothing changed
        client.close()

        # mbpoll decodes the same registers, and its float32 of the rate, high word first.
        out = subprocess.run(["mbpoll", "-m", "tcp", "-a", "3", "-t", "3:hex", "-0", "-r", "0",
                              "-c", "125", "-1", "-p", str(self.port), "127.0.0.1"],
                             capture_output=True, text=True, timeout=30)
        self.assertEqual(out.returncode, 0, out.stderr)
        got = {int(a): int(v, 16) for a, v in re.findall(r"^\[(\d+)\]:\s+0x([0-9A-F]+)",
                                                         out.stdout, re.M)}
        self.assertEqual(got, {a: regs[a] for a in range(125)})
        out = subprocess.run(["mbpoll", "-m", "tcp", "-t", "3:float", "-B", "-0", "-r", "101",
                              "-c", "1", "-1", "-p", str(self.port), "127.0.0.1"],
                             capture_output=True, text=True, timeout=30)
        rate = float(re.search(r"^\[101\]:\s+(\S+)", out.stdout, re.M).group(1))
        self.assertAlmostEqual(rate, f32(regs, 101), places=3)
        out = subprocess.run(["mbpoll", "-m", "tcp", "-t", "4", "-0", "-r", "0", "-1", "-p",
                              str(self.port), "127.0.0.1", "5"],
                             capture_output=True, text=True, timeout=30)
        self.assertIn("Illegal function", out.stdout + out.stderr)

    def test_frames_sent_together_each_answered_under_their_own_unit(self):
        # A master that sends several requests before reading the answers, to several units,
        # in pieces that split a frame: every frame gets its own answer, in order.
        self.start()
        client = ModbusTcpClient("127.0.0.1", port=self.port, timeout=5)
        self.assertTrue(client.connect())
        want = read_map(client, 4)
        client.close()

        def frame(tid, unit, function, first, count):
            return struct.pack(">HHHBBHH", tid, 0, 6, unit, function, first, count)

        asked = [(1, 1, 4, 0, 4), (2, 2, 4, 0, 4), (3, 200, 3, 0, 4), (4, 9, 4, 40099, 2)]
        data = b"".join(frame(*a) for a in asked)
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:
            s.sendall(data[:10])
            time.sleep(0.2)
            s.sendall(data[10:])
            got = b""
            while len(got) < 2 * 17 + 2 * 9:
                chunk = s.recv(4096)
                self.assertTrue(chunk, got)
                got += chunk
        answers = []
        while got:
            tid, protocol, length, unit = struct.unpack(">HHHB", got[:7])
            answers.append((tid, protocol, unit, got[7:6 + length]))
            got = got[6 + length:]
        header = b"\x04\x08" + struct.pack(">4H", *want)
        self.assertEqual(answers, [(1, 0, 1, header), (2, 0, 2, header), (3, 0, 200, b"\x83\x01"),
                                   (4, 0, 9, b"\x84\x02")])
        # Bytes that are not Modbus close the connection.
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:
            s.sendall(struct.pack(">HHHBBHH", 1, 7, 6, 1, 4, 0, 1))
            self.assertEqual(s.recv(64), b"")

    def test_a_refresh_serves_a_new_probe(self):
        self.start(refresh=1)
        with open(os.path.join(self.dir, "new.nid"), "w") as f:
            f.write(recent_nid())
        export("import", os.path.join(self.dir, "new.nid"), "--history", self.history)
        self.monitor.log.wait_for(r"serving 8 entries")
        client = ModbusTcpClient("127.0.0.1", port=self.port, timeout=5)
        self.assertTrue(client.connect())
        regs = read_map(client, 100 + 20 * 8)
        client.close()
        self.assertEqual(regs[1], 8)
        # The new probe's point is served at its place in the points list, by path.
        self.assertIn(8, [regs[100 + 20 * k + 11] for k in range(8)])

    def test_a_hundred_clients_at_once(self):
        self.start()
        size = 100 + 20 * 7
        first = ModbusTcpClient("127.0.0.1", port=self.port, timeout=5)
        self.assertTrue(first.connect())
        want = read_map(first, size)
        first.close()
        self.check_against_points(want)
        wrong = []
        barrier = threading.Barrier(100)

        def reader(n):
            c = ModbusTcpClient("127.0.0.1", port=self.port, timeout=10)
            try:
                c.connect()
                barrier.wait(timeout=60)
                for _ in range(10):
                    got = read_map(c, size, unit=n % 248)
                    if got != want:
                        wrong.append(n)
            except Exception as e:  # a refused or broken answer counts as wrong
                wrong.append(f"{n}: {e}")
            finally:
                c.close()

        threads = [threading.Thread(target=reader, args=(n,)) for n in range(100)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(timeout=120)
        self.assertEqual(wrong, [])

    def test_the_map_command_names_every_register(self):
        out = export("modbus-map", "--history", self.history).stdout.splitlines()
        rows = [l.split("\t") for l in out]
        self.assertEqual(rows[0][:3], ["0", "1", "uint16"])
        self.assertEqual(len(rows), 3 + 7 * 7)
        for k, p in enumerate(points(self.history)):
            entry = [r for r in rows if r[3] == str(k)]
            self.assertEqual([int(r[0]) for r in entry],
                             [100 + 20 * k + o for o in (0, 1, 3, 5, 7, 9, 11)])
            self.assertEqual({(r[4], r[5], r[6], r[8]) for r in entry}, {(p[2], p[3], p[4], p[0])})
        csv_out = os.path.join(self.dir, "map.csv")
        export("modbus-map", "--csv", csv_out, "--history", self.history)
        with open(csv_out, newline="") as f:
            text = f.read()
        self.assertTrue(text.startswith("Register,Registers,Type,Entry,Probe Id,Tag,Serial,"
                                        "Figure,Point\r\n"))
        self.assertEqual(text.count("\r\n"), 1 + len(rows))


if __name__ == "__main__":
    unittest.main()
