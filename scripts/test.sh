#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
#   scripts/test.sh              the normal build, in build/
#   scripts/test.sh --thread     the tests of threads and racing processes
#                                under ThreadSanitizer, in build-tsan/
#   scripts/test.sh --sanitize   with AddressSanitizer and UBSan, in build-asan/;
#                                this build also moves files without the
#                                system's no-replace rename, to prove the
#                                fallbacks with the whole suite
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

build_dir="$ROOT/build"
options=(-DSORTERS_WERROR=ON)
tests=()
targets=()
if [ "${1:-}" = "--thread" ]; then
  # ThreadSanitizer on the tests where threads or processes meet.
  build_dir="$ROOT/build-tsan"
  options+=(-DSORTERS_TSAN=ON)
  tests=(-R "PipelineTest|MoveRaceTest")
  targets=(--target unit_tests fault_tests)
  export TSAN_OPTIONS="halt_on_error=1"
elif [ "${1:-}" = "--sanitize" ]; then
  build_dir="$ROOT/build-asan"
  options+=(-DSORTERS_SANITIZE=ON -DSORTERS_PORTABLE_MOVES=ON -DCMAKE_BUILD_TYPE=Debug)
  # Any sanitizer report fails the test that caused it.
  export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
fi

ensure_build_packages
# A FUSE file system that refuses the no-replace rename, for the tests of
# the moves made without it (they skip where FUSE cannot mount).
ensure_packages bindfs
cmake -S "$ROOT" -B "$build_dir" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" "${tests[@]}"
