#!/usr/bin/env bash
# Makes the three small JPEG pictures of examples/pictures for the demo.
# Each is drawn here from a formula (no photos from anywhere) and encoded
# with cjpeg from libjpeg-turbo-progs; the outputs are committed, so this
# only needs to run again when they are to change.
#
# Usage: scripts/make_example_pictures.sh   (from anywhere inside the tree)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
examples="$root/examples/pictures"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

command -v cjpeg >/dev/null || {
  echo "cjpeg not found: install libjpeg-turbo-progs" >&2
  exit 1
}
mkdir -p "$examples"

# draw WIDTH HEIGHT STYLE OUT: a deterministic binary PPM (P6).
draw() {
  python3 - "$@" <<'PY'
import sys

width, height, style, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]

def pixel(x, y):
    if style == "sunrise":
        sky = 255 - y * 200 // height
        return (255, sky, max(sky - 80, 0))
    if style == "harbour":
        wave = (x * 3 + y * 7) % 32
        return (20, 60 + wave * 3, 120 + wave * 4)
    stripe = (x + 2 * y) % 16  # meadow
    return (60 + stripe * 5, 150 + stripe * 4, 50)

data = bytearray(b"P6\n%d %d\n255\n" % (width, height))
for y in range(height):
    for x in range(width):
        data += bytes(pixel(x, y))
with open(out, "wb") as f:
    f.write(data)
PY
}

for picture in "sunrise 32 24" "harbour 48 32" "meadow 64 40"; do
  set -- $picture
  draw "$2" "$3" "$1" "$work/in.ppm"
  cjpeg -quality 75 -outfile "$examples/$1.jpg" "$work/in.ppm"
done
echo "Example pictures written."
