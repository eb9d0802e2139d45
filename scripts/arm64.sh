#!/usr/bin/env bash
# The ARM64 pass of the continuous integration (make arm64), after make test and make check:
# - the program, the tools, the core tests and the fuzz replays cross-built for 64-bit ARM in
#   BUILD/ (the GUI tests and the benchmarks run natively only);
# - the program answers --version, the core tests, the fuzz corpora and the tools' end-to-end
#   scripts run under qemu's user-mode emulation;
# - the same recordings dumped and rendered by the native and the ARM64 tools give the same
#   bytes (tests/cross/same_output.sh).
# With --package, the arm64 .deb is built instead (make package-arm64), in BUILD/.
# Usage: scripts/arm64.sh [--package] [BUILD] [NATIVE_BUILD] [JOBS]
set -euo pipefail
cd "$(dirname "$0")/.."
package=false
if [ "${1:-}" = --package ]; then
    package=true
    shift
fi
build=${1:-build-arm64}
native=${2:-build}
jobs=${3:-$(nproc)}

step() { printf '\n== %s\n' "$*"; }

step "ARM64 cross build in $build"
# GDAL's arm64 libraries are unpacked beside the build (scripts/arm64_gdal.sh): the linker
# and qemu (also where the build runs the tests to list them) are told where.
gdal_root=$(realpath -m "$build-gdal")
gdal_lib="$gdal_root/usr/lib/aarch64-linux-gnu/libgdal.so"
gdal_path="$gdal_root/usr/lib/aarch64-linux-gnu:$gdal_root/usr/lib"
qemu=$(command -v qemu-aarch64-static || command -v qemu-aarch64)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
    -DFindGDAL_SKIP_GDAL_CONFIG=ON -DGDAL_INCLUDE_DIR=/usr/include/gdal -DGDAL_LIBRARY="$gdal_lib" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$qemu;-E;LD_LIBRARY_PATH=$gdal_path" \
    -DCMAKE_EXE_LINKER_FLAGS="-Wl,-rpath-link,${gdal_path//:/ -Wl,-rpath-link,}" \
    -DCPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS="${gdal_path//:/;}" \
    -DKELVANOR_DEB_DEPENDS="$(grep -w '^libgdal' "$gdal_root/shlibs" | cut -d' ' -f3- | head -n 1)"

if $package; then
    step "the arm64 package"
    cmake --build "$build" -j "$jobs" --target installable
    (cd "$build" && cpack -G DEB)
    exit 0
fi

# Only what this pass runs: the GUI tests and the benchmarks stay with the native build.
targets=(kelvanor vkd marlinray-sim core_tests)
for fuzz in fuzz/fuzz_*.cpp; do
    name=${fuzz##*/fuzz_}
    targets+=("replay_${name%.cpp}")
done
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# Every binary behind a launcher that runs it under qemu, so that scripts taking a binary
# folder run the ARM64 build unchanged (and without binfmt_misc, which a container may lack).
run="$build/qemu-bin"
mkdir -p "$run"
for exe in "$build"/bin/*; do
    [ -f "$exe" ] && [ -x "$exe" ] || continue
    printf '#!/bin/sh\nexec %s -E LD_LIBRARY_PATH=%s %s "$@"\n' "$qemu" "$gdal_path" \
        "$(realpath "$exe")" >"$run/${exe##*/}"
    chmod +x "$run/${exe##*/}"
done
run=$(cd "$run" && pwd)

step "the program is an ARM64 binary and answers --version under qemu"
file "$build/bin/kelvanor" | tee /dev/stderr | grep 'ARM aarch64' >/dev/null
"$run/kelvanor" --version | tee /dev/stderr | grep -x "kelvanor [0-9.]*" >/dev/null

step "unit tests under qemu"
# The live head-link suites answer a simulated head on a pseudo-terminal within wall-clock
# time-outs that code emulated several times slower than the machine does not keep; they run
# natively in make test (and natively on a board).
"$run/core_tests" --gtest_brief=1 --gtest_filter='-HeadLink.*:HHeadLink.*:GarblingHeadLink.*:*FaultyHeadLink.*'

step "fuzz corpora replayed under qemu"
for replay in "$run"/replay_*; do
    "$replay" "fuzz/corpus/${replay##*/replay_}"
done

step "end-to-end scripts of the tools under qemu"
for script in tests/e2e/*.sh; do
    # Scripts that start the Qt program stay with the native build.
    if grep -qE '/kelvanor[" ]' "$script"; then continue; fi
    echo "-- $script"
    bash "$script" "$run" "$(pwd)"
done

step "the same outputs natively and on ARM64"
bash tests/cross/same_output.sh "$(cd "$native/bin" && pwd)" "$run"

step "make arm64: all passed"
