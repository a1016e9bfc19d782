#!/usr/bin/env bash
# Builds libxlsxwriter for the Windows programs: Debian's own source package
# (the version the Linux build links), cross-compiled statically with
# mingw-w64, with its bundled minizip, over libz-mingw-w64-dev, into
# build-deps/mingw-w64 (ignored by git), where cmake/mingw-w64.cmake finds
# it. Once built it is kept: a later run finds it and does nothing.
#
# apt-get source needs a deb-src entry; when the machine has none, one is
# added for the archive its deb entries name (as root).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps=$root/build-deps
prefix=$deps/mingw-w64
stamp=$prefix/.libxlsxwriter-version

# The version of the Linux build's library, so that both write the same
# workbooks; any version when it is not installed.
version=$(dpkg-query -W -f='${source:Version}' libxlsxwriter-dev 2>/dev/null || true)
if [ -f "$prefix/lib/libxlsxwriter.a" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${version:-any}" ]; then
  exit 0
fi
echo "== libxlsxwriter ${version:-(latest)} for Windows, from Debian's source package"

# deb-src entries for every deb entry of the machine's sources (one-line
# lists and deb822 files), in a file of our own.
add_source_entries() {
  if [ "$(id -u)" != 0 ]; then
    echo "apt-get source needs a deb-src entry: add one for your Debian archive, or run as root" >&2
    exit 1
  fi
  python3 - /etc/apt/sources.list.d/lumeno-deb-src.sources <<'PY'
import glob, os, sys
stanzas = []
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    if not os.path.exists(path):
        continue
    for line in open(path):
        words = line.split("#", 1)[0].split()
        if not words or words[0] != "deb":
            continue
        words = words[1:]
        options = []
        while words and words[0].startswith("["):
            options.append(words.pop(0))
        if len(words) < 2:
            continue
        opts = " ".join(options).strip("[]").split()
        entry = {"Types": "deb-src", "URIs": words[0], "Suites": words[1], "Components": " ".join(words[2:])}
        for opt in opts:
            if opt.startswith("signed-by="):
                entry["Signed-By"] = opt.split("=", 1)[1]
        stanzas.append(entry)
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    if path == sys.argv[1]:
        continue
    for block in open(path).read().split("\n\n"):
        fields = {}
        for line in block.splitlines():
            if line.startswith("#") or ":" not in line or line[:1].isspace():
                continue
            key, value = line.split(":", 1)
            fields[key.strip()] = value.strip()
        if "deb" in fields.get("Types", "").split() and fields.get("Enabled", "yes") != "no":
            fields["Types"] = "deb-src"
            stanzas.append(fields)
if not stanzas:
    sys.exit("no deb entry to take a deb-src entry from")
with open(sys.argv[1], "w") as out:
    out.write("# deb-src entries for apt-get source (scripts/windows-xlsxwriter.sh)\n")
    out.write("\n\n".join("\n".join(f"{k}: {v}" for k, v in s.items()) for s in stanzas) + "\n")
PY
  apt-get update -q >/dev/null
}

src_dir=$deps/src
mkdir -p "$src_dir"
rm -rf "$src_dir"/libxlsxwriter-* "$src_dir"/libxlsxwriter_*
package=libxlsxwriter${version:+=$version}
fetch() { (cd "$src_dir" && apt-get source -q "$package") >"$deps/apt-source.log" 2>&1; }
if ! fetch; then
  add_source_entries
  fetch || { cat "$deps/apt-source.log" >&2; exit 1; }
fi
source_tree=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name 'libxlsxwriter-*' | head -n 1)

build=$deps/build-libxlsxwriter
rm -rf "$build" "$prefix"
cmake -S "$source_tree" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_SHARED_LIBS=OFF -DUSE_SYSTEM_MINIZIP=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix" >"$deps/xlsxwriter-configure.log" 2>&1 ||
  { cat "$deps/xlsxwriter-configure.log" >&2; exit 1; }
cmake --build "$build" -j "$(nproc)" >"$deps/xlsxwriter-build.log" 2>&1 || { tail -n 40 "$deps/xlsxwriter-build.log" >&2; exit 1; }
cmake --install "$build" >/dev/null
echo "${version:-any}" >"$stamp"
