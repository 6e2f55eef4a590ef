#!/usr/bin/env python3
"""Builds deutsch.lng (Windows-1252, CR LF) from the UTF-8 source deutsch.txt.

The lookup of the program is a binary search, so the entries must stand in
strictly ascending order; the script refuses anything else, and any text
that Windows-1252 cannot hold.
"""
import pathlib
import sys

here = pathlib.Path(__file__).resolve().parent
source = here / "deutsch.txt"
target = here / "deutsch.lng"

lines = [l for l in source.read_text(encoding="utf-8").splitlines() if not l.startswith("#")]
header, entries = lines[:4], lines[4:]
int(header[3])  # line 4 must be a decimal number

last = -1
for entry in entries:
    number, sep, _ = entry.partition(",")
    if not sep or not number.isdigit() or not last < int(number) <= 65535:
        sys.exit(f"entry out of order or malformed: {entry!r}")
    last = int(number)

target.write_bytes("".join(l + "\r\n" for l in header + entries).encode("cp1252"))
print(f"{target.name}: {len(entries)} entries")
