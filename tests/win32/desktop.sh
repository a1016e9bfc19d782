#!/usr/bin/env bash
# Tests desktop programs under Wine: tests/win32/desktop.sh BUILD_DIR TOOL...
# The driver (desktop_test.exe) starts each program and works its windows,
# in Japanese and, with the program's shipped English.lng, in English; the
# screenshots go to BUILD_DIR/screenshots as PNG.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
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
  for bmp in "$work"/shots/*.bmp; do
    [ -e "$bmp" ] || continue
    base=$(basename "$bmp" .bmp)
    convert "$bmp" "$shots/${base/.exe/}.png"
  done
done
exit $status
