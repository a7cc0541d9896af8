#!/usr/bin/env python3
"""Runs the decoder benchmark and prints its figures as Markdown tables.

    bench/ratios.py build/native/bench/decoder_bench --cpu 1
    bench/ratios.py --json results.json        # figures saved before

Every time is the median of the repetitions. The tables give, per case,
bytes of UTF-16 input per second and the ratio to Memcpy of the same size
(the copy of the same buffer, measured in the same run), then the growth of
the time with the size, then the targets with PASS or FAIL. The exit status
is 1 when a target fails.

Growth: "scaled" is time(16MiB) / (256 x time(64KiB)), 1.0 for a time that
grows exactly with the size, and the target is at most 1.1x extra per
doubling over its 8 doublings. Those two sizes sit in different levels of
the memory hierarchy (the core's caches against the shared cache and
memory), where even a copy has a different speed, so Memcpy's own figure is
printed beside each and a second check asks that the decoder's growth be no
worse than Memcpy's. "Doubling" is time(2N) / time(N) for the pairs of sizes
measured; 32KiB to 64KiB stays in the core's caches, 32MiB to 64MiB is out
of the shared cache on both sides.

Standard library only.
"""

import argparse
import json
import re
import subprocess
import sys

KIB = 1024
MIB = 1024 * KIB
SIZES = {"32KiB": 32 * KIB, "64KiB": 64 * KIB, "8MiB": 8 * MIB, "16MiB": 16 * MIB, "32MiB": 32 * MIB,
         "64MiB": 64 * MIB}
MODES = ("charref", "ucn")
KINDS = ("none", "sparse", "dense")

# Targets, as ratios to Memcpy of the same size.
NONE_AT_LEAST = 1.0
DENSE_AT_LEAST = 0.25
SCALED_AT_MOST = 1.1 ** 8  # at most 1.1x extra per doubling, over 8 doublings
DOUBLING_AT_MOST = 2.2
RATIO_SIZES = ("64KiB", "16MiB")
DOUBLINGS = (("32KiB", "64KiB"), ("8MiB", "16MiB"), ("16MiB", "32MiB"), ("32MiB", "64MiB"))
CHECKED_DOUBLINGS = (("32KiB", "64KiB"), ("32MiB", "64MiB"))


def run_benchmark(binary, cpu, repetitions, min_time, benchmark_filter):
    command = [
        binary,
        "--benchmark_format=json",
        "--benchmark_repetitions=%d" % repetitions,
        "--benchmark_report_aggregates_only=true",
        "--benchmark_min_time=%s" % min_time,
    ]
    if benchmark_filter:
        command.append("--benchmark_filter=%s" % benchmark_filter)
    if cpu is not None:
        command = ["taskset", "-c", str(cpu)] + command
    print("running: " + " ".join(command), file=sys.stderr)
    completed = subprocess.run(command, stdout=subprocess.PIPE, check=True, universal_newlines=True)
    return json.loads(completed.stdout)


def to_seconds(value, unit):
    return value * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[unit]


def collect(results):
    """Maps each case name to its median time (s), bytes per second and CV."""
    cases = {}
    for entry in results["benchmarks"]:
        if entry.get("run_type") != "aggregate":
            continue
        name = re.sub(r"/manual_time$", "", entry["run_name"])
        case = cases.setdefault(name, {})
        if entry["aggregate_name"] == "median":
            case["time"] = to_seconds(entry["real_time"], entry["time_unit"])
            case["bytes_per_second"] = entry.get("bytes_per_second")
        elif entry["aggregate_name"] == "cv":
            case["cv"] = entry["real_time"]
    return {name: case for name, case in cases.items() if "time" in case}


def size_of(name):
    return name.rsplit("/", 1)[1]


def gigabytes(bytes_per_second):
    return "%.1f GB/s" % (bytes_per_second / 1e9) if bytes_per_second else "-"


def percent(cv):
    return "%.1f%%" % (100 * cv) if cv is not None else "-"


def ratio_to_memcpy(cases, name):
    memcpy = cases.get("Memcpy/" + size_of(name))
    if not memcpy:
        return None
    return memcpy["time"] / cases[name]["time"]


def order(name):
    parts = name.split("/")
    family = {"Memcpy": 0, "Decode": 1, "Reference": 2}.get(parts[0], 3)
    mode = MODES.index(parts[1]) if len(parts) == 4 and parts[1] in MODES else -1
    kind = KINDS.index(parts[2]) if len(parts) == 4 and parts[2] in KINDS else -1
    return (family, mode, kind, SIZES.get(parts[-1], 0))


def print_speed_table(cases):
    print("| Case | Bytes/s | Ratio to Memcpy | CV |")
    print("| --- | ---: | ---: | ---: |")
    for name in sorted(cases, key=order):
        ratio = ratio_to_memcpy(cases, name)
        print("| %s | %s | %s | %s |" % (
            name, gigabytes(cases[name]["bytes_per_second"]),
            "%.3f" % ratio if ratio is not None else "-", percent(cases[name].get("cv"))))


