#!/usr/bin/env bash
# Cross-compiles both tools for Windows with mingw-w64 and runs the test
# suite under wine:
#   scripts/windows.sh [i686|x86_64|all] [--package]     (default: all)
# i686 builds the 32-bit console programs into build-win32/, x86_64 the
# 64-bit ones into build-win64/; each holds romtool/Tessary.exe and
# imagetool/Quarn.exe, single files with no DLL beside them. What is
# missing (compilers, zlib and GoogleTest for the target, wine) is
# installed first; expat and what reading archives needs (libarchive,
# liblzma, libbz2), which the distribution has no Windows packages of, are
# built from their sources into build-win32-expat/ and build-win32-archive/
# (or build-win64-...).
# With --package, each build folder also gets its release zip archive.
# The i686 programs are built everywhere, but tested only where this
# machine can run 32-bit programs; elsewhere one line says so.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

targets="${1:-all}"
package=no
if [ "${2:-}" = "--package" ]; then package=yes; fi
case "$targets" in
  i686 | x86_64) ;;
  all) targets="i686 x86_64" ;;
  *)
    echo "usage: scripts/windows.sh [i686|x86_64|all] [--package]" >&2
    exit 2
    ;;
esac

# Compilers and wine for each target; the target's zlib and the GoogleTest
# source serve both.
packages=(cmake make libz-mingw-w64-dev googletest wine mandoc)
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

prepare_wine

for target in $targets; do
  build_dir="$ROOT/build-win64"
  if [ "$target" = i686 ]; then build_dir="$ROOT/build-win32"; fi
  expat="$build_dir-expat"
  build_static_expat "$ROOT/cmake/toolchains/mingw-$target.cmake" "$expat"
  build_static_archive "$ROOT/cmake/toolchains/mingw-$target.cmake" "$build_dir-archive"
  echo "== Windows $target: building in $build_dir" >&2
  build_into "$build_dir" -DSORTERS_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-$target.cmake" \
    -DEXPAT_INCLUDE_DIR="$expat/include" -DEXPAT_LIBRARY="$expat/lib/libexpat.a" \
    -DSORTERS_ARCHIVE_PREFIX="$build_dir-archive" \
    -DSORTERS_WINE="$(command -v "$WINE")"
  if [ "$target" = i686 ] && ! can_run_32bit; then
    say_no_32bit
  else
    echo "== Windows $target: tests under wine" >&2
    (cd "$build_dir" && ctest --output-on-failure -j "$(nproc)")
  fi
  if [ "$package" = yes ]; then
    (cd "$build_dir" && cpack -G ZIP >/dev/null)
    echo "== Windows $target: $(ls "$build_dir"/*.zip)" >&2
  fi
done
# Wine's server ends a few seconds after its last program; wait for that.
wineserver -w
