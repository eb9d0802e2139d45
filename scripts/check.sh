#!/usr/bin/env bash
# The sanitizer pass of the continuous integration (make check):
# - AddressSanitizer with UndefinedBehaviorSanitizer: the core, the tools and the Qt-free tests
#   built once in BUILD-asan/; the unit tests, the fuzz corpora replayed, and the end-to-end
#   scripts that need only the tools (not the Qt program) run against that build;
# - ThreadSanitizer: the unit tests built in BUILD-tsan/ and run whole (about half a minute):
#   among them those of the threads (acquisition, GPS reader, recording, the program's
#   run-mode switch and Record Start/Stop under live pings). Qt is not instrumented, so only
#   Qt-free binaries run under it.
# Usage: scripts/check.sh [BUILD_DIR] [JOBS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${2:-$(nproc)}
asan="$build-asan"
tsan="$build-tsan"

configure() {  # configure DIR SANITIZERS
    if [ ! -f "$1/build.ninja" ]; then
        cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANOR_QT=OFF \
            -DKELVANOR_SANITIZE="$2"
    fi
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$(cd "$(dirname "$0")" && pwd)/tsan.supp"

step() { printf '\n== %s\n' "$*"; }

step "AddressSanitizer and UndefinedBehaviorSanitizer build"
configure "$asan" address,undefined
cmake --build "$asan" -j "$jobs"

step "unit tests under ASan+UBSan"
"$asan/bin/core_tests" --gtest_brief=1

step "fuzz corpora replayed under ASan+UBSan"
for replay in "$asan"/bin/replay_*; do
    name=${replay##*/replay_}
    "$replay" "fuzz/corpus/$name"
done

step "end-to-end scripts of the tools under ASan+UBSan"
for script in tests/e2e/*.sh; do
    # Scripts that start the Qt program need the full build; make test runs them.
    if grep -qE '/kelvanor[" ]' "$script"; then continue; fi
    echo "-- $script"
    bash "$script" "$(cd "$asan/bin" && pwd)" "$(pwd)"
done

step "ThreadSanitizer build of the unit tests"
configure "$tsan" thread
cmake --build "$tsan" -j "$jobs" --target core_tests

step "unit tests, the threading ones among them, under TSan"
"$tsan/bin/core_tests" --gtest_brief=1

step "make check: all passed"
