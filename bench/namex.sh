#!/usr/bin/env bash
# Throughput of the name finder over a scenario corpus:
#   bench/namex.sh CORPUS [LUMENO]
# Times `lumeno namex run` on every .txt file below CORPUS against `cat` of
# the same files, and against the pipeline a user would otherwise write:
# the text in front of the first dialogue mark of each line (sed), then
# `sort | uniq -c | sort -rn`. Each is run three times after a warm-up read;
# the best time counts. LUMENO defaults to build/shell/console/lumeno (build
# it with -DCMAKE_BUILD_TYPE=Release). Targets: within 3x of cat, faster
# than the pipeline.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:?usage: bench/namex.sh CORPUS [LUMENO]}
lumeno=${2:-$root/build/shell/console/lumeno}
[ -d "$corpus" ] || { echo "no such folder: $corpus" >&2; exit 2; }
[ -x "$lumeno" ] || { echo "no lumeno program at $lumeno (build it first)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
find "$corpus" -type f -iname '*.txt' -print0 | LC_ALL=C sort -z >"$work/files"
count=$(tr -cd '\0' <"$work/files" | wc -c)
bytes=$(xargs -0 cat <"$work/files" | wc -c)
[ "$count" -gt 0 ] || { echo "no .txt files below $corpus" >&2; exit 2; }

# The default dialogue marks 「 『 （ in Shift_JIS: 0x81 then u, w or i.
lead=$(printf '\201')

run_cat() { xargs -0 cat <"$work/files" >/dev/null; }
run_lumeno() { "$lumeno" namex run --home "$work/home" --no-progress "$corpus" >/dev/null; }
run_pipeline() {
  xargs -0 cat <"$work/files" | LC_ALL=C sed -n "s/${lead}[uwi].*//p" | LC_ALL=C grep -v '^$' |
    LC_ALL=C sort | LC_ALL=C uniq -c | LC_ALL=C sort -rn >"$work/pipeline.txt"
}

now_ns() { date +%s%N; }
# Best of three, in milliseconds.
best_ms() {
  local best=0 t0 t1 ms
  for _ in 1 2 3; do
    t0=$(now_ns)
    "$1"
    t1=$(now_ns)
    ms=$(((t1 - t0) / 1000000))
    if [ "$best" -eq 0 ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  [ "$best" -gt 0 ] || best=1
  echo "$best"
}

run_cat  # warm the page cache
cat_ms=$(best_ms run_cat)
lumeno_ms=$(best_ms run_lumeno)
pipeline_ms=$(best_ms run_pipeline)

mb() { awk -v b="$bytes" -v ms="$1" 'BEGIN { printf "%8.1f MB/s", b / 1048576 / (ms / 1000) }'; }
printf 'corpus: %s (%d files, %.1f MB)\n' "$corpus" "$count" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')"
printf '  cat            %6d ms %s\n' "$cat_ms" "$(mb "$cat_ms")"
printf '  lumeno namex   %6d ms %s\n' "$lumeno_ms" "$(mb "$lumeno_ms")"
printf '  shell pipeline %6d ms %s\n' "$pipeline_ms" "$(mb "$pipeline_ms")"
awk -v l="$lumeno_ms" -v c="$cat_ms" -v p="$pipeline_ms" 'BEGIN {
  printf "  lumeno / cat      %5.2fx (target: at most 3x)   %s\n", l / c, (l <= 3 * c ? "ok" : "MISSED")
  printf "  lumeno / pipeline %5.2fx (target: below 1x)     %s\n", l / p, (l < p ? "ok" : "MISSED")
}'
