#!/usr/bin/env bash
# End-to-end test of the live head link: the real program records from marlinray-sim through
# a tap that keeps every byte the head sent. Every command the head received must be the one
# the INI's settings give, and the recording must hold the head's replies as sent (a 'G'
# head's range code turned into metres), in order, none lost. An 'H' head is recognised from
# its first reply to a 'G' command and asked in its own form from then on.
# Usage: headlink_record.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"

# run NAME SECONDS SIM_ARGS...: the program against the simulator through the tap, recording
# to NAME.vkd; leaves NAME.log (simulator), NAME.sent (head bytes), NAME.jsonl (vkd dump).
run() {
    local name=$1 seconds=$2
    shift 2
    "$bin/marlinray-sim" --log "$@" >"$work/$name.log" 2>"$work/$name.simerr" &
    local sim=$!
    pids+=("$sim")
    local device
    device=$(wait_for_line "$work/$name.log" HEAD)
    python3 "$src/tests/e2e/pty_tap.py" "$device" --replies "$work/$name.sent" \
        >"$work/$name.tap" &
    local tap=$!
    pids+=("$tap")
    local tap_device
    tap_device=$(wait_for_line "$work/$name.tap" TAP)
    (cd "$work" && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" timeout 60 \
        "$bin/kelvanor" --no-logo --unattended --port "COM1=$tap_device" \
        --record "$name.vkd" --exit-after "$seconds" 2>"$work/$name.err")
    echo "$?" >"$work/$name.status"
    kill "$tap" "$sim"
    wait "$tap" "$sim" 2>/dev/null
    "$bin/vkd" dump "$work/$name.vkd" >"$work/$name.jsonl"
    echo "$?" >"$work/$name.dump_status"
}

# 30 m, gain 12, port side, high frequency, balance +1 dB, delay 7.
cat >"$work/KELVANOR.INI" <<'EOF'
[Settings]
RunMode=0
SSRange=1
SSGain=12
SSTrain=2
Frequency=1
ChannelBalance=40
SSDelay=7
EOF
g_command="fe 44 10 28 00 00 43 01 0c 01 14 59 70 00 64 00 00 00 00 28 08 06 00 00 03 01 fd"
h_command="fe 44 10 1e 00 00 43 01 0c 01 14 59 70 00 64 00 00 00 00 32 08 06 00 00 03 01 fd"

run g 4
check "the program ends cleanly" test "$(cat "$work/g.status")" -eq 0
check "the recording reads back whole" test "$(cat "$work/g.dump_status")" -eq 0
check "every command is the one the settings give" \
    python3 "$src/tests/e2e/reply_check.py" commands "$work/g.log" "$g_command"
check "the recording holds the replies the head sent" \
    python3 "$src/tests/e2e/reply_check.py" replies "$work/g.sent" "$work/g.jsonl"
# High frequency: byte 43 of every record holds the command's frequency code 20, byte 76
# the frequency 1.
high_frequency_records() {
    python3 - "$1" <<'PY'
import json, sys
records = [json.loads(line) for line in open(sys.argv[1])]
codes = {(r["frequency_code"], r["frequency"]) for r in records}
sys.exit(0 if records and codes == {(20, 1)} else f"{len(records)} records, {codes}")
PY
}
check "every record carries the high-frequency code" high_frequency_records "$work/g.jsonl"
check "the record file is closed and named" grep -q "^Close Record File: g.vkd" "$work/g.err"
check "the settings are saved" grep -q '^SSGain=12' "$work/KELVANOR.INI"

run h 4 --model H
check "an 'H' head: the program ends cleanly" test "$(cat "$work/h.status")" -eq 0
check "an 'H' head: the recording reads back whole" test "$(cat "$work/h.dump_status")" -eq 0
check "an 'H' head: the first command is a 'G' command" \
    test "$(awk '/^CMD /{print substr($0, 5); exit}' "$work/h.log")" = "$g_command"
# The command sent at once after the first reply is built before that reply is processed:
# it is still a 'G' command. From the first 'H' command on, only 'H' commands.
check "an 'H' head: taken up after its first 'G' replies" test "$(awk -v h="CMD $h_command" \
    '$0 == h {seen = 1} /^CMD / && seen && $0 != h {n++} END {print seen && n == 0}' \
    "$work/h.log")" -eq 1
check "an 'H' head: commands of both forms and no other" \
    python3 "$src/tests/e2e/reply_check.py" commands "$work/h.log" "$g_command" "$h_command"
check "an 'H' head: the recording holds the replies the head sent" \
    python3 "$src/tests/e2e/reply_check.py" replies "$work/h.sent" "$work/h.jsonl" \
    --model-change
check "an 'H' head: every record carries the high-frequency code" \
    high_frequency_records "$work/h.jsonl"
check "an 'H' head: 513-byte replies recorded" grep -q '"reply_length":513' "$work/h.jsonl"

echo "headlink_record: $failures failed"
[ "$failures" -eq 0 ]
