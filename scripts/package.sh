#!/usr/bin/env bash
# Builds the release packages from a fresh clone and checks each as a user
# meets it:
#   scripts/package.sh
# - build-package/tessary-quarn_<version>_<arch>.deb, the Debian package:
#   linted, unpacked into a scratch folder, its manual pages rendered, and
#   its programs run on the examples beside the ones of the build;
# - build-win32/ and build-win64/: the Windows zip archives, made by
#   scripts/windows.sh (which tests those builds under wine first), each
#   unpacked and its programs run on the examples under wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_build_packages
ensure_packages libexpat1-dev dpkg-dev lintian mandoc groff man-db unzip

scratch="$(mktemp -d "${TMPDIR:-/tmp}/sorters-package-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

# The manual pages render without a single warning.
for page in "$ROOT"/man/*.1; do
  said="$(groff -man -ww -z "$page" 2>&1; mandoc -T lint "$page" 2>&1)"
  [ -z "$said" ] || { echo "$page: $said" >&2; exit 1; }
done

# What the programs say on the examples, started by "$@ <program> <args>":
# a dump of every ROM image and every picture, standard output then
# standard error, line ends made plain.
dump_examples() {
  local work="$scratch/examples-$RANDOM"
  cp -r "$ROOT/examples" "$work"
  (cd "$work/roms" && "$@" Tessary -d '*.*'
   cd "$work/pictures" && "$@" Quarn -d '*.jpg') >"$work/out" 2>"$work/err"
  cat "$work/out" "$work/err" | tr -d '\r'
  rm -rf "$work"
}
# Starts program $2 of the folder $1 ("bin" of an installed tree).
in_folder() { local folder="$1" name="$2"; shift 2; "$folder/$name" "$@"; }
under_wine() { local folder="$1" name="$2"; shift 2; "$WINE" "$folder/$name.exe" "$@"; }

build="$ROOT/build-package"
build_into "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
(cd "$build" && rm -f ./*.deb && cpack -G DEB >/dev/null)
deb="$(ls "$build"/*.deb)"
lintian --fail-on error "$deb"
# Tessary reads archives through the distribution's libarchive.
dpkg-deb -f "$deb" Depends | grep -q 'libarchive13' ||
  { echo "$deb does not depend on libarchive" >&2; exit 1; }
dpkg -x "$deb" "$scratch/root"
for page in Tessary Quarn; do
  man -l "$scratch/root/usr/share/man/man1/$page.1.gz" >/dev/null
done
mkdir -p "$scratch/built"
cp "$build/romtool/Tessary" "$build/imagetool/Quarn" "$scratch/built/"
expected="$(dump_examples in_folder "$scratch/built")"
[ "$(dump_examples in_folder "$scratch/root/usr/bin")" = "$expected" ] ||
  { echo "the installed programs differ from the build's" >&2; exit 1; }

scripts_dir="$(dirname "${BASH_SOURCE[0]}")"
"$scripts_dir/windows.sh" all --package
prepare_wine
archives=("$ROOT"/build-win64/*.zip)
# The i686 programs run only where 32-bit programs can; windows.sh has
# already said so where they cannot.
if can_run_32bit; then archives+=("$ROOT"/build-win32/*.zip); fi
for archive in "${archives[@]}"; do
  unpacked="$scratch/$(basename "$archive" .zip)"
  unzip -q "$archive" -d "$unpacked"
  [ "$(dump_examples under_wine "$unpacked"/*/bin)" = "$expected" ] ||
    { echo "$archive: its programs differ from the build's" >&2; exit 1; }
done
wineserver -w
echo "Packages:" >&2
ls -l "$deb" "$ROOT"/build-win32/*.zip "$ROOT"/build-win64/*.zip >&2
