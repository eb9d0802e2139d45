#!/usr/bin/env bash
# Faults on the head's line, each a real run of the program recording from marlinray-sim:
# the head falls silent mid-recording and resumes; garbage replies; stray bytes after every
# reply (replies longer than expected); replies split across reads; short replies;
# corrupted terminators (made by a tap on the line); and SIGTERM while recording. Each run
# must end cleanly, the recording must read back whole, and every good reply the head sent
# must be in it.
#
# The accounting of a run: every command the head received was answered (unless the fault
# says otherwise), every reply but the last one (which may still be on its way at the close)
# was read, and every good one of them recorded.
# Usage: headlink_faults.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"

printf '[Settings]\nRunMode=0\nSSRange=1\n' >"$work/KELVANOR.INI"  # 30 m: about 45 ms a ping

sim_pid=""
tap_pid=""
line=""  # the device the program opens
# start_line NAME [--tap TAP_ARGS...] -- SIM_ARGS...
start_line() {
    local name=$1
    shift
    local tap_args=()
    if [ "${1:-}" = "--tap" ]; then
        shift
        while [ "$1" != "--" ]; do tap_args+=("$1"); shift; done
    fi
    [ "${1:-}" = "--" ] && shift
    "$bin/marlinray-sim" --log "$@" >"$work/$name.log" 2>"$work/$name.simerr" &
    sim_pid=$!
    pids+=("$sim_pid")
    line=$(wait_for_line "$work/$name.log" HEAD)
    tap_pid=""
    if [ ${#tap_args[@]} -gt 0 ]; then
        python3 "$src/tests/e2e/pty_tap.py" "$line" "${tap_args[@]}" >"$work/$name.tap" &
        tap_pid=$!
        pids+=("$tap_pid")
        line=$(wait_for_line "$work/$name.tap" TAP)
    fi
}

stop_line() {
    if [ -n "$tap_pid" ]; then kill "$tap_pid"; wait "$tap_pid" 2>/dev/null; fi
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null
}

program() {  # program NAME SECONDS: records to NAME.vkd; status in NAME.status
    (cd "$work" && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" timeout 60 \
        "$bin/kelvanor" --no-logo --unattended --port "COM1=$line" --record "$1.vkd" \
        --exit-after "$2" 2>"$work/$1.err")
    echo "$?" >"$work/$1.status"
}

commands() { grep -c '^CMD ' "$work/$1.log"; }
records() { echo $(($(stat -c %s "$work/$1.vkd") / 640)); }

ends_whole() {  # the run ended cleanly and its recording reads back whole, record by record
    local name=$1
    [ "$(cat "$work/$name.status")" -eq 0 ] &&
        [ $(($(stat -c %s "$work/$name.vkd") % 640)) -eq 0 ] &&
        "$bin/vkd" dump "$work/$name.vkd" >"$work/$name.jsonl" &&
        ! grep -v '"reply":"51\(47\|48\)5a[0-9a-f]*fc"' "$work/$name.jsonl" | grep -q .
}

# every_nth_lost NAME N: reply n of the head is bad when n is a multiple of N; all others but
# the last one are in the recording.
every_nth_lost() {
    local c r
    c=$(commands "$1")
    r=$(records "$1")
    echo "  $1: $c commands, $r records"
    [ "$c" -gt 10 ] &&
        { [ "$r" -eq $((c - 1 - (c - 1) / $2)) ] || [ "$r" -eq $((c - c / $2)) ]; }
}

# --- the head falls silent mid-recording, then resumes
start_line silence --tap --replies "$work/silence.sent" --
(sleep 3; kill -USR1 "$sim_pid"; sleep 4; kill -USR1 "$sim_pid") &
pids+=($!)
program silence 11
stop_line
check "silence: ends whole" ends_whole silence
check "silence: every reply the head sent is recorded" \
    python3 "$src/tests/e2e/reply_check.py" replies "$work/silence.sent" "$work/silence.jsonl"
# 4 s of silence: the command goes out again once a second from the first to the third
# counted second, so 2 to 4 re-sends.
resends=$(($(commands silence) - $(python3 -c "import os; print(os.path.getsize('$work/silence.sent') // 413)")))
echo "  silence: $resends commands without a reply"
check "silence: the command is re-sent about once a second" test "$resends" -ge 2 -a "$resends" -le 5
check "silence: recording goes on after the head speaks again" python3 - "$work/silence.jsonl" <<'EOF'
import json, sys
seconds = [int(r["time"][0:2]) * 3600 + int(r["time"][3:5]) * 60 + int(r["time"][6:8])
           for r in map(json.loads, open(sys.argv[1]))]
gaps = [(b - a, i) for i, (a, b) in enumerate(zip(seconds, seconds[1:]))]
gap, at = max(gaps)
sys.exit(0 if gap >= 3 and len(seconds) - at > 20 else 1)
EOF

# --- garbage instead of every 5th reply
start_line garbage -- --garbage-every 5
program garbage 4
stop_line
check "garbage: ends whole" ends_whole garbage
check "garbage: every good reply recorded" every_nth_lost garbage 5

# --- stray bytes after every reply: longer than the program asks for
start_line trailing -- --trailing 37
program trailing 4
stop_line
check "stray bytes: ends whole" ends_whole trailing
check "stray bytes: every reply recorded" every_nth_lost trailing 1000000

# --- replies split across many reads
start_line split --tap --replies "$work/split.sent" -- --split 7 --split-gap-ms 4
program split 4
stop_line
check "split replies: ends whole" ends_whole split
check "split replies: the recording holds the replies the head sent" \
    python3 "$src/tests/e2e/reply_check.py" replies "$work/split.sent" "$work/split.jsonl"

# --- every 6th reply cut short: it never completes, the no-data path asks again
start_line short -- --short-every 6 --short-by 30
program short 9
stop_line
check "short replies: ends whole" ends_whole short
check "short replies: every whole reply recorded" every_nth_lost short 6

# --- the terminator of every 4th reply corrupted on the line
start_line badend --tap --replies "$work/badend.sent" --bad-end-every 4 --
program badend 4
stop_line
check "corrupted terminators: ends whole" ends_whole badend
check "corrupted terminators: every good reply recorded" every_nth_lost badend 4

# --- SIGTERM while recording: whole records, the file closed, the settings saved
start_line sigterm --
rm -f "$work/KELVANOR.INI"
(cd "$work" && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" exec \
    "$bin/kelvanor" --no-logo --unattended --port "COM1=$line" --record sigterm.vkd \
    2>"$work/sigterm.err") &
program_pid=$!
pids+=("$program_pid")
sleep 6  # start-up (the delay calibration) takes one to two seconds of it
kill -TERM "$program_pid"
for _ in $(seq 1 200); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2>/dev/null; then
    echo "  SIGTERM: the program still runs 20 s after the signal"
    kill -KILL "$program_pid"
fi
wait "$program_pid"
echo "$?" >"$work/sigterm.status"
stop_line
check "SIGTERM: ends cleanly with whole records" ends_whole sigterm
check "SIGTERM: records were written" test "$(records sigterm)" -gt 10
check "SIGTERM: the record file is closed" grep -q "^Close Record File: sigterm.vkd" "$work/sigterm.err"
check "SIGTERM: the settings are saved" grep -q '^RunMode=0' "$work/KELVANOR.INI"

echo "headlink_faults: $failures failed"
[ "$failures" -eq 0 ]
