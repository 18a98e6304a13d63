#!/usr/bin/env python3
"""Turns the timings of bench/run.sh into a markdown report.

    report.py RESULTS_FOLDER CORPUS_FOLDER MODE
"""
import datetime
import json
import os
import statistics
import sys

# Timings, the corpus folder they read, its files' ending, and a title.
WORKLOADS = [
    ("big", "big", ".bin", "Large files (16 KiB to 4 MiB), warm page cache"),
    ("big-cold", "big", ".bin", "Large files, cold: evicted from the page cache before each run"),
    ("small", "small", ".a26", "Small files (4 KiB)"),
    ("zips", "zips", ".zip", "Zip archives (one member each)"),
    ("sevens", "sevens", ".7z", "7z archives of cartridge-like images (one member each)"),
    ("sevens-zipped", "sevens-zipped", ".zip", "The same images in zip archives"),
    ("pictures", "pictures", ".jpg", "JPEG pictures"),
    ("rename", "rename", ".a26", "Rename mode, a catalog of twice as many entries"),
]

# Rename mode on the same corpus, before files were identified on several
# threads: no slower than that is the target.
EARLIER_RENAME_SECONDS = 2.73


def processor():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def corpus_size(folder, ending):
    files = [name for name in os.listdir(folder) if name.endswith(ending)]
    total = sum(os.path.getsize(os.path.join(folder, name)) for name in files)
    return len(files), total


def medians(path):
    with open(path) as source:
        results = json.load(source)["results"]
    return {r["command"]: statistics.median(r["times"]) for r in results}


def workload_table(name, times, files, total):
    floor = times.get("floor")
    rows = ["| command | median | throughput | per file | floor's time / this time |",
            "|---|---|---|---|---|"]
    for command, seconds in times.items():
        ratio = "%.2f" % (floor / seconds) if floor else "-"
        rows.append("| %s | %.3f s | %.2f GB/s | %.1f µs | %s |" % (
            command, seconds, total / seconds / 1e9, seconds / files * 1e6, ratio))
    return rows


def kernel_rates(path):
    with open(path) as source:
        benchmarks = json.load(source)["benchmarks"]
    return {b["name"].split("/")[0]: b.get("bytes_per_second", 0.0)
            for b in benchmarks if "error_occurred" not in b}


def verdict(ok):
    return "met" if ok else "**missed**"


def ratio_line(text, value, ok):
    return "| %s | %.2f x | %s |" % (text, value, verdict(ok))


def targets(results, times, threads):
    lines = ["| target | measured | |", "|---|---|---|"]
    all_threads = "floor, %d threads" % threads
    big, cold, small = times["big"], times["big-cold"], times["small"]
    tessary = big["Tessary -d"]
    lines.append(ratio_line("Large files, warm: at least 1.6 x the one-thread floor's throughput",
                            big["floor"] / tessary, big["floor"] / tessary >= 1.6))
    lines.append(ratio_line("Large files, warm: at least 0.85 x the %d-thread floor's" % threads,
                            big[all_threads] / tessary, big[all_threads] / tessary >= 0.85))
    for other, wanted in (("7z h -scrcCRC32", 5.0), ("rhash --crc32", 8.0)):
        if other in big:
            lines.append(ratio_line("Tessary -d at least %.0f x faster than %s" % (wanted, other),
                                    big[other] / tessary, big[other] / tessary >= wanted))
    lines.append(ratio_line("Large files, cold: at least 0.9 x the %d-thread cold floor's throughput"
                            % threads, cold[all_threads] / cold["Tessary -d"],
                            cold[all_threads] / cold["Tessary -d"] >= 0.9))
    per_file = small["Tessary -d"] / small["floor"]
    lines.append(ratio_line("Small files: at most 0.7 x the one-thread floor's time per file",
                            per_file, per_file <= 0.7))
    sevens = times["sevens"]
    lines.append(ratio_line("7z archives: Tessary -d at least as fast as 7z t",
                            sevens["7z t"] / sevens["Tessary -d"],
                            sevens["7z t"] >= sevens["Tessary -d"]))
    rename = times["rename"]["Tessary big (rename)"]
    lines.append(ratio_line("Rename mode no slower than before the threads (%.2f s): %.2f s"
                            % (EARLIER_RENAME_SECONDS, rename),
                            rename / EARLIER_RENAME_SECONDS, rename <= EARLIER_RENAME_SECONDS * 1.05))
    with open(os.path.join(results, "peak_kib")) as peak_file:
        peak = int(peak_file.read().split()[-1]) * 1024
    with open(os.path.join(results, "largest_bytes")) as largest_file:
        largest = int(largest_file.read())
    limit = (threads + 4) * largest + 32 * 1048576
    lines.append("| Peak memory at most (threads + 4) x the largest file + 32 MiB (%.1f MiB) "
                 "| %.1f MiB | %s |" % (limit / 1048576, peak / 1048576,
                                        verdict(peak <= limit)))
    rates = kernel_rates(os.path.join(results, "kernels.json"))
    if rates.get("vpclmul") and rates.get("isal"):
        share = rates["vpclmul"] / rates["isal"]
        lines.append("| VPCLMULQDQ kernel at least 0.9 x ISA-L at 1 MiB (%.1f vs %.1f GB/s) "
                     "| %.2f x | %s |" % (rates["vpclmul"] / 1e9, rates["isal"] / 1e9,
                                          share, verdict(share >= 0.9)))
    return lines


