#!/usr/bin/env python3
"""Checks that packing a scenario tree and dividing it again gave back every
file: scripts/check_roundtrip.py ORIGINAL_TREE DIVIDED_TREE [--quiet]

A file ORIGINAL/A/b.txt comes back as DIVIDED/A/A/b.txt (the pack file of a
folder is named after it and divided into a folder of its own name); a file
at the top as DIVIDED/<DIVIDED's name>/b.txt. It holds what a pack entry
holds: line ends made CR LF (a lead byte keeps the byte after it), the
packer's trailer CR LF, and no empty lines at its head.
"""
import os
import sys


def packed(data):
    res, i, n = bytearray(), 0, len(data)
    while i < n:
        c = data[i]
        if c == 13:
            res += b"\r\n"; i += 2 if i + 1 < n and data[i + 1] == 10 else 1
        elif c == 10:
            res += b"\r\n"; i += 1
        elif (0x81 <= c <= 0x9F or 0xE0 <= c <= 0xFC) and i + 1 < n:
            res += data[i:i + 2]; i += 2
        else:
            res.append(c); i += 1
    res += b"\r\n"
    return bytes(res.lstrip(b"\r\n"))


def main():
    src, out = sys.argv[1], sys.argv[2]
    quiet = "--quiet" in sys.argv[3:]
    bad = count = 0
    for folder, _, files in os.walk(src):
        for name in files:
            rel = os.path.relpath(os.path.join(folder, name), src)
            parent = os.path.dirname(rel)
            pack_folder = os.path.basename(parent) if parent else os.path.basename(os.path.abspath(out))
            back = os.path.join(out, parent, pack_folder, name)
            count += 1
            with open(os.path.join(folder, name), "rb") as f:
                want = packed(f.read())
            try:
                with open(back, "rb") as f:
                    got = f.read()
            except OSError:
                print("  missing:", back); bad += 1; continue
            status = "ok" if got == want else "DIFFERS"
            bad += status != "ok"
            if not quiet or status != "ok":
                print(f"  {status:7} {rel} -> {os.path.relpath(back, out)}")
    if not quiet:
        print(f"{count - bad} of {count} files came back" + (" byte for byte" if not bad else ""))
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
