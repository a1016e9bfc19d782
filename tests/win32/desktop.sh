#!/usr/bin/env bash
# Tests desktop programs under Wine: tests/win32/desktop.sh BUILD_DIR TOOL...
# The driver (desktop_test.exe) starts each program and works its windows,
# in Japanese and, with the program's shipped English.lng, in English; the
# screenshots go to BUILD_DIR/screenshots as PNG.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
shift
. "$here/wine_env.sh"

declare -A program=([vocar]=Vocar [pruna]=Pruna [namex]=Namex [splix]=Splix [bindo]=Bindo)
shots="$build/screenshots"
mkdir -p "$shots"

wine_start "$build"
trap wine_stop EXIT
status=0
for tool in "$@"; do
  name=${program[$tool]}
  exe="$build/shell/win32/$name.exe"
  work="$build/win32-test-work/$tool"
  # No screenshot of an earlier run may stand in for a missing one.
  rm -rf "$work" "$shots/$name"-*.png
  mkdir -p "$work"
  echo "== $name.exe"
  english="$here/../../resources/languages/$name/English.lng"
  timeout 900 "$WINE" "$build/tests/win32/desktop_test.exe" "$tool" "$(winpath "$exe")" "$(winpath "$work/run")" "$(winpath "$work/shots")" \
    "$(winpath "$(cd "$(dirname "$english")" && pwd)/English.lng")" || status=1
  if [ "$tool" = vocar ]; then
    # The workbooks of the first run hold the sheets the Linux program
    # writes from the same scenario and definitions.
    linux_lumeno="$root/build/shell/console/lumeno"
    if [ -x "$linux_lumeno" ] && mkdir -p "$work/linux-home" && cp "$work/run/home/キャラ定義.txt" "$work/linux-home/" &&
      (cd "$work/run" && "$linux_lumeno" vocar run --home "$work/linux-home" --yes --no-progress 台本 >/dev/null) &&
      /usr/bin/python3 "$root/tests/workbooks/workbook_check.py" same "$work/run/workbooks" "$work/linux-home/声優用台本"; then
      echo "[ OK ] vocar: the workbooks hold the sheets the Linux program writes"
    else
      echo "[FAIL] vocar: the workbooks hold the sheets the Linux program writes (needs $linux_lumeno)"
      status=1
    fi
    # A temporary folder on a disk of 12 MB: a tmpfs in a mount namespace of
    # the test's own, where Wine's server must run too (it opens the files).
    small="$work/small-temp"
    mkdir -p "$small"
    if unshare -rm true 2>/dev/null; then
      "$WINESERVER" -k >/dev/null 2>&1 || true
      "$WINESERVER" -w >/dev/null 2>&1 || true
      unshare -rm bash -c 'mount -t tmpfs -o size=12m lumeno-small-temp "$1" || exit 1; shift
        timeout 300 "$@"; s=$?; "$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1; exit $s' _ "$small" \
        "$WINE" "$build/tests/win32/desktop_test.exe" vocar-small-temp "$(winpath "$exe")" "$(winpath "$work/run")" \
        "$(winpath "$work/shots")" "$(winpath "$small")" || status=1
    else
      echo "[SKIP] vocar: a temporary folder without room (no mount namespace can be made here for a small disk)"
    fi
  fi
  for bmp in "$work"/shots/*.bmp; do
    [ -e "$bmp" ] || continue
    base=$(basename "$bmp" .bmp)
    convert "$bmp" "$shots/${base/.exe/}.png"
  done
done
exit $status
