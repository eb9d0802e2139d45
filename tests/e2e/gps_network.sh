#!/usr/bin/env bash
# GPS from the network, end to end, beside the simulated head: a real gpsd (started by
# gpsfake on a private port and control socket) fed with a receiver's log; NMEA over TCP from a
# server that goes away and comes back with another receiver; NMEA datagrams over UDP. Each
# time the program records, and the positions of the logs must be in the records.
# Usage: gps_network.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
cd "$work"
corpus="$src/../shared/corpus/nmea"
first_log="$corpus/gr601-w.log"   # 40.02 N 075.31 W
second_log="$corpus/garmin48.log"  # southern and eastern hemispheres
feed="$src/tests/e2e/nmea_feed.py"

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The position texts the RMC sentences of a log give, one per line.
positions_of() {
    python3 - "$1" <<'PY'
import sys
for line in open(sys.argv[1], "rb"):
    f = line.decode("ascii", "replace").strip().split(",")
    if len(f) > 6 and f[0].endswith("RMC") and f[2] == "A" and f[3] and f[5]:
        lat, lon = f[3], f[5]
        print(f"{lat[:2]}.{lat[2:4]}.{lat[5:8]} {f[4]} {lon[:3]}.{lon[3:5]}.{lon[6:9]} {f[6]}")
PY
}
positions_of "$first_log" | sort -u >first.txt
positions_of "$second_log" | sort -u >second.txt

"$bin/marlinray-sim" >head.txt 2>/dev/null &
pids+=($!)
head_device=$(wait_for_line head.txt HEAD)

run_kelvanor() {  # run_kelvanor NAME SECONDS SOURCE: records NAME.vkd, stderr in NAME.err
    printf '[Settings]\nRunMode=0\nSSRange=0\nComPort=0\nGPSHeadingType=2\n' >KELVANOR.INI
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" timeout 90 "$bin/kelvanor" --no-logo \
        --unattended --port "COM1=$head_device" --gps "$3" --record "$1.vkd" \
        --exit-after "$2" 2>"$1.err"
    echo $? >"$1.status"
}

check_run() {  # check_run NAME: the run ended cleanly and its recording reads back
    local status
    status=$(cat "$1.status")
    check "$1: the program ends cleanly (status $status)" test "$status" -eq 0
    "$bin/vkd" dump "$1.vkd" >"$1.jsonl"
    check "$1: the recording reads back" test $? -eq 0
}

# Whether the records hold positions of LOG (and only of the logs given); with AFTER, a
# position of the last log comes after one of the first (the source came back).
recorded_positions() {  # recorded_positions JSONL EXPECTED... 
    python3 - "$@" <<'PY'
import json, sys
records = [json.loads(l) for l in open(sys.argv[1])]
sets = [set("".join(p.split()) for p in open(f).read().splitlines()) for f in sys.argv[2:]]
seen = ["".join(r["position"].split()) if r["position"] else None for r in records]
found = [i for i, p in enumerate(seen) if p is not None]
print(f"  {len(records)} records, {len(found)} with a position, {len(set(seen) - {None})} positions")
assert len(records) > 20, "too few records"
assert found, "no position recorded"
every = set().union(*sets)
strange = {p for p in seen if p is not None and p not in every}
assert not strange, f"positions not in the logs: {strange}"
last_of = [max((i for i, p in enumerate(seen) if p in s), default=-1) for s in sets]
first_of = [min((i for i, p in enumerate(seen) if p in s), default=-1) for s in sets]
assert all(i >= 0 for i in first_of), "a log's positions are missing"
if len(sets) == 2:
    assert first_of[1] > first_of[0], "the second source's positions did not follow the first's"
PY
}

# 1. gpsd, fed by gpsfake with the first log (gpsfake starts gpsd -N with its own port and
# control socket; -n makes it read the log before any client connects).
gpsd_port=$(free_port)
PATH="/usr/sbin:/sbin:$PATH" timeout 60 gpsfake -q -n -c 0.02 -P "$gpsd_port" "$first_log" \
    >gpsfake.out 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $gpsd_port), 0.2)" \
        2>/dev/null && break
    sleep 0.1
done
run_kelvanor gpsd 6 "gpsd://127.0.0.1:$gpsd_port"
check_run gpsd
check "gpsd: the log's positions are recorded" recorded_positions gpsd.jsonl first.txt

# 2. TCP: the server serves the first log to the program, goes away for 3 s, and comes back
# with the second.
tcp_port=$(free_port)
python3 "$feed" tcp "$tcp_port" "$first_log" 60 >tcp1.out &
tcp_pid=$!
pids+=($tcp_pid)
wait_for_line tcp1.out READY >/dev/null
run_kelvanor tcp 16 "tcp://127.0.0.1:$tcp_port" &
kelvanor_run=$!
for _ in $(seq 1 300); do
    grep -q CLIENT tcp1.out && break
    sleep 0.1
done
sleep 3
kill "$tcp_pid"
wait "$tcp_pid" 2>/dev/null
sleep 3
python3 "$feed" tcp "$tcp_port" "$second_log" 30 >tcp2.out &
pids+=($!)
wait "$kelvanor_run"
check_run tcp
check "tcp: positions from before and after the server's absence" \
    recorded_positions tcp.jsonl first.txt second.txt
check "tcp: the accounting shows the source lost" grep -q 'devices lost: head 0, GPS [1-9]' tcp.err

# 3. UDP datagrams.
udp_port=$(free_port)
python3 "$feed" udp "$udp_port" "$second_log" 30 >udp.out &
pids+=($!)
run_kelvanor udp 6 "udp://127.0.0.1:$udp_port"
check_run udp
check "udp: the log's positions are recorded" recorded_positions udp.jsonl second.txt

grep -h 'head link' ./*.err | sed 's/^/  /'
echo "gps_network: $failures failed"
[ "$failures" -eq 0 ]
