#!/usr/bin/env bash
# A noisy GPS receiver beside a healthy head, end to end: between good GGA and RMC sentences
# the receiver sends random bytes, a line of several kilobytes, and lines ended without CR.
# The program must keep recording whole records, end cleanly, and record no position other
# than the one the good sentences give.
# Usage: gps_faults.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
cd "$work"

"$bin/marlinray-sim" >head.txt 2>/dev/null &
pids+=($!)
head_device=$(wait_for_line head.txt HEAD)

python3 - >gps.txt <<'EOF' &
import os, random, time, tty
random.seed(3)
master, slave = os.openpty()
tty.setraw(slave)
print("GPS", os.ttyname(slave), flush=True)
good = [b"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
        b"$GPRMC,123520,A,4807.038,N,01131.000,E,004.4,084.4,230394,003.1,W*6A\r\n"]
noise = [lambda: bytes(random.getrandbits(8) for _ in range(random.randint(1, 300))),
         lambda: b"$GPGGA," + b"9" * 6000 + b"\r\n",
         lambda: b"$GPGGA,123521,4900.000,N,01200.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n",
         lambda: b"$GPRMC,123522,A,5000.000,S,01300.000,W,005.0,090.0,230394,,\n" * 3,
         lambda: b"\r\n\r\n$GPGLL\r\n$GPRMC,,,,,,,,,,\r\n$GPVTG,abc,T,,M,999999999999,N\r\n"]
end = time.time() + 60
while time.time() < end:
    chunk = random.choice(good) + random.choice(noise)() + random.choice(good)
    try:
        os.write(master, chunk)
    except BlockingIOError:
        pass
    time.sleep(0.05)
EOF
pids+=($!)
gps_device=$(wait_for_line gps.txt GPS)

printf '[Settings]\nRunMode=0\nSSRange=1\nComPort=0\nComPortGPS=1\nGPSHeadingType=1\n' >KELVANOR.INI
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" timeout 60 "$bin/kelvanor" --no-logo \
    --unattended --port "COM1=$head_device" --port "COM2=$gps_device" --record gps.vkd \
    --exit-after 6 2>err.txt
status=$?
check "the program ends cleanly (status $status)" test "$status" -eq 0
check "the recording is whole records" test $(($(stat -c %s gps.vkd) % 640)) -eq 0
"$bin/vkd" dump gps.vkd >gps.jsonl
check "the recording reads back" test $? -eq 0
check "records were written" test "$(wc -l <gps.jsonl)" -gt 20
check "only the good sentences' position is recorded" python3 - gps.jsonl <<'EOF'
import json, sys
positions = {}
for line in open(sys.argv[1]):
    p = json.loads(line)["position"]
    positions[p] = positions.get(p, 0) + 1
print("  positions recorded:", positions)
good = [p for p in positions if p is not None]
sys.exit(0 if len(good) == 1 and "48.07.038 N" in good[0] and "011.31.000 E" in good[0] else 1)
EOF

echo "gps_faults: $failures failed"
[ "$failures" -eq 0 ]
