#!/usr/bin/env python3
"""decode-escapes --mode html against Python's html.unescape.

    html_differential.py TOOL STREAM_HEADER [--texts N] [--seed S]

Random texts built from what the HTML tokenizer looks at in a character
reference (named references with and without their ';', partial and
misspelt names, decimal and hexadecimal references of every class of value,
stray '&' and '#', digits, letters), a million by default, go through the
tool in UTF-8, UTF-16LE and UTF-16BE with every kernel that this processor
runs, and each text's output must be what the model gives. Block ends fall
inside references (STREAM_HEADER holds the tool's block size), and a few
texts are longer than a block.

The model is Python's html.unescape, except where Python departs from the
HTML standard's rules for the value of a numeric reference: DEPARTURES
names each case and the standard's rule, and the model follows the
standard there. Before the tool runs, every code point is checked so that
the table names every difference between Python and those rules.
"""
import argparse
import html
import html.entities
import random
import sys
import tempfile
import time

import tool_streams

# Ends every text in the stream: not a letter, digit, '#' or ';', so no
# reference reaches across it, and no reference of these texts gives it.
SEPARATOR = "\ue123"
SEPARATOR_VALUE = ord(SEPARATOR)

LAST_CODE_POINT = 0x10FFFF


def windows_1252_table():
    """The characters that a reference to 0x80-0x9F gives instead of a C1
    control: those of windows-1252 at the same byte, where it has one
    (0x81, 0x8D, 0x8F, 0x90 and 0x9D stay controls)."""
    table = {}
    for value in range(0x80, 0xA0):
        try:
            table[value] = bytes([value]).decode("cp1252")
        except UnicodeDecodeError:
            pass
    return table


C1_REPLACEMENTS = windows_1252_table()


def standard_character(value):
    """What a numeric reference to `value` gives in the HTML standard: U+FFFD
    for 0, surrogates and values past U+10FFFF, the replacement table's
    character for 0x80-0x9F, and otherwise the character itself, controls
    and noncharacters included (they are parse errors, not removed)."""
    if value == 0 or value > LAST_CODE_POINT or 0xD800 <= value <= 0xDFFF:
        return "\ufffd"
    return C1_REPLACEMENTS.get(value, chr(value))


def noncharacters():
    values = set(range(0xFDD0, 0xFDF0))
    for plane in range(17):
        values |= {plane << 16 | 0xFFFE, plane << 16 | 0xFFFF}
    return values


# Where Python's html.unescape departs from the standard. Each row: the
# values, what Python does, and the standard's rule that the model follows.
DEPARTURES = [
    {"name": "C0 controls other than tab, line feed, form feed and carriage return",
     "values": set(range(0x01, 0x09)) | {0x0B} | set(range(0x0E, 0x20)),
     "python": "removes the reference and gives nothing",
     "standard": "control-character-reference is a parse error only; the value is not in the "
                 "replacement table, so the control itself is given"},
    {"name": "DELETE",
     "values": {0x7F},
     "python": "removes the reference and gives nothing",
     "standard": "control-character-reference is a parse error only; U+007F is given"},
    {"name": "noncharacters (U+FDD0-U+FDEF and the last two code points of every plane)",
     "values": noncharacters(),
     "python": "removes the reference and gives nothing",
     "standard": "noncharacter-character-reference is a parse error only; the noncharacter is given"},
]
# Not a value but a length: Python turns the digits into an integer and
# refuses more than 4300 decimal digits (ValueError). The standard counts
# without limit: leading zeros add nothing, and a value past U+10FFFF stays
# past it (U+FFFD), however many digits follow.
LONG_DIGIT_RUNS = "decimal references of more than 4300 digits: Python raises ValueError; the standard gives " \
                  "the value's character (leading zeros count for nothing) or U+FFFD past U+10FFFF"


def reference_value(digits, base):
    """The value of a reference's digits; any value past U+10FFFF is given
    as 0x110000."""
    significant = digits.lstrip("0")
    if len(significant) > 8:
        return LAST_CODE_POINT + 1
    return min(int(significant or "0", base), LAST_CODE_POINT + 1)


def model_reference(match):
    """One reference as html.unescape reads it, with the standard's values
    for numeric references."""
    found = match.group(0)
    given = READ_REFERENCES.get(found)
    if given is None:
        given = READ_REFERENCES[found] = read_reference(match)
    return given


READ_REFERENCES = {}  # what model_reference gave for each reference it saw


def read_reference(match):
    body = match.group(1)
    if body[0] != "#":
        return html._replace_charref(match)
    hexadecimal = body[1] in "xX"
    digits = body[2 if hexadecimal else 1:].rstrip(";")
    return standard_character(reference_value(digits, 16 if hexadecimal else 10))


def model(text):
    """`text` decoded as the HTML standard's tokenizer reads character
    references in text. The references are found by html.unescape's own
    pattern (html._charref) and named ones decoded by its own function."""
    if "&" not in text:
        return text
    return html._charref.sub(model_reference, text)


