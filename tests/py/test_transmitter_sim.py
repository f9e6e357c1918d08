# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads tarn-transmitter-sim with Modbus clients nobody here wrote (pymodbus and mbpoll), over
TCP on 127.0.0.1 and over RTU on its pseudo-terminal: the ER registers follow the law of their
rate within the time the read took, the LPR rate comes as a float high word first, writes and
other functions are refused, and a silent stretch is silent on both links and then ends."""
import logging
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import unittest

from pymodbus.client import ModbusSerialClient, ModbusTcpClient

BUILD = os.environ.get("TARN_BUILD_DIR", "build")
SIM = os.path.join(BUILD, "src", "monitor", "sim", "tarn-transmitter-sim")
YEAR = 365.25 * 24 * 3600
SCALE = 86400.0  # a day a second: 12 mpy moves the register by about 430 a second

logging.getLogger("pymodbus").setLevel(logging.CRITICAL)


def er_register(start, rate, span, sim_seconds):
    loss = start + rate * sim_seconds / YEAR
    return max(0, min(65535, round(loss / span * 65535)))


class Sim:
    def __init__(self, *args):
        self.launched = time.monotonic()
        self.proc = subprocess.Popen([SIM, *args], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
        self.tcp_port = None
        self.pty = None
        want_rtu = "--rtu" in args
        want_tcp = "--tcp" in args or not want_rtu
        while (want_tcp and self.tcp_port is None) or (want_rtu and self.pty is None):
            line = self.proc.stdout.readline()
            if not line:
                raise AssertionError("simulator ended: " + self.proc.stderr.read())
            m = re.match(r"tcp://127\.0\.0\.1:(\d+)$", line.strip())
            if m:
                self.tcp_port = int(m.group(1))
            m = re.match(r"rtu:(/dev/pts/\d+)\?baud=19200$", line.strip())
            if m:
                self.pty = m.group(1)
        # The simulator's clock started between these two moments.
        self.ready = time.monotonic()

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)
        self.proc.stdout.close()
        self.proc.stderr.close()

    def clients(self):
        # This pymodbus fails to connect over TCP with a timeout under a second.
        tcp = ModbusTcpClient("127.0.0.1", port=self.tcp_port, timeout=1, retries=0)
        rtu = ModbusSerialClient(port=self.pty, baudrate=19200, timeout=1, retries=0)
        for c in (tcp, rtu):
            assert c.connect()
        return {"tcp": tcp, "rtu": rtu}

    def mbpoll(self, link, *args):
        where = (["-m", "tcp", "-p", str(self.tcp_port)], "127.0.0.1") if link == "tcp" else (
            ["-m", "rtu", "-b", "19200", "-P", "none"], self.pty)
        done = subprocess.run(["mbpoll", *where[0], "-a", "1", "-0", "-1", "-o", "1", *args,
                               where[1]], capture_output=True, text=True, timeout=20)
        return done.returncode, done.stdout + done.stderr


@unittest.skipUnless(os.path.exists(SIM), "tarn-transmitter-sim is not built (core-only build)")
class TransmitterSim(unittest.TestCase):
    ER = [(0, 1.0, 12.0, 5.0), (1, 0.2, 0.1, 0.5)]  # register, start, rate per year, span

    def setUp(self):
        self.assertIsNotNone(shutil.which("mbpoll"), "mbpoll is not installed")

    def start(self, *extra):
        sim = Sim("--tcp", "127.0.0.1:0", "--rtu", "--time-scale", str(SCALE),
                  "--er", "register=0,span=5,loss-unit=MILS,rate=12,start=1",
                  "--er", "register=1,span=0.5,loss-unit=MM,rate=0.1,start=0.2",
                  "--lpr", "register=10,rate=3.5", *extra)
        self.addCleanup(sim.stop)
        return sim

    def check_er(self, sim, values, sent, received, what):
        for (reg, start, rate, span), got in zip(self.ER, values):
            low = er_register(start, rate, span, (sent - sim.ready) * SCALE)
            high = er_register(start, rate, span, (received - sim.launched) * SCALE)
            self.assertTrue(low - 1 <= got <= high + 1,
                            "%s register %d: %d not within %d..%d" % (what, reg, got, low, high))

    def test_registers_follow_the_rate_for_both_clients_on_both_links(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        log = os.path.join(tmp.name, "reads.log")
        sim = self.start("--log", log)
        clients = sim.clients()
        seen = {}
        for _ in range(3):
            for link, client in clients.items():
                sent = time.monotonic()
                r = client.read_input_registers(0, 2, slave=1)
                received = time.monotonic()
                self.assertFalse(r.isError(), "%s: %s" % (link, r))
                self.check_er(sim, r.registers, sent, received, "pymodbus " + link)
                seen.setdefault(link, []).append(r.registers[0])
                r = client.read_input_registers(10, 2, slave=1)
                self.assertEqual(struct.unpack(">f", struct.pack(">HH", *r.registers))[0], 3.5)

                sent = time.monotonic()
                rc, out = sim.mbpoll(link, "-t", "3", "-r", "0", "-c", "2")
                received = time.monotonic()
                self.assertEqual(rc, 0, out)
                values = [int(v) for v in re.findall(r"^\[\d+\]:\s+(\d+)", out, re.M)]
                self.check_er(sim, values, sent, received, "mbpoll " + link)
                rc, out = sim.mbpoll(link, "-t", "3:float", "-B", "-r", "10", "-c", "1")
                self.assertRegex(out, r"\[10\]:\s+3\.5\b")
            time.sleep(0.4)
        for link, values in seen.items():
            self.assertLess(values[0], values[-1], "%s: the loss did not grow" % link)
        for c in clients.values():
            c.close()
        # One line per answered read (the LPR reads too), none for the refused.
        with open(log) as f:
            reads = [line.split() for line in f]
        self.assertEqual(len(reads), 3 * 2 * 4, reads)
        self.assertEqual(sum(1 for r in reads if r[1:] == ["0", "2"]), 12)
        times = [float(r[0]) for r in reads]
        self.assertEqual(times, sorted(times))
        self.assertLess(times[-1], time.monotonic() - sim.launched)

    def test_refuses_writes_other_functions_and_unserved_registers(self):
        sim = self.start()
        for link, client in sim.clients().items():
            for request in (lambda: client.write_register(0, 7, slave=1),
                            lambda: client.write_registers(0, [1, 2], slave=1),
                            lambda: client.read_holding_registers(0, 1, slave=1),
                            lambda: client.read_coils(0, 1, slave=1)):
                r = request()
                self.assertTrue(r.isError(), link)
                self.assertEqual(r.exception_code, 1, "%s: %s" % (link, r))  # illegal function
            for address, count in ((2, 1), (9, 2), (11, 2), (0, 3)):
                r = client.read_input_registers(address, count, slave=1)
                self.assertEqual(getattr(r, "exception_code", None), 2,
                                 "%s %d+%d: %s" % (link, address, count, r))  # illegal address
            # Another unit on the line is not this transmitter: no answer at all.
            r = client.read_input_registers(0, 1, slave=9)
            self.assertTrue(r.isError())
            self.assertIsNone(getattr(r, "exception_code", None), "%s: %s" % (link, r))
            client.close()
        rc, out = sim.mbpoll("tcp", "-t", "4", "-r", "0", "-c", "1")
        self.assertNotEqual(rc, 0)
        self.assertIn("Illegal function", out)

    def test_a_silent_stretch_is_silent_on_both_links_and_ends(self):
        sim = self.start("--silent", "1.5+2")

        def answers():
            return {link: sim.mbpoll(link, "-t", "3", "-r", "0", "-c", "1")[0] == 0
                    for link in ("tcp", "rtu")}

        self.assertEqual(answers(), {"tcp": True, "rtu": True})
        time.sleep(max(0, sim.ready + 2.0 - time.monotonic()))
        self.assertEqual(answers(), {"tcp": False, "rtu": False})
        time.sleep(max(0, sim.launched + 4.0 - time.monotonic()))
        self.assertEqual(answers(), {"tcp": True, "rtu": True})
        sim.stop()
        self.assertEqual(sim.proc.returncode, -15)

    def test_bad_arguments_are_refused_before_serving(self):
        for args, message in ((["--er", "register=0", "--lpr", "register=0"], "share input register"),
                              (["--er", "span=0"], "span"), (["--unit", "300"], "--unit"),
                              (["--tcp", "127.0.0.1:x"], "--tcp")):
            done = subprocess.run([SIM, *args], capture_output=True, text=True, timeout=10)
            self.assertEqual(done.returncode, 2, args)
            self.assertIn(message, done.stderr)
            self.assertEqual(done.stdout, "", args)
        done = subprocess.run([SIM, "--help"], capture_output=True, text=True, timeout=10)
        self.assertEqual(done.returncode, 0)
        self.assertIn("--silent", done.stdout)


if __name__ == "__main__":
    unittest.main()
