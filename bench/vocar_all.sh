#!/usr/bin/env bash
# Times a whole `lumeno vocar run` with every output enabled (voice-actor
# scripts, staff lists, voice-embedded text) against `cat` of the same files:
#
#   bench/vocar_all.sh CORPUS_FOLDER CHARACTER_DEFINITIONS [RUNS]
#
# CORPUS_FOLDER is a scenario tree (Shift_JIS .txt files), CHARACTER_DEFINITIONS
# a キャラ定義.txt for it; `python3 bench/gen_corpus.py DIR` makes both
# (DIR/scenario and DIR/home/キャラ定義.txt, dozens of characters). Each command
# runs RUNS times (default 3) after a warm-up read, taking turns; the best
# time counts. Also times each output alone, so that a slow one shows. The
# target for the whole run is 8x cat or less.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(cd "$1" && pwd)
definitions=$2
runs=${3:-3}

"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
lumeno="$root/build/shell/console/lumeno"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home"
cp "$definitions" "$home/キャラ定義.txt"

files="$work/files"
find "$corpus" -type f -iname '*.txt' -print0 | sort -z >"$files"
count=$(tr -cd '\0' <"$files" | wc -c)
bytes=$(xargs -0 cat <"$files" | wc -c)
characters=$(grep -c -v -e '^//' -e '^[[:space:]]*$' "$definitions" || true)
xargs -0 cat <"$files" >/dev/null  # warm the page cache

now_ns() { date +%s%N; }
run_cat() { xargs -0 cat <"$files" >"$work/cat.out"; }
run_vocar() { "$lumeno" vocar run --home "$home" --yes --no-progress "$corpus" >/dev/null; }
configure() { "$lumeno" vocar config --home "$home" "$@" >/dev/null; }
# Five digits: the tree has more than 9999 lines of some characters. The
# scripts' workbooks are timed by vocar_workbooks.sh.
configure start_number=00001 script_spreadsheets=0

# best_against_cat NAME: times run_vocar and cat in turns; prints a row.
cat_ns=0
best_against_cat() {
  local name=$1 vocar_ns=0 start end
  for ((k = 0; k < runs; k++)); do
    start=$(now_ns); run_cat; end=$(now_ns)
    if ((cat_ns == 0 || end - start < cat_ns)); then cat_ns=$((end - start)); fi
    start=$(now_ns); run_vocar; end=$(now_ns)
    if ((vocar_ns == 0 || end - start < vocar_ns)); then vocar_ns=$((end - start)); fi
  done
  echo "$name $vocar_ns"
}

results="$work/results"
{
  configure output_scripts=1 output_staff_lists=1 output_voice_text=1
  best_against_cat all
  configure output_scripts=1 output_staff_lists=0 output_voice_text=0
  best_against_cat scripts
  configure output_scripts=0 output_staff_lists=1 output_voice_text=0
  best_against_cat staff_lists
  configure output_scripts=0 output_staff_lists=0 output_voice_text=1
  best_against_cat voice_text
  echo "cat $cat_ns"
  # What the file system alone costs: a copy of every output of a whole run
  # (the same files and bytes) and the removal of that copy, which a run
  # does to the outputs of the one before.
  configure output_scripts=1 output_staff_lists=1 output_voice_text=1
  run_vocar
  outputs=()
  for entry in "$home"/*/ "$home"/*List*.txt; do [ -e "$entry" ] && outputs+=("$entry"); done
  floor_ns=0
  for ((k = 0; k < runs; k++)); do
    start=$(now_ns); mkdir "$work/copy"; cp -r "${outputs[@]}" "$work/copy"; rm -rf "$work/copy"; end=$(now_ns)
    if ((floor_ns == 0 || end - start < floor_ns)); then floor_ns=$((end - start)); fi
  done
  echo "floor $floor_ns"
  echo "output_bytes $(find "${outputs[@]}" -type f -exec cat {} + | wc -c)"
} >"$results"

python3 - "$count" "$bytes" "$characters" "$results" <<'PY'
import sys
count, size, characters = map(int, sys.argv[1:4])
rows = dict(line.split() for line in open(sys.argv[4]))
rows = {k: int(v) for k, v in rows.items()}
mb = size / 1e6
cat_ns = rows.pop("cat")
floor_ns = rows.pop("floor")
output_bytes = rows.pop("output_bytes")
print(f"corpus: {count} files, {mb:.1f} MB, {characters} characters")
print(f"  {'cat':34} {cat_ns / 1e6:9.1f} ms  {mb / (cat_ns / 1e9):8.1f} MB/s")
labels = {"all": "vocar run, every output", "scripts": "  voice-actor scripts alone",
          "staff_lists": "  staff lists alone", "voice_text": "  voice-embedded text alone"}
for key, label in labels.items():
    ns = rows[key]
    print(f"  {label:34} {ns / 1e6:9.1f} ms  {mb / (ns / 1e9):8.1f} MB/s  {ns / cat_ns:6.2f}x cat")
print(f"  whole run: {rows['all'] / cat_ns:.2f}x cat (target: 8x or less)")
print(f"  the outputs: {output_bytes / 1e6:.1f} MB; copying and removing them alone takes "
      f"{floor_ns / 1e6:.1f} ms, {floor_ns / cat_ns:.2f}x cat")
PY
