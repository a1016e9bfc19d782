#!/usr/bin/env bash
# What the counts for the budget (スタッフ用リスト\ボイス集計.csv / .xlsx) cost:
# `lumeno vocar run` with the staff lists alone, and with every specified
# output (voice-actor scripts, staff lists, voice-embedded text; the scripts'
# workbooks off), each with the counts and without them, against the floor
# of each: cat of the inputs plus a copy of the outputs.
#
#   bench/vocar_counts.sh [CORPUS_DIR] [RUNS]
#
# CORPUS_DIR holds scenario/ and home/キャラ定義.txt (bench/gen_corpus.py
# makes them; by default build/bench-corpus, made when missing). The counts
# are written whenever the staff lists are, so the runs without them are
# made by a second build of lumeno, configured with
# -DLUMENO_BENCH_WITHOUT_COUNTS=ON (build-bench-nocounts/), whose staff lists
# neither count nor write the counts; nothing else differs. Both builds are
# Release builds of this checkout.
#
# Everything runs in one folder (BENCH_WORK, default /dev/shm when it is
# there, else $TMPDIR): a copy of the tree, the tool folders with their
# outputs and the temporary folder the workbooks are made in, so that the
# file system costs little and alike for every run. The runs take turns
# (with and without the counts in alternating order, the floor's cat and
# copy between), RUNS rounds (default 7); shown are the best and the median
# wall time of each, the median CPU time (user + system, every thread), and
# the counts' cost: with / without - 1 (target: 10 % or less).
#
# BEFORE=PATH times one more lumeno the same way (e.g. a build of an earlier
# commit), as "before": what a change did, under the same load.
#
# With COUNTS_CALLGRIND=1 (and valgrind on the machine) one more run of each
# goes under callgrind: instructions executed by every thread, and by the
# thread that makes the counts' files, which a machine with a free core runs
# beside the rest, and of those, what closing the counts' workbook takes
# (the library deflates its sheets then): the part of the counts left once
# the last file is scanned. Instruction counts do not move with the load of
# a shared machine.
#
# With COUNTS_ONE_CPU=1 every run is held to one CPU (taskset): the counts'
# cost on a machine without a free core, where nothing runs beside the rest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${2:-7}

build() {  # DIR [CMAKE OPTIONS]: lumeno alone, Release
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    local generator=()
    if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
    cmake -S "$root" -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DLUMENO_TESTS=OFF "$@" >/dev/null
  fi
  cmake --build "$dir" --target lumeno -j "${BENCH_JOBS:-2}" >/dev/null
}
build "$root/build"
build "$root/build-bench-nocounts" -DLUMENO_BENCH_WITHOUT_COUNTS=ON
with="$root/build/shell/console/lumeno"
without="$root/build-bench-nocounts/shell/console/lumeno"

corpus=${1:-$root/build/bench-corpus}
if [ ! -d "$corpus/scenario" ]; then python3 "$root/bench/gen_corpus.py" "$corpus" >&2; fi
corpus=$(cd "$corpus" && pwd)

base=${BENCH_WORK:-}
if [ -z "$base" ]; then if [ -d /dev/shm ]; then base=/dev/shm; else base=${TMPDIR:-/tmp}; fi; fi
work=$(mktemp -d "$base/vocar-counts.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$corpus/scenario" "$work/scenario"
mkdir -p "$work/tmp"

builds=(with without)
if [ -n "${BEFORE:-}" ]; then builds+=(before); fi

# One tool folder a build and outputs.
for set in lists all; do
  for build in "${builds[@]}"; do
    home=$work/home-$set-$build
    mkdir -p "$home"
    cp "$corpus/home/キャラ定義.txt" "$home/"
    lumeno=$with
    [ "$build" = without ] && lumeno=$without
    [ "$build" = before ] && lumeno=$BEFORE
    # Five digits: the tree has more than 9999 lines of some characters.
    if [ "$set" = lists ]; then outputs=(output_scripts=0 output_staff_lists=1 output_voice_text=0); else outputs=(output_scripts=1 output_staff_lists=1 output_voice_text=1); fi
    "$lumeno" vocar config --home "$home" start_number=00001 script_spreadsheets=0 "${outputs[@]}" >/dev/null
  done
done

TMPDIR=$work/tmp python3 - "$work" "$with" "$without" "$runs" "${COUNTS_CALLGRIND:-0}" "${BEFORE:-}" "${COUNTS_ONE_CPU:-0}" <<'PY'
import os, shutil, statistics, subprocess, sys, time

work, with_bin, without_bin, runs, callgrind, before_bin = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5] == "1", sys.argv[6]
one_cpu = ["taskset", "-c", "0"] if sys.argv[7] == "1" and shutil.which("taskset") else []
scenario = os.path.join(work, "scenario")
inputs = sorted(os.path.join(d, f) for d, _, fs in os.walk(scenario) for f in fs if f.lower().endswith(".txt"))
size = sum(os.path.getsize(p) for p in inputs)
bins = {"with": with_bin, "without": without_bin}
if before_bin:
    bins["before"] = before_bin
names = {"with": "with the counts", "without": "without the counts", "before": "before (with the counts)"}
labels = {"lists": "staff lists alone", "all": "every specified output"}

