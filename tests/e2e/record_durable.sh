#!/usr/bin/env bash
# Durable recording, end to end, against the simulated head: under strace, the record file
# must be flushed with fdatasync while recording (not only at the close), and a SIGKILL in the
# middle of a recording must leave whole records that read back.
# Usage: record_durable.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
cd "$work"

"$bin/marlinray-sim" >head.txt 2>/dev/null &
pids+=($!)
head_device=$(wait_for_line head.txt HEAD)
printf '[Settings]\nRunMode=0\nSSRange=0\nComPort=0\n' >KELVANOR.INI

# 1. Flushes while recording: strace names the file each fdatasync reaches (-y).
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" timeout 90 strace -f -y -ttt -qq \
    -e trace=fdatasync -o trace.txt "$bin/kelvanor" --no-logo --unattended \
    --port "COM1=$head_device" --record synced.vkd --exit-after 8 2>err.txt
check "the program ends cleanly under strace" test $? -eq 0
check "the record file is flushed while recording" python3 - trace.txt <<'PY'
import sys
times = [float(l.split()[1]) for l in open(sys.argv[1])
         if "fdatasync(" in l and "synced.vkd>" in l and "= 0" in l]
gaps = [b - a for a, b in zip(times, times[1:])]
print(f"  {len(times)} flushes of the record file; longest gap "
      f"{max(gaps) if gaps else float('nan'):.2f} s (the syncer's interval is 0.5 s)")
# About six seconds of recording: a flush each second at the least, allowing for the start.
assert len(times) >= 5, "too few flushes"
PY

# 2. SIGKILL in the middle of a recording.
# The program itself is the background job (exec), so that the kill reaches it; the exit
# after 60 s only bounds a run whose kill went wrong.
(exec env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" "$bin/kelvanor" --no-logo \
    --unattended --port "COM1=$head_device" --record killed.vkd --exit-after 60 2>/dev/null) &
kelvanor_pid=$!
for _ in $(seq 1 100); do
    [ "$(stat -c %s killed.vkd 2>/dev/null || echo 0)" -gt 20000 ] && break
    sleep 0.1
done
kill -KILL "$kelvanor_pid"
wait "$kelvanor_pid" 2>/dev/null
size=$(stat -c %s killed.vkd)
check "the killed recording holds records ($size bytes)" test "$size" -gt 20000
check "the killed recording is whole records" test $((size % 640)) -eq 0
"$bin/vkd" dump killed.vkd >killed.jsonl
check "the killed recording reads back" test $? -eq 0
check "every record read back" test "$(wc -l <killed.jsonl)" -eq $((size / 640))

echo "record_durable: $failures failed"
[ "$failures" -eq 0 ]
