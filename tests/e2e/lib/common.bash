# Shared set-up of the end-to-end scripts, sourced after `bin` is set: a private work folder
# (kept when KEEP is set), background processes in `pids` ended at exit, a private runtime
# folder for Qt in $work/xdg, and the check and wait helpers.

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    if [ -n "${KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
mkdir -m 700 "$work/xdg"

failures=0
check() {  # check NAME COMMAND...: the command must succeed
    local name=$1
    shift
    if "$@"; then echo "ok: $name"; else echo "FAIL: $name"; failures=$((failures + 1)); fi
}

wait_for_line() {  # wait_for_line FILE WORD: prints the second field of the line "WORD x"
    local value=""
    for _ in $(seq 1 100); do
        value=$(awk -v w="$2" '$1 == w {print $2; exit}' "$1")
        [ -n "$value" ] && break
        sleep 0.05
    done
    echo "$value"
}
