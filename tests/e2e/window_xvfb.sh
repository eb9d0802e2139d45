#!/usr/bin/env bash
# The real window on a real X server (Xvfb, 24-bit screen), live from the demo's simulated
# head: the screenshot must show a waterfall that is not blank and a drawn control panel.
# Usage: window_xvfb.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run is missing (make deps installs it)"
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/xdg"
cd "$work"
printf '[Settings]\nRunMode=0\nSSRange=1\n' >KELVANOR.INI
# The X server's window, whatever platform the test suite chose for the others.
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/xdg" timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$bin/kelvanor" --no-logo --unattended --demo --exit-after 6 --screenshot shot.bmp \
    2>err.txt || { cat err.txt; exit 1; }
python3 "$src/tests/e2e/bmp_check.py" shot.bmp
# The panel below the waterfall: its background, its boxes and their texts.
python3 - shot.bmp <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
width, height = struct.unpack("<ii", data[18:26])
row = (width * 3 + 3) // 4 * 4
top = height - 600  # the client area is the bottom 600 rows
counts = {}
for y in range(top + 505, top + 598):
    start = 54 + (height - 1 - y) * row
    for x in range(0, 800):
        pixel = data[start + 3 * x:start + 3 * x + 3]
        counts[pixel] = counts.get(pixel, 0) + 1
total = sum(counts.values())
background, most = max(counts.items(), key=lambda item: item[1])
print(f"panel: {len(counts)} colours, background {background.hex()} on {100 * most // total}%")
if len(counts) < 4 or most > 0.97 * total or most < 0.3 * total:
    sys.exit("the panel is not drawn")
EOF
grep -q '^RunMode=0' KELVANOR.INI
echo "window under Xvfb: ok"
