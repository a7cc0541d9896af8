"""Many small texts through decode-escapes in one run.

Starting the tool once per text would take hours for a million texts, so
the texts are joined into one stream, each ended by a separator that no
escape can reach across and that no decoding produces, and the tool runs
once per encoding and kernel. Its output is split at the separators again
and compared text by text.

The streaming decoder reads its input file in blocks of a fixed size, and an
escape cut by the end of a block is the hard case. Before a text that holds
an escape, filler is put in so that a block ends inside that escape, at a
different place each time.
"""
import os
import re
import subprocess
import sys

# Encodings as the tool is told about them: the byte order mark it sees, or
# the option that names the encoding.
ENCODINGS = [
    ("UTF-8", "utf-8", b"", []),
    ("UTF-16LE with its mark", "utf-16-le", b"\xff\xfe", []),
    ("UTF-16BE named", "utf-16-be", b"", ["-e", "utf-16be"]),
]

KERNEL_VARIABLE = "DECODE_ESCAPES_KERNEL"


def runnable_kernels(tool):
    """The kernels that this processor runs, as the tool names them when it
    is asked for one that does not exist."""
    env = dict(os.environ, **{KERNEL_VARIABLE: "no-such-kernel"})
    done = subprocess.run([tool, "--version"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True)
    found = re.search(r"this processor runs (.+)$", done.stderr.strip())
    if done.returncode == 0 or not found:
        sys.exit("cannot tell which kernels this processor runs: %r" % done.stderr)
    return [name.strip() for name in found.group(1).split(",")]


def block_bytes(header):
    """The block size of the streaming decoder, read from its header, so that
    a change of size moves the filler with it."""
    with open(header, encoding="utf-8") as source:
        found = re.search(r"DefaultBlockBytes\s*=\s*(\d+)(?:\s*<<\s*(\d+))?\s*;", source.read())
    if not found:
        sys.exit("no DefaultBlockBytes in %s" % header)
    return int(found.group(1)) << int(found.group(2) or 0)


def unit_bytes(codec):
    return 1 if codec == "utf-8" else 2


def across_blocks(texts, anchors, codec, mark, separator, block, filler):
    """`texts` with filler texts put in so that block ends fall inside
    escapes: `anchors[i]` is the index of the first escape's first character
    in texts[i] (None for a text without one). The place of a block end
    inside the escape steps from 1 to 24 bytes past its start. Returns the
    new list and, for each of its texts, the index of the text it came from
    (None for filler)."""
    unit = unit_bytes(codec)
    separator_bytes = len(separator.encode(codec))
    sizes = [len(text.encode(codec, "surrogatepass")) + separator_bytes for text in texts]
    out, origin = [], []
    offset = len(mark)
    boundary = block
    step = 0
    for index, text in enumerate(texts):
        anchor = anchors[index]
        if anchor is not None and offset + sizes[index] > boundary - 4096:
            into = len(text[:anchor].encode(codec, "surrogatepass")) + unit * (1 + step % 24)
            gap = boundary - offset - into - separator_bytes
            if gap >= 0:
                out.append(filler(gap // unit))
                origin.append(None)
                offset += gap + separator_bytes
                boundary += block
                step += 1
        out.append(text)
        origin.append(index)
        offset += sizes[index]
        while offset > boundary:
            boundary += block  # passed by a text without an escape there
    return out, origin


def encode_stream(texts, codec, mark, separator):
    return mark + separator.join(texts).encode(codec, "surrogatepass") + separator.encode(codec)


def decode_stream(data, codec, mark, separator):
    """The texts of an output stream, or a string that says why there are
    none (a missing mark, bytes that are no text)."""
    if not data.startswith(mark):
        return "the output does not start with the byte order mark %r" % mark
    text = data[len(mark):].decode(codec, "surrogateescape" if codec == "utf-8" else "surrogatepass")
    if not text.endswith(separator):
        return "the output does not end with the last separator: %r" % text[-80:]
    return text[:-len(separator)].split(separator)


def run_tool(tool, mode, name, options, kernel, data, work):
    """Runs the tool once on `data` with `-o`; returns its output's bytes.
    Exits with a message when the tool fails."""
    source = os.path.join(work, "in")
    target = os.path.join(work, "out")
    with open(source, "wb") as out:
        out.write(data)
    if os.path.exists(target):
        os.remove(target)
    env = dict(os.environ, **{KERNEL_VARIABLE: kernel})
    command = [tool, "--mode", mode] + options + ["-o", target, source]
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if done.returncode != 0:
        sys.exit("%s, kernel %s: %s ended with status %d: %s" % (
            name, kernel, " ".join(command), done.returncode, done.stderr.decode(errors="replace")))
    with open(target, "rb") as result:
        return result.read()


def compare(what, placed, want, got, faults=lambda index: []):
    """Prints the first texts whose outputs differ from the model's, with the
    `faults` found in each, and how many differ; returns that number. `got`
    is the output's texts, or a string that says why there are none."""
    if isinstance(got, str):
        print("FAIL %s: %s" % (what, got))
        return 1
    if len(got) != len(want):
        print("FAIL %s: %d texts in the output, %d in the input" % (what, len(got), len(want)))
    wrong = [index for index, (expected, given) in enumerate(zip(want, got)) if expected != given]
    for index in wrong[:10]:
        found = faults(index)
        print("FAIL %s, text %d%s\n  input: %s\n  model: %s\n  tool:  %s" % (
            what, index, (": " + "; ".join(found)) if found else "", show(placed[index]), show(want[index]),
            show(got[index])))
    if wrong:
        print("  %d of %d texts differ" % (len(wrong), len(want)))
    return len(wrong) + (len(got) != len(want))


def show(text, limit=400):
    shown = ascii(text)
    return shown if len(shown) <= limit else shown[:limit] + "... (%d characters)" % len(text)
