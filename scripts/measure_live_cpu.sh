#!/usr/bin/env bash
# Measures the CPU time of the program alone, live at 15 m against marlinray-sim in its own
# process, over SECONDS (30 by default) after a settling time: utime + stime of the program's
# process from /proc, as a share of one core, with the replies it read meanwhile. The machine's
# load at the time is printed beside it, since other work on a shared machine shows in it. The
# system share is mostly the cost of the wake-ups (four waits and one wake-up of the window
# per ping); on a virtual machine whose other processors are idle, each one costs far more.
# Usage: scripts/measure_live_cpu.sh [BIN_DIR] [SECONDS]
set -uo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
seconds=${2:-30}
work=$(mktemp -d)
sim=""
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -m 700 "$work/xdg"
cd "$work"
hz=$(getconf CLK_TCK)

printf '[Settings]\nRunMode=0\nSSRange=0\n' >KELVANOR.INI
"$bin/marlinray-sim" --log >sim.log 2>/dev/null &
sim=$!
device=""
for _ in $(seq 1 100); do
    device=$(awk '/^HEAD /{print $2; exit}' sim.log)
    [ -n "$device" ] && break
    sleep 0.05
done
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" "$bin/kelvanor" --no-logo --unattended \
    --port "COM1=$device" --exit-after $((seconds + 8)) 2>err.txt &
pid=$!
sleep 5
read -r u0 s0 < <(awk '{print $14, $15}' "/proc/$pid/stat")
c0=$(grep -c '^CMD ' sim.log)
sleep "$seconds"
read -r u1 s1 < <(awk '{print $14, $15}' "/proc/$pid/stat")
c1=$(grep -c '^CMD ' sim.log)
load=$(cut -d' ' -f1-3 /proc/loadavg)
wait "$pid"
awk -v u=$((u1 - u0)) -v k=$((s1 - s0)) -v hz="$hz" -v s="$seconds" -v c=$((c1 - c0)) -v load="$load" \
    'BEGIN { d = u + k; printf "live at 15 m: %d ticks in %d s = %.2f%% of one core (user %.2f%%, system %.2f%%; %d commands, %.1f per second; load average %s)\n", d, s, 100 * d / hz / s, 100 * u / hz / s, 100 * k / hz / s, c, c / s, load }'
grep 'head link' err.txt
