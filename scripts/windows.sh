#!/usr/bin/env bash
# Cross-compiles both tools for Windows with mingw-w64 and runs the test
# suite under wine:
#   scripts/windows.sh [i686|x86_64|all]     (default: all)
# i686 builds the 32-bit console programs into build-win32/, x86_64 the
# 64-bit ones into build-win64/; each holds romtool/Tessary.exe and
# imagetool/Quarn.exe, single files with no DLL beside them. What is
# missing (compilers, zlib and GoogleTest for the target, wine) is
# installed first; expat, which the distribution has no Windows package
# of, is built from its source into build-win32-expat/ or build-win64-expat/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

targets="${1:-all}"
case "$targets" in
  i686 | x86_64) ;;
  all) targets="i686 x86_64" ;;
  *)
    echo "usage: scripts/windows.sh [i686|x86_64|all]" >&2
    exit 2
    ;;
esac

# Compilers and wine for each target; the target's zlib and the GoogleTest
# source serve both.
packages=(cmake make libz-mingw-w64-dev googletest wine)
for target in $targets; do
  if [ "$target" = i686 ]; then
    # 32-bit programs need the 32-bit wine, from the i386 architecture.
    ensure_architecture i386
    packages+=(g++-mingw-w64-i686-posix wine32:i386)
  else
    packages+=(g++-mingw-w64-x86-64-posix wine64)
  fi
done
ensure_packages "${packages[@]}"

# One wine prefix for all builds, made once. Console programs need no
# display, and the prefix needs neither Mono nor Gecko.
export WINEPREFIX="${SORTERS_WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/sorters-wine}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing the wine prefix $WINEPREFIX" >&2
  mkdir -p "$(dirname "$WINEPREFIX")"
  boot_log="$(mktemp)"
  if ! wineboot -i >"$boot_log" 2>&1; then
    cat "$boot_log" >&2
    exit 1
  fi
  rm -f "$boot_log"
  wineserver -w
fi

for target in $targets; do
  build_dir="$ROOT/build-win64"
  if [ "$target" = i686 ]; then build_dir="$ROOT/build-win32"; fi
  expat="$build_dir-expat"
  build_static_expat "$ROOT/cmake/toolchains/mingw-$target.cmake" "$expat"
  echo "== Windows $target: building in $build_dir" >&2
  build_into "$build_dir" -DSORTERS_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-$target.cmake" \
    -DEXPAT_INCLUDE_DIR="$expat/include" -DEXPAT_LIBRARY="$expat/lib/libexpat.a"
  echo "== Windows $target: tests under wine" >&2
  (cd "$build_dir" && ctest --output-on-failure -j "$(nproc)")
done
# Wine's server ends a few seconds after its last program; wait for that.
wineserver -w
