#!/usr/bin/env bash
# vkd render of a synthetic recording: a PNG of the screen's size, and a strip with one
# column per drawn column, neither of them blank.
set -euo pipefail
bin="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$bin/vkd" synth -o "$work/survey.vkd" --pings 900
"$bin/vkd" render "$work/survey.vkd" -o "$work/screen.png" --grid --marks
"$bin/vkd" render "$work/survey.vkd" -o "$work/strip.png" --strip --colors grey
"$bin/vkd" render "$work/survey.vkd" -o "$work/fast.png" --strip --speed-correction

check() {  # FILE WIDTH-RULE: decodes the PNG and checks its size and that it is not blank
    python3 - "$@" <<'PY'
import struct, sys, zlib
path, want_width = sys.argv[1], sys.argv[2]
data = open(path, "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
pos, idat, width, height = 8, b"", 0, 0
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        assert (depth, colour) == (8, 2), "not 8-bit RGB"
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
raw = zlib.decompress(idat)
assert len(raw) == height * (1 + 3 * width), "pixel data does not match the size"
assert height == 500, f"height {height}"
if want_width == "strip":
    assert width == 900, f"strip width {width}, expected one column per ping"
elif want_width == "wider":
    assert width > 900, f"speed-corrected strip width {width}"
else:
    assert width == int(want_width), f"width {width}"
# Non-blank: far more than a handful of distinct filtered bytes.
assert len(set(raw)) > 50, "image looks blank"
print(f"{path}: {width} x {height} ok")
PY
}
check "$work/screen.png" 784
check "$work/strip.png" strip
check "$work/fast.png" wider

# A file that is not a recording is refused with a non-zero status and no image.
printf 'not a recording' > "$work/bad.vkd"
if "$bin/vkd" render "$work/bad.vkd" -o "$work/bad.png" 2>/dev/null; then
    echo "render accepted a file that is not a recording" >&2
    exit 1
fi
test ! -e "$work/bad.png"
echo "vkd render: 4 passed, 0 failed"
