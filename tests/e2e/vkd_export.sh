#!/usr/bin/env bash
# vkd export of a synthetic survey, checked with the field's own readers: ogrinfo reads the
# GeoJSON, GeoPackage, KML and CSV tracks, gpsbabel the GPX; every line's vertices are the
# positions recorded at the fixes (within 1e-6 degree). Also: one XTF per input in a folder,
# the same bytes whatever the number of threads and the time of day, a damaged file reported
# with status 1 while the others are exported, and --help of every vkd command and of
# marlinray-sim.
# Usage: vkd_export.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin="$1"
source "$2/tests/e2e/lib/common.bash"
vkd="$bin/vkd"

"$vkd" synth -o "$work/a.vkd" --pings 900 --speed 5 >/dev/null
"$vkd" synth -o "$work/b.vkd" --pings 300 --model H --range 120 --channel port --speed 3 >/dev/null
for f in a b; do "$vkd" dump "$work/$f.vkd" >"$work/$f.jsonl"; done

# The recorded fixes of each file: the positions where the text changes, by an independent
# reading of the text (degrees, minutes, thousandths of a minute).
python3 - "$work" <<'PY'
import json, re, sys
work = sys.argv[1]
for name in ("a", "b"):
    fixes, last = [], None
    for line in open(f"{work}/{name}.jsonl"):
        text = json.loads(line)["position"]
        if text and text != last:
            m = re.fullmatch(r" (\d\d)\.(\d\d)\.(\d\d\d) ([NS])(\d\d\d)\.(\d\d)\.(\d\d\d) ([EW])", text)
            lat = int(m[1]) + (int(m[2]) + int(m[3]) / 1000) / 60
            lon = int(m[5]) + (int(m[6]) + int(m[7]) / 1000) / 60
            fixes.append((-lat if m[4] == "S" else lat, -lon if m[8] == "W" else lon))
        last = text
    json.dump(fixes, open(f"{work}/{name}.fixes", "w"))
PY

"$vkd" export "$work/a.vkd" "$work/b.vkd" --xtf "$work/xtf/" --track "$work/t.geojson" -j 2 \
    >"$work/out" 2>"$work/err"
check "export succeeds" test $? -eq 0
check "one summary line per file" test "$(wc -l <"$work/out")" -eq 2
check "summary names the pings" grep -q "a.vkd: 900 pings, 0 without position -> $work/xtf/a.xtf" "$work/out"
check "one XTF per input" test -s "$work/xtf/a.xtf" -a -s "$work/xtf/b.xtf"
for ext in gpx kml gpkg csv; do
    "$vkd" export "$work/a.vkd" "$work/b.vkd" --track "$work/t.$ext" -j 1 >/dev/null 2>&1
    check "track .$ext written" test -s "$work/t.$ext"
done

# Lines as ogrinfo reads them: every vertex is a recorded fix, in order.
compare_lines() {  # compare_lines FILE: ogrinfo's WKT lines against the recorded fixes
    ogrinfo -ro -al -q "$1" >"$work/ogrinfo.txt" 2>&1 || return 1
    python3 - "$work" "$work/ogrinfo.txt" <<'PY'
import json, re, sys
work, text = sys.argv[1], open(sys.argv[2]).read()
lines = re.findall(r"LINESTRING \(([^)]*)\)", text)
assert len(lines) == 2, f"{len(lines)} lines"
for name, line in zip(("a", "b"), lines):
    fixes = json.load(open(f"{work}/{name}.fixes"))
    vertices = [tuple(map(float, p.split()[:2])) for p in line.split(",")]
    assert len(vertices) == len(fixes), (name, len(vertices), len(fixes))
    for (lon, lat), (want_lat, want_lon) in zip(vertices, fixes):
        assert abs(lat - want_lat) <= 1e-6 and abs(lon - want_lon) <= 1e-6, (lat, lon, want_lat, want_lon)
assert re.search(r"name \(String\) = a\.vkd", text, re.I), "no name"
PY
}
check "GeoJSON read by ogrinfo" compare_lines "$work/t.geojson"
check "GeoPackage read by ogrinfo" compare_lines "$work/t.gpkg"
check "KML read by ogrinfo" compare_lines "$work/t.kml"

# GPX through gpsbabel: track points with their latitude and longitude.
gpsbabel -t -i gpx -f "$work/t.gpx" -o unicsv -F "$work/gpx.csv" 2>"$work/gpsbabel.err"
check "gpsbabel reads the GPX" test $? -eq 0
check "GPX points are the recorded fixes" python3 - "$work" <<'PY'
import csv, json, sys
work = sys.argv[1]
rows = list(csv.DictReader(open(f"{work}/gpx.csv")))
fixes = json.load(open(f"{work}/a.fixes")) + json.load(open(f"{work}/b.fixes"))
assert len(rows) == len(fixes), (len(rows), len(fixes))
for r, (lat, lon) in zip(rows, fixes):
    assert abs(float(r["Latitude"]) - lat) <= 1e-6 and abs(float(r["Longitude"]) - lon) <= 1e-6, (r, lat, lon)
