#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh DIR [CMAKE OPTIONS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$dir" "${generator[@]}" "$@" >/dev/null
else
  cmake -S "$root" -B "$dir" "$@" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
