#!/usr/bin/env bash
# Makes the small seed corpora of the fuzz targets under fuzz/corpus/, one
# folder per target. Archives come from real archivers (Info-ZIP zip and
# Python's zipfile), pictures from cjpeg; catalogs and the other inputs are
# written out literally, each chosen to lead the fuzzer to a tricky corner.
# Every input is generated here from fixed rules and fixed timestamps, so a
# second run writes the same bytes. The outputs are committed; run this
# again only to change them.
#
# Needs: zip, python3, cjpeg (libjpeg-turbo-progs).
# Usage: scripts/make_fuzz_seeds.sh   (from anywhere inside the tree)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
corpus="$root/fuzz/corpus"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TZ=UTC

for tool in zip python3 cjpeg; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done
for target in zip_reader dat_reader crc_reader jpeg_probe normalizers \
    placement; do
  rm -rf "${corpus:?}/$target"
  mkdir -p "$corpus/$target"
done

# --- zip_reader: archives from Info-ZIP zip -------------------------------
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
nes = b"NES\x1a\x01\x01" + bytes(10) + bytes(i * 7 % 256 for i in range(96))
open(f"{work}/game.nes", "wb").write(nes)
open(f"{work}/readme.txt", "w").write("A seed archive for the fuzzer.\n" * 4)
open(f"{work}/sfx-stub.bin", "wb").write(b"MZ" + bytes(range(200)))
PY
touch -d '2025-01-01 12:00:00' "$work/game.nes" "$work/readme.txt"
(
  cd "$work"
  # -X leaves out owner and permission extras.
  zip -q -X -0 "$corpus/zip_reader/infozip-stored.zip" game.nes readme.txt
  zip -q -X -9 "$corpus/zip_reader/infozip-deflated.zip" game.nes readme.txt
  # A self-extractor's layout: a stub in front, offsets adjusted by -A.
  cat sfx-stub.bin "$corpus/zip_reader/infozip-deflated.zip" > sfx.zip
  zip -q -A sfx.zip
  cp sfx.zip "$corpus/zip_reader/infozip-with-stub.zip"
)

# --- zip_reader: archives from Python's zipfile ---------------------------
python3 - "$corpus/zip_reader" <<'PY'
import io, sys, zipfile
out = sys.argv[1]
stamp = (2025, 1, 1, 12, 0, 0)
nes = b"NES\x1a\x01\x01" + bytes(10) + bytes(i * 7 % 256 for i in range(96))
smd = bytes([1, 3, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB]) + bytes(502) + bytes(range(256)) * 4

def info(name, method):
    member = zipfile.ZipInfo(name, date_time=stamp)
    member.compress_type = method
    return member

def write(path, members, comment=b"", **options):
    with zipfile.ZipFile(f"{out}/{path}", "w", **options) as archive:
        archive.comment = comment
        for name, method, data in members:
            archive.writestr(info(name, method), data)

write("python-comment.zip",
      [("a.bin", zipfile.ZIP_STORED, b"first"),
       ("sub/game.nes", zipfile.ZIP_DEFLATED, nes)],
      comment=b"A comment holding PK\x05\x06 part of a signature.")
write("python-empty.zip", [])
# bzip2 (method 12) and LZMA (method 14): listed, never read.
write("python-methods.zip",
      [("b.nes", zipfile.ZIP_BZIP2, nes), ("l.nes", zipfile.ZIP_LZMA, nes),
       ("s.smd", zipfile.ZIP_DEFLATED, smd)])
with zipfile.ZipFile(f"{out}/python-zip64.zip", "w") as archive:
    with archive.open(info("big.nes", zipfile.ZIP_DEFLATED), "w",
                      force_zip64=True) as member:
        member.write(nes)
write("python-many.zip",
      [(f"m{i:03d}.nes", zipfile.ZIP_STORED, nes[:20] + bytes([i]))
       for i in range(40)])

# Written through a stream that cannot seek back, so that zipfile sets the
# data-descriptor flag and puts the sizes after each member's data.
class Unseekable(io.RawIOBase):
    def __init__(self, sink):
        self.sink = sink
    def writable(self):
        return True
    def write(self, chunk):
        return self.sink.write(chunk)

with open(f"{out}/python-descriptor.zip", "wb") as sink:
    with zipfile.ZipFile(Unseekable(sink), "w") as archive:
        for name, method in (("d.nes", zipfile.ZIP_DEFLATED),
                             ("s.nes", zipfile.ZIP_STORED)):
            with archive.open(info(name, method), "w") as member:
                member.write(nes)
PY

# --- dat_reader: catalogs, written literally ------------------------------
dat="$corpus/dat_reader"
printf '*.a26 *.bin  \n0012abcd Game.a26\n89abcdef Other Game (USA).bin\n' \
  > "$dat/dump.dat"
printf '*.nes  \r\n1234ABCD Super Game (USA).nes\r\n0xff Game\r\n' \
  > "$dat/crlf.dat"
# Sectioned: records after [GAMES], fields separated by the byte 0xAC.
printf '[CREDITS]\nauthor=x\n[GAMES]\n\254a\254Game Name\254c\254d\254e\2541a2b3c4d\2541024\254\n\254a\254\254Game\254d\254e\254f\2541a2b3c4d\n\254short\254record\n[OTHER]\n\254a\254Late\254c\254d\254e\254ffffffff\n' \
  > "$dat/sectioned.dat"
