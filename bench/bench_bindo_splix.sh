#!/usr/bin/env bash
# Times `lumeno bindo run` and `lumeno splix run` on the benchmark tree
# against `cat` of the same files: bench/bench_bindo_splix.sh [CORPUS]
set -euo pipefail
source "$(dirname "$0")/common.sh"
corpus=$(bench_corpus "${1:-}")
work=${BENCH_WORK:-$root/build/bench-work}
rm -rf "$work"
mkdir -p "$work/home"
"$lumeno" bindo config --home "$work/home" delete_source=0 >/dev/null
"$lumeno" splix config --home "$work/home" delete_source=0 >/dev/null
mb=$(du -sb "$corpus/scenario" | awk '{print $1 / 1e6}')
files=$(find "$corpus/scenario" -name '*.txt' | wc -l)
echo "corpus: $files files, $mb MB"

cat_s=$(best_of 3 cat_all "$corpus/scenario")
report "cat" "$cat_s" "$cat_s" "$mb"

fresh_tree() {
  rm -rf "$work/tree"
  cp -r "$corpus/scenario" "$work/tree"
}
best=$(best_fresh 3 fresh_tree "$lumeno" bindo run --home "$work/home" --no-progress "$work/tree")
report "lumeno bindo run" "$best" "$cat_s" "$mb"

# The packs alone, divided (a fresh copy of them for every run).
mkdir -p "$work/packs-src"
(cd "$work/tree" && find . -name '*.txt' | while read -r f; do
  d=$(dirname "$f")
  if [ "$(basename "$f")" = "$(basename "$d").txt" ]; then mkdir -p "$work/packs-src/$d" && cp "$f" "$work/packs-src/$d/"; fi
done)
pack_mb=$(du -sb "$work/packs-src" | awk '{print $1 / 1e6}')
cat_packs=$(best_of 3 cat_all "$work/packs-src")
fresh_packs() {
  rm -rf "$work/packs"
  cp -r "$work/packs-src" "$work/packs"
}
best=$(best_fresh 3 fresh_packs "$lumeno" splix run --home "$work/home" --no-progress "$work/packs")
report "cat (pack files)" "$cat_packs" "$cat_packs" "$pack_mb"
report "lumeno splix run" "$best" "$cat_packs" "$pack_mb"
