#!/usr/bin/env python3
"""Turns the timings of bench/run.sh into a markdown report.

    report.py RESULTS_FOLDER CORPUS_FOLDER MODE
"""
import datetime
import json
import os
import statistics
import sys

WORKLOADS = [
    ("big", ".bin", "Large files (16 KiB to 4 MiB)"),
    ("small", ".a26", "Small files (4 KiB)"),
    ("zips", ".zip", "Zip archives (one member each)"),
    ("pictures", ".jpg", "JPEG pictures"),
    ("rename", ".a26", "Rename mode, a catalog of twice as many entries"),
]


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


def targets(results, times):
    lines = ["| target | measured | |", "|---|---|---|"]
    big = times["big"]
    ratio = big["floor"] / big["Tessary -d"]
    lines.append("| Tessary -d on large files: at least 0.8 x the floor's throughput "
                 "| %.2f x | %s |" % (ratio, verdict(ratio >= 0.8)))
    for other, wanted in (("7z h -scrcCRC32", 3.0), ("rhash --crc32", 6.0)):
        if other in big:
            speedup = big[other] / big["Tessary -d"]
            lines.append("| Tessary -d at least %.0f x faster than %s | %.2f x | %s |"
                         % (wanted, other, speedup, verdict(speedup >= wanted)))
    small = times["small"]
    per_file = small["Tessary -d"] / small["floor"]
    lines.append("| Small files: at most 1.3 x the floor's time per file | %.2f x | %s |"
                 % (per_file, verdict(per_file <= 1.3)))
    rename = times["rename"]
    slower = rename["Tessary big (rename)"] / rename["Tessary -d"]
    lines.append("| Rename mode within 2 x a dump of the same files | %.2f x | %s |"
                 % (slower, verdict(slower <= 2.0)))
    if "move floor" in rename:
        # What the file system's moves alone cost, beside the dump.
        floor = rename["Tessary -d"] + rename["move floor"]
        lines.append("| (for reference) rename mode beside a dump plus the bare "
                     "moves (%.2f s + %.2f s) | %.2f x | |"
                     % (rename["Tessary -d"], rename["move floor"],
                        rename["Tessary big (rename)"] / floor))
    with open(os.path.join(results, "peak_kib")) as peak_file:
        peak = int(peak_file.read().split()[-1]) * 1024
    with open(os.path.join(results, "largest_bytes")) as largest_file:
        largest = int(largest_file.read())
    limit = largest + 16 * 1048576
    lines.append("| Peak memory at most the largest file + 16 MiB (%.1f MiB) "
                 "| %.1f MiB | %s |" % (limit / 1048576, peak / 1048576,
                                        verdict(peak <= limit)))
    rates = kernel_rates(os.path.join(results, "kernels.json"))
    if rates.get("vpclmul") and rates.get("isal"):
        share = rates["vpclmul"] / rates["isal"]
        lines.append("| VPCLMULQDQ kernel at least 0.9 x ISA-L at 1 MiB (%.1f vs %.1f GB/s) "
                     "| %.2f x | %s |" % (rates["vpclmul"] / 1e9, rates["isal"] / 1e9,
                                          share, verdict(share >= 0.9)))
    return lines


def explanations(times, rename_files):
    """Plain reasons for the targets that a run cannot meet on this machine."""
    notes = []
    big = times["big"]
    for other, wanted in (("7z h -scrcCRC32", 3.0), ("rhash --crc32", 6.0)):
        floor_speedup = big[other] / big["floor"] if other in big else wanted
        if floor_speedup * 0.8 < wanted:
            notes.append(
                "- %s: here the read-only floor itself is only %.2f x faster "
                "than %s, so 0.8 x the floor is %.2f x; a ratio of %.0f x needs "
                "a machine where reading is that much faster than %s."
                % (other, floor_speedup, other, 0.8 * floor_speedup, wanted, other))
    rename = times["rename"]
    if "move floor" in rename:
        dump, moves = rename["Tessary -d"], rename["move floor"]
        if moves / dump > 1.0:
            notes.append(
                "- Rename mode: one move costs %.1f µs on this file system, and "
                "the bare moves alone take %.2f x the whole dump, so no rename "
                "mode can come within 2 x a dump here; Tessary's rename mode "
                "takes %.2f x the dump plus the bare moves."
                % (moves * 1e6 / rename_files, moves / dump,
                   rename["Tessary big (rename)"] / (dump + moves)))
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
           "- Medians of the timed runs, warm page cache; hyperfine runs each "
           "command through a shell, which adds about a millisecond.", ""]
    times = {}
    counts = {}
    for name, ending, title in WORKLOADS:
        times[name] = medians(os.path.join(results, name + ".json"))
        files, total = corpus_size(os.path.join(corpus, name), ending)
        counts[name] = files
        out += ["## %s: %d files, %.2f GB" % (title, files, total / 1e9), ""]
        out += workload_table(name, times[name], files, total) + [""]
    out += ["## Targets", ""] + targets(results, times) + [""]
    notes = explanations(times, counts["rename"])
    if notes:
        out += ["Why the missed targets cannot be met on this machine:", ""]
        out += notes + [""]
    out += catalog_section(results, corpus)
    print("\n".join(out))


if __name__ == "__main__":
    main()
