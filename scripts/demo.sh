#!/usr/bin/env bash
# Runs the program's main job. With a display, the window opens and runs until it is closed.
# Without one it runs headless for a few seconds, saves a screenshot and says where.
set -euo pipefail
build_dir=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/$build_dir/bin"
out="$top/demo-out"
mkdir -p "$out"
cd "$out"

if [ -n "${DISPLAY:-}" ]; then
    exec "$bin/kelvanor" "${@:2}"
fi

shot="$out/kelvanor-demo.bmp"
QT_QPA_PLATFORM=offscreen "$bin/kelvanor" --no-logo --exit-after "${DEMO_SECONDS:-5}" \
    --screenshot "$shot" "${@:2}"
echo "Screenshot of the main window: $shot"
