#!/usr/bin/env bash
# The real window on a large X screen (2560 x 1600) under a window manager: enlarged to
# 1700 x 1320 it shows the client area at twice its size, each pixel doubled and centred; a
# click at the doubled position of the Hold box acts on it; maximised it stays at 2x, centred
# again; Options > Window Size > 1x gives back the window of before.
# Usage: window_scale_xvfb.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
source "$src/tests/e2e/lib/common.bash"
for tool in xvfb-run openbox xdotool xwininfo import; do
    command -v $tool >/dev/null || { echo "$tool is missing (make deps installs it)"; exit 1; }
done
cd "$work"
# HEAD mode on a port that does not exist: nothing moves on the screen between the shots.
printf '[Settings]\nRunMode=0\n' >KELVANOR.INI

cat >inside.sh <<'INSIDE'
set -euo pipefail
bin=$1
src=$2
openbox >/dev/null 2>&1 &
# The X server's window, whatever platform the test suite chose for the others.
QT_QPA_PLATFORM=xcb "$bin/kelvanor" --no-logo --unattended --port "COM1=$PWD/no-such-port" --exit-after 90 \
    2>err.txt &
program=$!
wid=$(timeout 30 xdotool search --sync --name "Kelvanor Marlinray" | head -1) || true
[ -n "$wid" ] || { echo "no window appeared"; exit 1; }
geometry() {  # X Y WIDTH HEIGHT of the window without its frame
    xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
wait_for_size() {  # wait_for_size WIDTH HEIGHT (either may be *)
    local x y w h
    for _ in $(seq 1 100); do
        read -r x y w h < <(geometry)
        [[ $w == $1 && $h == $2 ]] && { sleep 1; return 0; }
        sleep 0.1
    done
    echo "the window is ${w}x${h}, not $1x$2"
    return 1
}
shot() { import -window root -depth 8 "rgb:$1"; }
compare() { python3 "$src/tests/e2e/scaled_compare.py" 2560 "$@"; }

wait_for_size 792 '*'
read -r x y w h < <(geometry)
echo "at start: ${w}x${h} at $x,$y"
menu_bar=$((h - 600))
shot one.rgb
compare one.rgb "$x" $((y + menu_bar)) 1 one.rgb "$x" $((y + menu_bar)) 1

xdotool windowsize "$wid" 1700 1320
wait_for_size 1700 1320
read -r x2 y2 w2 h2 < <(geometry)
view_h=$((h2 - menu_bar))
left=$((x2 + (1700 - 1584) / 2))
top=$((y2 + menu_bar + (view_h - 1200) / 2))
shot two.rgb
compare one.rgb "$x" $((y + menu_bar)) 1 two.rgb "$left" "$top" 2
# The panel colour round the enlarged picture.
python3 - two.rgb "$x2" $((y2 + menu_bar)) "$left" "$top" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
vx, vy, left, top = map(int, sys.argv[2:])
def at(px, py):
    return data[(py * 2560 + px) * 3:(py * 2560 + px) * 3 + 3]
margin = {at(vx + 3, vy + 3), at(left - 1, top + 600), at(left + 1584, top + 600),
          at(left + 700, top + 1200)}
print("margin colour:", [m.hex() for m in margin])
if len(margin) != 1:
    sys.exit("the margin is not one colour")
PY

# The Hold box (103 < x < 147, 504 < y < 515) clicked at its doubled position.
xdotool mousemove $((left + 2 * 120 + 1)) $((top + 2 * 509 + 1)) click 1
sleep 1
shot hold.rgb
compare two.rgb "$left" "$top" 2 hold.rgb "$left" "$top" 2 100,500,150,520

# Maximised (a double click on the title bar): still 2x, centred in the larger window.
xdotool mousemove $((x2 + 600)) $((y2 - 8)) click --repeat 2 --delay 120 1
wait_for_size 2560 '*'
read -r x3 y3 w3 h3 < <(geometry)
echo "maximised: ${w3}x${h3} at $x3,$y3"
view_h=$((h3 - menu_bar))
shot max.rgb
compare hold.rgb "$left" "$top" 2 max.rgb $((x3 + (w3 - 1584) / 2)) \
    $((y3 + menu_bar + (view_h - 1200) / 2)) 2

# Options > Window Size > 1x.
xdotool key --window "$wid" alt+o
sleep 0.5
xdotool key w
sleep 0.5
xdotool key 1
wait_for_size "$w" "$h"
read -r x4 y4 w4 h4 < <(geometry)
shot back.rgb
compare hold.rgb "$left" "$top" 2 back.rgb "$x4" $((y4 + menu_bar)) 1
kill -TERM "$program"
wait "$program"
INSIDE

XDG_RUNTIME_DIR="$work/xdg" timeout 180 xvfb-run -a -s "-screen 0 2560x1600x24" \
    bash inside.sh "$bin" "$src" || { cat err.txt; exit 1; }
check "window size remembered" grep -qx 'Scale=1' KELVANOR.INI
[ "$failures" = 0 ] || exit 1
echo "scaled window under Xvfb: ok"
