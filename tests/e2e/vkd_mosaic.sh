#!/usr/bin/env bash
# vkd mosaic of synthetic surveys, checked with GDAL's own readers: the UTM zone and
# hemisphere (37 S, 54 N), the Cloud-Optimized layout with alpha, every target of the truth
# file within 2 m, the swath's width and centre, two lines in opposite directions agreeing,
# the KMZ overlay, skipped turns, a bad file among good ones, and the same bytes with any -j.
set -uo pipefail
bin="$(cd "$1" && pwd)"
src="${2:-$(cd "$(dirname "$0")/../.." && pwd)}"
source "$src/tests/e2e/lib/common.bash"
check_py() { python3 "$src/tests/e2e/mosaic_check.py" "$@"; }
cd "$work" || exit 1

# Ground range of the synthetic head at 60 m over a seabed 8 m below: sqrt(60^2 - 8^2).
ground=59.46
synth() { "$bin/vkd" synth --range 60 --fix-interval 1000 "$@" >/dev/null; }

# 37 S 145 E, northwards; a second line southwards 400 m further north and 30 m east that
# sees the first line's targets.
synth -o south.vkd --pings 1500 --latitude -37.8 --longitude 145.0 --heading 0 --truth south.json
synth -o back.vkd --pings 1700 --latitude -37.7964 --longitude 145.00034 --heading 180 \
    --targets south.json --truth back.json
# 54 N 10 E, north-east.
synth -o north.vkd --pings 1500 --latitude 54.35 --longitude 10.1167 --heading 45 --truth north.json
"$bin/vkd" dump south.vkd >south.jsonl
"$bin/vkd" dump north.vkd >north.jsonl

check "south mosaic with a KMZ" "$bin/vkd" mosaic south.vkd -o south.tif --kmz south.kmz
check "south: EPSG 32755, COG, grey and alpha" check_py info south.tif 32755 2
check "south: every target within 2 m" check_py targets south.tif south.json
check "south: swath twice the ground range, centred" check_py swath south.tif south.jsonl 700 $ground
check "north mosaic" "$bin/vkd" mosaic north.vkd -o north.tif -j 1
check "north: EPSG 32632, COG, grey and alpha" check_py info north.tif 32632 2
check "north: every target within 2 m" check_py targets north.tif north.json
check "north: swath twice the ground range, centred" check_py swath north.tif north.jsonl 900 $ground
check "north in colour" "$bin/vkd" mosaic north.vkd -o colour.tif --colors brown --gain 6
check "colour: RGB and alpha" check_py info colour.tif 32632 4

check "two lines, one mosaic" "$bin/vkd" mosaic south.vkd back.vkd -o both.tif
# Both lines average into the cells of a target: the smallest ones blur there.
check "two lines: the second line's targets within 2 m" check_py targets both.tif back.json 2
check "one mosaic per line" "$bin/vkd" mosaic south.vkd back.vkd --each -o each
check "opposite lines put the same target within 2 m" \
    check_py same back.json each/south.tif each/back.tif

kmz_ok() {
    python3 - south.kmz <<'PY'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = z.namelist()
assert "doc.kml" in names, names
assert any(n.endswith(".png") for n in names), names
assert b"GroundOverlay" in b"".join(z.read(n) for n in names if n.endswith(".kml"))
print(f"{sys.argv[1]}: {len(names)} entries with ground overlays")
PY
}
check "KMZ holds ground overlays" kmz_ok

# The same bytes for the same input, with one thread or two.
check "two lines with -j 1" "$bin/vkd" mosaic south.vkd back.vkd -o both1.tif -j 1
check "two lines with -j 2" "$bin/vkd" mosaic south.vkd back.vkd -o both2.tif -j 2
check "same bytes whatever -j" cmp both1.tif both2.tif
check "same bytes as the first run" cmp both.tif both1.tif

# Lines joined by turns: --skip-turns leaves the turning pings out.
synth -o turns.vkd --pings 3000 --latitude -37.8 --longitude 145.0 --heading 0 \
    --line-length 150 --line-spacing 80
"$bin/vkd" mosaic turns.vkd -o all.tif >all.txt
"$bin/vkd" mosaic turns.vkd -o straight.tif --skip-turns 1 >straight.txt
check "without --skip-turns nothing is left out" grep -q ", 0 in turns" all.txt
check "--skip-turns leaves the turns out" grep -Eq ", [1-9][0-9]+ in turns" straight.txt

# A bad file is reported, the others are mosaicked, and the status is 1.
printf 'not a recording' >bad.vkd
"$bin/vkd" mosaic bad.vkd south.vkd -o partial.tif 2>bad.txt >/dev/null
status=$?
check "a bad file gives status 1" test "$status" = 1
check "the bad file is named" grep -q "bad.vkd: not a data file" bad.txt
check "the good file is still mosaicked" check_py targets partial.tif south.json
usage_status() { "$bin/vkd" mosaic "$@" 2>/dev/null >/dev/null; test $? = 2; }
check "no output file is a usage error" usage_status south.vkd
check "a bad --colors is a usage error" usage_status south.vkd -o x.tif --colors pink
check "a cell of 0 is a usage error" usage_status south.vkd -o x.tif --cell 0

echo "vkd mosaic: $failures failed"
test "$failures" = 0
