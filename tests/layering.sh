#!/usr/bin/env bash
# The tree reads top-down: programs/ over the five tools over the shell.
# Fails when a file under shell/ includes a header of a tool folder or of
# programs/, or when the shell's build links a tool's library.
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
[ $status = 0 ] && echo "layering: the shell depends on no tool"
exit $status
