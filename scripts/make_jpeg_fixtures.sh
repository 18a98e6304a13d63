#!/usr/bin/env bash
# Makes the small JPEG pictures that the image tool's tests and examples
# use. Every picture is drawn here from a formula (no photos from
# anywhere) and encoded with cjpeg from libjpeg-turbo-progs; the outputs
# are committed, so this only needs to run again when they are to change.
#
#   tests/fixtures/jpeg/baseline_64x48.jpg     baseline (frame marker FF C0)
#   tests/fixtures/jpeg/baseline_40x30.jpg     baseline, another picture
#   tests/fixtures/jpeg/progressive_40x30.jpg  progressive (FF C2, no FF C0)
#   tests/fixtures/jpeg/thumbnail_64x48.jpg    baseline 64x48 whose Exif
#       segment holds a 16x12 baseline thumbnail, so that the thumbnail's
#       frame header comes before the main picture's
#   examples/pictures/*.jpg                    three pictures for the demo
#
# Usage: scripts/make_jpeg_fixtures.sh   (from anywhere inside the tree)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
fixtures="$root/tests/fixtures/jpeg"
examples="$root/examples/pictures"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

command -v cjpeg >/dev/null || {
  echo "cjpeg not found: install libjpeg-turbo-progs" >&2
  exit 1
}
mkdir -p "$fixtures" "$examples"

# make_ppm WIDTH HEIGHT STYLE OUT: a deterministic binary PPM (P6).
make_ppm() {
  python3 - "$@" <<'PY'
import sys

width, height, style, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]

def pixel(x, y):
    if style == "gradient":
        return (x * 255 // max(width - 1, 1), y * 255 // max(height - 1, 1), 128)
    if style == "checks":
        on = ((x // 4) + (y // 4)) % 2
        return (200, 40, 40) if on else (240, 230, 200)
    if style == "sunrise":
        sky = 255 - y * 200 // height
        return (255, sky, max(sky - 80, 0))
    if style == "harbour":
        wave = (x * 3 + y * 7) % 32
        return (20, 60 + wave * 3, 120 + wave * 4)
    if style == "meadow":
        stripe = (x + 2 * y) % 16
        return (60 + stripe * 5, 150 + stripe * 4, 50)
    if style == "rings":
        d = (x - width // 2) ** 2 + (y - height // 2) ** 2
        return ((d * 7) % 256, (d * 3) % 256, 255 - (d * 5) % 256)
    raise SystemExit("unknown style " + style)

data = bytearray(b"P6\n%d %d\n255\n" % (width, height))
for y in range(height):
    for x in range(width):
        data += bytes(pixel(x, y))
with open(out, "wb") as f:
    f.write(data)
PY
}

# encode OUT WIDTH HEIGHT STYLE [cjpeg options...]
encode() {
  local out="$1" width="$2" height="$3" style="$4"
  shift 4
  make_ppm "$width" "$height" "$style" "$work/in.ppm"
  cjpeg -quality 75 "$@" -outfile "$out" "$work/in.ppm"
}

# with_exif_thumbnail MAIN THUMB OUT: copies MAIN with an APP1 Exif segment
# after its JFIF segment. The segment holds a minimal little-endian TIFF
# whose second directory (IFD1) points at THUMB, as cameras store theirs.
with_exif_thumbnail() {
  python3 - "$@" <<'PY'
import struct, sys

main = open(sys.argv[1], "rb").read()
thumb = open(sys.argv[2], "rb").read()

# TIFF: header, empty IFD0 linking to IFD1, IFD1 with three entries.
ifd0 = 8
ifd1 = ifd0 + 2 + 4
thumb_at = ifd1 + 2 + 3 * 12 + 4
tiff = b"II*\x00" + struct.pack("<I", ifd0)
tiff += struct.pack("<H", 0) + struct.pack("<I", ifd1)
tiff += struct.pack("<H", 3)
tiff += struct.pack("<HHII", 0x0103, 3, 1, 6)              # Compression: JPEG
tiff += struct.pack("<HHII", 0x0201, 4, 1, thumb_at)       # thumbnail offset
tiff += struct.pack("<HHII", 0x0202, 4, 1, len(thumb))     # thumbnail length
tiff += struct.pack("<I", 0)
assert len(tiff) == thumb_at
payload = b"Exif\x00\x00" + tiff + thumb
assert len(payload) + 2 <= 0xFFFF
segment = b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload

# Keep SOI and the JFIF APP0 first, as readers expect.
assert main[0:4] == b"\xff\xd8\xff\xe0"
app0_end = 4 + struct.unpack(">H", main[4:6])[0]
with open(sys.argv[3], "wb") as f:
    f.write(main[:app0_end] + segment + main[app0_end:])
PY
}

# check_first_frame FILE WIDTH HEIGHT: the first FF C0 pair in FILE must
# carry WIDTH and HEIGHT; "none" for WIDTH means no pair may be present.
check_first_frame() {
  python3 - "$@" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
at = data.find(b"\xff\xc0")
if sys.argv[2] == "none":
    if at >= 0:
        raise SystemExit(sys.argv[1] + ": unexpected FF C0 at %d" % at)
    sys.exit(0)
if at < 0:
    raise SystemExit(sys.argv[1] + ": no FF C0")
height = data[at + 5] << 8 | data[at + 6]
width = data[at + 7] << 8 | data[at + 8]
if (width, height) != (int(sys.argv[2]), int(sys.argv[3])):
    raise SystemExit(sys.argv[1] + ": first frame is %dx%d" % (width, height))
PY
}

encode "$fixtures/baseline_64x48.jpg" 64 48 gradient
encode "$fixtures/baseline_40x30.jpg" 40 30 checks
encode "$fixtures/progressive_40x30.jpg" 40 30 rings -progressive
encode "$work/thumb.jpg" 16 12 rings
with_exif_thumbnail "$fixtures/baseline_64x48.jpg" "$work/thumb.jpg" \
  "$fixtures/thumbnail_64x48.jpg"

encode "$examples/sunrise.jpg" 32 24 sunrise
encode "$examples/harbour.jpg" 48 32 harbour
encode "$examples/meadow.jpg" 64 40 meadow

check_first_frame "$fixtures/baseline_64x48.jpg" 64 48
check_first_frame "$fixtures/baseline_40x30.jpg" 40 30
check_first_frame "$fixtures/progressive_40x30.jpg" none
check_first_frame "$fixtures/thumbnail_64x48.jpg" 16 12
check_first_frame "$examples/sunrise.jpg" 32 24
check_first_frame "$examples/harbour.jpg" 48 32
check_first_frame "$examples/meadow.jpg" 64 40
echo "JPEG fixtures and examples written."
