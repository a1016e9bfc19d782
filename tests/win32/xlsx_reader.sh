#!/usr/bin/env bash
# The .xlsx reader and libxlsxwriter in one Windows program, under Wine:
# tests/win32/xlsx_reader.sh BUILD_DIR PROGRAM
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
. "$here/wine_env.sh"
wine_start "$build" || exit 1
trap wine_stop EXIT

work="$build/win32-test-work/xlsx"
rm -rf "$work"
mkdir -p "$work"
"$WINE" "$2" "$(winpath "$work")"
