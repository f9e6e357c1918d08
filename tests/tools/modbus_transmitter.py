#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A transmitter for the monitor's tests, served by python3-pymodbus: input registers whose value
moves on by one step at every read, so that each reading the monitor stores can be matched with
the read that gave it. Prints "ready tcp PORT" or "ready rtu DEVICE", then "answered VALUE" for
every read it answers (VALUE: the ER register, or the LPR float)."""
import argparse
import asyncio
import logging
import os
import struct
import sys
import threading
import tty

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusSerialServer, ModbusTcpServer
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer


class MovingBlock(ModbusSequentialDataBlock):
    def __init__(self, args):
        super().__init__(0, [0] * 100)
        self.args = args
        self.value = args.start

    def served(self):
        """The value as the registers hold it: an ER register wraps at 65536."""
        return int(self.value) & 0xFFFF if self.args.kind == "ER" else self.value

    def registers(self):
        if self.args.kind == "ER":
            return [self.served()]
        return list(struct.unpack(">HH", struct.pack(">f", self.value)))

    def getValues(self, address, count=1):
        regs = self.registers()
        if address != self.args.register or count != len(regs):
            return super().getValues(address, count)
        print(f"answered {self.served():g}", flush=True)
        self.value += self.args.step
        return regs


def bridge(a, b):
    """Copies bytes both ways between two pseudo-terminal masters, as a null-modem cable."""
    import select
    while True:
        ready, _, _ = select.select([a, b], [], [])
        for fd in ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                continue
            os.write(b if fd == a else a, data)


async def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tcp", type=int, help="port on 127.0.0.1")
    ap.add_argument("--rtu", action="store_true", help="on a pseudo-terminal pair")
    ap.add_argument("--unit", type=int, default=1)
    ap.add_argument("--register", type=int, default=0)
    ap.add_argument("--kind", choices=["ER", "LPR"], default="ER")
    ap.add_argument("--start", type=float, default=1000)
    ap.add_argument("--step", type=float, default=1)
    args = ap.parse_args()
    logging.disable(logging.CRITICAL)
    ctx = ModbusServerContext(
        slaves={args.unit: ModbusSlaveContext(ir=MovingBlock(args), zero_mode=True)}, single=False)
    if args.tcp is not None:
        server = ModbusTcpServer(ctx, ModbusSocketFramer, None, ("127.0.0.1", args.tcp),
                                 allow_reuse_address=True)
        print(f"ready tcp {args.tcp}", flush=True)
        await server.serve_forever()
        return
    # Two pseudo-terminals joined back to back: the server opens one, the monitor the other.
    ours_m, ours_s = os.openpty()
    theirs_m, theirs_s = os.openpty()
    for fd in (ours_m, ours_s, theirs_m, theirs_s):
        tty.setraw(fd)
    threading.Thread(target=bridge, args=(ours_m, theirs_m), daemon=True).start()
    # A pseudo-terminal carries bytes, not parity bits, and pyserial cannot set even parity on
    # one: this side goes without, whatever parity the monitor's side is set to.
    server = ModbusSerialServer(ctx, ModbusRtuFramer, port=os.ttyname(ours_s), baudrate=19200,
                                parity="N", stopbits=1, bytesize=8)
    await server.start()
    print(f"ready rtu {os.ttyname(theirs_s)}", flush=True)
    while True:
        await asyncio.sleep(3600)


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
