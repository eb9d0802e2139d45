#!/usr/bin/env bash
# Soak run (not part of the CI): the program live at 15 m from a simulated head (the demo's
# head, run as marlinray-sim so that it logs every command) for SECONDS, recording all along.
# At the end it prints the accounting that shows whether a ping was lost:
#   commands sent      = commands the head received (its log)
#   records written    = records in the file (each one a whole 640-byte record)
#   no-data re-sends   = commands that got no reply; with a healthy head only the very last
#                        command (whose reply may still be on the line at the close) and none
#                        other, so commands = records + 1
# and the resident memory of the program at the start, every minute and at the end.
# Usage: scripts/soak.sh [BIN_DIR] [SECONDS]
set -uo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
seconds=${2:-600}
work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wait 2>/dev/null
    echo "files kept in $work"
}
trap cleanup EXIT
mkdir -m 700 "$work/xdg"
cd "$work"
printf '[Settings]\nRunMode=0\nSSRange=0\n' >KELVANOR.INI

"$bin/marlinray-sim" --log >sim.log 2>sim.err &
sim_pid=$!
device=""
for _ in $(seq 1 100); do
    device=$(awk '/^HEAD /{print $2; exit}' sim.log)
    [ -n "$device" ] && break
    sleep 0.05
done
[ -n "$device" ] || { echo "marlinray-sim did not start"; exit 1; }

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" "$bin/kelvanor" --no-logo --unattended \
    --port "COM1=$device" --record soak.vkd --exit-after "$seconds" 2>kelvanor.err &
pid=$!
rss() { awk '/^VmRSS/ {print $2 " " $3}' "/proc/$pid/status" 2>/dev/null; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null; }
sleep 5
echo "start: VmRSS $(rss), $(grep -c '^CMD ' sim.log) commands"
rss_start=$(rss)
elapsed=5
last_rss=$rss_start
while kill -0 "$pid" 2>/dev/null && [ "$elapsed" -lt $((seconds - 5)) ]; do
    step=$((seconds - 5 - elapsed))
    [ "$step" -gt 60 ] && step=60
    sleep "$step"
    elapsed=$((elapsed + step))
    now=$(rss)
    [ -n "$now" ] && last_rss=$now
    echo "after $elapsed s: VmRSS $now, $(grep -c '^CMD ' sim.log) commands, $(($(stat -c %s soak.vkd) / 640)) records, CPU $(cpu_ticks) ticks"
done
ticks=$(cpu_ticks)
wait "$pid"
status=$?
sleep 0.5
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null
sim_pid=""

commands=$(grep -c '^CMD ' sim.log)
bytes=$(stat -c %s soak.vkd)
records=$((bytes / 640))
"$bin/vkd" dump soak.vkd >/dev/null
dump_status=$?
echo
echo "program exit status       $status"
echo "seconds                   $seconds"
echo "commands sent             $commands"
echo "records written           $records ($bytes bytes, whole records: $([ $((bytes % 640)) -eq 0 ] && echo yes || echo NO), vkd dump status $dump_status)"
echo "commands without a record $((commands - records)) (1 expected: the reply in flight at the close)"
echo "pings per second          $(awk -v r="$records" -v s="$seconds" 'BEGIN {printf "%.1f", r / s}')"
echo "VmRSS at start            $rss_start"
echo "VmRSS at end              $last_rss"
echo "CPU                       $ticks ticks of $(getconf CLK_TCK) per second"
cat kelvanor.err
# The program's own accounting: commands sent = replies read + no-data re-sends (+ the one in
# flight at the close); records written = replies accepted (no REC Pause in a soak).
read -r sent replies accepted resends written < <(sed -n \
    's/.*head link: \([0-9]*\) commands sent, \([0-9]*\) replies read, \([0-9]*\) accepted, \([0-9]*\) no-data re-sends; \([0-9]*\) records written.*/\1 \2 \3 \4 \5/p' kelvanor.err)
echo "accounting                sent $sent = read $replies + re-sends $resends + in flight $((sent - replies - resends)); written $written of $accepted accepted"
[ "$status" -eq 0 ] && [ "$dump_status" -eq 0 ] && [ $((commands - records)) -le 1 ] &&
    [ $((sent - replies - resends)) -le 1 ] && [ "$written" -eq "$accepted" ] && [ "$written" -eq "$records" ]
