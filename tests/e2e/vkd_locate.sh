#!/usr/bin/env bash
# vkd locate on a synthetic survey with a truth file: every target the survey passes is found
# within 3 m of where the truth places it; the contact files it writes are read by ogrinfo
# (GeoJSON, KML, CSV) and gpsbabel (GPX) with the coordinates of contacts.csv; a ping
# without a place gives a contact without one; bad requests fail with a reason.
# Usage: vkd_locate.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin="$1"
source "$2/tests/e2e/lib/common.bash"
vkd="$bin/vkd"

"$vkd" synth -o "$work/s.vkd" --pings 900 --speed 5 --truth "$work/truth.json" >/dev/null
check "synth writes the truth" test -s "$work/truth.json"

# Each target the survey passes: its side's slant range at the truth's across-track distance
# on every third ping; the nearest of those places must lie within 3 m of the truth.
python3 - "$work" >"$work/requests" <<'PY'
import json, math, sys
work = sys.argv[1]
targets = json.load(open(f"{work}/truth.json"))["targets"]
altitude = 8.0  # the synthetic survey's height above the seabed
for i, t in enumerate(targets):
    if t["side"] is None:
        continue
    side = "port" if t["side"] == "port" else "stbd"
    slant = math.hypot(t["across_metres"], altitude)
    args = []
    for ping in range(0, 900, 3):
        args += ["--ping", str(ping), "--side", side, "--range", f"{slant:.3f}"]
    print(i, " ".join(args))
PY
check "the survey passes targets" test -s "$work/requests"
nearest_ok=1
while read -r index args; do
    # shellcheck disable=SC2086
    "$vkd" locate "$work/s.vkd" $args >"$work/located" 2>"$work/err" || { nearest_ok=0; cat "$work/err"; }
    python3 - "$work" "$index" <<'PY' || nearest_ok=0
import json, math, sys
work, index = sys.argv[1], int(sys.argv[2])
t = json.load(open(f"{work}/truth.json"))["targets"][index]
best = 1e9
for line in open(f"{work}/located"):
    c = json.loads(line)
    if c["latitude"] is None:
        continue
    north = (c["latitude"] - t["latitude"]) * 111132.0
    east = (c["longitude"] - t["longitude"]) * 111320.0 * math.cos(math.radians(t["latitude"]))
    best = min(best, math.hypot(north, east))
print(f"target {index}: nearest contact {best:.2f} m from the truth")
assert best <= 3.0
PY
done <"$work/requests"
check "every passed target located within 3 m of the truth" test $nearest_ok -eq 1

# Several contacts into one folder; one inside the water column has no place.
"$vkd" locate "$work/s.vkd" --ping 100 --side port --range 30 --note 'rock, "big"' \
    --ping 450 --side stbd --range 42.5 --note 'wreck <A>' \
    --ping 0 --side port --range 4 --note 'near' \
    --ping 899 --side stbd --range 60 --note 'far' \
    --write "$work/c" >"$work/located" 2>"$work/err"
check "locate writes the contact files" test $? -eq 0
check "one JSON line per contact" test "$(wc -l <"$work/located")" -eq 4
for f in csv geojson kml gpx; do check "contacts.$f written" test -s "$work/c/contacts.$f"; done
check "nothing but the four files" test "$(ls "$work/c" | wc -l)" -eq 4

python3 - "$work" >"$work/csv_points" <<'PY'
import csv, json, sys
work = sys.argv[1]
rows = list(csv.DictReader(open(f"{work}/c/contacts.csv")))
located = [json.loads(l) for l in open(f"{work}/located")]
assert len(rows) == 4, len(rows)
for r, j in zip(rows, located):
    assert r["note"] == j["note"], (r["note"], j["note"])
    if j["latitude"] is None:
        assert r["latitude"] == "" and r["longitude"] == "", r
        continue
    assert abs(float(r["latitude"]) - j["latitude"]) <= 1e-8
    assert abs(float(r["longitude"]) - j["longitude"]) <= 1e-8
    print(r["note"], r["latitude"], r["longitude"])
PY
check "contacts.csv holds what locate printed" test $? -eq 0
check "the contact in the water column has no place" \
    grep -q '"note":"near","latitude":null,"longitude":null,"has_position":false,"no_position":"inside the water column"' "$work/located"

