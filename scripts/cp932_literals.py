#!/usr/bin/env python3
"""Copies C++ sources with every non-ASCII character of a narrow string
literal written as its Shift_JIS bytes in hex escapes.

    scripts/cp932_literals.py OUT_DIR FILE_OR_DIR...

The project's compilers store narrow literals as CP932 themselves
(-fexec-charset=CP932); a compiler that cannot (clang, for the fuzzers) builds
from this copy and holds the same bytes. u8"" literals, comments and
everything else are copied unchanged.
"""
import os
import sys

PREFIXES = ("u8", "u", "U", "L")


def convert(text):
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(text[i:j]); i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(text[i:j]); i = j
        elif c == "'":
            j = i + 1
            while j < n and text[j] != "'":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1]); i = j + 1
        elif c == '"':
            prefix = ""
            for p in PREFIXES:
                if "".join(out).endswith(p) and not ("".join(out)[-len(p) - 1:-len(p)] or " ").isalnum():
                    prefix = p
                    break
            if out and out[-1].endswith("R"):
                # Raw strings are copied as they stand.
                close = text.find('"', i + 1)
                delim = text[i + 1:text.find("(", i)]
                end = text.find(")" + delim + '"', i)
                out.append(text[i:end + len(delim) + 2]); i = end + len(delim) + 2
                continue
            j = i + 1
            body = []
            while j < n and text[j] != '"':
                if text[j] == "\\":
                    body.append(text[j:j + 2]); j += 2
                    continue
                ch = text[j]
                if ord(ch) < 128 or prefix:
                    body.append(ch)
                else:
                    body.append("".join(f"\\x{b:02x}" for b in ch.encode("cp932")) + '""')
                j += 1
            out.append('"' + "".join(body) + '"'); i = j + 1
        else:
            # Identifiers and the rest, a run at a time.
            j = i + 1
            while j < n and text[j] not in "\"'/":
                j += 1
            out.append(text[i:j]); i = j
    return "".join(out)


def main():
    out_dir = sys.argv[1]
    for root in sys.argv[2:]:
        paths = [root] if os.path.isfile(root) else [os.path.join(d, f) for d, _, fs in os.walk(root) for f in fs]
        for path in paths:
            if not path.endswith((".cpp", ".h")):
                continue
            target = os.path.join(out_dir, path)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            with open(target, "w", encoding="utf-8") as f:
                f.write(convert(text))


if __name__ == "__main__":
    main()
