#!/usr/bin/env bash
# Runs every fuzz target for a while: fuzz/run.sh [SECONDS_EACH] [TARGET...]
#
# Builds the targets with clang and libFuzzer (installing clang's runtime when
# missing), seeds each corpus from the bundled example and the fixtures, and
# fails on the first finding; the input that failed is copied to
# build-fuzz/findings/. Keep a finding in fuzz/regressions/<target>/ once it
# is fixed: the test suite replays those inputs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-20}
shift || true
out=$root/build-fuzz

probe='extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }'
if ! echo "$probe" | clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o /dev/null 2>/dev/null; then
  echo "== installing clang and its sanitizer runtime"
  apt-get update -qq >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang libclang-rt-14-dev >/dev/null
fi

echo "== building the fuzz targets"
rm -rf "$out/src"
python3 scripts/cp932_literals.py "$out/src" shell packer divider stripper namefinder scriptbuilder fuzz
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [ ! -f "$out/build/CMakeCache.txt" ]; then
  CXX=clang++ cmake -S fuzz -B "$out/build" "${generator[@]}" -DLUMENO_SOURCES="$out/src" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$out/build" -j "$(nproc)" >/dev/null

# Seeds: the example scenario, definitions and fixtures, and kept findings.
seed_dir() {
  local name=$1 dir=$out/seeds/$1
  rm -rf "$dir"
  mkdir -p "$dir"
  find example tests/data -type f -name '*.txt' 2>/dev/null | head -n 50 | while read -r f; do
    cp "$f" "$dir/$(echo "$f" | md5sum | cut -c1-16)"
  done
  if [ -d "fuzz/regressions/$name" ]; then cp fuzz/regressions/"$name"/* "$dir/" 2>/dev/null || true; fi
  echo "$dir"
}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
mkdir -p "$out/findings"
status=0
for target in "${targets[@]}"; do
  name=${target%_fuzz}
  corpus=$out/corpus/$name
  mkdir -p "$corpus"
  seeds=$(seed_dir "$name")
  echo "== $name: ${seconds}s"
  if ! "$out/build/${name}_fuzz" "$corpus" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$out/findings/$name-" -print_final_stats=0 >"$out/$name.log" 2>&1; then
    echo "finding in $name: see $out/$name.log and $out/findings/"
    tail -n 30 "$out/$name.log"
    status=1
  else
    grep -E '^#[0-9]+.*DONE|Done [0-9]+ runs' "$out/$name.log" | tail -n 1 || true
  fi
done
exit $status