same_points() {  # same_points FILE: ogrinfo's points and names against contacts.csv
    ogrinfo -ro -al -q "$1" >"$work/ogr.txt" 2>&1 || return 1
    python3 - "$work" <<'PY'
import re, sys
work = sys.argv[1]
text = open(f"{work}/ogr.txt").read()
points = [tuple(map(float, m)) for m in re.findall(r"POINT \(([-\d.]+) ([-\d.]+)\)", text)]
want = [l.rsplit(" ", 2) for l in open(f"{work}/csv_points").read().splitlines()]
assert len(points) == len(want), (points, want)
for (lon, lat), (note, wlat, wlon) in zip(points, want):
    assert abs(lat - float(wlat)) <= 1e-8 and abs(lon - float(wlon)) <= 1e-8, (lat, lon, wlat, wlon)
    assert note in text, note
PY
}
check "ogrinfo reads contacts.geojson" same_points "$work/c/contacts.geojson"
check "ogrinfo reads contacts.kml" same_points "$work/c/contacts.kml"
check "ogrinfo reads contacts.csv" bash -c "ogrinfo -ro -al -q '$work/c/contacts.csv' | grep -c 'note (String)' | grep -qx 4"

gpsbabel -i gpx -f "$work/c/contacts.gpx" -o unicsv -F "$work/gpx.csv" 2>"$work/gpsbabel.err"
check "gpsbabel reads contacts.gpx" test $? -eq 0
check "GPX waypoints are the contacts with a place" python3 - "$work" <<'PY'
import csv, sys
work = sys.argv[1]
rows = list(csv.DictReader(open(f"{work}/gpx.csv")))
want = [l.rsplit(" ", 2) for l in open(f"{work}/csv_points").read().splitlines()]
assert len(rows) == len(want), (rows, want)
for r, (note, lat, lon) in zip(rows, want):
    assert r["Name"] == note, (r["Name"], note)
    assert abs(float(r["Latitude"]) - float(lat)) <= 1e-6, (r, lat)
    assert abs(float(r["Longitude"]) - float(lon)) <= 1e-6, (r, lon)
PY

# Killed while writing: a loop rewriting the contact files is killed (SIGKILL) at random
# moments; every contact file there is whole, and no half file takes its name.
# The kills come after the first write, however long one takes on this machine (several times
# longer under an emulator): one run is timed first.
rewrite="'$vkd' locate '$work/s.vkd' --ping 100 --side port --range 30 \
    --ping 200 --side stbd --range 40 --write '$work/k' >/dev/null 2>&1"
start=$(date +%s%N)
bash -c "$rewrite"
one_run_ms=$((($(date +%s%N) - start) / 1000000))
whole=1
killed_with_files=0
for round in $(seq 1 12); do
    rm -rf "$work/k"
    setsid bash -c "while :; do $rewrite; done" &
    victim=$!
    delay_ms=$((one_run_ms + RANDOM % 500 + 300))
    sleep "$((delay_ms / 1000)).$(printf %03d $((delay_ms % 1000)))"
    kill -9 -- "-$victim" 2>/dev/null
    wait "$victim" 2>/dev/null
    [ -d "$work/k" ] || continue
    killed_with_files=$((killed_with_files + 1))
    python3 - "$work/k" <<'PY' || whole=0
import csv, json, os, sys
import xml.etree.ElementTree as ET
folder = sys.argv[1]
for name in os.listdir(folder):
    path = os.path.join(folder, name)
    if not name.startswith("contacts.") or name.count(".") > 1:
        continue  # a temporary file: never under a contact file's name
    text = open(path).read()
    if name.endswith(".csv"):
        assert text.endswith("\n"), name
        assert len(list(csv.DictReader(open(path)))) == 2, name
    elif name.endswith(".geojson"):
        json.loads(text)
    else:
        ET.fromstring(text)
PY
done
check "SIGKILL during the rewrites leaves every contact file whole" test $whole -eq 1
check "... with files there to check" test $killed_with_files -gt 0

# Requests that cannot be answered.
"$vkd" locate "$work/s.vkd" --ping 5000 --side port --range 10 >/dev/null 2>"$work/err"
check "a record past the end fails" test $? -eq 1
check "... naming it" grep -q "no record 5000" "$work/err"
"$vkd" locate "$work/s.vkd" --ping 3 --side port --range 999 >/dev/null 2>"$work/err"
check "a range beyond the ping's fails" test $? -eq 1
"$vkd" locate "$work/s.vkd" --ping 3 --side middle --range 10 >/dev/null 2>"$work/err"
check "an unknown side is a usage error" test $? -eq 2
"$vkd" locate "$work/s.vkd" --ping 3 --ping 4 --side port --range 10 >/dev/null 2>"$work/err"
check "--side and --range once per --ping" test $? -eq 2

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
