#!/usr/bin/env bash
# Times Vocar's checks on the benchmark tree:
#
#   bench/vocar_checks.sh [CORPUS] [RUNS]
#
# `lumeno vocar check` against `cat` of the scenario, and `lumeno vocar
# audit` against `cat` of the scenario plus `ls -R` of the recordings
# folder: a folder of as many empty files as the tree has voices, one
# sub-folder a voice prefix (ERI/ERI_A1_00001.ogg, ...), made from the voice
# names the audit reports for an empty folder. The audit is timed without
# and with the voice ledger (made by one run first). CORPUS is a folder made
# by bench/gen_corpus.py (build/bench-corpus when not given); the best of
# RUNS runs (default 5) counts. The work goes below $BENCH_WORK (default: a
# fresh folder in $TMPDIR). Target: each within 2x of its baseline.
set -euo pipefail
. "$(dirname "$0")/common.sh"
corpus=$(bench_corpus "${1:-}")
runs=${2:-5}

work=$(mktemp -d "${BENCH_WORK:-${TMPDIR:-/tmp}}/vocar-checks.XXXXXX")
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home" "$work/none" "$work/recordings"
cp "$corpus/home/キャラ定義.txt" "$home/"
# Five digits: the tree has more than 9999 lines of some characters.
"$lumeno" vocar config --home "$home" start_number=00001 output_scripts=0 output_staff_lists=0 output_voice_text=0 >/dev/null

"$lumeno" vocar audit --home "$home" --voices "$work/none" --output "$work/all.txt" "$corpus/scenario" >/dev/null || true
python3 - "$work/all.txt" "$work/recordings" <<'PY'
import os, re, sys
folders = set()
count = 0
for line in open(sys.argv[1], "rb"):
    m = re.match(rb".*?\(\d+\): (\S+) ", line)
    if not m:
        continue
    name = m.group(1).decode("cp932")
    folder = os.path.join(sys.argv[2], name.split("_")[0])
    if folder not in folders:
        os.makedirs(folder, exist_ok=True)
        folders.add(folder)
    open(os.path.join(folder, name + ".ogg"), "wb").close()
    count += 1
print(f"recordings: {count} empty files in {len(folders)} folders", file=sys.stderr)
PY

bytes=$(find "$corpus/scenario" -name '*.txt' -print0 | xargs -0 cat | wc -c)
mb=$(echo "$bytes / 1000000" | bc -l)
cat_all "$corpus/scenario"
ls_recordings() { ls -R "$work/recordings" >/dev/null; }
cat_and_ls() { cat_all "$corpus/scenario"; ls_recordings; }
check() { "$lumeno" vocar check --home "$home" "$corpus/scenario"; }
audit() { "$lumeno" vocar audit --home "$home" --voices "$work/recordings" "$corpus/scenario"; }

cat_s=$(best_of "$runs" cat_all "$corpus/scenario")
ls_s=$(best_of "$runs" ls_recordings)
both_s=$(best_of "$runs" cat_and_ls)
check_s=$(best_of "$runs" check)
audit_s=$(best_of "$runs" audit)
"$lumeno" vocar config --home "$home" keep_voice_numbers=1 >/dev/null
"$lumeno" vocar run --home "$home" --yes --no-progress "$corpus/scenario" >/dev/null
ledger_s=$(best_of "$runs" audit)

printf 'corpus: %s MB; %s\n' "$(printf '%.1f' "$mb")" "$(audit | tail -1)"
printf '%-28s %7.3f s\n' "cat" "$cat_s" "ls -R recordings" "$ls_s" "cat + ls -R" "$both_s"
report "lumeno vocar check" "$check_s" "$cat_s" "$mb"
printf '%-28s %7.3f s  %5.2f x (cat + ls -R)\n' "lumeno vocar audit" "$audit_s" "$(echo "$audit_s / $both_s" | bc -l)"
printf '%-28s %7.3f s  %5.2f x (cat + ls -R)\n' "  with the voice ledger" "$ledger_s" "$(echo "$ledger_s / $both_s" | bc -l)"
echo "target: check within 2x of cat, audit within 2x of cat + ls -R"