# The model on examples, by the standard's rules.
MODEL_EXAMPLES = [
    ("&#128512; &eacute;&amp;&#x41; &notit;", "\U0001F600 \u00e9&A \u00acit;"),
    ("&#128; &#x80; &#159;", "\u20ac \u20ac \u0178"),
    ("&#129;&#x8D;&#x8f;&#144;&#x9D;", "\x81\x8d\x8f\x90\x9d"),
    ("&#0;&#xD800;&#xdfff;&#x110000;&#1114112;&#4294967361;", "\ufffd" * 6),
    ("&#1;&#x7F;&#11;&#x1F;", "\x01\x7f\x0b\x1f"),
    ("&#xFDD0;&#xFFFE;&#x10FFFF;", "\ufdd0\ufffe\U0010ffff"),
    ("&#9;&#10;&#12;&#13;&#32;", "\t\n\x0c\r "),
    ("&#65&#x41&#X41;&#0065;", "AAAA"),
    ("&#;&#x;&#xg;&#a;&;&#-1;", "&#;&#x;&#xg;&#a;&;&#-1;"),
    ("&amp&ampx&AMP;&notin;&notin&nbsp1", "&&x&\u2209\u00acin\u00a01"),
    ("&unknown; &am &Amp; &", "&unknown; &am &Amp; &"),
    ("&NotEqualTilde;&fjlig;", "\u2242\u0338fj"),
    ("&#" + "0" * 5000 + "65;", "A"),
    ("&#x" + "0" * 5000 + "1F600", "\U0001F600"),
    ("&#" + "9" * 5000 + ";", "\ufffd"),
]


def check_model():
    """Fails unless the model gives the examples, stands on html.unescape's
    own reading, and DEPARTURES names every value where Python and the
    standard differ."""
    faults = []
    for text, expected in MODEL_EXAMPLES:
        if model(text) != expected:
            faults.append("model(%s) is %s, not %s" % (tool_streams.show(text), tool_streams.show(model(text)),
                                                        tool_streams.show(expected)))
        try:
            python = html.unescape(text)
        except ValueError:
            continue  # LONG_DIGIT_RUNS
        if html._charref.sub(html._replace_charref, text) != python:
            faults.append("html.unescape no longer reads %s by html._charref" % tool_streams.show(text))
    try:
        html.unescape("&#" + "0" * 4400 + "65;")
        faults.append("Python reads long digit runs now: drop LONG_DIGIT_RUNS")
    except ValueError:
        pass
    values = list(range(0, LAST_CODE_POINT + 3)) + [0xFFFFFFFF, 0x100000041]
    # "&;" stays as it is and cannot be mistaken for the end of any one
    # character before it.
    joined = "".join("&#x%X;&;" % value for value in values)
    python = html.unescape(joined).split("&;")[:-1]
    differ = {value for value, given in zip(values, python) if given != standard_character(value)}
    named = set().union(*(row["values"] for row in DEPARTURES))
    for value in sorted(differ - named)[:20]:
        faults.append("Python gives %s for U+%04X, the standard %s: no departure names it" % (
            ascii(python[values.index(value)]), value, ascii(standard_character(value))))
    for value in sorted(named - differ)[:20]:
        faults.append("a departure names U+%04X, but Python follows the standard there" % value)
    if faults:
        sys.exit("the model is wrong:\n  " + "\n  ".join(faults))


NAMES = sorted(html.entities.html5)
LEGACY_NAMES = [name for name in NAMES if not name.endswith(";")]
NAME_CHARACTERS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
STRAY = ["&", "&", "#", "&#", "&#x", "&#X", "&&", "&;", ";", "x", "X", "0", "1", "7", "9", "a", "F", "f", "g",
         "z", "e", "t", ";", " ", "<", ">", "\t", "\r", "\n", "\0", "-", ".", "=", "\"", "\u00e9", "\u65e5",
         "\U0001F600", "\u00a0", "\uFFFD"]


def value_of_class(rng):
    """A value from one of the classes that the standard treats apart."""
    kind = rng.randrange(11)
    if kind == 0:
        return 0
    if kind == 1:
        return rng.randint(0xD800, 0xDFFF)
    if kind == 2:
        return rng.choice([LAST_CODE_POINT + 1, rng.randint(LAST_CODE_POINT + 1, 0xFFFFFFFF), 2 ** 32 + 65])
    if kind == 3:
        return rng.randint(0x80, 0x9F)
    if kind == 4:
        return rng.choice([rng.randint(0xFDD0, 0xFDEF), rng.randrange(17) << 16 | rng.choice([0xFFFE, 0xFFFF])])
    if kind == 5:
        return rng.choice([rng.randint(1, 0x1F), 0x7F, 0x0D, 0x09, 0x0A, 0x0C])
    if kind == 6:
        return rng.randint(0x20, 0x7E)
    if kind == 7:
        return rng.choice([0xA0, 0xFF, 0xD7FF, 0xE000, 0xFFFD, 0x10000, LAST_CODE_POINT, 0x10FFFD, 0x26085])
    if kind == 8:
        return rng.randint(0x10000, LAST_CODE_POINT)
    value = rng.randint(0xA0, 0xFFFD)
    return value if value != SEPARATOR_VALUE and not 0xD800 <= value <= 0xDFFF else 0x65E5


