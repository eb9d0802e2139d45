#!/usr/bin/env python3
"""Checks a mosaic GeoTIFF with GDAL's own command-line readers (gdalinfo, gdallocationinfo).

  mosaic_check.py info MOSAIC EPSG BANDS
      the coordinate system, the COG layout, tiles, overviews and the alpha band
  mosaic_check.py targets MOSAIC TRUTH.json [MIN_LENGTH]
      every target the truth file says the recording passes (and at least MIN_LENGTH metres
      long) shows its bright face or its shadow within 2 m of its true position
  mosaic_check.py swath MOSAIC DUMP.jsonl INDEX GROUND_RANGE
      across the track at the first fix at or after record INDEX of `vkd dump`'s output:
      covered as wide as twice the ground range, centred on the track
  mosaic_check.py same TRUTH.json MOSAIC_A MOSAIC_B
      each target seen by both lines lands within 2 m in both mosaics
"""
import json
import math
import subprocess
import sys
import xml.etree.ElementTree as ET

RADIUS = 2.0


def metres_per_degree(lat):
    # WGS84 meridian and prime-vertical radii of curvature.
    a, e2 = 6378137.0, 6.69437999014e-3
    s = math.sin(math.radians(lat))
    w = math.sqrt(1 - e2 * s * s)
    north = math.radians(1) * a * (1 - e2) / w ** 3
    east = math.radians(1) * a * math.cos(math.radians(lat)) / w
    return north, east


def offset(lat, lon, north, east):
    mn, me = metres_per_degree(lat)
    return lat + north / mn, lon + east / me


def sample(path, points):
    """Values of every band at WGS84 points (lat, lon); None outside the raster."""
    text = "".join(f"{lon:.9f} {lat:.9f}\n" for lat, lon in points)
    out = subprocess.run(["gdallocationinfo", "-xml", "-wgs84", path], input=text,
                         capture_output=True, text=True, check=True).stdout
    root = ET.fromstring("<Reports>" + out + "</Reports>")
    values = []
    for report in root.findall("Report"):
        bands = report.findall("BandReport")
        values.append(tuple(int(b.find("Value").text) for b in bands) if bands else None)
    if len(values) != len(points):
        fail(f"gdallocationinfo answered {len(values)} of {len(points)} points")
    return values


def info(path):
    return json.loads(subprocess.run(["gdalinfo", "-json", path], capture_output=True,
                                     text=True, check=True).stdout)


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def check_info(path, epsg, bands):
    j = info(path)
    wkt = j["coordinateSystem"]["wkt"]
    if not wkt.rstrip().endswith(f'ID["EPSG",{epsg}]]'):
        fail(f"{path}: coordinate system is not EPSG:{epsg}")
    if j["metadata"].get("IMAGE_STRUCTURE", {}).get("LAYOUT") != "COG":
        fail(f"{path}: not laid out as a Cloud-Optimized GeoTIFF")
    if j["metadata"]["IMAGE_STRUCTURE"].get("COMPRESSION") != "DEFLATE":
        fail(f"{path}: not compressed")
    if len(j["bands"]) != int(bands):
        fail(f"{path}: {len(j['bands'])} bands, expected {bands}")
    for band in j["bands"]:
        if band["type"] != "Byte" or band["block"] != [256, 256]:
            fail(f"{path}: band {band['band']} is not 8-bit in 256 x 256 tiles")
        if not band.get("overviews"):
            fail(f"{path}: band {band['band']} has no overviews")
    alpha = j["bands"][-1]
    if alpha["colorInterpretation"] != "Alpha":
        fail(f"{path}: the last band is not alpha")
    for band in j["bands"][:-1]:
        if band.get("mask", {}).get("flags") != ["PER_DATASET", "ALPHA"]:
            fail(f"{path}: band {band['band']} is not masked by the alpha band")
    size = j["size"]
    print(f"{path}: EPSG:{epsg}, COG, {size[0]} x {size[1]}, {bands} bands with alpha")


def disc(lat, lon, radius, step=0.25):
    points = []
    n = int(radius / step)
    for i in range(-n, n + 1):
        for k in range(-n, n + 1):
            if math.hypot(i * step, k * step) <= radius:
                points.append((i * step, k * step, *offset(lat, lon, i * step, k * step)))
    return points


