#!/usr/bin/env python3
"""Builds each language file <name>.lng (Windows-1252, CR LF) from its UTF-8
source <name>.txt beside this script (deutsch.txt, english.txt, ...).

The lookup of the program is a binary search, so the entries must stand in
strictly ascending order; the script refuses anything else, and any text
that Windows-1252 cannot hold. Every language must have a text for every
number the German file has, so no caption of the program stays empty.
"""
import pathlib
import sys

here = pathlib.Path(__file__).resolve().parent


def read(source):
    lines = [l for l in source.read_text(encoding="utf-8").splitlines() if not l.startswith("#")]
    header, entries = lines[:4], lines[4:]
    int(header[3])  # line 4 must be a decimal number
    numbers = []
    for entry in entries:
        number, sep, _ = entry.partition(",")
        if not sep or not number.isdigit() or not (numbers[-1] if numbers else -1) < int(number) <= 65535:
            sys.exit(f"{source.name}: entry out of order or malformed: {entry!r}")
        numbers.append(int(number))
    return header, entries, set(numbers)


german = read(here / "deutsch.txt")[2]
for source in sorted(here.glob("*.txt")):
    header, entries, numbers = read(source)
    if german - numbers:
        sys.exit(f"{source.name}: no text for {sorted(german - numbers)}")
    target = source.with_suffix(".lng")
    target.write_bytes("".join(l + "\r\n" for l in header + entries).encode("cp1252"))
    print(f"{target.name}: {len(entries)} entries")
