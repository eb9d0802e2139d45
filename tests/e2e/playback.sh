#!/usr/bin/env bash
# Plays a synthetic recording unattended in the real program and checks that it exits
# cleanly and that the screenshot shows a waterfall.
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$bin/vkd" synth -o line.vkd --pings 400 --range 60
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" timeout 60 "$bin/kelvanor" --no-logo --unattended \
    --play line.vkd --exit-after 3 --screenshot shot.bmp
python3 "$src/tests/e2e/bmp_check.py" shot.bmp
grep -q '^RunMode=1' KELVANOR.INI
echo "playback end-to-end: ok"
