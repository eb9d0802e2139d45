#!/usr/bin/env bash
# Corrupt data files played by the real program, unattended: empty, shorter than a header,
# random bytes after a good start, record lengths of 0, 101, 1025 and 65535, and a reply
# longer than its record. The program must neither crash nor hang, must close cleanly and
# save its settings; vkd dump must read every good record, before and after the bad one, and
# report the bad one with exit 1.
# Usage: playback_faults.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/xdg"
cd "$work"
failures=0
check() {  # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then echo "ok: $name"; else echo "FAIL: $name"; failures=$((failures + 1)); fi
}

"$bin/vkd" synth -o good.vkd --pings 20 --range 30 >/dev/null
# make NAME PYTHON: NAME.vkd from the bytes of good.vkd in `b`, changed by the statement.
make() {
    python3 - "$1.vkd" "$2" <<'EOF'
import os, random, struct, sys
random.seed(7)
b = bytearray(open("good.vkd", "rb").read())
exec(sys.argv[2])
open(sys.argv[1], "wb").write(b)
EOF
}
make empty 'b = bytearray()'
make short_header 'b = b[:60]'
make random_tail 'b = b[:3 * 640] + bytearray(random.getrandbits(8) for _ in range(20000))'
for length in 0 101 1025 65535; do
    make "length_$length" "struct.pack_into('>H', b, 2 * 640 + 4, $length)"
done
make reply_beyond_record 'struct.pack_into(">H", b, 2 * 640 + 6, 600)'

play() {  # play NAME: the program plays NAME.vkd for 3 s; its exit status
    rm -f KELVANOR.INI
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" timeout 60 "$bin/kelvanor" \
        --no-logo --unattended --play "$1.vkd" --exit-after 3 2>"$1.err"
}

for name in empty short_header random_tail length_0 length_101 length_1025 length_65535 \
    reply_beyond_record; do
    play "$name"
    status=$?
    check "$name: the program plays it and closes cleanly (status $status)" test "$status" -eq 0
    check "$name: the settings are saved" grep -q '^RunMode=1' KELVANOR.INI
    "$bin/vkd" dump "$name.vkd" >"$name.jsonl" 2>"$name.dump_err"
    status=$?
    check "$name: vkd dump does not crash (status $status)" test "$status" -le 1
done
# Every record but the damaged third one is read: the dump goes on from the next record start.
for name in length_0 length_101 length_1025 length_65535 reply_beyond_record; do
    check "$name: the good records are dumped" test "$(wc -l <"$name.jsonl")" -eq 19
    check "$name: the damaged record is reported" grep -q "record 2 at offset 1280" \
        "$name.dump_err"
done
check "the random tail: the good records are dumped" test "$(wc -l <random_tail.jsonl)" -ge 3
check "an empty file is refused as no data file" grep -q "Data type is incorrect" empty.err

echo "playback_faults: $failures failed"
[ "$failures" -eq 0 ]
