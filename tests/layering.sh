#!/usr/bin/env bash
# The tree reads top-down: programs/ over the five tools over the shell.
# Fails when a file under shell/ includes a header of a tool folder or of
# programs/, or when the shell's build links a tool's library.
#
# Vocar (scriptbuilder/) is a house of rooms, read top-down as well:
#   driver/     the run: the phases in order            (nothing includes it)
#   checks/     the scenario check                      (no room includes it)
#   recording/  voice ledger, take book, audit
#   lists/      staff lists, counts, spoken text
#   workbooks/  everything that makes a workbook
#   scripts/    script source, layout and writing
#   text/       the voice-embedded text
#   (root)      settings, definitions, scanner and numbering, run order,
#               voice lines, the run's context
# A room includes only the rooms listed below it and the root; the root
# includes no room. Fails otherwise.
#   tests/layering.sh [SOURCE_DIR]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
[ -d shell ] || { echo "no shell/ folder in $root" >&2; exit 2; }

above='scriptbuilder|stripper|namefinder|divider|packer|programs'
status=0
if grep -rnE --include='*.h' --include='*.cpp' --include='*.rc' "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($above)/" shell; then
  echo "error: the shell includes a header from above it (a tool folder or programs/)" >&2
  status=1
fi
# The frames know no tool by its key either (the tool list and the options
# pages, in programs/, hand them what they show).
if grep -rnE --include='*.h' --include='*.cpp' '"(vocar|pruna|namex|splix|bindo)"' shell | grep -v '^shell/tool.h:.*// '; then
  echo "error: the shell names a tool" >&2
  status=1
fi
if grep -rnE --include='CMakeLists.txt' 'lumeno_(scriptbuilder|stripper|namefinder|divider|packer|tools)\b' shell; then
  echo "error: the shell's build links a tool's library" >&2
  status=1
fi

# Vocar's rooms, top first (the driver above them all).
rooms=(driver checks recording lists workbooks scripts text)
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*"scriptbuilder/'
for file in scriptbuilder/*.h scriptbuilder/*.cpp; do
  [ -f "$file" ] || continue
  if grep -nE "${include_re}[a-z_]+/" "$file" | sed "s|^|$file:|"; then
    echo "error: $file, at Vocar's root, includes a room (the root holds only what every room shares)" >&2
    status=1
  fi
done
for ((k = 0; k < ${#rooms[@]}; k++)); do
  room=${rooms[$k]}
  # the rooms this one may not include: itself excepted, every room above it
  above=$(IFS='|'; echo "${rooms[*]:0:$k}")
  [ -n "$above" ] || continue
  [ -d "scriptbuilder/$room" ] || { echo "error: no room scriptbuilder/$room/" >&2; status=1; continue; }
  if grep -rnE --include='*.h' --include='*.cpp' "${include_re}($above)/" "scriptbuilder/$room"; then
    echo "error: scriptbuilder/$room/ includes a room above it (order: ${rooms[*]})" >&2
    status=1
  fi
done
for dir in scriptbuilder/*/; do
  room=$(basename "$dir")
  if [[ " ${rooms[*]} " != *" $room "* ]]; then
    echo "error: scriptbuilder/$room/ is not in the rooms' order of tests/layering.sh" >&2
    status=1
  fi
done
[ $status = 0 ] && echo "layering: the shell depends on no tool; Vocar's rooms include only downward"
exit $status
