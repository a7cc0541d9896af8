#!/usr/bin/env python3
"""decode-escapes beside cat and the tools people already use for the job.

Measures, in one run, the throughput of decode-escapes on UTF-8 files of
64 MiB (no escapes, 1 % of the characters in escapes, escapes back to back;
each mode) with the output going to /dev/null, beside `cat` on the same file
and four peers: Perl's HTML::Entities::decode_entities (a line at a time),
ascii2uni, Python's html.unescape (mode 0) or a re.sub for \\uXXXX (mode 1),
and Node's `entities` package (decodeHTML, mode 0). Times are medians of
several runs by hyperfine. Then the throughput of decode-escapes and of cat on
1 GiB files, the peak resident memory of decode-escapes at 64 MiB and 1 GiB,
and a chart.

    bench/cli_bench.py [--tool PATH] [--wine-tool PATH] [--runs N] [--peer-runs N] [--cpu N]
                       [--chart docs/images/cli-throughput.svg] [--json results.json]

With --cpu every program measured runs on that one processor, as the
decoder benchmark does (bench/ratios.py --cpu).

Needs hyperfine, perl with libhtml-parser-perl, uni2ascii, python3, node and
npm (scripts/install-deps --bench installs them); the `entities` package goes
into build/bench/npm with npm. The texts are made once, in build/bench.
"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "bench")
SIZE = 64 << 20
LARGE_COPIES = 16  # the 1 GiB files are the 64 MiB ones, 16 times over
ENTITIES_VERSION = "9.0.0"
LIMIT = [30.0]  # seconds a peer may take, set from the command line

# Japanese and Chinese prose with ASCII words, without '&' or '\'.
PHRASES = ["日本語の文章を", "ここに書きます。", "中文的文本", "也在这里。", "Unicode ", "escape ",
           "「引用」", "、", "。", "\r\n", "decoder ", "テキスト", "编辑器", "選択範囲", " 2026 ",
           "(note) ", "変換", "字符", "- ", "OK; "]

MODES = [("charref", "0"), ("ucn", "1")]
KINDS = ["none", "sparse", "dense"]

PYTHON_UNESCAPE = ("import sys, html\n"
                   "text = open(sys.argv[1], encoding='utf-8', newline='').read()\n"
                   "sys.stdout.buffer.write(html.unescape(text).encode('utf-8', 'surrogatepass'))\n")
PYTHON_UCN = ("import sys, re\n"
              "text = open(sys.argv[1], encoding='utf-8', newline='').read()\n"
              "name = re.compile(r'\\\\u([0-9a-fA-F]{4})')\n"
              "out = name.sub(lambda m: chr(int(m.group(1), 16)), text)\n"
              "sys.stdout.buffer.write(out.encode('utf-8', 'surrogatepass'))\n")
NODE_DECODE = ("const {decodeHTML} = require('entities'); const fs = require('fs');\n"
               "process.stdout.write(decodeHTML(fs.readFileSync(process.argv[1], 'utf8')));\n")


def escape(mode, value):
    return "&#%05d;" % value if mode == "charref" else "\\u%04x" % value


def make_text(mode, kind, size, seed):
    """A UTF-8 text of exactly `size` bytes; 1 % of the characters are in
    escapes for `sparse`. The same arguments always give the same text."""
    rng = random.Random(seed)
    pieces = []
    length = 0
    escape_chars = 8 if mode == "charref" else 6
    while length < size:
        if kind != "dense":
            run = 99 * escape_chars if kind == "sparse" else 1 << 16
            chars = 0
            target = rng.randint(run // 2, run * 3 // 2)
            while chars < target:
                phrase = rng.choice(PHRASES)
                pieces.append(phrase)
                chars += len(phrase)
                length += len(phrase.encode("utf-8"))
        if kind != "none":
            piece = escape(mode, rng.randint(0x4E00, 0x9FA5))
            pieces.append(piece)
            length += len(piece)
    data = "".join(pieces).encode("utf-8")[:size]
    # Pad over a character or an escape that the cut split.
    end = len(data)
    while end > 0 and (data[end - 1] & 0xC0) == 0x80 or data[end - 1:end] in (b"&", b"\\"):
        end -= 1
    cut = max(data.rfind(b"&", end - 8, end), data.rfind(b"\\", end - 6, end))
    if cut >= 0 and kind != "none":
        end = cut
    if end > 0 and data[end - 1] >= 0xC0:
        end -= 1
    return data[:end] + b"." * (size - end)


def text_path(mode, kind, large=False):
    name = "none" if kind == "none" else "%s-%s" % (kind, mode)
    return os.path.join(WORK, "%s-%s.txt" % (name, "1GiB" if large else "64MiB"))


def prepare_texts(large):
    os.makedirs(WORK, exist_ok=True)
    for mode, _ in MODES:
        for kind in KINDS:
            path = text_path(mode, kind)
            if not os.path.exists(path):
                with open(path, "wb") as out:
                    out.write(make_text(mode, kind, SIZE, "%s/%s" % (mode, kind)))
            big = text_path(mode, kind, True)
            if large and not os.path.exists(big):
                with open(path, "rb") as small, open(big, "wb") as out:
                    data = small.read()
                    for _ in range(LARGE_COPIES):
                        out.write(data)


def prepare_node():
    """The `entities` package, installed with npm into build/bench/npm."""
    prefix = os.path.join(WORK, "npm")
    if not os.path.exists(os.path.join(prefix, "node_modules", "entities")):
        subprocess.run(["npm", "install", "--prefix", prefix, "--no-audit", "--no-fund", "--silent",
                        "entities@" + ENTITIES_VERSION], check=True)
    return os.path.join(prefix, "node_modules")


def peers(mode, path):
    """The peers' commands for `mode`, by name; a peer that does not read
    this kind of escape is left out."""
    python = "/usr/bin/python3"
    if mode == "charref":
        return [
            ("perl HTML::Entities", ["perl", "-CSD", "-MHTML::Entities", "-ne", "print decode_entities($_)", path]),
            ("ascii2uni", ["ascii2uni", "-q", "-a", "D", path]),
            ("python html.unescape", [python, "-c", PYTHON_UNESCAPE, path]),
            ("node entities", ["node", "-e", NODE_DECODE, path]),
        ]
    return [
        ("ascii2uni", ["ascii2uni", "-q", "-a", "U", path]),
        ("python re.sub", [python, "-c", PYTHON_UCN, path]),
    ]


def run_times(commands, runs, warmup, env=None):
    """Wall times of each command's runs, by hyperfine, output to /dev/null."""
    with tempfile.NamedTemporaryFile(suffix=".json") as export:
        arguments = ["hyperfine", "-N", "--style", "none", "--output", "null", "--warmup", str(warmup),
                     "--runs", str(runs), "--export-json", export.name]
        for command in commands:
            arguments.append(" ".join(shell_quote(part) for part in command))
        subprocess.run(arguments, check=True, env=env, stdout=subprocess.DEVNULL)
        with open(export.name) as results:
            return [result["times"] for result in json.load(results)["results"]]


