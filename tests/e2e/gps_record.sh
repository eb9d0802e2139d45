#!/usr/bin/env bash
# Records live pings with a GPS: the real program against marlinray-sim's head and receiver on
# pseudo-terminals. The record file must carry positions, speed and heading that move along
# the simulated track.
set -euo pipefail
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

"$bin/marlinray-sim" --gps --speed-knots 6 >sim.out 2>sim.err &
sim_pid=$!
for _ in $(seq 1 100); do
    grep -q '^GPS ' sim.out 2>/dev/null && break
    sleep 0.05
done
head_dev=$(awk '/^HEAD /{print $2}' sim.out)
gps_dev=$(awk '/^GPS /{print $2}' sim.out)
[ -n "$head_dev" ] && [ -n "$gps_dev" ] || { echo "marlinray-sim did not start"; exit 1; }

# 15 m, RMC for the position, speed from the GPS (the default).
printf '[Settings]\nSSRange=0\nGPSHeadingType=2\n' > KELVANOR.INI
mkdir -m 700 runtime
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" timeout 60 "$bin/kelvanor" --no-logo --unattended \
    --port "COM1=$head_dev" --port "COM2=$gps_dev" --record line.vkd --exit-after 8

"$bin/vkd" dump line.vkd > dump.jsonl
python3 - dump.jsonl <<'PY'
import json, sys
records = [json.loads(line) for line in open(sys.argv[1])]
assert len(records) > 20, f"only {len(records)} records"
with_position = [r for r in records if r["position"] is not None]
assert len(with_position) > len(records) // 3, "few records carry a position"
assert all(r["position_valid"] for r in with_position), "a recorded position fails the check"
positions = [r["position"] for r in with_position]
assert len(set(positions)) >= 2, "the position does not move"
speeds = {round(r["speed_knots"], 1) for r in with_position}
assert any(abs(s - 6.0) < 0.6 for s in speeds), f"speed from the GPS not recorded: {speeds}"
assert any(r["heading_degrees"] != 0 for r in with_position), "no heading recorded"
print(f"gps_record: {len(records)} records, {len(set(positions))} positions, speeds {sorted(speeds)}")
PY
