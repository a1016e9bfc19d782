#!/usr/bin/env bash
# Times a whole `lumeno vocar run` that keeps the take book (track_takes)
# against the same run without it, after a random edit of 1% of the
# scenario's lines:
#
#   bench/vocar_takes.sh [CORPUS] [RUNS]
#
# CORPUS is a folder made by bench/gen_corpus.py (made in build/bench-corpus
# when not given). The scenario is copied and run once with the take book,
# which writes the ledger and the book; a director's marks are set on every
# tenth row (OK, NG, 保留, notes); then 1% of the lines are edited
# (bench/edit_scenario.py). Every timed take-book run starts from that
# ledger and book, so each does the same reading, merging and writing. The
# run without it is a run with neither the book nor the ledger. The two take
# turns RUNS times (default 3); the best time of each counts. Every output
# but the script workbooks is on in both.
# Prints the times, and the rows of the book read and written per second of
# the time the book adds.
# Target: the take-book run within 4x of the run without it.
set -euo pipefail
. "$(dirname "$0")/common.sh"
corpus=$(bench_corpus "${1:-}")
runs=${2:-3}

work=$(mktemp -d "${BENCH_WORK:-${TMPDIR:-/tmp}}/vocar-takes.XXXXXX")
trap 'rm -rf "$work"' EXIT
vocar_homes "$corpus" "$work" plain takes
"$lumeno" vocar config --home "$work/takes" track_takes=1 >/dev/null
book="$work/takes/収録台帳.xlsx"
ledger="$work/takes/ボイス番号台帳.txt"

run_vocar() { "$lumeno" vocar run --home "$1" --yes --no-progress "$work/scenario"; }
run_vocar "$work/plain" >/dev/null
run_vocar "$work/takes" >/dev/null

# The director's marks, set with openpyxl when it is there (the book as a
# spreadsheet program leaves it); without it the book stays unmarked.
/usr/bin/python3 - "$book" <<'PY' || echo "(openpyxl missing: the book stays unmarked)" >&2
import sys
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
marks = ["OK", "NG", "保留", "OK"]
for ws in wb.worksheets[1:]:
    header = [c.value for c in ws[1]]
    if "状態" not in header:
        continue
    status, notes = header.index("状態") + 1, header.index("備考") + 1
    for r in range(2, ws.max_row + 1, 10):
        ws.cell(r, status, marks[r % 4])
        ws.cell(r, notes, "メモ")
wb.save(sys.argv[1])
PY
cp "$book" "$work/first-book.xlsx"
cp "$ledger" "$work/first-ledger.txt"
python3 "$(dirname "$0")/edit_scenario.py" "$work/scenario"

read -r files bytes < <(tree_size "$work/scenario")
cat_all "$work/scenario"  # warm the page cache

run_plain() { run_vocar "$work/plain"; }
run_takes() { run_vocar "$work/takes"; }
first_book() {
  cp "$work/first-book.xlsx" "$book"
  cp "$work/first-ledger.txt" "$ledger"
}
read -r plain_ns takes_ns < <(best_in_turns_ns "$runs" first_book run_plain run_takes)
first_book
line=$(run_vocar "$work/takes" | grep '収録済' || true)
rows=$(/usr/bin/python3 -c '
import sys, zipfile, re
z = zipfile.ZipFile(sys.argv[1])
print(sum(len(re.findall(rb"<row ", z.read(n))) - 1 for n in z.namelist() if n.startswith("xl/worksheets/sheet") and n != "xl/worksheets/sheet1.xml"))
' "$book" 2>/dev/null || echo 0)

python3 - "$files" "$bytes" "$plain_ns" "$takes_ns" "$rows" "$line" <<'PY'
import sys
files, size, plain_ns, takes_ns, rows = map(int, sys.argv[1:6])
mb = size / 1e6
print(f"corpus: {files} files, {mb:.1f} MB, {rows} rows in the take book; after the edit: {sys.argv[6]}")
for name, ns in (("vocar run, every output", plain_ns), ("  the same with the take book", takes_ns)):
    print(f"  {name:34} {ns / 1e6:9.1f} ms  {mb / (ns / 1e9):8.1f} MB/s")
extra = max(takes_ns - plain_ns, 1)
print(f"  the book's rows, read and written: {rows / (extra / 1e9):,.0f} rows/s of the time it adds ({extra / 1e6:.0f} ms)")
print(f"  take-book run: {takes_ns / plain_ns:.2f}x the run without it (target: 4x or less)")
PY