def median_seconds(commands, runs, warmup, env=None, rounds=1):
    """Median wall time of each command. With several rounds the commands
    take turns, a few runs each, so that a slow moment of the machine falls
    on all of them alike."""
    times = [[] for _ in commands]
    for _ in range(rounds):
        for collected, new in zip(times, run_times(commands, max(1, runs // rounds), warmup, env)):
            collected.extend(new)
    return [statistics.median(collected) for collected in times]


def shell_quote(text):
    if text and all(c.isalnum() or c in "-_./=:+@" for c in text):
        return text
    return "'" + text.replace("'", "'\"'\"'") + "'"


def peak_memory_kib(command):
    """Peak resident memory of `command`, output to /dev/null, by GNU time."""
    with tempfile.NamedTemporaryFile() as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command, check=True,
                       stdout=subprocess.DEVNULL)
        return int(open(report.name).read().split()[-1])


def finishes(command, env, limit):
    """Runs `command` once (a warm-up); false when it takes longer than
    `limit` seconds, as ascii2uni does on a long line (its time grows with
    the square of the line's length)."""
    try:
        subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=limit,
                       check=True)
        return True
    except subprocess.TimeoutExpired:
        return False


def gb_per_s(path, seconds):
    return os.path.getsize(path) / seconds / 1e9


def measure(args):
    env = dict(os.environ, NODE_PATH=prepare_node())
    rows = []
    for mode, number in MODES:
        for kind in KINDS:
            path = text_path(mode, kind)
            tool = [args.tool, "-m", number, path]
            fast = median_seconds([["cat", path], tool], args.runs, 2, rounds=args.rounds)
            named_peers, over_limit = [], []
            for name, command in peers(mode, path):
                if finishes(command, env, args.peer_limit):
                    named_peers.append((name, command))
                else:
                    over_limit.append(name)
            slow = median_seconds([command for _, command in named_peers], args.peer_runs, 0, env)
            row = {
                "case": "%s/%s" % (mode, kind),
                "cat": gb_per_s(path, fast[0]),
                "decode-escapes": gb_per_s(path, fast[1]),
                "peers": {name: gb_per_s(path, seconds) for (name, _), seconds in zip(named_peers, slow)},
                "peers over the limit": over_limit,
            }
            # At 1 GiB cat runs beside it again: both start a process and read
            # the file from the page cache, costs that weigh more at 64 MiB.
            large = text_path(mode, kind, True)
            large_times = median_seconds([["cat", large], [args.tool, "-m", number, large]], args.large_runs, 1,
                                         rounds=2)
            row["cat 1GiB"] = gb_per_s(large, large_times[0])
            row["decode-escapes 1GiB"] = gb_per_s(large, large_times[1])
            row["memory KiB"] = {"64MiB": peak_memory_kib(tool),
                                 "1GiB": peak_memory_kib([args.tool, "-m", number, large])}
            if args.wine_tool:
                wine = ["wine", args.wine_tool, "-m", number]
                row["wine memory KiB"] = {"64MiB": peak_memory_kib(wine + [path]),
                                          "1GiB": peak_memory_kib(wine + [large])}
            rows.append(row)
            print("measured %s" % row["case"], file=sys.stderr)
    return rows


def table(rows):
    lines = ["| Case | decode-escapes | cat | ratio to cat | fastest peer | peer | speed-up | 1 GiB | cat, 1 GiB | "
             "peak memory 64 MiB / 1 GiB |",
             "|---|---:|---:|---:|---|---:|---:|---:|---:|---:|"]
    for row in rows:
        name, peer = max(row["peers"].items(), key=lambda item: item[1])
        ours = row["decode-escapes"]
        lines.append("| %s | %.2f GB/s | %.2f GB/s | %.2f | %s | %.3f GB/s | %.0fx | %.2f GB/s (%+.0f %%) | "
                     "%.2f GB/s (%+.0f %%) | %.1f / %.1f MiB |" % (
                         row["case"], ours, row["cat"], ours / row["cat"], name, peer, ours / peer,
                         row["decode-escapes 1GiB"], 100 * (row["decode-escapes 1GiB"] / ours - 1),
                         row["cat 1GiB"], 100 * (row["cat 1GiB"] / row["cat"] - 1),
                         row["memory KiB"]["64MiB"] / 1024, row["memory KiB"]["1GiB"] / 1024))
    lines.append("")
    names = sorted({p for row in rows for p in list(row["peers"]) + row["peers over the limit"]})
    lines.append("| Case | " + " | ".join(names) + " |")
    lines.append("|---|" + "---:|" * len(names))
    for row in rows:
        cells = ["%.3f GB/s" % row["peers"][n] if n in row["peers"]
                 else "over %g s" % LIMIT[0] if n in row["peers over the limit"] else "-" for n in names]
        lines.append("| %s | %s |" % (row["case"], " | ".join(cells)))
    if any("wine memory KiB" in row for row in rows):
        lines.append("")
        lines.append("| Case | peak memory under Wine, 64 MiB / 1 GiB |")
        lines.append("|---|---:|")
        for row in rows:
            memory = row["wine memory KiB"]
            lines.append("| %s | %.1f / %.1f MiB |" % (row["case"], memory["64MiB"] / 1024, memory["1GiB"] / 1024))
    return "\n".join(lines)


def chart(rows, path):
    """Throughput per case as grouped bars, drawn as SVG by hand (log scale)."""
    import math
    series = [("decode-escapes", "#1f77b4"), ("cat", "#7f7f7f"), ("fastest peer", "#d62728")]
    width, height, left, top, bottom = 760, 320, 70, 30, 60
    plot_w, plot_h = width - left - 20, height - top - bottom
    low, high = 0.01, 20.0
    def y(value):
        value = min(max(value, low), high)
        return top + plot_h * (1 - (math.log10(value) - math.log10(low)) / (math.log10(high) - math.log10(low)))
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" '
           'font-size="11">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="18" font-size="13">Throughput, GB/s (log scale), 64 MiB UTF-8 file to /dev/null</text>'
           % left]
    for tick in (0.01, 0.1, 1, 10):
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>' % (left, left + plot_w, y(tick), y(tick)))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (left - 6, y(tick) + 4, tick))
    group = plot_w / len(rows)
    bar = group / (len(series) + 1)
    for i, row in enumerate(rows):
        values = [row["decode-escapes"], row["cat"], max(row["peers"].values())]
        for k, ((_, colour), value) in enumerate(zip(series, values)):
            x = left + i * group + bar / 2 + k * bar
            out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="%s"/>' % (
                x, y(value), bar * 0.9, top + plot_h - y(value), colour))
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%s</text>' % (
            left + (i + 0.5) * group, top + plot_h + 16, row["case"]))
    for k, (name, colour) in enumerate(series):
        x = left + k * 160
        out.append('<rect x="%d" y="%d" width="10" height="10" fill="%s"/>' % (x, height - 22, colour))
        out.append('<text x="%d" y="%d">%s</text>' % (x + 14, height - 13, name))
    out.append("</svg>")
    with open(path, "w") as svg:
        svg.write("\n".join(out) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tool", default=os.path.join(ROOT, "build/native/cli/decode_escapes/decode-escapes"))
    parser.add_argument("--wine-tool", help="a decode-escapes.exe whose memory to measure under Wine")
    parser.add_argument("--runs", type=int, default=40, help="runs of cat and decode-escapes per file")
    parser.add_argument("--rounds", type=int, default=8, help="turns that cat and decode-escapes take")
    parser.add_argument("--large-runs", type=int, default=10, help="runs of cat and decode-escapes per 1 GiB file")
    parser.add_argument("--peer-runs", type=int, default=3)
    parser.add_argument("--cpu", type=int, help="run every program measured on this processor only")
    parser.add_argument("--peer-limit", type=float, default=30, help="seconds a peer may take on one file")
    parser.add_argument("--chart", help="write the chart here (SVG)")
    parser.add_argument("--json", help="write the figures here")
    args = parser.parse_args()
    LIMIT[0] = args.peer_limit
    if args.cpu is not None:
        os.sched_setaffinity(0, {args.cpu})  # the programs started inherit it
    for program in ("hyperfine", "perl", "ascii2uni", "node", "npm"):
        if shutil.which(program) is None:
            sys.exit("cli_bench: %s is missing (scripts/install-deps --bench installs it)" % program)
    prepare_texts(large=True)
    rows = measure(args)
    print(table(rows))
    if args.json:
        with open(args.json, "w") as out:
            json.dump(rows, out, indent=1)
    if args.chart:
        chart(rows, args.chart)


if __name__ == "__main__":
    main()
