#!/usr/bin/env python3
"""Sets the header decoder beside Python's email library.

    bench/compare_headers.py build/dev/bench/decode_headers FOLDER...

Every ASCII file below the folders that holds an encoded word (a fuzz corpus,
say) is decoded by both; the differences are printed by kind. Three kinds
are intended: words in a charset the toolkit does not know and words whose
Base64 cannot be whole are left as they stand, and ISO-8859-1 is read as
Windows-1252 (Python shows C1 controls, or U+FFFD for 8-bit US-ASCII).
"""
import email
import email.policy
import os
import subprocess
import sys
import unicodedata


def readable(text):
    return "".join(" " if unicodedata.category(c) == "Cc" else c for c in text).strip()


def python_reads(raw):
    message = email.message_from_bytes(b"Subject: " + raw + b"\r\n\r\n", policy=email.policy.default)
    return readable(str(message["Subject"]))


def main():
    tool, folders = sys.argv[1], sys.argv[2:]
    files = []
    for folder in folders:
        for root, _, names in os.walk(folder):
            for name in names:
                path = os.path.join(root, name)
                with open(path, "rb") as f:
                    data = f.read()
                if data and b"=?" in data and all(32 <= c < 127 for c in data) and len(data) < 1000:
                    files.append(path)
    differences = 0
    for start in range(0, len(files), 500):
        lines = subprocess.run([tool] + files[start:start + 500], capture_output=True, check=True).stdout
        for line in lines.decode().splitlines():
            raw_hex, ours_hex = line.split("\t")
            raw = bytes.fromhex(raw_hex)
            ours = bytes.fromhex(ours_hex).decode()
            theirs = python_reads(raw)
            if ours != theirs:
                differences += 1
                print(repr(raw), "\n  ours:  ", repr(ours), "\n  python:", repr(theirs))
    print(f"{differences} of {len(files)} differ")


if __name__ == "__main__":
    main()
