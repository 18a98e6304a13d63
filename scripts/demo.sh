#!/usr/bin/env bash
# Installs what is missing, builds the tools, and runs them on the example
# files in a scratch folder (the repository's copies are never touched).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_build_packages
cmake -S "$ROOT" -B "$ROOT/build" -DSORTERS_WERROR=ON >/dev/null
cmake --build "$ROOT/build" -j "$(nproc)" --target Tessary >/dev/null

demo="$(mktemp -d "${TMPDIR:-/tmp}/sorters-demo-XXXXXX")"
trap 'rm -rf "$demo"' EXIT
tessary="$ROOT/build/romtool/Tessary"

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
