# SPDX-License-Identifier: GPL-3.0-or-later
"""tarn-monitor polling transmitters served by python3-pymodbus over TCP and over RTU on a
pseudo-terminal pair: every read answered becomes one reading, in order; an outage of the
transmitter or of the history's PostgreSQL server invents nothing and loses nothing; a
malformed configuration is refused before anything is polled."""
import os
import subprocess
import time
import unittest

from monitor_helpers import (MONITOR, SOURCE, Monitor, MonitorCase, Transmitter, export,
                             free_port, probes, readings, write_config)

ER = {"UNIT": 1, "REGISTER": 0, "KIND": "ER", "SPAN": 65535, "UNIT LOSS": "MILS",
      "INTERVAL": 1}
LPR = {"UNIT": 1, "REGISTER": 0, "KIND": "LPR", "INTERVAL": 1}


def wait_answers(tx, n, timeout=30):
    deadline = time.monotonic() + timeout
    while len(tx.answered()) < n:
        if time.monotonic() > deadline:
            raise AssertionError(f"the transmitter answered {len(tx.answered())} reads, not {n}")
        tx.out.wait_for(r"^answered ", timeout=max(0.1, deadline - time.monotonic()))


@unittest.skipUnless(os.path.exists(MONITOR), "tarn-monitor is not built (core-only build)")
class MonitorPolling(MonitorCase):
    def values_of(self, tag, history=None):
        history = history or self.history
        rows = [p for p in probes(history) if p[1] == tag]
        self.assertEqual(len(rows), 1, f"{tag} in {probes(history)}")
        return readings(history, rows[0][0], self.dir)

    def assert_each_answer_stored_once(self, tx, tag, history=None):
        stored = self.values_of(tag, history)
        self.assertEqual([v for _, v in stored], tx.answered())
        times = [t for t, _ in stored]
        self.assertEqual(len(set(times)), len(times), "a second stored twice")
        return stored

    def test_tcp_and_rtu_polls_give_one_reading_each(self):
        er = self.start(Transmitter(port=free_port(), kind="ER", start=1000, step=7))
        lpr = self.start(Transmitter(port=free_port(), kind="LPR", start=2.5, step=0.25))
        # Values with 0xFF bytes: a serial line that marks parity would double them.
        rtu = self.start(Transmitter(rtu=True, kind="ER", start=65280, step=51))
        config = write_config(os.path.join(self.dir, "m.conf"), self.history, [
            ("CDU-101-ER", dict(ER, ADDRESS=er.address, SERIAL="E0412-118")),
            ("CDU-102-LPR", dict(LPR, ADDRESS=lpr.address)),
            ("CDU-103-ER", dict(ER, ADDRESS=rtu.address, SPAN=65535)),
        ])
        mon = self.start(Monitor(config))
        for tx in (er, lpr, rtu):
            wait_answers(tx, 6)
        self.assertEqual(mon.stop(), 0)
        mon.log.wait_for(r"^tarn-monitor: stopped$")
        self.assertEqual(mon.log.matching("no answer"), [])
        for tx, tag in ((er, "CDU-101-ER"), (lpr, "CDU-102-LPR"), (rtu, "CDU-103-ER")):
            stored = self.assert_each_answer_stored_once(tx, tag)
            self.assertGreaterEqual(len(stored), 6, tag)
        # Several polls per import, not one source per reading.
        stores = mon.log.matching(r"CDU-101-ER: stored (\d+) readings")
        self.assertLess(len(stores), len(er.answered()))
        row = [p for p in probes(self.history) if p[1] == "CDU-101-ER"][0]
        self.assertEqual(row[2], "E0412-118")

    def test_transmitter_outage_is_logged_once_and_invents_nothing(self):
        port = free_port()
        tx = self.start(Transmitter(port=port, start=100, step=1))
        config = write_config(os.path.join(self.dir, "m.conf"), self.history,
                              [("ER-7", dict(ER, ADDRESS=tx.address))])
        mon = self.start(Monitor(config))
        wait_answers(tx, 3)
        # Between polls, so that the last answer has reached the monitor.
        time.sleep(0.3)
        tx.stop()
        mon.log.wait_for(r"ER-7: no answer at .*trying again from 1 s up to every 1 s")
        time.sleep(4)  # a few polls missed
        back = self.start(Transmitter(port=port, start=500, step=1))
        mon.log.wait_for(r"ER-7: answers again at .* after \d+ unanswered polls")
        wait_answers(back, 3)
        time.sleep(0.3)
        self.assertEqual(mon.stop(), 0)
        self.assertEqual(len(mon.log.matching("no answer")), 1, mon.log.all)
        self.assertEqual(len(mon.log.matching("answers again")), 1, mon.log.all)
        missed = int(mon.log.matching("answers again")[0].split(" after ")[1].split()[0])
        self.assertGreaterEqual(missed, 2)
        stored = self.values_of("ER-7")
        self.assertEqual([v for _, v in stored], tx.answered() + back.answered())
        self.assertEqual(len({t for t, _ in stored}), len(stored))

    def test_history_server_outage_keeps_readings_in_order(self):
        state = os.path.join(self.dir, "pg")
        script = os.path.join(SOURCE, "tests", "tools", "pg_test_server.sh")
        subprocess.run(["bash", script, "start", state], check=True, capture_output=True)
        try:
            with open(os.path.join(state, "uri")) as f:
                uri = f.read().strip()
            with open(os.path.join(state, "bindir")) as f:
                bindir = f.read().strip()
            with open(os.path.join(state, "cluster")) as f:
                cluster = f.read().strip()
            runner = ["runuser", "-u", "postgres", "--"] if os.getuid() == 0 else []
            pg_ctl = runner + [os.path.join(bindir, "pg_ctl"), "-D",
                               os.path.join(cluster, "data"), "-w", "-t", "60"]

            tx = self.start(Transmitter(port=free_port(), start=10, step=1))
            # The server reads the same history: it says when its figures go stale and return.
            config = write_config(os.path.join(self.dir, "m.conf"), uri,
                                  [("ER-PG", dict(ER, ADDRESS=tx.address))],
                                  listen=f"127.0.0.1:{free_port()}", refresh=1)
            mon = self.start(Monitor(config))
            mon.log.wait_for(r"ER-PG: stored \d+ readings")
            subprocess.run(pg_ctl + ["stop", "-m", "fast"], check=True, capture_output=True)
            mon.log.wait_for(r"history unreachable .*keeping readings in memory", timeout=30)
            kept_from = len(tx.answered())
            wait_answers(tx, kept_from + 8)
            subprocess.run(pg_ctl + ["start", "-l", os.path.join(cluster, "server.log"), "-o",
                                     f"-c listen_addresses='' -k '{cluster}'"],
                           check=True, capture_output=True)
            mon.log.wait_for(r"history reachable again; storing \d+ kept readings", timeout=30)
            mon.log.wait_for(r"ER-PG: stored \d+ readings", timeout=30)
            mon.log.wait_for(r"served figures refreshed again", timeout=30, seen=True)
            time.sleep(0.3)
            self.assertEqual(mon.stop(), 0)
            self.assertEqual(len(mon.log.matching("history unreachable")), 1, mon.log.all)
            self.assertEqual(len(mon.log.matching("served figures not refreshed")), 1,
                             mon.log.all)
            stored = self.assert_each_answer_stored_once(tx, "ER-PG", uri)
            self.assertGreaterEqual(len(stored), kept_from + 8)
        finally:
            subprocess.run(["bash", script, "stop", state], capture_output=True)

    def test_a_malformed_config_is_refused_before_any_poll(self):
        tx = self.start(Transmitter(port=free_port()))
        good = dict(ER, ADDRESS=tx.address, SERIAL="S-1", POINT="North Field/CDU/Overhead")
        cases = [
            ("LOCATION", ""), ("LISTEN", "127.0.0.1"), ("REFRESH", "0"), ("ADDRESS", "tcp://"),
            ("UNIT", "300"), ("REGISTER", "x"), ("KIND", "UT"), ("SPAN", "-1"),
            ("UNIT LOSS", "FEET"), ("SERIAL", "S\t1"), ("POINT", "a//b"), ("INTERVAL", "0"),
        ]
        for key, value in cases:
            with self.subTest(key=key):
                history, listen, refresh = self.history, "", 60
                second = dict(good)
                if key == "LOCATION":
                    history = value
                elif key == "LISTEN":
                    listen = value
                elif key == "REFRESH":
                    refresh = value
                else:
                    second[key] = value
                # The fault is in the last section: the first transmitter must not be read.
                path = write_config(os.path.join(self.dir, "bad.conf"), history,
                                    [("OK-1", good), ("BAD-1", second)], listen, refresh)
                done = subprocess.run([MONITOR, "--config", path], capture_output=True,
                                      text=True, timeout=30)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertRegex(done.stderr, rf"^tarn-monitor: {path}:\d+: {key}: ")
        missing = subprocess.run([MONITOR, "--config", os.path.join(self.dir, "none.conf")],
                                 capture_output=True, text=True, timeout=30)
        self.assertEqual(missing.returncode, 2)
        self.assertIn("cannot read the file", missing.stderr)
        self.assertEqual(tx.answered(), [])
        self.assertFalse(os.path.exists(self.history))

    def test_point_is_checked_and_noted(self):
        tx = self.start(Transmitter(port=free_port()))
        config = write_config(os.path.join(self.dir, "m.conf"), self.history,
                              [("ER-P", dict(ER, ADDRESS=tx.address, POINT=" A / B "))])
        mon = self.start(Monitor(config))
        mon.log.wait_for(r"ER-P: POINT noted; monitoring points are not kept yet")
        self.assertEqual(mon.stop(), 0)


if __name__ == "__main__":
    unittest.main()
