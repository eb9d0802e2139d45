#!/usr/bin/env bash
# Two builds of the tools (this machine's and another architecture's, run under an emulator)
# give the same bytes: the synthetic recordings they write, and every product they make of one
# recording. A product is one line of the table below.
# Usage: same_output.sh BIN_DIR_A BIN_DIR_B
set -uo pipefail
a=$1
b=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/a" "$work/b"

# Recordings: name, then the options of vkd synth. Both models, both sides and one, a boat at
# anchor (speed correction draws almost nothing) and one at speed (many columns a ping).
recordings=(
    "g-both --model G --channel both --range 60 --speed 4.3 --pings 400"
    "g-port --model G --channel port --range 15 --speed 10 --pings 300"
    "h-both --model H --channel both --range 120 --speed 0.01 --pings 300"
    "h-stbd --model H --channel stbd --range 30 --speed 7.5 --pings 300"
)

# Products: name, then the arguments of vkd; IN is the recording, OUT.EXT the file written
# (the exports take their format from the extension). What the command prints is compared as
# well, with the folders of the recordings and of each side's outputs named DIR.
products=(
    "dump dump IN"
    "screen render IN -o OUT.png --grid --marks"
    "screen-speed render IN -o OUT.png --grid --marks --speed-correction --colors reverse-grey"
    "strip render IN -o OUT.png --strip --colors brown"
    "strip-speed render IN -o OUT.png --strip --speed-correction --marks --colors grey"
    "xtf export IN --xtf OUT.xtf"
    "xtf-placed export IN --xtf OUT.xtf --layback 12.5 --offset-starboard -1.5 --utc-offset 10"
    "gpx export IN --track OUT.gpx"
    "kml export IN --track OUT.kml"
    "geojson export IN --track OUT.geojson"
    "gpkg export IN --track OUT.gpkg"
    "csv export IN --track OUT.csv --layback 7"
    "mosaic mosaic IN -o OUT.tif --cell 0.25 --colors grey"
)

passes=0
failures=0
same() {  # same NAME FILE_A FILE_B
    if cmp "$2" "$3" >"$work/cmp" 2>&1; then
        passes=$((passes + 1))
    else
        echo "FAIL: $1 differs: $(cat "$work/cmp")"
        failures=$((failures + 1))
    fi
}

run() {  # run BIN_DIR SIDE RECORDING PRODUCT ARGS...: vkd's output in SIDE/, status checked
    local bin=$1 side=$2 recording=$3 product=$4
    shift 4
    local args=() arg
    for arg in "$@"; do
        case $arg in
            IN) args+=("$work/a/$recording.vkd") ;;
            OUT.*) args+=("$work/$side/$recording.$product.${arg#OUT.}") ;;
            *) args+=("$arg") ;;
        esac
    done
    if ! "$bin/vkd" "${args[@]}" >"$work/$side/$recording.$product.stdout"; then
        echo "FAIL: vkd ${args[*]} ($side)"
        failures=$((failures + 1))
    fi
    sed -i "s|$work/[ab]/|DIR/|g" "$work/$side/$recording.$product.stdout"
}

for line in "${recordings[@]}"; do
    read -r recording options <<<"$line"
    # shellcheck disable=SC2086 # the options are words
    "$a/vkd" synth -o "$work/a/$recording.vkd" $options
    # shellcheck disable=SC2086
    "$b/vkd" synth -o "$work/b/$recording.vkd" $options
    same "$recording recording" "$work/a/$recording.vkd" "$work/b/$recording.vkd"
    for product_line in "${products[@]}"; do
        read -r product command <<<"$product_line"
        # shellcheck disable=SC2086
        run "$a" a "$recording" "$product" $command
        # shellcheck disable=SC2086
        run "$b" b "$recording" "$product" $command
        same "$recording $product output" "$work/a/$recording.$product.stdout" \
            "$work/b/$recording.$product.stdout"
        for side in a b; do
            for file in "$work/$side/$recording.$product".*; do
                [ -e "$file" ] && [ "${file%.stdout}" = "$file" ] || continue
                # Each file once, whichever side wrote it (a file only one side wrote fails).
                [ "$side" = b ] && [ -e "$work/a/${file##*/}" ] && continue
                same "$recording $product file ${file##*.}" "$work/a/${file##*/}" \
                    "$work/b/${file##*/}"
            done
        done
    done
done

echo "same_output: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