def growth(cases, stem, small, large):
    """time(large) / (size ratio x time(small)) and the plain time ratio."""
    first = cases.get(stem + "/" + small)
    second = cases.get(stem + "/" + large)
    if not first or not second:
        return None, None
    times = second["time"] / first["time"]
    return times / (SIZES[large] / SIZES[small]), times


def stems(cases):
    found = set(name.rsplit("/", 1)[0] for name in cases if not name.startswith("Reference/"))
    return sorted(found, key=lambda stem: order(stem + "/0"))


def print_growth_table(cases):
    header = ["Case", "16MiB / (256 x 64KiB)"] + ["%s to %s" % pair for pair in DOUBLINGS]
    print("| " + " | ".join(header) + " |")
    print("| --- |" + " ---: |" * (len(header) - 1))
    for stem in stems(cases):
        scaled, _ = growth(cases, stem, "64KiB", "16MiB")
        cells = [stem, "%.2f" % scaled if scaled is not None else "-"]
        for small, large in DOUBLINGS:
            _, times = growth(cases, stem, small, large)
            cells.append("%.2fx" % times if times is not None else "-")
        print("| " + " | ".join(cells) + " |")


def check(results, target, passed, detail):
    results.append((target, passed, detail))


def check_targets(cases):
    results = []
    for mode in MODES:
        for size in RATIO_SIZES:
            for kind, least in (("none", NONE_AT_LEAST), ("dense", DENSE_AT_LEAST)):
                name = "Decode/%s/%s/%s" % (mode, kind, size)
                if name in cases:
                    ratio = ratio_to_memcpy(cases, name)
                    check(results, "%s: at least %.2f of Memcpy" % (name, least),
                          ratio is not None and ratio >= least, "%.3f" % ratio if ratio is not None else "missing")
    memcpy_scaled, _ = growth(cases, "Memcpy", "64KiB", "16MiB")
    for stem in stems(cases):
        if not stem.startswith("Decode/"):
            continue
        scaled, _ = growth(cases, stem, "64KiB", "16MiB")
        if scaled is not None:
            check(results, "%s: 16MiB / (256 x 64KiB) at most %.2f" % (stem, SCALED_AT_MOST),
                  scaled <= SCALED_AT_MOST, "%.2f" % scaled)
            if memcpy_scaled:
                check(results, "%s: 16MiB / (256 x 64KiB) at most Memcpy's" % stem,
                      scaled <= memcpy_scaled, "%.2f against %.2f" % (scaled, memcpy_scaled))
        for small, large in CHECKED_DOUBLINGS:
            _, times = growth(cases, stem, small, large)
            if times is not None:
                _, memcpy_times = growth(cases, "Memcpy", small, large)
                check(results, "%s: %s to %s at most %.1fx" % (stem, small, large, DOUBLING_AT_MOST),
                      times <= DOUBLING_AT_MOST,
                      "%.2fx (Memcpy %.2fx)" % (times, memcpy_times) if memcpy_times else "%.2fx" % times)
    return results


def print_targets(results):
    print("| Target | Measured | Result |")
    print("| --- | ---: | --- |")
    for target, passed, detail in results:
        print("| %s | %s | %s |" % (target, detail, "PASS" if passed else "FAIL"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("binary", nargs="?", help="the decoder_bench binary")
    parser.add_argument("--json", help="read results saved with --benchmark_format=json instead of running")
    parser.add_argument("--save", help="also write the results as JSON to this file")
    parser.add_argument("--cpu", type=int, help="pin the benchmark to this CPU with taskset")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--min-time", default="0.2", help="seconds per repetition (default 0.2)")
    parser.add_argument("--filter", help="--benchmark_filter for the binary")
    args = parser.parse_args()
    if args.json:
        with open(args.json) as source:
            results = json.load(source)
    elif args.binary:
        results = run_benchmark(args.binary, args.cpu, args.repetitions, args.min_time, args.filter)
    else:
        parser.error("give the benchmark binary or --json")
    if args.save:
        with open(args.save, "w") as target:
            json.dump(results, target, indent=1)
    cases = collect(results)
    context = results.get("context", {})
    print("Run of %s: %s CPUs at %s MHz, load average %s; medians of the repetitions.\n" % (
        context.get("date", "?"), context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"),
        " ".join("%.2f" % load for load in context.get("load_avg", [])) or "?"))
    print_speed_table(cases)
    print()
    print_growth_table(cases)
    print()
    targets = check_targets(cases)
    print_targets(targets)
    return 0 if all(passed for _, passed, _ in targets) else 1


if __name__ == "__main__":
    sys.exit(main())
