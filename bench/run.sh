#!/usr/bin/env bash
# The end-to-end benchmark: Tessary and Quarn against a read-only floor and
# the tools users would pick instead, on a generated corpus, warm cache.
#   bench/run.sh           the full corpus (about 2.9 GiB; several minutes)
#   bench/run.sh --tiny    a tiny corpus, to check that the script works
# Prints a markdown table and writes it to bench/RESULTS.md (full runs only;
# a tiny run writes build-bench/RESULTS-tiny.md). Judges nothing: the
# figures are for reading.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

mode=full
if [ "${1:-}" = "--tiny" ]; then mode=tiny; fi

ensure_build_packages
ensure_packages libbenchmark-dev libisal-dev rhash cksfv p7zip-full \
  hyperfine time python3 libjpeg-turbo-progs

build="$ROOT/build-bench"
cmake -S "$ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSORTERS_BENCH=ON \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" \
  --target Tessary Quarn read_floor crc32_bench memory_peak >/dev/null

corpus="$build/corpus-$mode"
# A corpus made before the catalogs were part of it is made anew.
if [ ! -f "$corpus/.complete" ] || [ ! -f "$corpus/catalogs/.xml.dat" ] ||
    [ ! -d "$corpus/sevens" ]; then
  echo "Generating the $mode corpus in $corpus ..." >&2
  rm -rf "$corpus"
  python3 "$ROOT/bench/make_corpus.py" "$corpus" "--$mode"
  touch "$corpus/.complete"
fi

results="$build/results-$mode"
rm -rf "$results"
mkdir -p "$results"
runs=5
if [ "$mode" = tiny ]; then runs=2; fi

tessary="$build/romtool/Tessary"
quarn="$build/imagetool/Quarn"
floor="$build/bench/read_floor"

# hyperfine over the commands that follow, in the folder $2, into $1.json.
time_commands() {
  local name="$1" folder="$2"
  shift 2
  (cd "$folder" && hyperfine --style none --warmup 1 --runs "$runs" \
    --export-json "$results/$name.json" "$@" >/dev/null)
}

# The tools identify files on one thread per processor (at most 16); the
# floor reads with one thread and with as many as the tools use.
threads=$(nproc)
if [ "$threads" -gt 16 ]; then threads=16; fi
echo "$threads" > "$results/threads"

echo "Timing ..." >&2
time_commands big "$corpus/big" \
  -n floor "$floor .bin" -n "floor, $threads threads" "$floor --threads $threads .bin" \
  -n "Tessary -d" "$tessary -d '*.bin'" \
  -n cat "cat *.bin" -n "rhash --crc32" "rhash --crc32 *.bin" \
  -n cksfv "cksfv *.bin" -n "7z h -scrcCRC32" "7z h -scrcCRC32 *.bin"
# Cold: every file dropped from the page cache before each run, so that the
# disk serves every read.
time_commands big-cold "$corpus/big" --prepare "$floor --evict .bin" \
  -n floor "$floor .bin" -n "floor, $threads threads" "$floor --threads $threads .bin" \
  -n "Tessary -d" "$tessary -d '*.bin'"
time_commands small "$corpus/small" \
  -n floor "$floor .a26" -n "floor, $threads threads" "$floor --threads $threads .a26" \
  -n "Tessary -d" "$tessary -d '*.a26'"
time_commands zips "$corpus/zips" \
  -n floor "$floor .zip" -n "Tessary -d" "$tessary -d '*.bin'"
# 7z archives: Tessary finds them by its own walk; 7-Zip tests them (it
# unpacks each and checks its CRC-32). The same images zipped go through
# Tessary's zip reader.
time_commands sevens "$corpus/sevens" \
  -n "Tessary -d" "$tessary -d '*.bin'" -n "7z t" "7z t -bd '*.7z'"
time_commands sevens-zipped "$corpus/sevens-zipped" -n "Tessary -d" "$tessary -d '*.bin'"
time_commands pictures "$corpus/pictures" \
  -n floor "$floor .jpg" -n "Quarn -d" "$quarn -d '*.jpg'"

# Rename mode moves the files, so every run starts from a fresh copy made of
# hard links; the dump of the same files is timed the same way.
work="$build/rename-work"
prepare="rm -rf '$work' && cp -al '$corpus/rename' '$work'"
time_commands rename "$build" --prepare "$prepare" \
  -n "Tessary -d" "cd '$work' && $tessary -d '*.a26'" \
  -n "Tessary big (rename)" "cd '$work' && $tessary big" \
  -n "move floor" "cd '$work' && mkdir big && $floor --move-into big .a26"
rm -rf "$work"

# Loading a catalog of 1,000,000 entries, plain and as XML, where the walk
# finds no file (the catalogs' names begin with "."): the load is all
# there is to time, and its peak memory all there is to measure.
time_commands catalogs "$corpus/catalogs" \
  -n "plain layout" "$tessary .plain" -n "XML" "$tessary .xml"
for layout in plain xml; do
  (cd "$corpus/catalogs" && /usr/bin/time -f %M -o "$results/catalog_${layout}_kib" \
    "$tessary" ".$layout" >/dev/null 2>&1)
done

# Peak memory of the dump of the large files, beside the largest file.
(cd "$corpus/big" && /usr/bin/time -f %M -o "$results/peak_kib" \
  "$tessary" -d '*.bin' >/dev/null 2>&1)
find "$corpus/big" -name '*.bin' -printf '%s\n' | sort -n | tail -n 1 \
  > "$results/largest_bytes"

"$build/bench/crc32_bench" --benchmark_filter='/1048576$' \
  --benchmark_out="$results/kernels.json" --benchmark_out_format=json \
  >/dev/null 2>&1

output="$ROOT/bench/RESULTS.md"
if [ "$mode" = tiny ]; then output="$build/RESULTS-tiny.md"; fi
python3 "$ROOT/bench/report.py" "$results" "$corpus" "$mode" > "$output"
# Large sparse files read by every thread count: memory stays within the
# threads' budget and the largest file.
if [ "$mode" = tiny ]; then sizes="8 16"; else sizes="32 200"; fi
"$build/bench/memory_peak" "$build/memory-peak" $sizes >> "$output"
cat "$output"
