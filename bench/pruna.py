#!/usr/bin/env python3
"""Times `lumeno pruna run` over a corpus folder against `cat` of the same
.txt files and prints both throughputs and their ratio (target: within 3x).

    bench/pruna.py CORPUS [--lumeno PATH] [--runs N]

Without --lumeno a release build in build/ is made and used. Each side runs
N times (default 5); the best wall time counts, and the CPU time (user +
system) of that run is shown beside it, since wall times on a shared
machine wander. Pruna's outputs go to a scratch tool folder, so every run
also deletes the outputs of the one before, as a real second run does.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def timed(argv, stdout):
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=stdout)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{argv[0]} failed with status {status}")
    return wall, usage.ru_utime + usage.ru_stime


def best(argv, runs, stdout):
    return min(timed(argv, stdout) for _ in range(runs))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("--lumeno")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    corpus = os.path.abspath(args.corpus)
    lumeno = args.lumeno
    if not lumeno:
        subprocess.run([os.path.join(ROOT, "scripts", "build.sh"), os.path.join(ROOT, "build"), "-DCMAKE_BUILD_TYPE=Release"],
                       check=True, stdout=subprocess.DEVNULL)
        lumeno = os.path.join(ROOT, "build", "shell", "console", "lumeno")

    files = sorted(os.path.join(folder, name) for folder, _, names in os.walk(corpus)
                   for name in names if name.lower().endswith(".txt"))
    if not files:
        sys.exit(f"no .txt files in {corpus}")
    size = sum(os.path.getsize(f) for f in files)
    mib = size / 1048576

    with tempfile.TemporaryDirectory() as work:
        home = os.path.join(work, "home")
        os.mkdir(home)
        with open(os.path.join(work, "cat.out"), "wb") as sink:
            cat = best(["cat", *files], args.runs, sink)
        run = [lumeno, "pruna", "run", "--home", home, "--no-progress", corpus]
        config = [lumeno, "pruna", "config", "--home", home]
        with open(os.devnull, "wb") as sink:
            subprocess.run(config + ["single_output=0"], check=True, stdout=sink)
            per_file = best(run, args.runs, sink)
            subprocess.run(config + ["single_output=1"], check=True, stdout=sink)
            joined = best(run, args.runs, sink)

    print(f"corpus: {len(files)} files, {mib:.1f} MiB")
    rows = (("cat", cat), ("pruna, one file per source", per_file), ("pruna, joined output.txt", joined))
    for name, (wall, cpu) in rows:
        print(f"{name:28} {wall * 1000:8.1f} ms wall {mib / wall:8.1f} MiB/s {cpu * 1000:8.1f} ms cpu")
    for name, (wall, cpu) in rows[1:]:
        print(f"ratio, {name}: {wall / cat[0]:.2f}x of cat in wall time, {cpu / max(cat[1], 1e-3):.2f}x in cpu time (target: within 3x)")


if __name__ == "__main__":
    main()
