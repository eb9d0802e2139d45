#!/usr/bin/env bash
# Measures the CPU time the program uses while idle in FILE mode with no file open: starts it
# headless in a scratch folder, lets it settle, then reads its CPU ticks over a window.
set -euo pipefail
bin=${1:-build/bin}
seconds=${2:-10}
bin=$(cd "$bin" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf '[Settings]\nRunMode=1\n' > KELVANOR.INI
QT_QPA_PLATFORM=offscreen "$bin/kelvanor" --no-logo --exit-after $((seconds + 5)) 2>/dev/null &
pid=$!
sleep 3
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
t0=$(ticks)
sleep "$seconds"
t1=$(ticks)
hz=$(getconf CLK_TCK)
wait "$pid"
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "idle CPU in FILE mode without a file: %d ticks in %d s = %.2f%% of one core\n", d, s, 100 * d / hz / s }'
