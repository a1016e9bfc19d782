# Shared by the benchmark scripts: build, corpus, timing.
# shellcheck shell=bash
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
lumeno="$root/build/shell/console/lumeno"

# bench_corpus [DIR]: the corpus folder (generated once when missing).
bench_corpus() {
  local dir=${1:-$root/build/bench-corpus}
  if [ ! -d "$dir/scenario" ]; then
    python3 "$root/bench/gen_corpus.py" "$dir" >&2
  fi
  echo "$dir"
}

# best_of N CMD...: the best wall time of N runs, in seconds.
best_of() {
  local n=$1
  shift
  best_fresh "$n" true "$@"
}

# best_fresh N RESET CMD...: like best_of, with RESET (a function) run
# untimed before every run, for commands that change their input.
best_fresh() {
  local n=$1 reset=$2
  shift 2
  local best=""
  for _ in $(seq "$n"); do
    "$reset"
    sync
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || (($(echo "$t < $best" | bc -l))); then best=$t; fi
  done
  echo "$best"
}

# best_in_turns_ns N RESET A B: A and B (functions) run in turns N times,
# RESET (a function) untimed before every run of B, for a B that changes
# its input; prints the best wall time of each in nanoseconds: "A B".
best_in_turns_ns() {
  local n=$1 reset=$2 a=$3 b=$4 best_a=0 best_b=0 start end k
  for ((k = 0; k < n; k++)); do
    start=$(date +%s%N); "$a" >/dev/null; end=$(date +%s%N)
    if ((best_a == 0 || end - start < best_a)); then best_a=$((end - start)); fi
    "$reset"
    sync
    start=$(date +%s%N); "$b" >/dev/null; end=$(date +%s%N)
    if ((best_b == 0 || end - start < best_b)); then best_b=$((end - start)); fi
  done
  echo "$best_a $best_b"
}

# tree_size DIR: the .txt files of a tree and their bytes: "FILES BYTES".
tree_size() {
  echo "$(find "$1" -name '*.txt' | wc -l) $(find "$1" -name '*.txt' -print0 | xargs -0 cat | wc -c)"
}

# cat_all DIR: reads every .txt file of a tree.
cat_all() { find "$1" -name '*.txt' -print0 | xargs -0 cat >/dev/null; }

# report NAME SECONDS CAT_SECONDS MB
report() {
  printf '%-28s %7.3f s  %8.1f MB/s  %5.2f x cat\n' "$1" "$2" "$(echo "$4 / $2" | bc -l)" "$(echo "$2 / $3" | bc -l)"
}

# vocar_homes CORPUS WORK HOME...: copies the corpus's scenario to
# WORK/scenario and makes each WORK/HOME a Vocar tool folder with its
# definitions, five-digit voice numbers (the tree has more than 9999 lines of
# some characters) and the scripts' workbooks off (vocar_workbooks.sh times
# them).
vocar_homes() {
  local corpus=$1 work=$2
  shift 2
  cp -r "$corpus/scenario" "$work/scenario"
  local home
  for home in "$@"; do
    mkdir -p "$work/$home"
    cp "$corpus/home/キャラ定義.txt" "$work/$home/"
    "$lumeno" vocar config --home "$work/$home" start_number=00001 script_spreadsheets=0 >/dev/null
  done
}