PY

# CSV through ogrinfo: a row per ping; at the fixes the recorded position.
ogrinfo -ro -al -q "$work/t.csv" >"$work/csv.txt" 2>&1
check "CSV read by ogrinfo" test $? -eq 0
check "CSV rows are the pings" python3 - "$work" <<'PY'
import json, re, sys
work = sys.argv[1]
text = open(f"{work}/csv.txt").read()
features = re.split(r"OGRFeature\(\w+\):\d+", text)[1:]
assert len(features) == 1200, len(features)
def field(f, name):
    m = re.search(rf"^\s*{name} \(\w+\) = (.*)$", f, re.M)
    return m[1] if m else None
for name, first, count in (("a", 0, 900), ("b", 900, 300)):
    texts = [json.loads(l)["position"] for l in open(f"{work}/{name}.jsonl")]
    fixes = iter(json.load(open(f"{work}/{name}.fixes")))
    last = None
    for i in range(count):
        f = features[first + i]
        assert field(f, "file") == f"{name}.vkd" and int(field(f, "ping")) == i
        assert re.fullmatch(r"2024-05-14T09:3\d:\d\d\.\d\dZ", field(f, "time")), field(f, "time")
        if texts[i] != last:
            lat, lon = next(fixes)
            assert abs(float(field(f, "latitude")) - lat) <= 1e-6, (i, field(f, "latitude"), lat)
            assert abs(float(field(f, "longitude")) - lon) <= 1e-6
        last = texts[i]
        assert float(field(f, "altitude_port_metres")) == 8.0
PY

# The same bytes again: another thread count, a later second.
sleep 1.1
mkdir -p "$work/again"
"$vkd" export "$work/a.vkd" "$work/b.vkd" --xtf "$work/again/" --track "$work/again/t.gpkg" -j 1 \
    >/dev/null 2>&1
"$vkd" export "$work/a.vkd" "$work/b.vkd" --track "$work/again/t.geojson" -j 2 >/dev/null 2>&1
for f in xtf/a.xtf xtf/b.xtf t.gpkg t.geojson; do
    check "$f is the same bytes again" cmp -s "$work/$f" "$work/again/${f#xtf/}"
done

# A damaged file among good ones: reported, status 1, the others exported.
python3 - "$work/a.vkd" "$work/bad.vkd" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[640 * 3 + 4:640 * 3 + 6] = (50).to_bytes(2, "big")
open(sys.argv[2], "wb").write(data[:640 * 20 + 100])
PY
"$vkd" export "$work/bad.vkd" "$work/b.vkd" "$work/none.vkd" --xtf "$work/mixed/" >"$work/out" 2>"$work/err"
check "damaged file gives status 1" test $? -eq 1
check "damage reported" grep -q "bad.vkd: 1 unreadable records skipped; the file ends inside a record" "$work/err"
check "missing file reported" grep -q "none.vkd: No such file" "$work/err"
check "good file exported beside them" test -s "$work/mixed/b.xtf"
check "damaged file's good pings exported" grep -q "bad.vkd: 19 pings" "$work/out"

# Usage errors: status 2, the option named.
"$vkd" export "$work/a.vkd" >/dev/null 2>"$work/err"
check "nothing to export is a usage error" test $? -eq 2
"$vkd" export "$work/a.vkd" "$work/b.vkd" --xtf "$work/one.xtf" >/dev/null 2>"$work/err"
check "one XTF for two files is refused" test $? -eq 2
"$vkd" export "$work/a.vkd" --track "$work/t.shp" >/dev/null 2>"$work/err"
check "unknown track format is refused" grep -q -- "--track" "$work/err"
"$vkd" export "$work/a.vkd" --xtf "$work/x.xtf" --utc-offset 20 >/dev/null 2>"$work/err"
check "out-of-range offset names the option" bash -c "grep -q -- '--utc-offset' '$work/err'"

# Every command answers --help with its options and status 0.
for command in dump info synth render export; do
    "$vkd" "$command" --help >"$work/help" 2>&1
    check "vkd $command --help" test $? -eq 0
    check "vkd $command --help lists options" grep -q -- "--help" "$work/help"
done
"$vkd" --help >"$work/help" 2>&1
check "vkd --help" test $? -eq 0
check "vkd --help lists export" grep -q "export" "$work/help"
"$bin/marlinray-sim" --help >"$work/help" 2>&1
check "marlinray-sim --help" test $? -eq 0
check "marlinray-sim --help lists --garbage-every" grep -q -- "--garbage-every" "$work/help"

echo "$failures failed"
[ "$failures" -eq 0 ]
