#!/usr/bin/env bash
# Builds everything and passes every test: a release build with warnings as
# errors, the same tests under the address and undefined-behaviour
# sanitizers, a short run of every fuzz target, and the Windows programs
# cross-built and tested under Wine (the tools they need are installed when
# missing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# <chrono> holds a literal that Shift_JIS cannot encode; the clocks come
# through <thread>.
if grep -rn --include='*.cpp' --include='*.h' '#include <chrono>' shell packer divider stripper namefinder scriptbuilder programs tests bench 2>/dev/null; then
  echo "error: include <thread> for clocks, not <chrono>" >&2
  exit 1
fi

# libxlsxwriter for the build; openpyxl, LibreOffice and poppler for the
# workbook tests.
scripts/linux-deps.sh

echo "== release build (warnings are errors)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DLUMENO_WERROR=ON
ctest --test-dir build --output-on-failure -j "$(nproc)"

echo "== address and undefined-behaviour sanitizers"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DLUMENO_WERROR=ON -DLUMENO_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j "$(nproc)"

echo "== fuzz targets (libFuzzer, a short run each)"
fuzz/run.sh "${LUMENO_FUZZ_SECONDS:-20}"

echo "== Windows programs: cross build (mingw-w64), package, tests under Wine"
scripts/windows-deps.sh
scripts/build.sh build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DLUMENO_WERROR=ON -DLUMENO_TESTS=OFF
cmake --build build-win --target windows_package
ctest --test-dir build-win --output-on-failure
echo "screenshots: build-win/screenshots/"

echo "== all tests passed"
