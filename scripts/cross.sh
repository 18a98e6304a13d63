#!/usr/bin/env bash
# Cross-compiles both tools for other processors and runs the whole test
# suite on them under qemu's user mode:
#   scripts/cross.sh [aarch64|armhf|s390x|all]     (default: all)
# aarch64 and armhf are the 64-bit and 32-bit ARM boards collectors run
# their emulators on; s390x is big-endian, the proof that every decoder is
# written for bytes, not for the build machine's order. Each builds into
# build-<target>/. What is missing is installed first: the compilers and
# qemu, zlib and expat for ARM through dpkg's multiarch, and for s390x
# both built from the distribution's source (their s390x packages cannot
# sit beside the build machine's); libarchive, liblzma and libbz2 for every
# target from the distribution's sources, as static libraries without the
# many libraries the distribution's libarchive is linked with. While one suite runs, the next target builds.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

targets="${1:-all}"
case "$targets" in
  aarch64 | armhf | s390x) ;;
  all) targets="aarch64 armhf s390x" ;;
  *)
    echo "usage: scripts/cross.sh [aarch64|armhf|s390x|all]" >&2
    exit 2
    ;;
esac

packages=(cmake make googletest qemu-user)
for target in $targets; do
  case "$target" in
    aarch64) ensure_architecture arm64
             packages+=(g++-aarch64-linux-gnu zlib1g-dev:arm64 libexpat1-dev:arm64) ;;
    armhf) ensure_architecture armhf
           packages+=(g++-arm-linux-gnueabihf zlib1g-dev:armhf libexpat1-dev:armhf) ;;
    s390x) packages+=(g++-s390x-linux-gnu dpkg-dev) ;;
  esac
done
ensure_packages "${packages[@]}"

# Builds zlib from the distribution's source for the triple $1 into $2.
build_zlib() {
  local triple="$1" prefix="$2" work="$ROOT/build-cross-zlib"
  [ -f "$prefix/lib/libz.a" ] && return 0
  unpack_distribution_source zlib "$work/src" "$work"
  (cd "$work/src" && CHOST="$triple" ./configure --static --prefix="$prefix" >/dev/null &&
     make -j "$(nproc)" >/dev/null && make install >/dev/null)
}

suites=()
for target in $targets; do
  build_dir="$ROOT/build-$target"
  options=(-DSORTERS_WERROR=ON -DCMAKE_BUILD_TYPE=Release
           -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/linux-$target.cmake")
  toolchain="$ROOT/cmake/toolchains/linux-$target.cmake"
  zlib=()
  if [ "$target" = s390x ]; then
    build_zlib s390x-linux-gnu "$ROOT/build-cross-zlib/s390x"
    build_static_expat "$toolchain" "$ROOT/build-s390x-expat"
    zlib=(-DZLIB_ROOT="$ROOT/build-cross-zlib/s390x")
    options+=("${zlib[@]}"
              -DEXPAT_INCLUDE_DIR="$ROOT/build-s390x-expat/include"
              -DEXPAT_LIBRARY="$ROOT/build-s390x-expat/lib/libexpat.a")
  fi
  build_static_archive "$toolchain" "$build_dir-archive" "${zlib[@]}"
  options+=(-DSORTERS_ARCHIVE_PREFIX="$build_dir-archive")
  echo "== $target: building in $build_dir" >&2
  build_into "$build_dir" "${options[@]}"
  echo "== $target: tests under qemu" >&2
  (cd "$build_dir" && ctest --output-on-failure -j "$(nproc)" > "$build_dir/ctest.log" 2>&1) &
  suites+=("$target:$!")
done

failed=0
for suite in "${suites[@]}"; do
  target="${suite%%:*}"
  if wait "${suite##*:}"; then
    echo "== $target: $(grep -o '[0-9]*% tests passed.*' "$ROOT/build-$target/ctest.log")" >&2
  else
    echo "== $target: FAILED" >&2
    cat "$ROOT/build-$target/ctest.log" >&2
    failed=1
  fi
done
exit "$failed"
