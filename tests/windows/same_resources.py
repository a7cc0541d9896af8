#!/usr/bin/env python3
"""Compares two compiled resource files (.res) resource by resource: the same
types, names and languages, each with the same bytes. Two resource compilers
must build the same dialog, strings and bitmaps from the scripts.

Usage: same_resources.py first.res second.res"""
import struct
import sys


def read_name(data, offset):
    """A resource type or name: a number after 0xFFFF, or a UTF-16 string."""
    (unit,) = struct.unpack_from("<H", data, offset)
    if unit == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    name = ""
    while True:
        (unit,) = struct.unpack_from("<H", data, offset)
        offset += 2
        if unit == 0:
            return name, offset
        name += chr(unit)


def resources(path):
    """{(type, name, language): data} of a .res file."""
    data = open(path, "rb").read()
    found = {}
    offset = 0
    while offset < len(data):
        size, header_size = struct.unpack_from("<II", data, offset)
        kind, position = read_name(data, offset + 8)
        name, position = read_name(data, position)
        position = (position + 3) & ~3
        _, _, language = struct.unpack_from("<IHH", data, position)
        if (kind, name, size) != (0, 0, 0):  # the empty entry that opens the file
            found[(kind, name, language)] = data[offset + header_size:offset + header_size + size]
        offset = (offset + header_size + size + 3) & ~3
    return found


def main(first_path, second_path):
    first, second = resources(first_path), resources(second_path)
    differences = [f"only in {first_path}: {key}" for key in first.keys() - second.keys()]
    differences += [f"only in {second_path}: {key}" for key in second.keys() - first.keys()]
    differences += [f"differs: {key}" for key in first.keys() & second.keys() if first[key] != second[key]]
    for line in sorted(differences):
        print(line)
    print(f"{len(first)} resources, {len(differences)} differences")
    return 1 if differences or not first else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
