#!/usr/bin/env bash
# The real window under a window manager (openbox on Xvfb), live from the demo's simulated
# head, handled as an operator would: the menu opened with the keyboard, the tool windows
# shown, the screen read back. Every text the panel draws in white is white, the tool windows
# open over the main window (not at the screen's corner), the panel font renders on the X
# server exactly as on the offscreen platform, and the panel layout test passes there too.
# Usage: window_wm.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
for tool in xvfb-run openbox xdotool xwininfo import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (make deps installs it)"; exit 1; }
done

# The font's rendering offscreen, to compare with the X server's below.
QT_QPA_PLATFORM=offscreen KELVANOR_FONT_FINGERPRINT="$work/font.offscreen" \
    "$bin/gui_tests" --gtest_filter='PanelFont.*' >"$work/font.offscreen.log" 2>&1
check "panel font tests offscreen" test $? -eq 0

cat >"$work/session.sh" <<'EOF'
#!/usr/bin/env bash
# Runs inside the X server: $1 binaries, $2 work folder.
set -u
bin=$1
work=$2
cd "$work"
openbox >openbox.log 2>&1 &
wm=$!
for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
QT_QPA_PLATFORM=xcb KELVANOR_FONT_FINGERPRINT="$work/font.xcb" \
    "$bin/gui_tests" --gtest_filter='PanelFont.*:PanelLayout.*' >gui_xcb.log 2>&1
echo "$?" >gui_xcb.status
QT_QPA_PLATFORM=xcb "$bin/kelvanor" --no-logo --unattended --demo --exit-after 40 \
    2>kelvanor.err &
program=$!
main=$(xdotool search --sync --onlyvisible --name '^Kelvanor Marlinray$' | head -1)
echo "$main" >main.id
sleep 4  # pings arrive and the image is blitted many times
xdotool windowactivate --sync "$main" 2>/dev/null
# Misc > Diagnostics, then Misc > Zoom, with the keyboard as an operator may.
xdotool key alt+m && sleep 0.5 && xdotool key d && sleep 1
xdotool windowactivate --sync "$main" 2>/dev/null
xdotool key alt+m && sleep 0.5 && xdotool key z && sleep 1
# The pointer away from the waterfall, so that the read-outs show the live values.
xdotool mousemove 1200 1000
sleep 2
xwininfo -id "$main" >main.info
for name in Diagnostics 'Zoom x3'; do
    id=$(xdotool search --onlyvisible --name "^$name\$" | head -1)
    if [ -n "$id" ]; then xwininfo -id "$id" >"tool.$name.info"; fi
done
xdotool windowraise "$main" 2>/dev/null
sleep 1
import -window root -depth 8 screen.ppm
kill "$program" 2>/dev/null
wait "$program"
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
EOF
(cd "$work" && XDG_RUNTIME_DIR="$work/xdg" timeout 180 xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash "$work/session.sh" "$bin" "$work" >"$work/session.log" 2>&1)

check "the panel layout and font tests pass on the X server" \
    test "$(cat "$work/gui_xcb.status" 2>/dev/null)" = 0
grep -q '^\[  FAILED' "$work/gui_xcb.log" 2>/dev/null && cat "$work/gui_xcb.log"
check "the panel font renders alike offscreen and on the X server" \
    cmp "$work/font.offscreen" "$work/font.xcb"
check "the screen was read back" test -s "$work/screen.ppm"
check "white texts are white, the tool windows open over the main window" \
    python3 - "$work" <<'PY'
import re, sys
work = sys.argv[1]

def geometry(path):
    text = open(path).read()
    value = lambda key: int(re.search(key + r":\s+(-?\d+)", text).group(1))
    return (value("Absolute upper-left X"), value("Absolute upper-left Y"),
            value("Width"), value("Height"))

data = open(f"{work}/screen.ppm", "rb").read()
fields = data.split(maxsplit=4)
assert fields[0] == b"P6" and fields[3] == b"255", "not an 8-bit PPM"
screen_width, pixels = int(fields[1]), fields[4]
def pixel(x, y):
    at = 3 * (y * screen_width + x)
    return tuple(pixels[at:at + 3])

mx, my, mw, mh = geometry(f"{work}/main.info")
# The client area is the bottom 600 rows of the main window, below its menu bar.
cx, cy = mx, my + mh - 600
faults = []
# Labels and value texts drawn in white on the panel (client coordinates, generous boxes).
areas = {"DATA FROM": (8, 503, 80, 521), "Range": (161, 501, 200, 520),
         "Hold": (118, 502, 150, 520), "LAT": (656, 521, 685, 537),
         "LNG": (656, 536, 685, 553), "range value": (161, 521, 205, 555)}
for name, (x0, y0, x1, y1) in areas.items():
    colours = [pixel(cx + x, cy + y) for y in range(y0, y1) for x in range(x0, x1)]
    white = sum(c == (255, 255, 255) for c in colours)
    dark_red = sum(c == (127, 0, 0) for c in colours)
    if white == 0 or dark_red > 0:
        faults.append(f"{name}: {white} white, {dark_red} dark red pixels")
for name, offset in (("Diagnostics", 10), ("Zoom x3", 2)):
    try:
        tx, ty, tw, th = geometry(f"{work}/tool.{name}.info")
    except OSError:
        faults.append(f"{name} did not open")
        continue
    # The window manager's frame may sit round the requested place: within 40 pixels.
    if abs(tx - (cx + offset)) > 40 or abs(ty - (cy + offset)) > 40:
        faults.append(f"{name} at ({tx}, {ty}), the main window's client area at ({cx}, {cy})")
    if name == "Diagnostics" and tw < 170:
        faults.append(f"Diagnostics is {tw} pixels wide")
print("\n".join(faults) if faults else "white texts white, tool windows in place")
sys.exit(1 if faults else 0)
PY

echo "window_wm: $failures failed"
[ "$failures" -eq 0 ]