def explanations(times, threads):
    """Plain reasons for the targets that a run cannot meet on this machine."""
    notes = []
    big = times["big"]
    floor_gain = big["floor"] / big["floor, %d threads" % threads]
    if floor_gain * 0.85 < 1.6:
        notes.append(
            "- Warm large files: here %d threads read only %.2f x as fast as one, "
            "so 0.85 x the %d-thread floor is %.2f x the one-thread floor."
            % (threads, floor_gain, threads, 0.85 * floor_gain))
    for other, wanted in (("7z h -scrcCRC32", 5.0), ("rhash --crc32", 8.0)):
        floor_speedup = big[other] / big["floor, %d threads" % threads] if other in big else wanted
        if floor_speedup < wanted:
            notes.append(
                "- %s: here even the %d-thread read-only floor is only %.2f x faster "
                "than %s." % (other, threads, floor_speedup, other))
    return notes


def catalog_section(results, corpus):
    """The catalog load: plain layout against XML, time and peak memory."""
    times = medians(os.path.join(results, "catalogs.json"))
    peaks = {}
    for layout in ("plain", "xml"):
        with open(os.path.join(results, "catalog_%s_kib" % layout)) as peak_file:
            peaks[layout] = int(peak_file.read().split()[-1]) * 1024
    sizes = {layout: os.path.getsize(os.path.join(corpus, "catalogs", ".%s.dat" % layout))
             for layout in ("plain", "xml")}
    with open(os.path.join(corpus, "catalogs", ".plain.dat")) as plain:
        entries = sum(1 for _ in plain) - 1
    plain, xml = times["plain layout"], times["XML"]
    lines = ["## Catalog load: %d entries, plain %.1f MB, XML %.1f MB (%.1f x the bytes)"
             % (entries, sizes["plain"] / 1e6, sizes["xml"] / 1e6, sizes["xml"] / sizes["plain"]),
             "",
             "| catalog | median | peak memory |", "|---|---|---|",
             "| plain layout | %.3f s | %.1f MiB |" % (plain, peaks["plain"] / 1048576),
             "| XML | %.3f s | %.1f MiB |" % (xml, peaks["xml"] / 1048576), ""]
    ratio, memory = xml / plain, peaks["xml"] / peaks["plain"]
    lines += ["| target | measured | |", "|---|---|---|",
              "| XML load at most 2 x the plain load's time | %.2f x | %s |"
              % (ratio, verdict(ratio <= 2.0)),
              "| XML load's peak memory at most 2 x the plain load's | %.2f x | %s |"
              % (memory, verdict(memory <= 2.0)), ""]
    return lines


def main():
    results, corpus, mode = sys.argv[1], sys.argv[2], sys.argv[3]
    out = ["# Benchmark results", "",
           "Run of `bench/run.sh%s` on %s." % (" --tiny" if mode == "tiny" else "",
                                               datetime.date.today().isoformat()),
           "", "- Processor: %s" % processor(),
           "- Cores: %d" % os.cpu_count(),
           "- Medians of the timed runs, warm page cache unless a table says cold; "
           "hyperfine runs each command through a shell, which adds about a "
           "millisecond.", ""]
    times = {}
    counts = {}
    with open(os.path.join(results, "threads")) as threads_file:
        threads = int(threads_file.read())
    out.insert(-1, "- Tessary and Quarn identified files on %d threads." % threads)
    for name, folder, ending, title in WORKLOADS:
        times[name] = medians(os.path.join(results, name + ".json"))
        files, total = corpus_size(os.path.join(corpus, folder), ending)
        counts[name] = files
        out += ["## %s: %d files, %.2f GB" % (title, files, total / 1e9), ""]
        out += workload_table(name, times[name], files, total) + [""]
    out += ["## Targets", ""] + targets(results, times, threads) + [""]
    notes = explanations(times, threads)
    if notes:
        out += ["Why the missed targets cannot be met on this machine:", ""]
        out += notes + [""]
    out += catalog_section(results, corpus)
    print("\n".join(out))


if __name__ == "__main__":
    main()
