#!/usr/bin/env bash
# Makes the small zip archives under tests/fixtures/zip with real archivers
# (Info-ZIP zip, Python's zipfile, 7-Zip), so that the zip reader's tests
# read archives that our own code did not write.
#
# Every archive holds the same three members, generated here byte for byte
# by rules that the tests repeat:
#   alpha.txt      "Line NNN of the alpha member\n" for NNN = 000 to 119
#   beta.bin       1500 bytes of the generator x = (x * 1103515245 + 12345)
#                  mod 2^31 from x = 12345, each byte (x >> 16) & 0xFF
#   sub/gamma.nes  "NES\x1a", 1, 1, ten zero bytes, then i * 7 mod 256 for
#                  i = 0 to 1023
#
# Needs: zip, 7z (p7zip-full), python3. Run from anywhere; the archives
# are rewritten in place.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/tests/fixtures/zip"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/sub"
export TZ=UTC

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
with open(f"{work}/alpha.txt", "w", newline="\n") as f:
    f.write("".join(f"Line {i:03d} of the alpha member\n" for i in range(120)))
x, beta = 12345, bytearray()
for _ in range(1500):
    x = (x * 1103515245 + 12345) & 0x7FFFFFFF
    beta.append((x >> 16) & 0xFF)
with open(f"{work}/beta.bin", "wb") as f:
    f.write(beta)
gamma = b"NES\x1a" + bytes([1, 1]) + bytes(10) + bytes(i * 7 % 256 for i in range(1024))
with open(f"{work}/sub/gamma.nes", "wb") as f:
    f.write(gamma)
PY
members=(alpha.txt beta.bin sub/gamma.nes)
touch -d '2025-01-01 12:00:00' "$work/sub" "${members[@]/#/$work/}"

cd "$work"
rm -f "$out"/*.zip
# -X leaves out owner and permission extras, -D directory entries.
zip -q -X -D -0 "$out/infozip-stored.zip" "${members[@]}"
zip -q -X -D -9 "$out/infozip-deflated.zip" "${members[@]}"
7z a -tzip -mx=9 -bso0 -bsp0 "$out/7zip-deflated.zip" "${members[@]}"

python3 - "$work" "$out" <<'PY'
import io, sys, zipfile
work, out = sys.argv[1], sys.argv[2]
names = ["alpha.txt", "beta.bin", "sub/gamma.nes"]
data = {name: open(f"{work}/{name}", "rb").read() for name in names}
stamp = (2025, 1, 1, 12, 0, 0)

def info(name, method):
    member = zipfile.ZipInfo(name, date_time=stamp)
    member.compress_type = method
    return member

# An archive comment after the end record.
with zipfile.ZipFile(f"{out}/python-comment.zip", "w") as archive:
    archive.comment = b"Made by Python's zipfile, with an archive comment."
    for name in names:
        archive.writestr(info(name, zipfile.ZIP_DEFLATED), data[name])

# Written through a stream that cannot seek back, so zipfile sets the
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
        methods = [zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED]
        for name, method in zip(names, methods):
            with archive.open(info(name, method), "w") as member:
                member.write(data[name])
PY
ls -l "$out"
