#!/usr/bin/env bash
# Installs what is missing, builds the tools, and runs them on the example
# files in a scratch folder (the repository's copies are never touched).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_build_packages
cmake -S "$ROOT" -B "$ROOT/build" -DSORTERS_WERROR=ON >/dev/null
cmake --build "$ROOT/build" -j "$(nproc)" --target Tessary Quarn >/dev/null

demo="$(mktemp -d "${TMPDIR:-/tmp}/sorters-demo-XXXXXX")"
trap 'rm -rf "$demo"' EXIT
tessary="$ROOT/build/romtool/Tessary"
quarn="$ROOT/build/imagetool/Quarn"

show_tree() {
  (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | sed 's/^/    /')
}

echo "== Tessary, dump mode: the CRC-32 of every ROM image (a catalog)"
mkdir "$demo/roms"
cp "$ROOT"/examples/roms/* "$demo/roms/"
cd "$demo/roms"
"$tessary" -d '*.a26' '*.bin' '*.nes' '*.a78' '*.lnx' '*.smd' '*.swc' > demo.dat
cat demo.dat
echo
echo "== Tessary, rename mode with that catalog: files sorted into demo/"
"$tessary" demo
echo
show_tree "$demo/roms"

echo
echo "== Quarn, dump mode: name, size, width x height and CRC-32 of every picture"
mkdir "$demo/pictures"
cp "$ROOT"/examples/pictures/*.jpg "$demo/pictures/"
cd "$demo/pictures"
"$quarn" -d '*.jpg' > listing.txt
cat listing.txt
echo
echo "== Quarn, rename mode: a catalog is a title, a line of dashes, the records"
{ echo "Holiday pictures"; echo "----------------"; sed 's/^/holiday_/' listing.txt; } > holiday.crc
cat holiday.crc
"$quarn" holiday
echo
show_tree "$demo/pictures"
