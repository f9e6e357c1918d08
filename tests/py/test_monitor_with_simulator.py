# SPDX-License-Identifier: GPL-3.0-or-later
"""tarn-monitor polling tarn-transmitter-sim over TCP and over RTU on its pseudo-terminal: every
read the simulator answered (its --log) is stored once, with the value the simulator's law gives
at that moment; a silent stretch of the simulator invents and doubles nothing, and the monitor
says when the transmitters went quiet and when they came back."""
import os
import struct
import subprocess
import time
import unittest

from monitor_helpers import (BUILD, MONITOR, Lines, Monitor, MonitorCase, points, probes,
                             readings, write_config)

SIM = os.path.join(BUILD, "src", "monitor", "sim", "tarn-transmitter-sim")
YEAR = 365.25 * 24 * 3600
SCALE = 86400.0  # a day a second: the ER register moves by hundreds between polls
SPAN = 5.0
# register, kind, the simulator's settings, link: each transmitter polled over one link.
TRANSMITTERS = [
    (0, "ER", "register=0,span=5,loss-unit=MILS,rate=12,start=1", "tcp"),
    (10, "LPR", "register=10,rate=3.5", "tcp"),
    (20, "ER", "register=20,span=5,loss-unit=MILS,rate=20,start=2.5", "rtu"),
    (30, "LPR", "register=30,rate=0.1", "rtu"),
]


def expected_value(settings, kind, real_seconds):
    keys = dict(item.split("=") for item in settings.split(","))
    if kind == "LPR":
        return struct.unpack(">f", struct.pack(">f", float(keys["rate"])))[0]
    loss = float(keys["start"]) + float(keys["rate"]) * real_seconds * SCALE / YEAR
    reg = max(0, min(65535, round(loss / SPAN * 65535)))
    return reg / 65535 * SPAN


class Sim:
    def __init__(self, log, *args):
        cmd = [SIM, "--tcp", "127.0.0.1:0", "--rtu", "--time-scale", str(SCALE), "--log", log]
        for _, kind, settings, _ in TRANSMITTERS:
            cmd += ["--er" if kind == "ER" else "--lpr", settings]
        self.log = log
        self.proc = subprocess.Popen(cmd + list(args), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
        self.err = Lines(self.proc.stderr)
        self.address = {}
        while len(self.address) < 2:
            line = self.proc.stdout.readline().strip()
            if not line:
                raise AssertionError("simulator ended: " + "\n".join(self.err.all))
            if line.startswith("tcp://"):
                self.address["tcp"] = line
            elif line.startswith("rtu:"):
                # The simulator's terminal has no parity.
                self.address["rtu"] = line + "&parity=N&stop=1"

    def answered(self, register):
        """Seconds since the simulator's start of each answered read of `register`."""
        with open(self.log) as f:
            rows = [line.split() for line in f if line.endswith("\n")]
        return [float(t) for t, first, count in rows if int(first) == register]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=10)
        self.proc.stdout.close()
        self.err.close()


@unittest.skipUnless(os.path.exists(MONITOR) and os.path.exists(SIM),
                     "tarn-monitor or tarn-transmitter-sim is not built (core-only build)")
class MonitorWithSimulator(MonitorCase):
    def run_monitor(self, sim, until):
        # The first transmitter names its point; the others go where the import puts them.
        config = write_config(os.path.join(self.dir, "m.conf"), self.history, [
            (f"T-{reg}", {"ADDRESS": sim.address[link], "UNIT": 1, "REGISTER": reg, "KIND": kind,
                          **({"SPAN": SPAN, "UNIT LOSS": "MILS"} if kind == "ER" else {}),
                          **({"POINT": " North / CDU / Overhead "} if k == 0 else {}),
                          "INTERVAL": 1})
            for k, (reg, kind, _, link) in enumerate(TRANSMITTERS)])
        mon = Monitor(config)
        self.start(mon)
        deadline = time.monotonic() + 30
        while not until(mon):
            self.assertLess(time.monotonic(), deadline, "\n".join(mon.log.all))
            time.sleep(0.1)
        self.assertEqual(mon.stop(), 0)
        self.assertTrue(mon.log.matching(r"^tarn-monitor: stopped$"), mon.log.all)
        return mon

    def assert_each_answer_stored_once(self, sim, mon):
        ids = {row[1]: row[0] for row in probes(self.history)}
        for reg, kind, settings, link in TRANSMITTERS:
            with self.subTest(register=reg, link=link):
                stored = readings(self.history, ids[f"T-{reg}"], self.dir)
                times = [t for t, _ in stored]
                self.assertEqual(len(set(times)), len(times), "a second stored twice")
                self.assertEqual(times, sorted(times))
                answered = sim.answered(reg)
                # Two answers within one second keep the first; the monitor says so.
                skipped = len(mon.log.matching(rf"^tarn-monitor: T-{reg}: a second reading"))
                self.assertEqual(len(stored), len(answered) - skipped, (stored, answered))
                # In order, each a register's worth from the law at the moment the
                # simulator logged the read.
                want = iter(expected_value(settings, kind, at) for at in answered)
                for when, got in stored:
                    self.assertTrue(any(abs(got - w) <= 2 * SPAN / 65535 + 1e-6 for w in want),
                                    f"{when}: {got} is no answer of the simulator's")
        return ids

    def test_tcp_and_rtu_answers_stored_once_with_the_simulators_values(self):
        sim = self.start(Sim(os.path.join(self.dir, "sim.log")))
        mon = self.run_monitor(sim, lambda _: all(len(sim.answered(reg)) >= 5
                                                   for reg, *_ in TRANSMITTERS))
        self.assertEqual(mon.log.matching("no answer"), [])
        ids = self.assert_each_answer_stored_once(sim, mon)
        first = f"T-{TRANSMITTERS[0][0]}"
        at = {row[2]: row[0] for row in points(self.history)}
        self.assertEqual(at[ids[first]], "North/CDU/Overhead")
        self.assertEqual(at[ids[f"T-{TRANSMITTERS[1][0]}"]], f"Unassigned/T-{TRANSMITTERS[1][0]}")
        self.assertEqual(len(mon.log.matching(rf"^tarn-monitor: {first} at North/CDU/Overhead: "
                                              r"placed$")), 1, mon.log.all)

    def test_a_silent_simulator_is_logged_and_nothing_is_invented(self):
        sim = self.start(Sim(os.path.join(self.dir, "sim.log"), "--silent", "2.5+3"))

        def back_and_polled(mon):
            back = len(mon.log.matching("answers again")) == len(TRANSMITTERS)
            return back and all(len([t for t in sim.answered(reg) if t > 5.5]) >= 2
                                for reg, *_ in TRANSMITTERS)

        mon = self.run_monitor(sim, back_and_polled)
        sim.err.wait_for(r"answering again", seen=True)
        for reg, _, _, link in TRANSMITTERS:
            with self.subTest(register=reg, link=link):
                self.assertEqual(len(mon.log.matching(rf"T-{reg}: no answer at ")), 1,
                                 mon.log.all)
                self.assertEqual(len(mon.log.matching(rf"T-{reg}: answers again at ")), 1)
                self.assertEqual([t for t in sim.answered(reg) if 2.6 < t < 5.4], [])
        self.assert_each_answer_stored_once(sim, mon)


if __name__ == "__main__":
    unittest.main()
