#!/usr/bin/env bash
# End-to-end test of the vkd tool: synth, dump and info on real files, and the failures a
# person meets (bad arguments, missing, foreign and truncated files).
# Usage: vkd.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin="$1/vkd"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

check() {  # check NAME COMMAND...: the command must succeed
    local name=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $name"
        failures=$((failures + 1))
    fi
}

# expect_failure NAME FILE_IN_MESSAGE ARGS...: non-zero status, one line on stderr naming
# what failed, no crash (status below 128).
expect_failure() {
    local name=$1 needle=$2
    shift 2
    "$bin" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    if [ "$status" -eq 0 ] || [ "$status" -ge 128 ] || ! grep -qF -- "$needle" "$work/err" ||
        [ "$(wc -l <"$work/err")" -lt 1 ]; then
        echo "FAIL: $name (status $status)"
        cat "$work/err"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
}

check "synth G" "$bin" synth -o "$work/g.vkd" --pings 25 --range 30 --channel port --speed 6
check "synth H" "$bin" synth -o "$work/h.vkd" --pings 10 --model H --range 240
check "G file size" test "$(stat -c %s "$work/g.vkd")" -eq $((25 * 640))

"$bin" dump "$work/g.vkd" >"$work/g.jsonl"
check "dump succeeds" test $? -eq 0
check "dump fields" python3 - "$work/g.jsonl" <<'PY'
import json, sys
lines = open(sys.argv[1]).read().splitlines()
assert len(lines) == 25, len(lines)
keys = ["index", "offset", "size_code", "record_length", "reply_length", "date", "time",
        "seconds", "head_id", "side", "gain", "sample_bits", "frequency_code", "position",
        "position_valid", "ping_interval_ms", "speed_knots", "heading_degrees", "frequency",
        "channel_balance", "format_flag", "back_link", "reply"]
for i, line in enumerate(lines):
    r = json.loads(line)
    assert list(r) == keys, list(r)
    assert r["index"] == i and r["offset"] == 640 * i
    assert r["record_length"] == 640 and r["reply_length"] == 413 and r["size_code"] == 3
    assert r["date"] == "14-MAY-2024" and r["time"].startswith("09:30:0")
    assert r["head_id"] == 16 and r["side"] == 1 and r["gain"] == 12
    assert r["ping_interval_ms"] == 82 and r["position_valid"]
    assert len(r["position"]) == 24 and r["position"].endswith(" E")
    assert 5.0 < r["speed_knots"] < 7.0
    assert r["back_link"] == (640 if i == 0 else 1280)
    reply = bytes.fromhex(r["reply"])
    assert reply[:3] == b"QGZ" and reply[-1] == 0xFC and reply[7] == 30
PY

"$bin" info "$work/h.vkd" >"$work/info"
check "info succeeds" test $? -eq 0
check "info names the head" grep -q "H reply from an H head (10)" "$work/info"
check "info has no warning for a clean file" bash -c "! grep -q warning '$work/info'"

# A damaged file: the second record's length is cut to 50 bytes and the file ends early.
python3 - "$work/g.vkd" "$work/bad.vkd" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[640 + 4:640 + 6] = (50).to_bytes(2, "big")
open(sys.argv[2], "wb").write(data[:640 * 5 + 300])
PY
expect_failure "dump stops at an unreadable record" "record 1 at offset 640" dump "$work/bad.vkd"
check "dump printed the record before it" test "$(wc -l <"$work/out")" -eq 1
"$bin" info "$work/bad.vkd" >"$work/info" 2>&1
check "info reads past the bad record" grep -q "^records: 4" "$work/info"
check "info warns of the skip" grep -q "warning: record at offset 640 cannot be read" "$work/info"
check "info warns of the truncation" grep -q "warning: the file ends inside a record" "$work/info"

head -c 1000 "$work/g.vkd" >"$work/cut.vkd"
expect_failure "dump of a truncated file" "the file ends inside the record" dump "$work/cut.vkd"
printf 'vkd lower case' >"$work/foreign.vkd"
expect_failure "foreign file" "$work/foreign.vkd: not a data file" dump "$work/foreign.vkd"
: >"$work/empty.vkd"
expect_failure "empty file" "$work/empty.vkd" info "$work/empty.vkd"
expect_failure "missing file" "$work/none.vkd: No such file" info "$work/none.vkd"
expect_failure "directory" "Is a directory" dump "$work"
expect_failure "unwritable output" "No such file" synth -o "$work/no/such/dir.vkd"
expect_failure "bad model" "--model" synth -o "$work/x.vkd" --model Q
expect_failure "bad range" "--range" synth -o "$work/x.vkd" --range 45
expect_failure "bad pings" "--pings" synth -o "$work/x.vkd" --pings -3
expect_failure "missing value" "--output: 1 required TEXT missing" synth -o
expect_failure "no output" "--output is required" synth --pings 3
expect_failure "unknown command" "unknown command" frobnicate
expect_failure "dump without file" "FILE is required" dump

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
