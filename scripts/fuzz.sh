#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan)
# in build-fuzz/ and fuzzes each target for a fixed budget, two targets at
# a time, starting from the committed seeds. (The seeds and regressions are
# replayed by the test suite itself, in every build.)
#
#   scripts/fuzz.sh [seconds]   budget per target; default 60
#
# Fails (non-zero exit) on any crash, leak, timeout, out-of-memory or
# sanitizer report. The input that caused it is kept under
# build-fuzz/findings/ and printed in Base64 with the report; commit it
# under fuzz/regressions/<target>/ together with its fix.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

budget="${1:-60}"
build_dir="$ROOT/build-fuzz"
findings="$build_dir/findings"
logs="$build_dir/fuzz-logs"
# Each target with the dictionary of its format.
targets=(zip_reader:zip dat_reader:dat crc_reader:crc jpeg_probe:jpeg
         normalizers:normalizers placement:placement xml_catalog:xml
         cmp_catalog:cmp archive_reader:archive)
# No allocation driven by a declared size may pass 256 MiB; no input may
# take 10 seconds; the tools' own output is dropped (reports stay).
limits=(-malloc_limit_mb=256 -rss_limit_mb=2048 -timeout=10 -close_fd_mask=3)
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

ensure_build_packages
ensure_packages clang libclang-rt-14-dev
CXX=clang++ build_into "$build_dir" -DCMAKE_CXX_COMPILER=clang++ \
  -DSORTERS_FUZZ=ON -DBUILD_TESTING=OFF
rm -rf "$findings"
mkdir -p "$findings" "$logs"

# Fuzzes target $1 with dictionary $2 for the budget, starting from the
# committed seeds; new inputs go to a scratch corpus in the build folder.
fuzz_one() {
  local target="$1" dict="$2"
  local corpus="$build_dir/fuzz-corpus/$target" seeds="$ROOT/fuzz/corpus/$target"
  # The archive readers start from the archives of the tests.
  if [ "$target" = zip_reader ]; then seeds="$ROOT/tests/fixtures/zip"; fi
  if [ "$target" = archive_reader ]; then seeds="$ROOT/tests/fixtures/archives"; fi
  mkdir -p "$corpus"
  "$build_dir/fuzz/fuzz_$target" "${limits[@]}" \
    -max_total_time="$budget" -print_final_stats=1 \
    -dict="$ROOT/fuzz/dict/$dict.dict" \
    -artifact_prefix="$findings/$target-" \
    "$corpus" "$seeds" > "$logs/$target.log" 2>&1
}

# Prints the outcome of a fuzzing run of target $1 that ended with $2.
summarize() {
  local target="$1" status="$2"
  local runs
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' \
           "$logs/$target.log" | grep -o '[0-9]*$' || echo "?")
  if [ "$status" -eq 0 ]; then
    echo "fuzzed $target: $runs executions, no findings"
  else
    echo "FAIL fuzzing $target (status $status) after $runs executions:" >&2
    tail -n 60 "$logs/$target.log" >&2
  fi
}

failed=0
if [ "$budget" -gt 0 ]; then
  # Two at a time: every target gets the same budget, so pairs end together.
  for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pair=("${targets[@]:i:2}")
    pids=()
    for spec in "${pair[@]}"; do
      fuzz_one "${spec%%:*}" "${spec##*:}" &
      pids+=($!)
    done
    for j in "${!pair[@]}"; do
      status=0
      wait "${pids[j]}" || status=$?
      summarize "${pair[j]%%:*}" "$status"
      [ "$status" -eq 0 ] || failed=1
    done
  done
fi
if [ "$failed" -ne 0 ]; then
  echo "Fuzzing failed; inputs that caused it:" >&2
  ls -l "$findings" >&2
  exit 1
fi
