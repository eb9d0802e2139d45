#!/usr/bin/env bash
# The layer check on copies of the source tree: the tree as it is passes; an include of a
# folder above fails the check with the file and line named, and fails the build before any
# core file is compiled; a layer table with a cycle is refused.
#   layer_check_test.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

copy_tree() {
    mkdir -p "$1"
    (cd "$src" && tar cf - --exclude='build*' CMakeLists.txt cmake scripts packaging tools \
        $(sed -n 's/^\([a-z_]*\):.*/\1/p' cmake/layers.txt)) | (cd "$1" && tar xf -)
}
check() {
    python3 "$1/scripts/check_layers.py" "$1" "$1/cmake/layers.txt" \
        "$1/cmake/layer_exceptions.txt"
}
fail() {
    echo "FAIL: $*"
    exit 1
}

copy_tree "$work/clean"
check "$work/clean" || fail "the tree as it is does not pass"

# ping/ is below control/: including the program's header from there is an arrow upwards.
copy_tree "$work/upward"
printf '#include "control/program.h"\n' >>"$work/upward/ping/echo_conversion.h"
set +e
out=$(check "$work/upward" 2>&1)
status=$?
set -e
[ "$status" = 1 ] || fail "an upward include gave status $status, not 1"
grep -q 'ping/echo_conversion.h:[0-9]*: ping/ includes control/program.h' <<<"$out" ||
    fail "the arrow is not named: $out"

# A core folder may not reach the window either.
copy_tree "$work/window"
printf '#include "app/application.h"\n' >>"$work/window/gps/nmea_parser.cpp"
mkdir -p "$work/window/app"
set +e
check "$work/window" >/dev/null 2>&1
status=$?
set -e
[ "$status" = 1 ] || fail "an include of app/ gave status $status, not 1"

# A table whose dependencies go round in a circle is refused.
copy_tree "$work/cycle"
sed -i 's/^platform:.*/platform: control/' "$work/cycle/cmake/layers.txt"
set +e
check "$work/cycle" >/dev/null 2>&1
status=$?
set -e
[ "$status" = 2 ] || fail "a cyclic table gave status $status, not 2"

# The build runs the check before it compiles the core: the upward include fails it.
if cmake -S "$work/upward" -B "$work/upward/build" -G Ninja -DKELVANOR_QT=OFF \
    -DKELVANOR_TESTS=OFF >"$work/configure.log" 2>&1; then
    set +e
    cmake --build "$work/upward/build" --target kelvanor_platform >"$work/build.log" 2>&1
    status=$?
    set -e
    [ "$status" != 0 ] || fail "the build with an upward include succeeded"
    grep -q 'ping/ includes control/program.h' "$work/build.log" ||
        fail "the build failed for another reason: $(tail -20 "$work/build.log")"
    ! grep -q 'Building CXX' "$work/build.log" || fail "core files were compiled before the check"
else
    fail "the copy does not configure: $(tail -20 "$work/configure.log")"
fi
echo "layer check: ok"