def timed(argv, **kw):
    """Wall seconds and CPU seconds (user + system, all threads) of a command."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f"failed: {argv}")
    return wall, usage.ru_utime + usage.ru_stime

def run(set_, build):
    home = os.path.join(work, f"home-{set_}-{build}")
    return timed([*one_cpu, bins[build], "vocar", "run", "--home", home, "--yes", "--no-progress", scenario])

def outputs(home):
    return [os.path.join(home, e) for e in sorted(os.listdir(home)) if os.path.isdir(os.path.join(home, e))]

def floor(set_, build):
    """cat of the inputs, then a copy of the run's outputs into a fresh folder."""
    cat, _ = timed(["cat", *inputs], cwd=work) if len(inputs) < 20000 else timed(["sh", "-c", "find scenario -name '*.txt' -exec cat {} + >/dev/null"], cwd=work)
    copy = os.path.join(work, "copy")
    shutil.rmtree(copy, ignore_errors=True)
    os.mkdir(copy)
    cp, _ = timed(["cp", "-r", *outputs(os.path.join(work, f"home-{set_}-{build}")), copy])
    shutil.rmtree(copy)
    return cat + cp

# A warm-up of everything: the page cache, the outputs the floors copy.
for set_ in labels:
    for build in bins:
        run(set_, build)
walls = {(s, b): [] for s in labels for b in bins}
cpus = {(s, b): [] for s in labels for b in bins}
floors = {(s, b): [] for s in labels for b in bins}
for k in range(runs):
    for set_ in labels:
        order = list(bins) if k % 2 == 0 else list(reversed(bins))
        for build in order:
            wall, cpu = run(set_, build)
            walls[set_, build].append(wall)
            cpus[set_, build].append(cpu)
            floors[set_, build].append(floor(set_, build))

print(f"corpus: {len(inputs)} files, {size / 1e6:.1f} MB; {runs} rounds in {work}" + ("; one CPU" if one_cpu else ""))
print(f"  {'':48} {'best':>8} {'median':>8} {'CPU':>7}  {'floor':>7}  x floor (best, median)")
for set_, label in labels.items():
    for build in bins:
        w, c, f = walls[set_, build], cpus[set_, build], min(floors[set_, build])
        print(f"  {label + ', ' + names[build]:48} {min(w):7.3f}s {statistics.median(w):7.3f}s {statistics.median(c):6.3f}s "
              f" {f:6.3f}s  {min(w) / f:5.2f}x {statistics.median(w) / f:5.2f}x")
for set_, label in labels.items():
    for build in [b for b in bins if b != "without"]:
        best = min(walls[set_, build]) / min(walls[set_, "without"]) - 1
        median = statistics.median(walls[set_, build]) / statistics.median(walls[set_, "without"]) - 1
        cpu = statistics.median(cpus[set_, build]) / statistics.median(cpus[set_, "without"]) - 1
        what = "the counts' cost" if build == "with" else "their cost before"
        print(f"  {what}, {label}: {best:+.1%} best, {median:+.1%} median wall; {cpu:+.1%} CPU"
              + (" (target: 10 % or less)" if build == "with" else ""))

if callgrind and shutil.which("valgrind"):
    print("instructions (callgrind):")
    for set_, label in labels.items():
        totals = {}
        for build in bins:
            out = os.path.join(work, f"callgrind-{set_}-{build}")
            home = os.path.join(work, f"home-{set_}-{build}")
            subprocess.run(["valgrind", "--tool=callgrind", "--separate-threads=yes", f"--callgrind-out-file={out}",
                            bins[build], "vocar", "run", "--home", home, "--yes", "--no-progress", scenario],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            threads = {}
            for name in os.listdir(work):
                if name.startswith(os.path.basename(out) + "-"):
                    text = open(os.path.join(work, name), errors="replace").read()
                    total = int(next(l for l in text.splitlines() if l.startswith(("summary:", "totals:"))).split()[1])
                    threads[name] = (total, "CountsFiles::work()" in text)
            total = sum(t for t, _ in threads.values())
            counts = sum(t for t, c in threads.values() if c)
            totals[build] = total
            beside = f", {counts / 1e6:,.0f} M of them on the counts' own thread" if counts else ""
            print(f"  {label + ', ' + names[build]:48} {total / 1e6:9,.0f} M{beside}")
            # What the counts' thread spends once the last file is scanned:
            # closing the workbook, where the library deflates every sheet.
            for name, (_, on_counts) in sorted(threads.items()):
                if not on_counts or not shutil.which("callgrind_annotate"):
                    continue
                listing = subprocess.run(["callgrind_annotate", "--inclusive=yes", os.path.join(work, name)],
                                         capture_output=True, text=True).stdout
                def inclusive(function):
                    for line in listing.splitlines():
                        fields = line.split()
                        if len(fields) >= 3 and fields[2].startswith(function):
                            return int(fields[0].replace(",", ""))
                    return 0
                close, deflate = inclusive("???:workbook_close"), inclusive("???:deflate")
                if close:
                    print(f"  {'':48} {close / 1e6:9,.0f} M of them closing the workbook, {deflate / 1e6:,.0f} M deflating")
        for build in [b for b in bins if b != "without"]:
            what = "the counts' cost" if build == "with" else "their cost before"
            print(f"  {what}, {label}: {totals[build] / totals['without'] - 1:+.1%} instructions")
PY
