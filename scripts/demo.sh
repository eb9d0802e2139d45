#!/usr/bin/env bash
# Runs the program's main job: live acquisition from the simulated head (a pseudo-terminal
# served inside the program, used as COM1). With a display, the window opens and runs until it
# is closed. Without one it runs headless for a few seconds, saves a screenshot and says where.
set -euo pipefail
build_dir=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/$build_dir/bin"
out="$top/demo-out"
mkdir -p "$out"
cd "$out"
# A first demo starts at the shortest range, where pings come fastest.
[ -f KELVANOR.INI ] || printf '[Settings]\nSSRange=0\nAlongTrackMarks=1\n' > KELVANOR.INI

if [ -n "${DISPLAY:-}" ]; then
    exec "$bin/kelvanor" --demo "${@:2}"
fi

shot="$out/kelvanor-demo.bmp"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
QT_QPA_PLATFORM=offscreen "$bin/kelvanor" --demo --no-logo --unattended \
    --exit-after "${DEMO_SECONDS:-10}" --screenshot "$shot" "${@:2}"
echo "Screenshot of the main window: $shot"
