#!/usr/bin/env python3
"""decode-escapes --mode json on random JSON documents.

    json_differential.py TOOL STREAM_HEADER [--documents N] [--seed S]

Random documents (objects and arrays nested, numbers, literals, white space
of every kind between tokens, strings with "\\uXXXX" escapes of every class:
ASCII, '"', "'" and '\\', controls, DEL and C1, U+2028 and U+2029, the rest
of the BMP, surrogate pairs, lone and reversed surrogates, escaped
backslashes before "u", and the other escapes) go through the tool in UTF-8,
UTF-16LE and UTF-16BE with every kernel that this processor runs. Block ends
fall inside escapes (STREAM_HEADER holds the tool's block size), and a few
documents are longer than a block.

For each document of the first run: Python's json parses the output to the
same value as the input, keys in the same order; outside strings every byte
is kept; and no escape is left that may be decoded. Every run's output must
also be, byte for byte, what the model gives, the rule that the tool's help
states: a "\\uXXXX" is decoded unless it names '"', "'", '\\', a control below
U+0020, U+2028, U+2029 or a lone surrogate; a high and a low surrogate escape
back to back are decoded as one character; "\\\\" is read as a pair.
"""
import argparse
import json
import random
import re
import sys
import tempfile
import time

import tool_streams

# Ends every document: a control, which JSON holds only escaped, and which
# stays escaped.
SEPARATOR = "\x1e"

# One escape, read from its backslash: a surrogate pair, a "\uXXXX", or a
# backslash with the character after it (so "\\" is read as a pair).
ESCAPE = re.compile(r"\\u([dD][89abAB][0-9a-fA-F]{2})\\u([dD][c-fC-F][0-9a-fA-F]{2})|\\u([0-9a-fA-F]{4})|\\.",
                    re.S)
STRING = re.compile(r'"(?:[^"\\]|\\.)*"', re.S)

# Characters that stay escaped: those that JSON does not allow unescaped in a
# string, "'" which ends a single-quoted JavaScript string, and the two that
# end a line in older JavaScript.
KEPT_ESCAPED = {0x22, 0x27, 0x5C, 0x2028, 0x2029} | set(range(0x20))


def decodable(value):
    return value not in KEPT_ESCAPED and not 0xD800 <= value <= 0xDFFF


def decode_escape(match):
    if match.group(1):
        high, low = int(match.group(1), 16), int(match.group(2), 16)
        return chr(0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00))
    if match.group(3):
        value = int(match.group(3), 16)
        return chr(value) if decodable(value) else match.group(0)
    return match.group(0)


def model(text):
    """`text` with every escape decoded that the rule decodes; all else kept."""
    if "\\" not in text:
        return text
    return ESCAPE.sub(decode_escape, text)


def decodable_left(text):
    """The escapes in `text` that the rule would still decode."""
    return [match.group(0) for match in ESCAPE.finditer(text) if match.group(1) or (
        match.group(3) and decodable(int(match.group(3), 16)))]


def faults_of(document, output):
    """What is wrong with `output` as the tool's result for `document`."""
    faults = []
    try:
        if json.loads(output, object_pairs_hook=list) != json.loads(document, object_pairs_hook=list):
            faults.append("it parses to another value")
    except ValueError as error:
        faults.append("it is no JSON: %s" % error)
    if STRING.sub('""', output) != STRING.sub('""', document):
        faults.append("bytes outside strings changed")
    left = decodable_left(output)
    if left:
        faults.append("escapes left that may be decoded: %s" % " ".join(left[:5]))
    return faults


MODEL_EXAMPLES = [
    ('{"a":"\\u65e5\\ud83d\\ude00\\\\u0041\\u0022"}', '{"a":"\u65e5\U0001F600\\\\u0041\\u0022"}'),
    ('["\\u005c\\u005C\\u0000\\u001f\\u001F\\u2028\\u2029"]', '["\\u005c\\u005C\\u0000\\u001f\\u001F\\u2028\\u2029"]'),
    ("'it\\u0027s' \"\\u0027\\u0026\\u0028\"", "'it\\u0027s' \"\\u0027&(\""),
    ('"\\u007f\\u0080\\u00e9\\u0020\\u002F\\uFFFE\\ufdd0"', '"\x7f\x80\u00e9 /\ufffe\ufdd0"'),
    ('"\\ud83d" "\\ude00\\ud83d" "\\uDBFF\\uDFFF"', '"\\ud83d" "\\ude00\\ud83d" "\U0010FFFF"'),
    ('"\\ud83d\\u0041\\ud83d\\ud83d\\ude00"', '"\\ud83dA\\ud83d\U0001F600"'),
    ('"\\\\\\u0041" "\\\\\\\\u0041" "\\/\\n\\t\\"\\b\\f\\r"', '"\\\\A" "\\\\\\\\u0041" "\\/\\n\\t\\"\\b\\f\\r"'),
]


