#!/usr/bin/env python3
"""A device peer on a pseudo-terminal, written apart from the program's own emulator: it answers
the module's commands from the protocol description alone, so that transfers and verify are
also checked against a second reading of the protocol.

Prints the terminal's path, then serves until killed. With --corrupt N it flips bit 1 (output 2)
of the first N control-array words once the download's checksum has been asked for."""
import os
import pty
import sys
import tty

FOLD = 0xEFF5A0A1EFF5A0A1
MASK = (1 << 64) - 1


def checksum(values):
    r = MASK
    for v in values:
        r ^= v
        out = r & 1
        r >>= 1
        if out:
            r ^= FOLD
    return "[%016X]" % r


def main():
    corrupt = int(sys.argv[sys.argv.index("--corrupt") + 1]) if "--corrupt" in sys.argv else 0
    master, slave = pty.openpty()
    tty.setraw(slave)
    print(os.ttyname(slave), flush=True)
    memory = bytearray(73728)
    received = []
    block = 0
    buf = b""
    while True:
        data = os.read(master, 4096)
        if not data:
            return
        buf += data
        while b"]" in buf:
            cmd, buf = buf.split(b"]", 1)
            cmd = (cmd + b"]").decode("ascii", "replace")
            cmd = cmd[cmd.rfind("["):]
            reply = None
            if cmd == "[200700--]":
                reply = "[2007OK]"
            elif cmd == "[2004A1--]":
                reply = None
            elif len(cmd) == 19 and cmd[1] == "1":
                block, received = 0, []
                reply = "[]"
            elif len(cmd) == 19 and cmd[1] in "2345":
                part = int(cmd[1]) - 2
                values = [int(cmd[2 + 2 * i:4 + 2 * i], 16) for i in range(8)]
                base = 32 * block + 8 * part
                memory[base:base + 8] = bytes(values)
                received += values
                if part == 3:
                    block += 1
                reply = "[]"
            elif len(cmd) == 19 and cmd[1] == "6":
                reply = checksum(received)
                for w in range(corrupt):
                    memory[w] ^= 2
                corrupt = 0
            elif len(cmd) == 19 and cmd[1] == "7":
                reply = checksum(memory[0x10000:0x12000])
            elif len(cmd) == 19 and cmd[1] == "8":
                address = int(cmd[13:18], 16)
                values = memory[address:address + 256]
                values += bytes(256 - len(values))
                reply = "[" + "".join("%02X" % v for v in values) + "]"
            else:
                reply = "[E]"
            if reply:
                os.write(master, reply.encode("ascii"))


if __name__ == "__main__":
    main()
