#!/usr/bin/env bash
# Times a whole `lumeno vocar run` that keeps its voice numbers in the voice
# ledger against the same run without the ledger, after a random edit of 1%
# of the scenario's lines:
#
#   bench/vocar_ledger.sh [CORPUS] [RUNS]
#
# CORPUS is a folder made by bench/gen_corpus.py (CORPUS/scenario and
# CORPUS/home/キャラ定義.txt; made in build/bench-corpus when not given). The
# scenario is copied and run once with the ledger, which writes the ledger;
# then 1% of its lines are edited (changed, inserted, deleted or moved to
# another file, seed 1). Every timed ledger run starts from that first
# ledger, so each does the same matching. The two runs take turns RUNS times
# (default 3); the best time of each counts. Every output but the
# workbooks is on in both.
# The work goes below $BENCH_WORK (default: a fresh folder in $TMPDIR).
# Target: the ledger run within 1.5x of the run without it.
set -euo pipefail
. "$(dirname "$0")/common.sh"
corpus=$(bench_corpus "${1:-}")
runs=${2:-3}

work=$(mktemp -d "${BENCH_WORK:-${TMPDIR:-/tmp}}/vocar-ledger.XXXXXX")
trap 'rm -rf "$work"' EXIT
vocar_homes "$corpus" "$work" plain ledger
"$lumeno" vocar config --home "$work/ledger" keep_voice_numbers=1 >/dev/null
ledger="$work/ledger/ボイス番号台帳.txt"

run_vocar() { "$lumeno" vocar run --home "$1" --yes --no-progress "$work/scenario" >/dev/null; }
# Both homes hold an earlier run's outputs, which every timed run removes.
run_vocar "$work/plain"
run_vocar "$work/ledger"
cp "$ledger" "$work/first-ledger.txt"

python3 "$(dirname "$0")/edit_scenario.py" "$work/scenario"

read -r files bytes < <(tree_size "$work/scenario")
cat_all "$work/scenario"  # warm the page cache

run_plain() { run_vocar "$work/plain"; }
run_ledger() { run_vocar "$work/ledger"; }
first_ledger() { cp "$work/first-ledger.txt" "$ledger"; }
read -r plain_ns ledger_ns < <(best_in_turns_ns "$runs" first_ledger run_plain run_ledger)
cp "$work/first-ledger.txt" "$ledger"
counts=$(run_vocar_out() { "$lumeno" vocar run --home "$work/ledger" --yes --no-progress "$work/scenario"; }; run_vocar_out | tail -n 1)

python3 - "$files" "$bytes" "$plain_ns" "$ledger_ns" "$counts" <<'PY'
import sys
files, size, plain_ns, ledger_ns = map(int, sys.argv[1:5])
mb = size / 1e6
print(f"corpus: {files} files, {mb:.1f} MB; after the edit the ledger run reports: {sys.argv[5]}")
for name, ns in (("vocar run, every output", plain_ns), ("  the same with the voice ledger", ledger_ns)):
    print(f"  {name:34} {ns / 1e6:9.1f} ms  {mb / (ns / 1e9):8.1f} MB/s")
print(f"  ledger run: {ledger_ns / plain_ns:.2f}x the run without it (target: 1.5x or less)")
PY