def check_model():
    faults = []
    for text, expected in MODEL_EXAMPLES:
        if model(text) != expected:
            faults.append("model(%s) is %s, not %s" % (text, ascii(model(text)), ascii(expected)))
    if faults:
        sys.exit("the model is wrong:\n  " + "\n  ".join(faults))


def escape_value(rng):
    """A value for "\\uXXXX" from one of the classes that the rule treats apart."""
    kind = rng.randrange(10)
    if kind == 0:
        return rng.randint(0x20, 0x7E)
    if kind == 1:
        return rng.choice([0x22, 0x27, 0x5C, 0x2F, 0x41, 0x7F])
    if kind == 2:
        return rng.randint(0, 0x1F)
    if kind == 3:
        return rng.choice([0x2028, 0x2029, 0x2027, 0x202A, 0x80, 0x9F, 0xA0, 0xFFFE, 0xFFFF, 0xFDD0, 0xFEFF])
    if kind in (4, 5):
        return rng.randint(0x4E00, 0x9FA5)
    if kind == 6:
        return rng.randint(0xD800, 0xDFFF)
    value = rng.randint(0x80, 0xFFFF)
    return value if not 0xD800 <= value <= 0xDFFF else 0x3042


def u_escape(rng, value):
    return ("\\u%04x" if rng.random() < 0.5 else "\\u%04X") % value


def string_piece(rng):
    kind = rng.randrange(16)
    if kind <= 4:
        return u_escape(rng, escape_value(rng))
    if kind == 5:  # a surrogate pair
        value = rng.randint(0x10000, 0x10FFFF) - 0x10000
        return u_escape(rng, 0xD800 | value >> 10) + u_escape(rng, 0xDC00 | value & 0x3FF)
    if kind == 6:  # a low before a high, or a high twice
        return u_escape(rng, rng.randint(0xDC00, 0xDFFF)) + u_escape(rng, rng.randint(0xD800, 0xDBFF))
    if kind == 7:  # escaped backslashes before "u": the text "\u0041" or a backslash and an escape
        return "\\\\" * rng.randint(1, 3) + rng.choice(["u0041", "\\u0041", "u", "\\ud83d\\ude00", "\\u005c"])
    if kind == 8:
        return rng.choice(["\\n", "\\t", "\\/", "\\\"", "\\\\", "\\b", "\\f", "\\r"])
    if kind == 9:
        return rng.choice(["\u00e9", "\u65e5\u672c", "\U0001F600", "\u2028", "\u2029", "\x7f", "\ufeff"])
    if kind == 10:
        return rng.choice(["u", "u0041", "ud83d", "0041", "x", "#"])
    return "".join(rng.choice("abc xyz019ABC.,:{}[]") for _ in range(rng.randint(1, 6)))


def json_string(rng):
    return '"' + "".join(string_piece(rng) for _ in range(rng.choice([0, 1, 1, 2, 3, 4, 6, 10]))) + '"'


WHITE_SPACE = ["", "", "", " ", "  ", "\n", "\t", "\r\n", "\n    ", " \t "]
NUMBERS = ["0", "-0", "1", "-17", "3.25", "-0.5e10", "1E-7", "6.02e+23", "123456789012345678901234567890",
           "2.5E+0", "1e400"]


def json_value(rng, depth):
    kind = rng.randrange(10 if depth < 4 else 6)
    if kind <= 2:
        return json_string(rng)
    if kind == 3:
        return rng.choice(NUMBERS)
    if kind == 4:
        return rng.choice(["true", "false", "null"])
    if kind == 5:
        return str(rng.randint(-10 ** 6, 10 ** 6))
    space = lambda: rng.choice(WHITE_SPACE)
    count = rng.randint(0, 5)
    if kind <= 7:
        members = [space() + json_string(rng) + space() + ":" + space() + json_value(rng, depth + 1) + space()
                   for _ in range(count)]
        return "{" + ",".join(members) + (space() if not members else "") + "}"
    items = [space() + json_value(rng, depth + 1) + space() for _ in range(count)]
    return "[" + ",".join(items) + (space() if not items else "") + "]"


