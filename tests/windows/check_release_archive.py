#!/usr/bin/env python3
"""Checks the Windows release archive as its user meets it.

Every text file is UTF-8 with CRLF line ends; every file that a text names
(a link, a picture, "x86\\DecodeUnicode.dll", "LICENSE.txt") is in the
archive, and no text points outside it ("../", "/usr/share/..."); the
SHA256SUMS inside lists every DLL and program with its right checksum.
Prints what it checked; exits 1 with the faults otherwise.
Usage: check_release_archive.py ARCHIVE
"""
import hashlib
import posixpath
import re
import sys
import zipfile

# What a text may name: links and pictures in Markdown or HTML, paths of the
# kinds of file that the archive ships, and the archive's own upper-case
# texts. Names of the user's own files ("out.txt") are lower case.
LINK = re.compile(r"\]\(([^)\s]+)\)|(?:src|href)=\"([^\"]+)\"")
SHIPPED = re.compile(r"(?<![\w.\\/-])((?:[\w-]+[\\/])*[\w.-]+\.(?:dll|exe|png|md|zip)|[A-Z][A-Z0-9-]*\.txt|SHA256SUMS)\b")
OUTSIDE = re.compile(r"(?:^|[\s(\"'`])(\.\./|/(?:usr|etc|home|opt|tmp|work)/)")
ARCHIVE_NAME = re.compile(r"^DecodeUnicode-[\d.]+-windows\.zip$")


def references(text):
    for match in LINK.finditer(text):
        target = match.group(1) or match.group(2)
        if not re.match(r"^[a-z]+:", target) and not target.startswith("#"):
            yield target.split("#")[0]
    for match in SHIPPED.finditer(text):
        yield match.group(1)


def resolves(reference, folder, files, basenames):
    path = reference.replace("\\", "/")
    if "/" not in path:
        return path in basenames or posixpath.join(folder, path) in files
    return posixpath.normpath(posixpath.join(folder, path)) in files or path in files


def check(archive_path):
    faults = []
    with zipfile.ZipFile(archive_path) as archive:
        names = [info.filename for info in archive.infolist() if not info.is_dir()]
        tops = {name.split("/", 1)[0] for name in names}
        if len(tops) != 1:
            return ["the archive holds more than one top folder: %s" % sorted(tops)], 0
        top = tops.pop() + "/"
        files = {name[len(top):] for name in names}
        basenames = {posixpath.basename(name) for name in files}
        texts = sorted(name for name in files if name.endswith((".txt", ".md")) or name == "SHA256SUMS")
        for name in texts:
            data = archive.read(top + name)
            try:
                text = data.decode("utf-8-sig")
            except UnicodeDecodeError:
                faults.append("%s is not UTF-8" % name)
                continue
            if name.endswith(".txt") and data.count(b"\n") != data.count(b"\r\n"):
                faults.append("%s has lines without CRLF" % name)
            for reference in references(text):
                if ARCHIVE_NAME.match(reference):
                    continue  # the archive itself
                if not resolves(reference, posixpath.dirname(name), files, basenames):
                    faults.append("%s names %s, which is not in the archive" % (name, reference))
            for match in OUTSIDE.finditer(text):
                faults.append("%s points outside the archive: %s" % (name, match.group(1)))
        faults += check_sums(archive, top, files)
    return faults, len(texts)


def check_sums(archive, top, files):
    if "SHA256SUMS" not in files:
        return ["no SHA256SUMS in the archive"]
    faults = []
    listed = set()
    for line in archive.read(top + "SHA256SUMS").decode("ascii").splitlines():
        digest, name = line.split("  ", 1)
        listed.add(name)
        if name not in files:
            faults.append("SHA256SUMS lists %s, which is not in the archive" % name)
        elif hashlib.sha256(archive.read(top + name)).hexdigest() != digest:
            faults.append("SHA256SUMS has a wrong checksum for %s" % name)
    binaries = {name for name in files if name.endswith((".dll", ".exe"))}
    faults += ["SHA256SUMS leaves out %s" % name for name in sorted(binaries - listed)]
    return faults


def main():
    faults, texts = check(sys.argv[1])
    for fault in faults:
        print("release archive: " + fault)
    if faults:
        return 1
    print("release archive: %d texts in CRLF lines, every file they name inside, checksums right" % texts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
