#!/usr/bin/env python3
"""decode-escapes beside cat and the tools people already use for the job.

Measures, in one run, the throughput of decode-escapes on UTF-8 files of
64 MiB (no escapes, 1 % of the characters in escapes, escapes back to back;
each mode) with the output going to /dev/null, beside `cat` on the same file
and the peers: Perl's HTML::Entities::decode_entities (a line at a time;
modes 0 and html), ascii2uni (modes 0 and 1), Python's html.unescape (modes 0
and html) or a re.sub for \\uXXXX (mode 1), Node's `entities` package
(decodeHTML; modes 0 and html), and Python's json load and dump (json). The
html files hold named and numeric references, the json files are JSON
documents whose strings hold escaped CJK characters, or none. Times are
medians of several runs by hyperfine. Then the throughput of decode-escapes
and of cat on 1 GiB files, the peak resident memory of decode-escapes at
64 MiB and 1 GiB, a chart, and the targets with PASS or FAIL (the exit
status is 1 when one fails): html at least 10 times Python's html.unescape
and 3 times Perl's decode_entities, json at least 10 times Python's json load
and dump, every mode on text without escapes at least half as fast as cat,
and peak memory under 16 MiB.

    bench/cli_bench.py [--tool PATH] [--wine-tool PATH] [--runs N] [--peer-runs N] [--cpu N]
                       [--modes charref,ucn,html,json] [--no-large]
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

MODES = [("charref", "0"), ("ucn", "1"), ("html", "html"), ("json", "json")]
KINDS = ["none", "sparse", "dense"]

# References of HTML text: named ones, with and without ';', and numeric ones
# in decimal and hexadecimal.
HTML_REFERENCES = ["&amp;", "&lt;", "&gt;", "&quot;", "&nbsp;", "&eacute;", "&mdash;", "&hellip;", "&copy;",
                   "&rarr;", "&hearts;", "&amp", "&#26085;", "&#x65e5;", "&#12354;", "&#x3042;", "&#128512;",
                   "&#39;"]
HTML_PHRASES = PHRASES + ["<p>", "</p>", "<b>", "</b>", "<br>\r\n"]

# Targets, as (what, least ratio).
PEER_TARGETS = {"html": [("python html.unescape", 10), ("perl HTML::Entities", 3)],
                "json": [("python json", 10)]}
CAT_TARGET = 0.5  # on text without escapes
MEMORY_TARGET_KIB = 16 << 10

PYTHON_UNESCAPE = ("import sys, html\n"
                   "text = open(sys.argv[1], encoding='utf-8', newline='').read()\n"
                   "sys.stdout.buffer.write(html.unescape(text).encode('utf-8', 'surrogatepass'))\n")
PYTHON_JSON = ("import sys, json\n"
               "value = json.load(open(sys.argv[1], encoding='utf-8'))\n"
               "json.dump(value, sys.stdout, ensure_ascii=False)\n")
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


def make_html(kind, size, seed):
    """HTML text of exactly `size` bytes: prose with tags, and references,
    1 % of the characters for `sparse`, back to back for `dense`."""
    rng = random.Random(seed)
    average = sum(map(len, HTML_REFERENCES)) / len(HTML_REFERENCES)
    pieces = []
    length = 0
    while length < size:
        if kind != "dense":
            target = rng.randint(int(99 * average) // 2, int(99 * average) * 3 // 2) if kind == "sparse" else 1 << 16
            chars = 0
            while chars < target:
                phrase = rng.choice(HTML_PHRASES)
                pieces.append(phrase)
                chars += len(phrase)
                length += len(phrase.encode("utf-8"))
        if kind != "none":
            piece = rng.choice(HTML_REFERENCES)
            pieces.append(piece)
            length += len(piece)
    return whole_pieces(pieces, size, b".")


def make_json(kind, size, seed):
    """A JSON document of exactly `size` bytes: an array of records whose
    strings hold Japanese and Chinese prose, with one escaped CJK character
    in about 600 characters (`sparse`, 1 % of the characters in escapes),
    escaped CJK characters only (`dense`), or no escapes (`none`)."""
    rng = random.Random(seed)
    prose = [phrase.replace("\r\n", " ") for phrase in PHRASES]
    escape = lambda: "\\u%04x" % rng.randint(0x4E00, 0x9FA5)
    pieces = ["[\n"]
    length = 2
    while length < size:
        if kind == "dense":
            text = [escape() for _ in range(100)]
        else:
            text = []
            while sum(map(len, text)) < 594:
                text.append(rng.choice(prose))
            if kind == "sparse":
                text.insert(rng.randrange(len(text) + 1), escape())
        record = '%s{"id": %d, "lang": "ja", "text": "%s", "score": %d.%02d}' % (
            "" if len(pieces) == 1 else ",\n", len(pieces), "".join(text), rng.randint(0, 99), rng.randint(0, 99))
        pieces.append(record)
        length += len(record.encode("utf-8"))
    data = whole_pieces(pieces, size - 3, b"").rstrip(b" ") + b"\n]\n"
    return data + b" " * (size - len(data))


def whole_pieces(pieces, size, pad):
    """The pieces that fit whole into `size` bytes, padded to it."""
    kept = []
    total = 0
    for piece in pieces:
        encoded = piece.encode("utf-8")
        if total + len(encoded) > size:
            break
        kept.append(encoded)
        total += len(encoded)
    return b"".join(kept) + pad * (size - total)


def make_case(mode, kind, size, seed):
    if mode == "html" and kind != "none":
        return make_html(kind, size, seed)
    if mode == "json":
        return make_json(kind, size, seed)
    return make_text(mode, kind, size, seed)


def text_path(mode, kind, large=False):
    """Text without escapes is one file for modes 0, 1 and html; JSON has
    files of its own."""
    name = "none" if kind == "none" and mode != "json" else "%s-%s" % (kind, mode)
    return os.path.join(WORK, "%s-%s.%s" % (name, "1GiB" if large else "64MiB", "json" if mode == "json" else "txt"))


def prepare_texts(modes, large):
    os.makedirs(WORK, exist_ok=True)
    for mode, _ in modes:
        for kind in KINDS:
            path = text_path(mode, kind)
            if not os.path.exists(path):
                with open(path, "wb") as out:
                    out.write(make_case(mode, kind, SIZE, "%s/%s" % (mode, kind)))
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
    if mode == "json":
        return [("python json", [python, "-c", PYTHON_JSON, path])]
    if mode == "html":
        return [
            ("perl HTML::Entities", ["perl", "-CSD", "-MHTML::Entities", "-ne", "print decode_entities($_)", path]),
            ("python html.unescape", [python, "-c", PYTHON_UNESCAPE, path]),
            ("node entities", ["node", "-e", NODE_DECODE, path]),
        ]
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
    for mode, number in args.modes:
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
                "decode-escapes seconds": fast[1],
                "cat": gb_per_s(path, fast[0]),
                "decode-escapes": gb_per_s(path, fast[1]),
                "peers": {name: gb_per_s(path, seconds) for (name, _), seconds in zip(named_peers, slow)},
                "peers over the limit": over_limit,
            }
            row["memory KiB"] = {"64MiB": peak_memory_kib(tool)}
            # At 1 GiB cat runs beside it again: both start a process and read
            # the file from the page cache, costs that weigh more at 64 MiB.
            large = text_path(mode, kind, True)
            if args.large:
                large_times = median_seconds([["cat", large], [args.tool, "-m", number, large]], args.large_runs, 1,
                                             rounds=2)
                row["cat 1GiB"] = gb_per_s(large, large_times[0])
                row["decode-escapes 1GiB"] = gb_per_s(large, large_times[1])
                row["memory KiB"]["1GiB"] = peak_memory_kib([args.tool, "-m", number, large])
            if args.wine_tool:
                wine = ["wine", args.wine_tool, "-m", number]
                row["wine memory KiB"] = {"64MiB": peak_memory_kib(wine + [path])}
                if args.large:
                    row["wine memory KiB"]["1GiB"] = peak_memory_kib(wine + [large])
            rows.append(row)
            print("measured %s" % row["case"], file=sys.stderr)
    return rows


def table(rows):
    lines = ["| Case | decode-escapes | cat | ratio to cat | fastest peer | peer | speed-up | 1 GiB | cat, 1 GiB | "
             "peak memory 64 MiB / 1 GiB |",
             "|---|---:|---:|---:|---|---:|---:|---:|---:|---:|"]
    for row in rows:
        name, peer = max(row["peers"].items(), key=lambda item: item[1]) if row["peers"] else ("-", None)
        ours = row["decode-escapes"]
        if "decode-escapes 1GiB" in row:
            large = "%.2f GB/s (%+.0f %%) | %.2f GB/s (%+.0f %%)" % (
                row["decode-escapes 1GiB"], 100 * (row["decode-escapes 1GiB"] / ours - 1),
                row["cat 1GiB"], 100 * (row["cat 1GiB"] / row["cat"] - 1))
        else:
            large = "- | -"
        lines.append("| %s | %.2f GB/s | %.2f GB/s | %.2f | %s | %s | %s | %s | %s |" % (
            row["case"], ours, row["cat"], ours / row["cat"], name, cell(peer, "%.3f GB/s"),
            cell(ours / peer if peer else None, "%.0fx"), large, memory_cell(row["memory KiB"])))
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
            lines.append("| %s | %s |" % (row["case"], memory_cell(row["wine memory KiB"])))
    return "\n".join(lines)


def cell(value, form):
    return form % value if value is not None else "-"


def memory_cell(memory):
    return "%s / %s MiB" % (cell(memory["64MiB"] / 1024, "%.1f"),
                            cell(memory["1GiB"] / 1024 if "1GiB" in memory else None, "%.1f"))


def check_targets(rows):
    """Each target with what was measured and whether it is met. A peer
    that ran over the time limit is at most the file's size per limit."""
    results = []
    for row in rows:
        mode, kind = row["case"].split("/")
        ours = row["decode-escapes"]
        for peer, least in PEER_TARGETS.get(mode, []):
            what = "%s: at least %gx %s" % (row["case"], least, peer)
            if peer in row["peers"]:
                ratio = ours / row["peers"][peer]
                results.append((what, ratio >= least, "%.1fx" % ratio))
            elif peer in row["peers over the limit"]:
                ratio = LIMIT[0] / row["decode-escapes seconds"]
                results.append((what, ratio >= least, "over %.0fx (peer over %g s)" % (ratio, LIMIT[0])))
            else:
                results.append((what, False, "not measured"))
        if kind == "none":
            ratio = ours / row["cat"]
            results.append(("%s: at least %.1f of cat" % (row["case"], CAT_TARGET), ratio >= CAT_TARGET,
                            "%.2f" % ratio))
        for size, kib in sorted(row["memory KiB"].items()):
            results.append(("%s: peak memory under %d MiB at %s" % (row["case"], MEMORY_TARGET_KIB >> 10, size),
                            kib < MEMORY_TARGET_KIB, "%.1f MiB" % (kib / 1024)))
    return results


