#!/usr/bin/env python3
"""Checks for the head-link end-to-end tests.

reply_check.py replies SENT DUMP [--allow-missing N] [--model-change]
    SENT is the byte stream the head sent (pty_tap.py --replies), DUMP the JSON Lines of
    `vkd dump` of the recording. Every recorded reply must be the next whole reply the head
    sent (with byte 7 of a 'G' reply turned from range code into metres), in order, none
    skipped; at most N replies (default 2: the one in flight at the close, and the one the
    recording started after) may have been sent and not recorded. With --model-change the
    head is an 'H' head that the program first asks in 'G' form: the 'G' reply just before
    the first 'H' one answers a command sent before the program learnt the model, arrives when
    an 'H' reply is expected and is refused, so it is not looked for in the recording.
    Prints "sent S recorded R".

reply_check.py commands LOG HEX [HEX...]
    Every "CMD" line of the marlinray-sim --log output LOG must be one of the given commands
    (27 bytes in hex, blanks allowed). Prints the count of each.
"""

import json
import sys

G_RANGE_METRES = {20: 15, 40: 30, 75: 60, 115: 90, 150: 120, 190: 150, 225: 180}


def split_replies(stream):
    """The whole replies of the stream, and the bytes after them."""
    replies = []
    pos = 0
    while pos + 3 <= len(stream):
        head = stream[pos:pos + 3]
        length = {b"QGZ": 413, b"QHZ": 513}.get(bytes(head))
        if length is None or pos + length > len(stream):
            break
        replies.append(bytes(stream[pos:pos + length]))
        pos += length
    return replies, bytes(stream[pos:])


def as_recorded(reply):
    reply = bytearray(reply)
    if reply[1] == ord("G"):
        reply[7] = G_RANGE_METRES.get(reply[7], reply[7])
    return bytes(reply)


def check_replies(sent_path, dump_path, allow_missing, model_change):
    with open(sent_path, "rb") as f:
        sent, rest = split_replies(f.read())
    if model_change:
        first_h = next((i for i, r in enumerate(sent) if r[1] == ord("H")), None)
        if first_h is None or first_h < 2:
            print("no 'H' reply after two 'G' replies")
            return 1
        del sent[first_h - 1]
    # The head may have been stopped in the middle of its last reply, the one in flight at
    # the close; anything else after the whole replies is a fault of the line.
    if rest and not (rest[:1] == b"Q" and len(rest) < 513):
        print(f"the head's stream has {len(rest)} bytes that are no whole reply")
        return 1
    recorded = []
    with open(dump_path) as f:
        for line in f:
            record = json.loads(line)
            recorded.append(bytes.fromhex(record["reply"]))
    print(f"sent {len(sent)} recorded {len(recorded)}")
    expected = [as_recorded(r) for r in sent]
    if not recorded:
        print("nothing recorded")
        return 1
    # The recording may start after the first reply: find where it begins.
    try:
        start = expected.index(recorded[0])
    except ValueError:
        print("the first recorded reply is none the head sent")
        return 1
    for i, reply in enumerate(recorded):
        if start + i >= len(expected) or expected[start + i] != reply:
            print(f"recorded reply {i} is not sent reply {start + i}")
            return 1
    missing = len(expected) - len(recorded)
    if missing > allow_missing:
        print(f"{missing} replies sent and not recorded (at most {allow_missing} allowed)")
        return 1
    return 0


def check_commands(log_path, allowed_hex):
    allowed = {bytes.fromhex(h.replace(" ", "")): 0 for h in allowed_hex}
    with open(log_path) as f:
        for line in f:
            if not line.startswith("CMD "):
                continue
            command = bytes.fromhex(line[4:].replace(" ", ""))
            if command not in allowed:
                print("unexpected command:", command.hex(" "))
                return 1
            allowed[command] += 1
    for command, count in allowed.items():
        print(f"{count} x {command.hex(' ')}")
    return 0 if sum(allowed.values()) > 0 else 1


def main(argv):
    if len(argv) >= 4 and argv[1] == "replies":
        options = argv[4:]
        allow = 2
        if "--allow-missing" in options:
            allow = int(options[options.index("--allow-missing") + 1])
        return check_replies(argv[2], argv[3], allow, "--model-change" in options)
    if len(argv) >= 4 and argv[1] == "commands":
        return check_commands(argv[2], argv[3:])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
