#!/usr/bin/env bash
# Times a whole `lumeno vocar run` (every output) with the scripts'
# workbooks and without them:
#
#   bench/vocar_workbooks.sh [CORPUS_DIR] [RUNS]
#
# CORPUS_DIR holds scenario/ and home/キャラ定義.txt (bench/gen_corpus.py
# makes them; by default build/bench-corpus, made when missing). The two
# runs take turns, RUNS times each (default 3); the best time counts, and
# the CPU time of that run is shown beside it (the workbooks are made on
# threads of their own: wall time below CPU time means more than one core
# worked). The target: within 5x of the run without workbooks.
#
# With `perf` on the machine, one more run with workbooks is recorded and
# its CPU time split by where it goes: compression (zlib), the sheets' XML
# (the workbook library and the C library's formatting and memory), the
# kernel (file writes, temporary files), and the run's own code.
#
# Set BENCH_WORK (default: a folder below $TMPDIR) to put the tool folder,
# and with it every output, on another file system (tmpfs: /dev/shm/...).
set -euo pipefail
. "$(dirname "$0")/common.sh"
corpus=$(bench_corpus "${1:-}")
runs=${2:-3}

work=$(mktemp -d "${BENCH_WORK:-${TMPDIR:-/tmp}}/vocar-workbooks.XXXXXX")
trap 'rm -rf "$work"' EXIT
home_on=$work/on
home_off=$work/off
mkdir -p "$home_on" "$home_off"
cp "$corpus/home/キャラ定義.txt" "$home_on/"
cp "$corpus/home/キャラ定義.txt" "$home_off/"
# Five digits: the tree has more than 9999 lines of some characters.
"$lumeno" vocar config --home "$home_on" start_number=00001 script_spreadsheets=1 >/dev/null
"$lumeno" vocar config --home "$home_off" start_number=00001 script_spreadsheets=0 >/dev/null
scenario=$corpus/scenario
size=$(find "$scenario" -name '*.txt' -print0 | xargs -0 cat | wc -c)
cat_all "$scenario"

# timed HOME: "USER_S SYS_S PEAK_KB" of one run.
timed() {
  /usr/bin/time -o "$work/time" -f '%U %S %M' "$lumeno" vocar run --home "$1" --yes --no-progress "$scenario" >/dev/null 2>&1
  tail -n 1 "$work/time"
}
best_on=0 best_off=0 cpu_on=0 cpu_off=0 peak_on=0 peak_off=0
for ((k = 0; k < runs; k++)); do
  for mode in off on; do
    home=$work/$mode
    start=$(date +%s%N)
    read -r user sys peak < <(timed "$home")
    end=$(date +%s%N)
    ns=$((end - start))
    cpu=$(echo "($user + $sys) * 1000 / 1" | bc)
    if [ "$mode" = on ]; then
      if ((best_on == 0 || ns < best_on)); then best_on=$ns cpu_on=$cpu peak_on=$peak; fi
    else
      if ((best_off == 0 || ns < best_off)); then best_off=$ns cpu_off=$cpu peak_off=$peak; fi
    fi
  done
done
books=$(find "$home_on/声優用台本" -maxdepth 1 -name '*.xlsx' | wc -l)
book_bytes=$(find "$home_on/声優用台本" -maxdepth 1 -name '*.xlsx' -print0 | xargs -0 cat | wc -c)
script_bytes=$(find "$home_on/声優用台本" -name '*.zd' -print0 | xargs -0 cat | wc -c)
sheets=$(find "$home_on/声優用台本" -name '*.zd' | wc -l)

python3 - "$size" "$best_off" "$cpu_off" "$peak_off" "$best_on" "$cpu_on" "$peak_on" "$books" "$sheets" "$book_bytes" "$script_bytes" <<'PY'
import sys
size, off, cpu_off, peak_off, on, cpu_on, peak_on, books, sheets, book_bytes, script_bytes = map(int, sys.argv[1:])
print(f"corpus: {size / 1e6:.1f} MB of scenario; scripts: {sheets} files, {script_bytes / 1e6:.1f} MB")
print(f"  {'vocar run, no workbooks':34} {off / 1e9:7.2f} s  (CPU {cpu_off / 1e3:6.2f} s, peak {peak_off / 1024:6.0f} MB)")
print(f"  {'vocar run, with workbooks':34} {on / 1e9:7.2f} s  (CPU {cpu_on / 1e3:6.2f} s, peak {peak_on / 1024:6.0f} MB)")
print(f"  workbooks: {books} files, {book_bytes / 1e6:.1f} MB, {script_bytes / 1e6 / max(on - off, 1) * 1e9:.1f} MB of scripts a second")
print(f"  with workbooks: {on / off:.2f}x the run without (target: 5x or less)")
PY

if command -v perf >/dev/null 2>&1; then
  perf record -q -o "$work/perf.data" -- "$lumeno" vocar run --home "$home_on" --yes --no-progress "$scenario" >/dev/null 2>&1 || true
  perf report -i "$work/perf.data" --no-children --sort dso -g none --stdio 2>/dev/null | python3 -c '
import re, sys
shares = {}
for line in sys.stdin:
    m = re.match(r"\s*([0-9.]+)%\s+(\S+)", line)
    if m:
        shares[m.group(2)] = shares.get(m.group(2), 0) + float(m.group(1))
groups = {"compression (zlib)": ["libz"], "sheet XML (workbook library, C library)": ["libxlsxwriter", "libc", "libminizip"],
          "kernel (file writes, temporary files)": ["[kernel"], "the run itself": ["lumeno", "libstdc++", "CP932"]}
print("where the CPU time of a run with workbooks goes:")
for name, keys in groups.items():
    share = sum(v for k, v in shares.items() if any(k.startswith(key) for key in keys))
    print(f"  {name:42} {share:5.1f} %")
'
fi