def targets_table(results):
    lines = ["| Target | Measured | Result |", "|---|---:|---|"]
    for what, passed, measured in results:
        lines.append("| %s | %s | %s |" % (what, measured, "PASS" if passed else "FAIL"))
    return "\n".join(lines)


def chart(rows, path):
    """Throughput per case as grouped bars, drawn as SVG by hand (log scale)."""
    import math
    series = [("decode-escapes", "#1f77b4"), ("cat", "#7f7f7f"), ("fastest peer", "#d62728")]
    width, height, left, top, bottom = max(760, 90 + 75 * len(rows)), 320, 70, 30, 60
    plot_w, plot_h = width - left - 20, height - top - bottom
    low, high = 0.001, 20.0  # Python's json runs at a few MB/s
    def y(value):
        value = min(max(value, low), high)
        return top + plot_h * (1 - (math.log10(value) - math.log10(low)) / (math.log10(high) - math.log10(low)))
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" '
           'font-size="11">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="18" font-size="13">Throughput, GB/s (log scale), 64 MiB UTF-8 file to /dev/null</text>'
           % left]
    for tick in (0.001, 0.01, 0.1, 1, 10):
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>' % (left, left + plot_w, y(tick), y(tick)))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (left - 6, y(tick) + 4, tick))
    group = plot_w / len(rows)
    bar = group / (len(series) + 1)
    for i, row in enumerate(rows):
        values = [row["decode-escapes"], row["cat"], max(row["peers"].values(), default=0)]
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
    parser.add_argument("--modes", default=",".join(name for name, _ in MODES),
                        help="the modes to measure, by name (default: all)")
    parser.add_argument("--no-large", dest="large", action="store_false", help="leave out the 1 GiB files")
    args = parser.parse_args()
    known = dict(MODES)
    try:
        args.modes = [(name, known[name]) for name in args.modes.split(",")]
    except KeyError as error:
        parser.error("unknown mode %s" % error)
    LIMIT[0] = args.peer_limit
    if args.cpu is not None:
        os.sched_setaffinity(0, {args.cpu})  # the programs started inherit it
    for program in ("hyperfine", "perl", "ascii2uni", "node", "npm"):
        if shutil.which(program) is None:
            sys.exit("cli_bench: %s is missing (scripts/install-deps --bench installs it)" % program)
    prepare_texts(args.modes, args.large)
    rows = measure(args)
    print(table(rows))
    targets = check_targets(rows)
    print()
    print(targets_table(targets))
    if args.json:
        with open(args.json, "w") as out:
            json.dump(rows, out, indent=1)
    if args.chart:
        chart(rows, args.chart)
    return 0 if all(passed for _, passed, _ in targets) else 1


if __name__ == "__main__":
    sys.exit(main())
