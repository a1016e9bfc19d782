#!/usr/bin/env bash
# Builds minizip and expat for the Windows programs, which read .xlsx books
# back with them: Debian's own source packages (the versions the Linux build
# links, or the nearest the archive still holds), cross-compiled statically
# with mingw-w64 into build-deps/mingw-w64 (ignored by git), where
# cmake/minizip.cmake and cmake/expat.cmake find them. Once built they are
# kept: a later run finds them and does nothing.
#
# libxlsxwriter's Windows build carries a minizip of its own (the writing
# half, zip.c, with the file helpers of ioapi.c), and the programs link both.
# Of Debian's minizip only the reading half is built (unzip.c and ioapi.c),
# and the helpers' names are given a prefix of ours in both files, so that
# each library calls its own helpers and no symbol is defined twice; the
# script checks that against libxlsxwriter.a.
#
# Runs after scripts/windows-xlsxwriter.sh (scripts/windows-deps.sh calls
# both), which empties build-deps/mingw-w64 when it builds anew and adds the
# deb-src entry apt-get source needs when the machine has none.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps=$root/build-deps
prefix=$deps/mingw-w64
stamp=$prefix/.minizip-expat-version
host=x86_64-w64-mingw32

installed() { dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true; }
want="minizip $(installed libminizip-dev), expat $(installed libexpat1-dev)"
if [ -f "$prefix/lib/libminizip.a" ] && [ -f "$prefix/lib/libexpat.a" ] && [ -f "$stamp" ] && [ "$(head -n 1 "$stamp")" = "$want" ]; then
  exit 0
fi
echo "== minizip and expat for Windows, from Debian's source packages"

src_dir=$deps/src
mkdir -p "$src_dir" "$prefix/lib" "$prefix/include"
log=$deps/minizip-expat.log
: >"$log"

# fetch PACKAGE VERSION: unpacks the source package (patches applied) into
# build-deps/src, of VERSION when the archive holds it, else of the newest
# version it holds; prints the version.
fetch() {
  local package=$1 version=$2 v
  rm -rf "$src_dir/$package"-[0-9]* "$src_dir/$package"_*
  for v in ${version:+"$version"} $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -rV); do
    if (cd "$src_dir" && apt-get source -q "$package=$v") >>"$log" 2>&1; then
      echo "$v"
      return 0
    fi
  done
  echo "apt-get source found no $package (see $log): the machine needs a deb-src entry, which scripts/windows-xlsxwriter.sh adds as root" >&2
  return 1
}

# minizip: the reading half, its helpers renamed.
minizip_version=$(fetch minizip "$(installed libminizip-dev)")
minizip_src=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name 'minizip-*' | head -n 1)
build=$deps/build-minizip
rm -rf "$build"
mkdir -p "$build"
for unit in ioapi unzip; do
  "$host-gcc-posix" -O2 -c "$minizip_src/$unit.c" -I"$minizip_src" -o "$build/$unit.o" >>"$log" 2>&1 ||
    { tail -n 30 "$log" >&2; exit 1; }
done
renames=()
for symbol in $("$host-nm" --defined-only -g "$build/ioapi.o" | awk '{print $3}'); do
  renames+=(--redefine-sym "$symbol=lumeno_unz_$symbol")
done
for unit in ioapi unzip; do "$host-objcopy" "${renames[@]}" "$build/$unit.o"; done
rm -f "$prefix/lib/libminizip.a"
"$host-ar" rcs "$prefix/lib/libminizip.a" "$build/ioapi.o" "$build/unzip.o"
mkdir -p "$prefix/include/minizip"
cp "$minizip_src/unzip.h" "$minizip_src/ioapi.h" "$prefix/include/minizip/"

# No symbol defined in both minizips.
if [ -f "$prefix/lib/libxlsxwriter.a" ]; then
  defined() { "$host-nm" --defined-only -g "$1" 2>/dev/null | awk 'NF == 3 {print $3}' | sort -u; }
  both=$(comm -12 <(defined "$prefix/lib/libminizip.a") <(defined "$prefix/lib/libxlsxwriter.a"))
  if [ -n "$both" ]; then
    echo "minizip and libxlsxwriter both define: $both" >&2
    exit 1
  fi
fi

# expat, with its own CMake build.
expat_version=$(fetch expat "$(installed libexpat1-dev)")
expat_src=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name 'expat-*' | head -n 1)
# (Debian's tree is the project's repository, the library in its expat/ folder.)
[ -f "$expat_src/CMakeLists.txt" ] || expat_src=$expat_src/expat
build=$deps/build-expat
rm -rf "$build"
cmake -S "$expat_src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
  -DEXPAT_BUILD_PKGCONFIG=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >>"$log" 2>&1 || { tail -n 30 "$log" >&2; exit 1; }
# Debian builds expat with its autotools, whose configuration defines XML_DTD
# as 1, and its backported fixes test "XML_DTD == 1"; expat's CMake defines
# it empty. The same configuration as Debian's, then:
sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$build/expat_config.h"
cmake --build "$build" -j "$(nproc)" >>"$log" 2>&1 || { tail -n 30 "$log" >&2; exit 1; }
cmake --install "$build" >>"$log" 2>&1
[ -f "$prefix/lib/libexpat.a" ] || { echo "expat's build made no libexpat.a (see $log)" >&2; exit 1; }

printf '%s\nbuilt: minizip %s, expat %s\n' "$want" "$minizip_version" "$expat_version" >"$stamp"