printf '[GAMES]\n\254x\254First Line Games\254c\254d\254e\2540000beef\n' \
  > "$dat/games-first.dat"
printf '[GAMES]   \n\254x\254Never Read\254c\254d\254e\2540000beef\n' \
  > "$dat/games-spaces.dat"
printf '*.zip  \nError in zipfile /tmp/x.zip\nThe zipfile seems to be corrupt, please check it\n-1 negative\n 1 leading space\nnospace\n\n' \
  > "$dat/reports.dat"
printf '  *.a26\t*.bin\n12345678 tab\tname\n' > "$dat/odd-patterns.dat"
python3 - "$dat" <<'PY'
import sys
out = sys.argv[1]
with open(f"{out}/long-lines.dat", "wb") as f:
    f.write(b"*.a26 " + b"*.x " * 300 + b"\n")
    f.write(b"0000abcd " + b"N" * 1200 + b" tail\n")
    f.write(b"0000abce " + b"a" * 150 + b"\n")
PY

# --- crc_reader: catalogs, written literally ------------------------------
crc="$corpus/crc_reader"
printf 'Pictures\n--------\na.jpg  12345  640 x  480  a1b2c3d\n--------\nafter.jpg 1 1 x 1 1\n' \
  > "$crc/four-lines.crc"
printf 'a.jpg  12345  640 x  480  a1b2c3d\nb.jpg  1  2 x  3  0xDEADBEEF\n' \
  > "$crc/dump-only.crc"
printf -- '-first line\r\nheader\r\n---\r\n\r\nc.jpg 10 70000 x 480 A1B2C3D4\r\n \t-tab.jpg\t 1 2 x 3 4\r\nshort 1 2\r\n' \
  > "$crc/odd-records.crc"
python3 - "$crc" <<'PY'
import sys
out = sys.argv[1]
with open(f"{out}/long-lines.crc", "wb") as f:
    f.write(b"t\n-\n")
    f.write(b"n" * 60 + b" 1 2 x 3 4\n")
    f.write(b"x" * 995 + b" 1 2 x 3 5\n")
PY

# --- jpeg_probe: pictures from cjpeg and hand-made byte runs --------------
python3 - "$work/tiny.ppm" <<'PY'
import sys
data = bytearray(b"P6\n8 6\n255\n")
for y in range(6):
    for x in range(8):
        data += bytes((x * 32, y * 40, 128))
open(sys.argv[1], "wb").write(data)
PY
cjpeg -quality 50 -outfile "$corpus/jpeg_probe/baseline-8x6.jpg" "$work/tiny.ppm"
cjpeg -quality 50 -progressive \
  -outfile "$corpus/jpeg_probe/progressive-8x6.jpg" "$work/tiny.ppm"
printf '\377\330\377\300\000\021\010\001\340\002\200' > "$corpus/jpeg_probe/frame-only.bin"
printf 'xx\377\300\000\021\010\001' > "$corpus/jpeg_probe/frame-cut.bin"
printf 'abc\377' > "$corpus/jpeg_probe/last-ff.bin"

# --- normalizers: type byte, extension length, extension, image -----------
python3 - "$corpus/normalizers" <<'PY'
import sys
out = sys.argv[1]

def seed(name, rom_type, extension, image):
    with open(f"{out}/{name}", "wb") as f:
        f.write(bytes([rom_type, len(extension)]) + extension + image)

seed("a78", 2, b".A78", b"\x01ATARI7800" + bytes(118) + bytes(range(64)))
seed("lynx", 3, b"lnx", b"LYNX\x00\x00" + bytes(58) + bytes(range(100)))
seed("nes", 4, b"*.NeS", b"NES\x1a\x01\x01" + bytes(10) + bytes(range(32)))
smd_header = bytes([1, 3, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB]) + bytes(502)
seed("smd-one-block", 6, b".SMD",
     smd_header + bytes(i % 251 for i in range(16384)) + b"tail")
seed("smd-no-blocks", 6, b"smd", bytes([0]) + smd_header[1:] + b"short")
seed("snes-header", 7, b".swc", bytes(512) + bytes(i % 13 for i in range(8192)))
seed("plain", 1, b".bin", b"plain image")
seed("none", 0, b"", b"nothing")
PY

# --- placement: flag byte, then the catalog name ---------------------------
python3 - "$corpus/placement" <<'PY'
import sys
out = sys.argv[1]
seeds = {
    "plain": (0x02, b"Pac-Man"),
    "same-extension": (0x02, b"Pac-Man.bin"),
    "upper-extension": (0x12, b"Pac-Man.bin"),
    "three-copies": (0x0A, b"Game"),
    "taken-to-dupes": (0x07, b"Game"),
    "no-extension": (0x22, b""),
    "two-dots": (0x32, b".."),
    "parent": (0x02, b"../escape"),
    "backslash": (0x02, b"..\\escape"),
    "dupes-is-a-file": (0x47, b"Game"),
    "long": (0x0A, b"L" * 250),
    "newline": (0x02, b"line\nbreak"),
}
for name, (flags, text) in seeds.items():
    with open(f"{out}/{name}", "wb") as f:
        f.write(bytes([flags]) + text)
PY

find "$corpus" -type f | sort | while read -r file; do
  printf '%6d %s\n' "$(wc -c < "$file")" "${file#"$root"/}"
done
