#!/usr/bin/env bash
# End-to-end test of marlinray-sim: it announces its pseudo-terminal, answers 'G' and 'H'
# switch commands with whole replies, logs each command byte for byte, survives the port
# being closed and reopened, falls silent and speaks again on SIGUSR1, and ends on SIGTERM.
# Usage: headlink_sim.sh BIN_DIR SOURCE_DIR
set -uo pipefail
sim="$1/marlinray-sim"
work=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
passes=0

check() {  # check NAME COMMAND...: the command must succeed
    local name=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $name"
        failures=$((failures + 1))
    fi
}

# The default 'G' command (120 m, gain 6, both sides, low frequency, balance centred) and the
# 'H' command at 90 m.
g_command='\xfe\x44\x10\x96\x00\x00\x43\x03\x06\x01\x0a\x64\x64\x00\x64\x00\x00\x00\x00\x28\x08\x06\x00\x00\x00\x00\xfd'
g_logged="CMD fe 44 10 96 00 00 43 03 06 01 0a 64 64 00 64 00 00 00 00 28 08 06 00 00 00 00 fd"
h_command='\xfe\x44\x10\x5a\x00\x00\x43\x03\x06\x01\x0a\x64\x64\x00\x64\x00\x00\x00\x00\x32\x08\x06\x00\x00\x00\x00\xfd'

start_sim() {  # start_sim ARGS...: sets sim_pid and device
    "$sim" --log --ping-ms 5 "$@" >"$work/log" 2>"$work/err" &
    sim_pid=$!
    device=""
    for _ in $(seq 1 100); do
        device=$(awk '/^HEAD /{print $2; exit}' "$work/log")
        [ -n "$device" ] && break
        sleep 0.05
    done
}

stop_sim() {
    kill -TERM "$sim_pid"
    wait "$sim_pid"
    local status=$?
    sim_pid=""
    return $status
}

# ask COMMAND BYTES: opens the device, sends the command, reads up to BYTES bytes of reply.
ask() {
    exec 3<>"$device"
    stty -F "$device" raw -echo 2>/dev/null
    printf "$1" >&3
    timeout 2 head -c "$2" <&3 >"$work/reply"
    exec 3>&-
}

reply_size() { stat -c %s "$work/reply"; }
reply_byte() { od -An -tx1 -j "$1" -N1 "$work/reply" | tr -d ' '; }

check "help names the fault options" bash -c "'$sim' --help | grep -q -- --split"
"$sim" --no-such-option >/dev/null 2>&1
check "an unknown option is refused" test $? -eq 2

start_sim
check "announces a pseudo-terminal" test -c "$device"
ask "$g_command" 413
check "a 'G' command gets 413 bytes" test "$(reply_size)" -eq 413
check "the reply starts with QGZ" test "$(head -c 3 "$work/reply")" = "QGZ"
check "the reply ends with 0xFC" test "$(reply_byte 412)" = "fc"
check "the command is logged byte for byte" grep -qx "$g_logged" "$work/log"
# Closed and opened again, the terminal still answers.
ask "$g_command" 413
check "answers after the port was reopened" test "$(reply_size)" -eq 413
kill -USR1 "$sim_pid"
sleep 0.1
ask "$g_command" 1
check "silent after SIGUSR1" test "$(reply_size)" -eq 0
kill -USR1 "$sim_pid"
sleep 0.1
ask "$g_command" 413
check "speaks again after a second SIGUSR1" test "$(reply_size)" -eq 413
check "ends cleanly on SIGTERM" stop_sim

start_sim --model H
ask "$h_command" 513
check "an 'H' command gets 513 bytes" test "$(reply_size)" -eq 513
check "the 'H' reply carries 90 m" test "$(reply_byte 7)" = "5a"
check "the 'H' head sets status bit 0" test "$(( 0x$(reply_byte 4) & 1 ))" -eq 1
stop_sim

start_sim --silent-after 1 --trailing 5
ask "$g_command" 418
check "stray bytes follow the reply" test "$(reply_size)" -eq 418
ask "$g_command" 1
check "silent after the first answer" test "$(reply_size)" -eq 0
stop_sim

echo "headlink_sim: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