def numeric_reference(rng):
    value = value_of_class(rng)
    form = rng.randrange(3)
    digits = "%d" % value if form == 0 else ("%x" if rng.random() < 0.5 else "%X") % value
    if rng.random() < 0.1:
        digits = "0" * rng.randint(1, 12) + digits
    if rng.random() < 0.03:
        digits += "".join(rng.choice("0123456789") for _ in range(rng.randint(5, 40)))
    end = ";" if rng.random() < 0.75 else rng.choice(["", "", " ", "a", "g", "&", ";;"])
    return "&#" + ["", "x", "X"][form] + digits + end


def named_reference(rng):
    kind = rng.randrange(6)
    if kind <= 1:
        return "&" + rng.choice(NAMES)
    if kind == 2:  # a legacy name run into more name characters
        return "&" + rng.choice(LEGACY_NAMES) + "".join(
            rng.choice(NAME_CHARACTERS) for _ in range(rng.randint(1, 4))) + rng.choice(["", ";"])
    name = rng.choice(NAMES).rstrip(";")
    if kind == 3:  # a name cut short
        return "&" + name[:rng.randint(1, len(name))] + rng.choice(["", ";", " "])
    if kind == 4:  # a name with one character changed
        at = rng.randrange(len(name))
        return "&" + name[:at] + rng.choice(NAME_CHARACTERS) + name[at + 1:] + rng.choice([";", ""])
    return "&" + (name.upper() if rng.random() < 0.5 else name.swapcase()) + ";"


def piece_pool(rng, size):
    """Pieces for the texts: references of every kind and stray characters,
    in the proportions that the texts get them."""
    pool = [named_reference(rng) for _ in range(size * 3 // 10)]
    pool += [numeric_reference(rng) for _ in range(size * 3 // 10)]
    pool += [STRAY[index % len(STRAY)] for index in range(size * 4 // 10)]
    return pool


def random_texts(rng, count):
    """`count` texts of a few pieces each, now and then of many; pieces run
    into each other, so that a digit or a letter lengthens a reference."""
    pool = piece_pool(rng, max(1000, min(count // 5, 200000)))
    lengths = rng.choices([1, 2, 3, 4, 5, 6, 8, 12, 40], weights=[12, 12, 12, 12, 12, 12, 12, 15, 1], k=count)
    return ["".join(rng.choices(pool, k=length)) for length in lengths]


def texts_longer_than_a_block(block):
    """References whose digits or name characters run over whole blocks."""
    return [
        "&#" + "0" * (block + 10) + "65;",
        "&#x" + "0" * (block + 3) + "1F600z",
        "&#" + "9" * (block // 2 + 1) + ";",
        "&#" + "1" * (block + 7),
        "&" + "a" * (block + 5) + ";",
        "&amp" + "x" * (block + 1),
        "&#" + "0" * (2 * block) + "128;",
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tool", nargs="?", help="the decode-escapes program")
    parser.add_argument("header", nargs="?", help="the streaming decoder's header, which holds its block size")
    parser.add_argument("--texts", type=int, default=1000000, help="random texts (default 1000000)")
    parser.add_argument("--seed", type=int, default=19)
    parser.add_argument("--model-only", action="store_true", help="check the model against Python and stop")
    args = parser.parse_args()
    started = time.process_time()
    check_model()
    print("model: %d examples right; Python departs from the standard at %d code points, all named" % (
        len(MODEL_EXAMPLES), sum(len(row["values"]) for row in DEPARTURES)))
    if args.model_only:
        return 0
    if not args.tool or not args.header:
        parser.error("give the tool and the header, or --model-only")
    block = tool_streams.block_bytes(args.header)
    rng = random.Random(args.seed)
    texts = random_texts(rng, args.texts)
    for offset, text in enumerate(texts_longer_than_a_block(block)):
        texts.insert((offset + 1) * len(texts) // 9, text)
    expected = [model(text) for text in texts]
    anchors = [text.find("&") if "&" in text else None for text in texts]
    kernels = tool_streams.runnable_kernels(args.tool)
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name, codec, mark, options in tool_streams.ENCODINGS:
            placed, origin = tool_streams.across_blocks(texts, anchors, codec, mark, SEPARATOR, block,
                                                        lambda count: "." * count)
            want = [expected[index] if index is not None else placed[at] for at, index in enumerate(origin)]
            data = tool_streams.encode_stream(placed, codec, mark, SEPARATOR)
            want_bytes = tool_streams.encode_stream(want, codec, mark, SEPARATOR)
            for kernel in kernels:
                out = tool_streams.run_tool(args.tool, "html", name, options, kernel, data, work)
                if out == want_bytes:
                    print("ok %s, kernel %s: %d texts, %d bytes, %d block ends inside references" % (
                        name, kernel, len(placed), len(data), origin.count(None)))
                    continue
                failures += tool_streams.compare("%s, kernel %s" % (name, kernel), placed, want,
                                                 tool_streams.decode_stream(out, codec, mark, SEPARATOR))
    print("%d texts, %d kernels, %.1f s of processor time here" % (
        len(texts), len(kernels), time.process_time() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
