#!/usr/bin/env bash
# Measures the CPU time of the program alone, live at 15 m against marlinray-sim in its own
# process, over SECONDS (30 by default) after a settling time: utime + stime of the program's
# process from /proc, as a share of one core, with the window's thread and the acquisition
# thread apart and the replies read meanwhile. RUNS runs (1 by default) are made one after
# the other and their median is printed last: on a virtual machine the cost of a wake-up
# depends on where the host runs the processors at the time, and single runs of the same
# build differ by a factor of two. The machine's load is printed beside each run, since
# other work on a shared machine shows in it.
# Usage: scripts/measure_live_cpu.sh [BIN_DIR] [SECONDS] [RUNS]
set -uo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
seconds=${2:-30}
runs=${3:-1}
hz=$(getconf CLK_TCK)
results=$(mktemp)
trap 'rm -f "$results"' EXIT

# user and system ticks of each thread, oldest first (the window's thread is the first).
thread_ticks() {
    local pid=$1 t
    for t in $(ls "/proc/$pid/task" | sort -n); do
        awk '{printf "%d %d ", $14, $15}' "/proc/$pid/task/$t/stat"
    done
}

measure_once() {
    local work sim="" device="" pid
    work=$(mktemp -d)
    mkdir -m 700 "$work/xdg"
    printf '[Settings]\nRunMode=0\nSSRange=0\n' >"$work/KELVANOR.INI"
    (cd "$work" && exec "$bin/marlinray-sim" --log >sim.log 2>/dev/null) &
    sim=$!
    for _ in $(seq 1 100); do
        device=$(awk '/^HEAD /{print $2; exit}' "$work/sim.log")
        [ -n "$device" ] && break
        sleep 0.05
    done
    (cd "$work" && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" exec "$bin/kelvanor" \
        --no-logo --unattended --port "COM1=$device" --exit-after $((seconds + 8)) 2>err.txt) &
    pid=$!
    sleep 5
    local before after c0 c1 load
    before=($(thread_ticks "$pid"))
    c0=$(grep -c '^CMD ' "$work/sim.log")
    sleep "$seconds"
    after=($(thread_ticks "$pid"))
    c1=$(grep -c '^CMD ' "$work/sim.log")
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    wait "$pid"
    kill "$sim" 2>/dev/null
    wait "$sim" 2>/dev/null
    grep 'head link' "$work/err.txt"
    rm -rf "$work"
    local user=0 system=0 i
    for ((i = 0; i < ${#after[@]}; i += 2)); do
        user=$((user + after[i] - ${before[i]:-0}))
        system=$((system + after[i + 1] - ${before[i + 1]:-0}))
    done
    local window=$((after[0] + after[1] - before[0] - before[1]))
    awk -v u="$user" -v k="$system" -v w="$window" -v hz="$hz" -v s="$seconds" -v c=$((c1 - c0)) \
        -v load="$load" -v out="$results" 'BEGIN {
            share = 100 * (u + k) / hz / s
            printf "live at 15 m: %.2f%% of one core (user %.2f%%, system %.2f%%; window thread %.2f%%, others %.2f%%); %d commands, %.1f per second; load average %s\n", share, 100 * u / hz / s, 100 * k / hz / s, 100 * w / hz / s, 100 * (u + k - w) / hz / s, c, c / s, load
            printf "%.2f\n", share >> out
        }'
}

for _ in $(seq 1 "$runs"); do measure_once; done
if [ "$runs" -gt 1 ]; then
    sort -n "$results" | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "median of %d runs: %.2f%% of one core (lowest %.2f%%, highest %.2f%%)\n", NR, m, v[1], v[NR]
    }'
fi
