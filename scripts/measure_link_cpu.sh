#!/usr/bin/env bash
# Measures the CPU time the program uses in HEAD mode when the head does not answer: once with
# a silent head, once with a head whose every reply is cut short, so that stray bytes always
# wait in the input queue. Prints utime + stime over SECONDS of each.
# Usage: scripts/measure_link_cpu.sh [BIN_DIR] [SECONDS]
set -uo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
seconds=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/xdg"
cd "$work"
hz=$(getconf CLK_TCK)

measure() {  # measure LABEL SIM_ARGS...
    local label=$1
    shift
    printf '[Settings]\nRunMode=0\n' >KELVANOR.INI
    "$bin/marlinray-sim" --log "$@" >sim.log 2>/dev/null &
    local sim=$!
    local device=""
    for _ in $(seq 1 100); do
        device=$(awk '/^HEAD /{print $2; exit}' sim.log)
        [ -n "$device" ] && break
        sleep 0.05
    done
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" "$bin/kelvanor" --no-logo \
        --unattended --port "COM1=$device" --exit-after $((seconds + 6)) 2>/dev/null &
    local pid=$!
    sleep 4
    local t0 t1
    t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$seconds"
    t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    wait "$pid"
    kill "$sim"
    wait "$sim" 2>/dev/null
    awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" -v l="$label" -v c="$(grep -c '^CMD ' sim.log)" \
        'BEGIN { printf "%s: %d ticks in %d s = %.2f%% of one core (%d commands)\n", l, d, s, 100 * d / hz / s, c }'
}

measure "silent head" --silent
measure "stray bytes queued (every reply 100 bytes short)" --short-every 1 --short-by 100
measure "stray bytes queued (every reply 400 bytes short)" --short-every 1 --short-by 400
