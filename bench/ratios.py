#!/usr/bin/env python3
"""Runs the decoder benchmark and prints its figures as Markdown tables.

    bench/ratios.py build/native/bench/decoder_bench --cpu 1
    bench/ratios.py --json results.json        # figures saved before

Every time is the median of the repetitions, which run in a random order
across all the cases, so that a copy and the decodes it is compared with are
measured side by side even when the machine's speed drifts during the run. For each kernel, a table gives
bytes of UTF-16 input per second and the ratio to Memcpy of the same size
(the copy of the same buffer, measured in the same run) at 64 KiB, where the
text sits in the core's caches, and at 16 MiB, where it comes from memory.
Then the time against the size: time(2N) / time(N) for the doublings
measured, beside Memcpy's own. Last the targets, checked for the kernel that
this processor picks (the last one measured), with PASS or FAIL; the exit
status is 1 when a target fails.

Targets: at 16 MiB no escapes at least 1.4 and dense text at least 0.7 of
Memcpy; at 64 KiB dense text at least 0.8; and a doubling costs no more
than the same doubling of Memcpy (within 5 %, the noise of a median here)
where both stay within one level of the memory hierarchy: 128 KiB to
256 KiB in the core's second-level cache, 128 MiB to 256 MiB in memory.
Elsewhere the decoder, which works in place on N bytes where the copy
touches 2N, leaves a cache one doubling or two later than the copy and takes
the steeper step there; those doublings are shown, not checked.

Standard library only.
"""

import argparse
import json
import re
import subprocess
import sys

KIB = 1024
MIB = 1024 * KIB
SIZES = {"64KiB": 64 * KIB, "128KiB": 128 * KIB, "256KiB": 256 * KIB, "8MiB": 8 * MIB, "16MiB": 16 * MIB,
         "32MiB": 32 * MIB, "64MiB": 64 * MIB, "128MiB": 128 * MIB, "256MiB": 256 * MIB}
KERNELS = ("portable", "sse2", "avx2")
MODES = ("charref", "ucn")
KINDS = ("none", "sparse", "dense")

# Targets, as ratios to Memcpy of the same size.
RATIO_TARGETS = (("16MiB", "none", 1.4), ("16MiB", "dense", 0.7), ("64KiB", "dense", 0.8))
DOUBLINGS = (("64KiB", "128KiB"), ("128KiB", "256KiB"), ("8MiB", "16MiB"), ("16MiB", "32MiB"), ("32MiB", "64MiB"),
             ("64MiB", "128MiB"), ("128MiB", "256MiB"))
CHECKED_DOUBLINGS = (("128KiB", "256KiB"), ("128MiB", "256MiB"))
DOUBLING_NOISE = 1.05


def run_benchmark(binary, cpu, repetitions, min_time, benchmark_filter):
    command = [
        binary,
        "--benchmark_format=json",
        "--benchmark_repetitions=%d" % repetitions,
        "--benchmark_report_aggregates_only=true",
        "--benchmark_enable_random_interleaving=true",
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
    if not bytes_per_second:
        return "-"
    value = bytes_per_second / 1e9
    return ("%.1f GB/s" if value >= 1 else "%.3f GB/s") % value


def ratio_to_memcpy(cases, name):
    memcpy = cases.get("Memcpy/" + size_of(name))
    if not memcpy or name not in cases:
        return None
    return memcpy["time"] / cases[name]["time"]


def kernels_measured(cases):
    return [kernel for kernel in KERNELS if any(name.startswith("Decode/%s/" % kernel) for name in cases)]


def doubling(cases, stem, small, large):
    first = cases.get(stem + "/" + small)
    second = cases.get(stem + "/" + large)
    return second["time"] / first["time"] if first and second else None


def cell(value, form):
    return form % value if value is not None else "-"


def print_kernel_table(cases, kernel):
    print("Kernel %s:\n" % kernel)
    print("| Case | 64 KiB | ratio | 16 MiB | ratio |")
    print("| --- | ---: | ---: | ---: | ---: |")
    memcpy = ["Memcpy"]
    for size in ("64KiB", "16MiB"):
        case = cases.get("Memcpy/" + size)
        memcpy += [gigabytes(case["bytes_per_second"]) if case else "-", "1.00" if case else "-"]
    print("| " + " | ".join(memcpy) + " |")
    for mode in MODES:
        for kind in KINDS:
            row = ["%s/%s" % (mode, kind)]
            for size in ("64KiB", "16MiB"):
                name = "Decode/%s/%s/%s/%s" % (kernel, mode, kind, size)
                case = cases.get(name)
                row += [gigabytes(case["bytes_per_second"]) if case else "-",
                        cell(ratio_to_memcpy(cases, name), "%.2f")]
            print("| " + " | ".join(row) + " |")
    print()


def print_reference(cases):
    rows = [name for name in cases if name.startswith("Reference/")]
    if not rows:
        return
    print("The literal model (one block move per escape), 64 KiB:\n")
    print("| Case | Bytes/s | ratio |")
    print("| --- | ---: | ---: |")
    for name in sorted(rows):
        print("| %s | %s | %s |" % (name, gigabytes(cases[name]["bytes_per_second"]),
                                    cell(ratio_to_memcpy(cases, name), "%.2g")))
    print()


def print_doublings(cases, kernel):
    print("Time against size with kernel %s, time(2N) / time(N):\n" % kernel)
    header = ["Case"] + ["%s to %s" % pair for pair in DOUBLINGS]
    print("| " + " | ".join(header) + " |")
    print("| --- |" + " ---: |" * len(DOUBLINGS))
    stems = ["Memcpy"] + ["Decode/%s/%s/%s" % (kernel, mode, kind) for mode in MODES for kind in KINDS]
    for stem in stems:
        cells = [cell(doubling(cases, stem, small, large), "%.2fx") for small, large in DOUBLINGS]
        print("| " + " | ".join([stem.replace("Decode/%s/" % kernel, "")] + cells) + " |")
    print()


def check_targets(cases, kernel):
    results = []
    for size, kind, least in RATIO_TARGETS:
        for mode in MODES:
            name = "Decode/%s/%s/%s/%s" % (kernel, mode, kind, size)
            ratio = ratio_to_memcpy(cases, name)
            if ratio is not None:
                results.append(("%s: at least %.1f of Memcpy" % (name, least), ratio >= least, "%.2f" % ratio))
    for mode in MODES:
        for kind in KINDS:
            stem = "Decode/%s/%s/%s" % (kernel, mode, kind)
            for small, large in CHECKED_DOUBLINGS:
                times = doubling(cases, stem, small, large)
                memcpy = doubling(cases, "Memcpy", small, large)
                if times is not None and memcpy is not None:
                    results.append(("%s: %s to %s no more than Memcpy's" % (stem, small, large),
                                    times <= memcpy * DOUBLING_NOISE, "%.2fx against %.2fx" % (times, memcpy)))
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
    kernels = kernels_measured(cases)
    for kernel in kernels:
        print_kernel_table(cases, kernel)
    print_reference(cases)
    if not kernels:
        return 0
    picked = kernels[-1]
    print_doublings(cases, picked)
    targets = check_targets(cases, picked)
    print_targets(targets)
    return 0 if all(passed for _, passed, _ in targets) else 1


if __name__ == "__main__":
    sys.exit(main())
