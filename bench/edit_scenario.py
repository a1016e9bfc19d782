#!/usr/bin/env python3
"""Edits 1% of a scenario's lines at random (seed 1): a line changed, a line
inserted, a line deleted or a line moved to another file, each file keeping
its own line end. For the benchmarks of what Vocar keeps across runs.

    bench/edit_scenario.py SCENARIO_FOLDER
"""
import os, random, sys
rng = random.Random(1)
root = sys.argv[1]
paths = sorted(os.path.join(d, f) for d, _, fs in os.walk(root) for f in fs if f.endswith(".txt"))
files = {}
for p in paths:
    data = open(p, "rb").read()
    # The file's own line end: block comments hold a CR LF in any file.
    crlf = data.count(b"\r\n")
    eol = max((crlf, b"\r\n"), (data.count(b"\n") - crlf, b"\n"), (data.count(b"\r") - crlf, b"\r"))[1]
    files[p] = (eol, data.split(eol))
total = sum(len(lines) for _, lines in files.values())
edits = total // 100
for _ in range(edits):
    p = rng.choice(paths)
    eol, lines = files[p]
    if len(lines) < 2:
        continue
    k = rng.randrange(len(lines) - 1)
    op = rng.randrange(4)
    if op == 0:
        lines[k] = lines[k] + "！".encode("cp932")
    elif op == 1:
        lines.insert(k, lines[rng.randrange(len(lines) - 1)] + "。".encode("cp932"))
    elif op == 2:
        del lines[k]
    else:
        line = lines.pop(k)
        other = files[rng.choice(paths)][1]
        other.insert(rng.randrange(len(other)), line)
for p, (eol, lines) in files.items():
    open(p, "wb").write(eol.join(lines))
print(f"edited {edits} of {total} lines", file=sys.stderr)
