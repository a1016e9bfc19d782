#!/usr/bin/env bash
# The install and the Linux packages, end to end: tests/install.sh BUILD_DIR VERSION
# `cmake --install` into a temporary prefix; the installed lumeno shows its
# version, packs and divides the example scenario, and offers its language
# files to a tool folder; CPack makes the .tar.gz and the .deb of the same.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "$1" && pwd)
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/lumeno-install.XXXXXX")
trap 'rm -rf "$work"' EXIT

. "$here/checks.sh"

prefix=$work/prefix
check "cmake --install into a temporary prefix" bash -c "cmake --install '$build' --prefix '$prefix' >'$work/install.log'"
lumeno=$prefix/bin/lumeno
check "lumeno is in bin/" test -x "$lumeno"
for program in Vocar Pruna Namex Splix Bindo; do
  check "$program's language files are in share/lumeno/languages/$program" \
    cmp -s "$prefix/share/lumeno/languages/$program/English.lng" "$root/resources/languages/$program/English.lng"
done
check "the installed lumeno --version" test "$("$lumeno" --version)" = "lumeno $version"

# The installed program at work, from a folder of its own.
cp -r "$root/example/scenario" "$work/scenario"
mkdir "$work/home"
cd "$work"
"$lumeno" bindo run --home home --no-progress scenario >out.txt 2>err.txt
rc=$?
check "the installed lumeno bindo run exits 0" test "$rc" = 0
check "it prints the completion message" grep -qx '5 個のファイルを変換しました。' out.txt
check "nothing on stderr" test ! -s err.txt
check "one pack file per folder" test -f scenario/scenario.txt -a -f scenario/第1章/第1章.txt -a -f scenario/第2章/第2章.txt

# Its language files, offered to the tool folder; the next run speaks English.
"$lumeno" splix config --home home language_name=English.lng 2>err.txt
check "config copies the installed English.lng into the tool folder" \
  cmp -s home/languages/English.lng "$prefix/share/lumeno/languages/Splix/English.lng"
"$lumeno" splix run --home home --no-progress scenario >out.txt 2>err.txt
check "the divide run completes in English" grep -qx '4 file(s) converted.' out.txt
check "every file came back" python3 "$root/scripts/check_roundtrip.py" "$root/example/scenario" scenario --quiet

# The packages. The .deb's dependencies come from dpkg-shlibdeps.
if ! command -v dpkg-shlibdeps >/dev/null 2>&1; then
  echo "== installing dpkg-dev (dpkg-shlibdeps, for the .deb)"
  { apt-get install -y -q --no-install-recommends dpkg-dev || { apt-get update -q && apt-get install -y -q --no-install-recommends dpkg-dev; }; } >/dev/null
fi
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >cpack.log 2>&1)
check "cpack makes the packages" test $? = 0
tgz=$work/packages/lumeno-$version-Linux.tar.gz
deb=$(ls "$work"/packages/lumeno_"$version"_*.deb 2>/dev/null | head -n 1)
tar tzf "$tgz" >tgz-contents.txt 2>&1
check "the .tar.gz holds bin/lumeno and the languages" \
  bash -c "grep -qx 'lumeno-$version-Linux/bin/lumeno' tgz-contents.txt && grep -qx 'lumeno-$version-Linux/share/lumeno/languages/Vocar/English.lng' tgz-contents.txt"
dpkg-deb -c "$deb" >deb-contents.txt 2>&1
check "the .deb installs /usr/bin/lumeno and /usr/share/lumeno/languages" \
  bash -c "grep -q ' ./usr/bin/lumeno\$' deb-contents.txt && grep -q ' ./usr/share/lumeno/languages/Bindo/Japanese.lng\$' deb-contents.txt"
check "the .deb names its package, version and libraries" \
  bash -c "test \"\$(dpkg-deb -f '$deb' Package Version)\" = \"\$(printf 'Package: lumeno\nVersion: $version')\" && dpkg-deb -f '$deb' Depends | grep -q libstdc++"
mkdir "$work/unpacked"
dpkg-deb -x "$deb" "$work/unpacked" 2>/dev/null
check "the program in the .deb runs" test "$("$work/unpacked/usr/bin/lumeno" --version)" = "lumeno $version"
[ "$failed" = 0 ] || cat "$work/cpack.log"

echo "install: $passed passed, $failed failed"
[ "$failed" = 0 ]
