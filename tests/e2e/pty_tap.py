#!/usr/bin/env python3
"""A tap on a serial line for the end-to-end tests: opens a pseudo-terminal of its own, prints
"TAP <device>" and relays bytes between it and DEVICE (the simulated head). Every byte that
comes from DEVICE is appended to --replies, so a test can compare what the program recorded
with what the head really sent. With --bad-end-every N the last byte of every Nth reply is
corrupted on its way (reply lengths follow the model byte of each command: 413 or 513).
Runs until SIGTERM or SIGINT.

Usage: pty_tap.py DEVICE --replies FILE [--bad-end-every N]
"""

import argparse
import os
import select
import signal
import sys
import termios
import tty


def raw(fd):
    tty.setraw(fd)
    attrs = termios.tcgetattr(fd)
    attrs[2] |= termios.CLOCAL | termios.CREAD
    termios.tcsetattr(fd, termios.TCSANOW, attrs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("device")
    parser.add_argument("--replies", required=True)
    parser.add_argument("--bad-end-every", type=int, default=0)
    args = parser.parse_args()

    head = os.open(args.device, os.O_RDWR | os.O_NOCTTY)
    raw(head)
    master, slave = os.openpty()
    raw(slave)  # kept open: the program may close and reopen its side
    print("TAP", os.ttyname(slave), flush=True)

    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(1))
    signal.signal(signal.SIGINT, lambda *_: stopping.append(1))

    log = open(args.replies, "ab", buffering=0)
    commands = bytearray()
    expected = []  # lengths of the replies asked for, oldest first
    into_reply = 0
    replies = 0
    while not stopping:
        try:
            ready, _, _ = select.select([master, head], [], [], 0.1)
        except InterruptedError:
            continue
        if master in ready:
            data = os.read(master, 4096)
            os.write(head, data)
            commands += data
            while len(commands) >= 27:
                start = commands.find(b"\xfe\x44")
                if start < 0:
                    commands.clear()
                    break
                if len(commands) - start < 27:
                    del commands[:start]
                    break
                command = commands[start:start + 27]
                del commands[:start + 27]
                if command[26] == 0xFD:
                    expected.append(513 if command[19] == 50 else 413)
        if head in ready:
            data = bytearray(os.read(head, 4096))
            log.write(data)
            if args.bad_end_every > 0:
                for i in range(len(data)):
                    if not expected:
                        break
                    into_reply += 1
                    if into_reply == expected[0]:
                        replies += 1
                        if replies % args.bad_end_every == 0:
                            data[i] ^= 0x55
                        expected.pop(0)
                        into_reply = 0
            os.write(master, bytes(data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