def find_target(path, lat, lon):
    """(found, how, north, east of the bright face's middle relative to the truth)."""
    near = disc(lat, lon, RADIUS)
    ring = [p for p in disc(lat, lon, 14.0, 1.0) if math.hypot(p[0], p[1]) >= 8.0]
    near_values = sample(path, [(p[2], p[3]) for p in near])
    ring_values = sample(path, [(p[2], p[3]) for p in ring])
    floor = sorted(v[0] for v in ring_values if v and v[-1] == 255)
    covered = [(p, v[0]) for p, v in zip(near, near_values) if v and v[-1] == 255]
    if not floor or not covered:
        return False, "not covered", 0, 0
    median = floor[len(floor) // 2]
    bright = [(p, v) for p, v in covered if v > 1.8 * median]
    dark = [(p, v) for p, v in covered if v < 0.35 * median]
    if bright:
        n = sum(p[0] for p, _ in bright) / len(bright)
        e = sum(p[1] for p, _ in bright) / len(bright)
        return True, f"bright face ({len(bright)} cells, floor median {median})", n, e
    if dark:
        return True, f"shadow ({len(dark)} cells, floor median {median})", 0, 0
    return False, f"nothing stands out (floor median {median})", 0, 0


def check_targets(path, truth_path, min_length="0"):
    truth = json.load(open(truth_path))["targets"]
    seen = [t for t in truth if t["side"] and t["length_metres"] >= float(min_length)]
    if not seen:
        fail(f"{truth_path}: the recording passes no target")
    for t in seen:
        found, how, n, e = find_target(path, t["latitude"], t["longitude"])
        if not found:
            fail(f"{path}: target at {t['latitude']}, {t['longitude']} "
                 f"({t['side']}, {t['across_metres']} m): {how}")
        print(f"{path}: target {t['side']} {t['across_metres']} m: {how}, "
              f"{math.hypot(n, e):.2f} m from the truth")


def degrees(text):
    """A recorded ' DD.MM.mmm NDDD.MM.mmm E' text as (lat, lon)."""
    lat = int(text[1:3]) + float(text[4:6] + "." + text[7:10]) / 60
    lon = int(text[12:15]) + float(text[16:18] + "." + text[19:22]) / 60
    return (-lat if text[11] == "S" else lat), (-lon if text[23] == "W" else lon)


def fix_at(dump_path, index):
    """Position and heading of the first record at or after `index` whose position changed."""
    previous = None
    for line in open(dump_path):
        r = json.loads(line)
        if r["index"] >= index and previous is not None and r["position"] != previous:
            return (*degrees(r["position"]), r["heading_degrees"])
        previous = r["position"]
    fail(f"{dump_path}: no fix after record {index}")


def check_swath(path, dump_path, index, ground):
    lat, lon, heading = fix_at(dump_path, int(index))
    # Points across the track from 30 % beyond the swath on one side to the other.
    h = math.radians(heading)
    step = 0.1
    reach = ground * 1.3
    points = []
    k = -reach
    while k <= reach:
        points.append((k, *offset(lat, lon, -k * math.sin(h), k * math.cos(h))))
        k += step
    values = sample(path, [(p[1], p[2]) for p in points])
    covered = [p[0] for p, v in zip(points, values) if v and v[-1] == 255]
    if not covered:
        fail(f"{path}: nothing covered across the track at {lat}, {lon}")
    left, right = min(covered), max(covered)
    width, centre = right - left, (left + right) / 2
    cell = abs(info(path)["geoTransform"][1])
    print(f"{path}: swath {left:.2f} .. {right:.2f} m across: {width:.2f} m wide "
          f"(expected {2 * ground:.2f}), centre {centre:+.2f} m off the track")
    if abs(width - 2 * ground) > 2 * cell * math.sqrt(2) + 0.5:
        fail(f"{path}: swath {width:.2f} m wide, expected {2 * ground:.2f}")
    if abs(centre) > cell * math.sqrt(2) + 1.0:
        fail(f"{path}: swath centred {centre:+.2f} m off the track")


def check_same(truth_path, a, b):
    truth = json.load(open(truth_path))["targets"]
    common = 0
    for t in truth:
        fa = find_target(a, t["latitude"], t["longitude"])
        fb = find_target(b, t["latitude"], t["longitude"])
        if not (fa[0] and fb[0]) or "bright" not in fa[1] or "bright" not in fb[1]:
            continue
        common += 1
        d = math.hypot(fa[2] - fb[2], fa[3] - fb[3])
        print(f"target at {t['latitude']}, {t['longitude']}: the two lines put it {d:.2f} m apart")
        if d > RADIUS:
            fail(f"the two lines put the target {d:.2f} m apart")
    if common < 2:
        fail(f"only {common} target(s) seen by both lines")


if __name__ == "__main__":
    what, args = sys.argv[1], sys.argv[2:]
    if what == "info":
        check_info(*args)
    elif what == "targets":
        check_targets(*args)
    elif what == "swath":
        check_swath(args[0], args[1], args[2], float(args[3]))
    elif what == "same":
        check_same(*args)
    else:
        fail("unknown check " + what)