def random_document(rng):
    space = lambda: rng.choice(WHITE_SPACE)
    return space() + json_value(rng, 0) + space()


def documents_longer_than_a_block(block):
    """Runs of backslashes, escapes and pairs over whole blocks."""
    return [
        '"' + "\\\\" * (block // 2 + 1) + 'u0041"',
        '"' + "\\\\" * (block // 2 + 1) + '\\u0041"',
        '"' + "\\\\" * block + '\\ud83d\\ude00"',
        '"' + "\\u65e5" * (block // 5) + '"',
        "[" + '"\\ud83d\\ude00",' * (block // 14) + '"\\u0022"]',
        '{"k":"' + "\\ud83d" * (block // 6) + '\\ude00"}',
        " " * block + '"\\u0041"',
    ]


def filler(count):
    """A document of `count` characters, or none for 0."""
    return " " * (count - 1) + "0" if count else ""


def check_properties(name, kernel, placed, origin, got):
    """The properties of each document's output, apart from the model."""
    if isinstance(got, str):
        return 0  # tool_streams.compare reports it
    failures = 0
    for index, (document, output) in enumerate(zip(placed, got)):
        if origin[index] is None:
            continue
        faults = faults_of(document, output)
        if faults:
            failures += 1
            if failures <= 10:
                print("FAIL %s, kernel %s, document %d: %s\n  input: %s\n  tool:  %s" % (
                    name, kernel, index, "; ".join(faults), tool_streams.show(document),
                    tool_streams.show(output)))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tool", nargs="?", help="the decode-escapes program")
    parser.add_argument("header", nargs="?", help="the streaming decoder's header, which holds its block size")
    parser.add_argument("--documents", type=int, default=100000, help="random documents (default 100000)")
    parser.add_argument("--seed", type=int, default=19)
    parser.add_argument("--model-only", action="store_true", help="check the model and stop")
    args = parser.parse_args()
    started = time.process_time()
    check_model()
    rng = random.Random(args.seed)
    documents = [random_document(rng) for _ in range(args.documents)]
    if args.model_only:
        broken = [(document, faults_of(document, model(document))) for document in documents]
        broken = [(document, faults) for document, faults in broken if faults]
        for document, faults in broken[:10]:
            print("model output of %s: %s" % (tool_streams.show(document), "; ".join(faults)))
        print("model: %d examples right, %d of %d random documents kept valid" % (
            len(MODEL_EXAMPLES), len(documents) - len(broken), len(documents)))
        return 1 if broken else 0
    if not args.tool or not args.header:
        parser.error("give the tool and the header, or --model-only")
    block = tool_streams.block_bytes(args.header)
    for offset, document in enumerate(documents_longer_than_a_block(block)):
        documents.insert((offset + 1) * len(documents) // 8, document)
    expected = [model(document) for document in documents]
    anchors = [document.find("\\") if "\\" in document else None for document in documents]
    kernels = tool_streams.runnable_kernels(args.tool)
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name, codec, mark, options in tool_streams.ENCODINGS:
            placed, origin = tool_streams.across_blocks(documents, anchors, codec, mark, SEPARATOR, block, filler)
            want = [expected[index] if index is not None else placed[at] for at, index in enumerate(origin)]
            data = tool_streams.encode_stream(placed, codec, mark, SEPARATOR)
            want_bytes = tool_streams.encode_stream(want, codec, mark, SEPARATOR)
            for kernel in kernels:
                out = tool_streams.run_tool(args.tool, "json", name, options, kernel, data, work)
                got = None
                if codec == "utf-8" and kernel == kernels[0]:
                    got = tool_streams.decode_stream(out, codec, mark, SEPARATOR)
                    failures += check_properties(name, kernel, placed, origin, got)
                if out == want_bytes:
                    print("ok %s, kernel %s: %d documents, %d bytes, %d block ends inside escapes" % (
                        name, kernel, len(placed), len(data), origin.count(None)))
                    continue
                if got is None:
                    got = tool_streams.decode_stream(out, codec, mark, SEPARATOR)
                failures += tool_streams.compare(
                    "%s, kernel %s" % (name, kernel), placed, want, got,
                    lambda index: faults_of(placed[index], got[index]) if origin[index] is not None else [])
    print("%d documents, %d kernels, %.1f s of processor time here" % (
        len(documents), len(kernels), time.process_time() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
