#!/usr/bin/env bash
# Times `lumeno vocar run` with the voice-embedded text as its only output
# against `cat` of the same files:
#
#   bench/vocar_bench.sh CORPUS_FOLDER CHARACTER_DEFINITIONS [RUNS]
#
# CORPUS_FOLDER is a scenario tree (Shift_JIS .txt files), CHARACTER_DEFINITIONS
# a キャラ定義.txt for it. Each command runs RUNS times (default 5) after a
# warm-up read; the best time counts. Reports throughput and the ratio to cat
# (the target is 3x or less). Both write into a fresh folder below $TMPDIR
# (default /tmp): cat into one file, Vocar its tree of outputs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(cd "$1" && pwd)
definitions=$2
runs=${3:-5}

scripts_build="$root/scripts/build.sh"
"$scripts_build" "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
lumeno="$root/build/shell/console/lumeno"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home"
cp "$definitions" "$home/キャラ定義.txt"
# Five digits: the tree has more than 9999 lines of some characters.
"$lumeno" vocar config --home "$home" start_number=00001 output_scripts=0 output_staff_lists=0 output_voice_text=1 >/dev/null

files="$work/files"
find "$corpus" -type f -iname '*.txt' -print0 | sort -z >"$files"
count=$(tr -cd '\0' <"$files" | wc -c)
bytes=$(xargs -0 cat <"$files" | wc -c)
xargs -0 cat <"$files" >/dev/null  # warm the page cache

now_ns() { date +%s%N; }
run_cat() { xargs -0 cat <"$files" >"$work/cat.out"; }
run_vocar() { "$lumeno" vocar run --home "$home" --yes --no-progress "$corpus" >/dev/null; }
# The two commands take turns, so that both meet the same load on the
# machine; the best time of each counts.
cat_ns=0
vocar_ns=0
for ((k = 0; k < runs; k++)); do
  start=$(now_ns); run_cat; end=$(now_ns)
  if ((cat_ns == 0 || end - start < cat_ns)); then cat_ns=$((end - start)); fi
  start=$(now_ns); run_vocar; end=$(now_ns)
  if ((vocar_ns == 0 || end - start < vocar_ns)); then vocar_ns=$((end - start)); fi
done

python3 - "$count" "$bytes" "$cat_ns" "$vocar_ns" <<'PY'
import sys
count, size, cat_ns, vocar_ns = map(int, sys.argv[1:])
mb = size / 1e6
print(f"corpus: {count} files, {mb:.1f} MB")
for name, ns in (("cat", cat_ns), ("lumeno vocar run (voice-embedded text)", vocar_ns)):
    print(f"  {name:40} {ns / 1e6:9.1f} ms  {mb / (ns / 1e9):8.1f} MB/s")
print(f"  ratio to cat: {vocar_ns / cat_ns:.2f}x (target: 3x or less)")
PY
